#include "Disc.h"

#include "Input.h"
#include "ToolLog.h"

extern "C" {
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>
}

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <cstdio>
#include <dirent.h>
#include <dlfcn.h>
#include <map>
#include <sys/stat.h>

using wstool::ToolError;

namespace tromvax {

namespace {

std::string lowerCase(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool isDir(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string baseName(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// libdvdread's messages go nowhere: what matters is said in our own words.
void quietLog(void *, dvd_logger_level_t, const char *, va_list) {}

int bcd(uint8_t v) { return (v >> 4) * 10 + (v & 0x0F); }

// A DVD time (BCD, with the frame rate in the two high bits of frame_u).
double seconds(const dvd_time_t &t)
{
    const int rateCode = (t.frame_u >> 6) & 3;
    const double fps = rateCode == 1 ? 25.0 : rateCode == 3 ? 30000.0 / 1001.0 : 0.0;
    const double frames = fps > 0 ? bcd(t.frame_u & 0x3F) / fps : 0.0;
    return bcd(t.hour) * 3600.0 + bcd(t.minute) * 60.0 + bcd(t.second) + frames;
}

// Cells that belong to angle 1: all but the later cells of an angle block.
bool angleOne(const cell_playback_t &c)
{
    return c.block_type != BLOCK_TYPE_ANGLE_BLOCK || c.block_mode == BLOCK_MODE_FIRST_CELL ||
           c.block_mode == BLOCK_MODE_NOT_IN_BLOCK;
}

struct IfoCloser {
    void operator()(ifo_handle_t *h) const { ifoClose(h); }
};
using IfoPtr = std::unique_ptr<ifo_handle_t, IfoCloser>;

// The program chain of a title's first chapter; nullptr when the IFO does
// not hold it.
const pgc_t *titlePgc(const ifo_handle_t *vts, int vtsTitle)
{
    if (!vts || !vts->vts_ptt_srpt || !vts->vts_pgcit || vtsTitle < 1 || vtsTitle > vts->vts_ptt_srpt->nr_of_srpts)
        return nullptr;
    const ttu_t &ttu = vts->vts_ptt_srpt->title[vtsTitle - 1];
    if (ttu.nr_of_ptts < 1 || !ttu.ptt)
        return nullptr;
    const int pgcn = ttu.ptt[0].pgcn;
    if (pgcn < 1 || pgcn > vts->vts_pgcit->nr_of_pgci_srp)
        return nullptr;
    const pgc_t *pgc = vts->vts_pgcit->pgci_srp[pgcn - 1].pgc;
    return pgc && pgc->cell_playback ? pgc : nullptr;
}

// The audio tracks of a title: the title set's attributes, numbered by the
// audio control words of the title's program chain, in the disc's order.
std::vector<DiscAudioTrack> audioTracks(const ifo_handle_t *vts, const pgc_t *pgc)
{
    std::vector<DiscAudioTrack> tracks;
    const vtsi_mat_t *mat = vts->vtsi_mat;
    for (int k = 0; mat && k < std::min<int>(mat->nr_of_vts_audio_streams, 8); ++k) {
        const uint16_t control = pgc->audio_control[k];
        if (!(control & 0x8000))
            continue;
        const audio_attr_t &a = mat->vts_audio_attr[k];
        DiscAudioTrack track;
        const int number = (control >> 8) & 7;
        switch (a.audio_format) {
        case 0:
            track.id = 0x80 + number;
            track.format = "ac3";
            break;
        case 2:
        case 3:
            track.id = 0xC0 + number;
            track.format = "mpeg";
            break;
        case 4:
            track.id = 0xA0 + number;
            track.format = "lpcm";
            break;
        case 6:
            track.id = 0x88 + number;
            track.format = "dts";
            break;
        default:
            continue; // no other kind is read
        }
        track.channels = a.channels + 1;
        const char l0 = char(a.lang_code >> 8), l1 = char(a.lang_code & 0xFF);
        if (a.lang_type == 1 && std::isalpha(static_cast<unsigned char>(l0)) &&
            std::isalpha(static_cast<unsigned char>(l1)))
            track.language = lowerCase(std::string{l0, l1});
        track.commentary = a.code_extension == 3 || a.code_extension == 4;
        tracks.push_back(track);
    }
    return tracks;
}

} // namespace

bool isDiscPath(const std::string &path)
{
    if (isDir(path))
        return true;
    const size_t dot = path.find_last_of('.');
    return dot != std::string::npos && path.find('/', dot) == std::string::npos &&
           lowerCase(path.substr(dot + 1)) == "iso";
}

namespace {

// libdvdread's complaints while it reads a file: it reads the IFO's backup
// (BUP) in place of a missing or damaged IFO and says so only in them.
struct Complaints {
    int count = 0;
};

void countComplaints(void *complaints, dvd_logger_level_t level, const char *, va_list)
{
    if (level == DVD_LOGGER_LEVEL_ERROR || level == DVD_LOGGER_LEVEL_WARN)
        ++static_cast<Complaints *>(complaints)->count;
}

struct ReaderCloser {
    void operator()(dvd_reader_t *dvd) const { DVDClose(dvd); }
};

} // namespace

std::optional<VobTitleSet> titleSetBesideVob(const std::string &vobPath)
{
    const std::string name = lowerCase(baseName(vobPath));
    const auto digit = [&](size_t i) { return name[i] >= '0' && name[i] <= '9'; };
    if (name.size() != 12 || name.compare(0, 4, "vts_") != 0 || !digit(4) || !digit(5) || name[6] != '_' ||
        name[7] < '1' || name[7] > '9' || name.compare(8, 4, ".vob") != 0)
        return std::nullopt;
    const int set = (name[4] - '0') * 10 + (name[5] - '0');
    if (set < 1)
        return std::nullopt;
    const size_t slash = vobPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : vobPath.substr(0, slash);

    // The IFO and BUP as the folder spells them.
    const std::string stem = name.substr(0, 7) + "0.";
    std::string ifo, bup;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *e = ::readdir(dir)) {
            const std::string entry = lowerCase(e->d_name);
            if (entry == stem + "ifo")
                ifo = folder + "/" + e->d_name;
            else if (entry == stem + "bup")
                bup = folder + "/" + e->d_name;
        }
        ::closedir(dir);
    }
    if (ifo.empty() && bup.empty())
        return std::nullopt;

    Complaints complaints;
    const dvd_logger_cb logger = {countComplaints};
    std::unique_ptr<dvd_reader_t, ReaderCloser> dvd(DVDOpen2(&complaints, &logger, folder.c_str()));
    if (!dvd)
        return std::nullopt;
    complaints.count = 0;
    IfoPtr vts(ifoOpen(dvd.get(), set));
    const pgc_t *pgc = titlePgc(vts.get(), 1);
    if (!pgc)
        return std::nullopt;
    VobTitleSet out;
    out.audio = audioTracks(vts.get(), pgc);
    out.ifoPath = ifo.empty() || (!bup.empty() && complaints.count > 0) ? bup : ifo;
    return out;
}

Disc::Disc(const std::string &path) : path_(path)
{
    // libdvdread takes the folder that holds VIDEO_TS.
    std::string open = path;
    while (open.size() > 1 && open.back() == '/')
        open.pop_back();
    if (isDir(open) && lowerCase(baseName(open)) == "video_ts") {
        const size_t slash = open.find_last_of('/');
        open = slash == std::string::npos ? "." : slash == 0 ? "/" : open.substr(0, slash);
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        throw ToolError("cannot open " + path + ": " + std::strerror(errno));
    static const dvd_logger_cb kQuiet = {quietLog};
    dvd_ = DVDOpen2(nullptr, &kQuiet, open.c_str());
    if (!dvd_)
        throw ToolError("cannot open " + path + " as a DVD-Video disc");
    IfoPtr vmg(ifoOpen(dvd_, 0));
    if (!vmg || !vmg->tt_srpt) {
        DVDClose(dvd_);
        dvd_ = nullptr;
        throw ToolError(path + " is not a DVD-Video disc (no readable VIDEO_TS.IFO)");
    }
    std::map<int, IfoPtr> sets;
    for (int i = 0; i < vmg->tt_srpt->nr_of_srpts; ++i) {
        const title_info_t &ti = vmg->tt_srpt->title[i];
        DiscTitle t;
        t.number = i + 1;
        t.titleSet = ti.title_set_nr;
        t.angles = std::max<int>(1, ti.nr_of_angles);
        auto &vts = sets[ti.title_set_nr];
        if (!vts)
            vts.reset(ifoOpen(dvd_, ti.title_set_nr));
        const pgc_t *pgc = titlePgc(vts.get(), ti.vts_ttn);
        if (!pgc) {
            titles_.push_back(t); // listed, with no length: it cannot be read
            continue;
        }
        t.seconds = seconds(pgc->playback_time);

        // Chapter starts: the playback times of the angle-1 cells before
        // each chapter's first cell.
        std::vector<double> cellStart(size_t(pgc->nr_of_cells) + 1, 0.0);
        double at = 0;
        for (int c = 0; c < pgc->nr_of_cells; ++c) {
            cellStart[size_t(c)] = at;
            if (angleOne(pgc->cell_playback[c]))
                at += seconds(pgc->cell_playback[c].playback_time);
        }
        cellStart[size_t(pgc->nr_of_cells)] = at;
        const ttu_t &ttu = vts->vts_ptt_srpt->title[ti.vts_ttn - 1];
        const int firstPgcn = ttu.ptt[0].pgcn;
        for (int p = 0; p < ttu.nr_of_ptts; ++p) {
            const ptt_info_t &ptt = ttu.ptt[p];
            if (ptt.pgcn != firstPgcn || ptt.pgn < 1 || ptt.pgn > pgc->nr_of_programs || !pgc->program_map)
                continue;
            const int cell = pgc->program_map[ptt.pgn - 1];
            if (cell >= 1 && cell <= pgc->nr_of_cells)
                t.chapterStarts.push_back(cellStart[size_t(cell - 1)]);
        }

        t.audio = audioTracks(vts.get(), pgc);
        titles_.push_back(t);
    }
    if (titles_.empty()) {
        DVDClose(dvd_);
        dvd_ = nullptr;
        throw ToolError(path + " holds no titles");
    }
}

Disc::~Disc()
{
    if (dvd_)
        DVDClose(dvd_);
}

const DiscTitle &Disc::title(int number) const
{
    if (number < 1 || number > int(titles_.size()))
        throw ToolError("title " + std::to_string(number) + " not found on " + path_ + " (it has " +
                        std::to_string(titles_.size()) + (titles_.size() == 1 ? " title)" : " titles)"));
    return titles_[size_t(number - 1)];
}

const DiscTitle &Disc::longestTitle() const
{
    const DiscTitle *best = &titles_.front();
    for (const DiscTitle &t : titles_)
        if (t.seconds > best->seconds)
            best = &t;
    return *best;
}

std::vector<Disc::Cells> Disc::cells(int number) const
{
    const DiscTitle &t = title(number);
    IfoPtr vmg(ifoOpen(dvd_, 0));
    IfoPtr vts(ifoOpen(dvd_, t.titleSet));
    const pgc_t *pgc = vmg && vmg->tt_srpt ? titlePgc(vts.get(), vmg->tt_srpt->title[number - 1].vts_ttn) : nullptr;
    if (!pgc)
        throw ToolError("cannot read title " + std::to_string(number) + " of " + path_ +
                        ": its program chain is missing from the IFO files");
    std::vector<Cells> out;
    for (int c = 0; c < pgc->nr_of_cells; ++c) {
        const cell_playback_t &cell = pgc->cell_playback[c];
        if (angleOne(cell) && cell.last_sector >= cell.first_sector)
            out.push_back({cell.first_sector, cell.last_sector});
    }
    if (out.empty())
        throw ToolError("title " + std::to_string(number) + " of " + path_ + " has no cells to play");
    return out;
}

TitleStream::TitleStream(std::shared_ptr<const Disc> disc, int title)
    : disc_(std::move(disc)), title_(title), cells_(disc_->cells(title))
{
    file_ = DVDOpenFile(disc_->reader(), disc_->title(title).titleSet, DVD_READ_TITLE_VOBS);
    if (!file_)
        throw ToolError("cannot open the VOB files of title " + std::to_string(title) + " of " + disc_->path());
    for (const Disc::Cells &c : cells_)
        sectors_ += uint64_t(c.last) - c.first + 1;
    constexpr int kBuffer = 16 * kSector;
    auto *buffer = static_cast<unsigned char *>(av_malloc(kBuffer));
    io_ = buffer ? avio_alloc_context(buffer, kBuffer, 0, this, &TitleStream::readPacket, nullptr, &TitleStream::seek)
                 : nullptr;
    if (!io_) {
        av_free(buffer);
        DVDCloseFile(file_);
        throw ToolError("out of memory");
    }
}

TitleStream::~TitleStream()
{
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    if (file_)
        DVDCloseFile(file_);
}

std::string TitleStream::name() const { return disc_->path() + ", title " + std::to_string(title_); }

int TitleStream::readPacket(void *opaque, uint8_t *buf, int size)
{
    return static_cast<TitleStream *>(opaque)->read(buf, size);
}

int64_t TitleStream::seek(void *opaque, int64_t offset, int whence)
{
    auto *s = static_cast<TitleStream *>(opaque);
    whence &= ~AVSEEK_FORCE;
    int64_t to = offset;
    if (whence == AVSEEK_SIZE)
        return s->size();
    if (whence == SEEK_CUR)
        to = s->pos_ + offset;
    else if (whence == SEEK_END)
        to = s->size() + offset;
    else if (whence != SEEK_SET)
        return AVERROR(EINVAL);
    if (to < 0)
        return AVERROR(EINVAL);
    s->pos_ = std::min(to, s->size());
    return s->pos_;
}

int TitleStream::read(uint8_t *buf, int size)
{
    if (!failure_.empty())
        return AVERROR(EIO);
    if (pos_ >= this->size())
        return AVERROR_EOF;
    // The cell holding the sector at pos_, and the disc sector it is.
    uint64_t sector = uint64_t(pos_ / kSector);
    size_t cell = 0;
    while (cell < cells_.size() && sector > uint64_t(cells_[cell].last) - cells_[cell].first) {
        sector -= uint64_t(cells_[cell].last) - cells_[cell].first + 1;
        ++cell;
    }
    const uint32_t discSector = cells_[cell].first + uint32_t(sector);
    const uint64_t leftInCell = uint64_t(cells_[cell].last) - discSector + 1;
    const int offset = int(pos_ % kSector);
    uint8_t one[kSector];
    const bool whole = offset == 0 && size >= kSector;
    const size_t count = whole ? size_t(std::min<uint64_t>(leftInCell, uint64_t(size / kSector))) : 1;
    uint8_t *into = whole ? buf : one;
    const ssize_t got = DVDReadBlocks(file_, int(discSector), count, into);
    if (got < ssize_t(count)) {
        // libdvdread loads libdvdcss, when installed, to decrypt.
        const bool decrypting = dlopen("libdvdcss.so.2", RTLD_LAZY | RTLD_NOLOAD) != nullptr;
        failure_ = "cannot read sector " + std::to_string(discSector) + " of " + name() +
                   (decrypting ? ": the disc is damaged, or its encryption could not be undone"
                               : ": the disc is damaged, or encrypted (CSS) and no decryption library "
                                 "(libdvdcss) is installed");
        return AVERROR(EIO);
    }
    // A scrambled sector (the scrambling bits that CSS sets in the header of
    // the sector's audio or video packet) read without decryption is noise
    // to the demuxer.
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *s = into + i * kSector;
        const bool media = s[14] == 0 && s[15] == 0 && s[16] == 1 && (s[17] == 0xBD || (s[17] >= 0xC0 && s[17] <= 0xEF));
        if (media && (s[0x14] & 0x30)) {
            failure_ = "title " + std::to_string(title_) + " of " + disc_->path() +
                       " is encrypted (CSS) and no decryption library (libdvdcss) is installed";
            return AVERROR(EIO);
        }
    }
    int n = 0;
    if (whole) {
        n = int(count) * kSector;
    } else {
        n = std::min(size, kSector - offset);
        std::copy(one + offset, one + offset + n, buf);
    }
    pos_ += n;
    return n;
}

std::string audioLine(const DiscAudioTrack &a)
{
    return substreamIdText(a.id) + " " + a.format + " " + std::to_string(a.channels) + " " +
           (a.language.empty() ? "-" : a.language) + " " + (a.commentary ? "commentary" : "-");
}

std::string listText(const Disc &disc)
{
    std::string out;
    for (const DiscTitle &t : disc.titles()) {
        out += "title " + std::to_string(t.number) + " " + wstool::secondsText(t.seconds) + " " +
               std::to_string(t.chapterStarts.size()) + " " + std::to_string(t.audio.size()) + "\n";
        for (size_t c = 0; c < t.chapterStarts.size(); ++c)
            out += "chapter " + std::to_string(t.number) + " " + std::to_string(c + 1) + " " +
                   wstool::secondsText(t.chapterStarts[c]) + "\n";
        for (const DiscAudioTrack &a : t.audio)
            out += "audio " + std::to_string(t.number) + " " + audioLine(a) + "\n";
    }
    return out;
}

} // namespace tromvax
