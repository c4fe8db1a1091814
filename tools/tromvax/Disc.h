// DVD-Video discs (a VIDEO_TS folder, the folder holding one, or an image
// file) read through libdvdread: the titles with their chapters and audio
// tracks from the IFO files, and one title's cells, in play order, as one
// continuous MPEG program stream for libavformat.
#pragma once

#include "Av.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct dvd_reader_s;
struct dvd_file_s;

namespace tromvax {

struct DiscAudioTrack {
    int id = 0;             // DVD substream ID: 0x80 AC3, 0x88 DTS, 0xA0 LPCM, 0xC0 MPEG audio, + number
    std::string format;     // "ac3", "dts", "lpcm", "mpeg"
    int channels = 0;
    std::string language;   // ISO 639 code ("en"), empty when unset
    bool commentary = false; // the director's comments (code extension 3 or 4)
};

struct DiscTitle {
    int number = 0;          // 1-based, as the disc numbers them
    double seconds = 0;      // the program chain's playback time
    std::vector<double> chapterStarts; // seconds from the title's start, one per chapter
    std::vector<DiscAudioTrack> audio; // in the disc's order
    int titleSet = 0;
    int angles = 1;
};

// Whether `path` names a disc rather than a file: a folder (holding
// VIDEO_TS, or VIDEO_TS itself) or an image (".iso").
bool isDiscPath(const std::string &path);

// The audio tracks of the title set that a VOB file copied from a disc
// belongs to, read from the IFO beside it.
struct VobTitleSet {
    std::string ifoPath;               // the file the facts came from
    std::vector<DiscAudioTrack> audio; // of the set's first title, in the disc's order
};

// For a file named VTS_NN_M.VOB (any case, M from 1; not a menu VOB) with
// VTS_NN_0.IFO, or VTS_NN_0.BUP, in the same folder that libdvdread reads:
// the audio tracks of title set NN. None for any other name, or when neither
// file is there or readable.
std::optional<VobTitleSet> titleSetBesideVob(const std::string &vobPath);

class Disc {
public:
    // Opens the disc and reads its titles; throws ToolError.
    explicit Disc(const std::string &path);
    ~Disc();
    Disc(const Disc &) = delete;
    Disc &operator=(const Disc &) = delete;

    const std::vector<DiscTitle> &titles() const { return titles_; }
    const DiscTitle &title(int number) const; // throws ToolError for a title the disc lacks
    const DiscTitle &longestTitle() const;
    const std::string &path() const { return path_; }

    // The cells of a title (angle 1) in play order, as sector ranges of its
    // title set's VOB files taken as one.
    struct Cells {
        uint32_t first; // sector
        uint32_t last;  // sector, inclusive
    };
    std::vector<Cells> cells(int number) const;

    dvd_reader_s *reader() const { return dvd_; }

private:
    std::string path_;
    dvd_reader_s *dvd_ = nullptr;
    std::vector<DiscTitle> titles_;
};

// A title's cells as one stream for libavformat: an AVIOContext reading the
// sectors through libdvdread (across VOB file boundaries), seekable by byte.
// A sector that cannot be read ends the stream with a clear reason (an
// encrypted disc, when no decryption library is installed, fails so).
class TitleStream {
public:
    TitleStream(std::shared_ptr<const Disc> disc, int title);
    ~TitleStream();
    TitleStream(const TitleStream &) = delete;
    TitleStream &operator=(const TitleStream &) = delete;

    AVIOContext *io() const { return io_; }
    int64_t size() const { return int64_t(sectors_) * kSector; }
    // Why reading stopped early; empty while all went well.
    const std::string &failure() const { return failure_; }
    std::string name() const; // "film.iso, title 2"

    static constexpr int kSector = 2048;

private:
    static int readPacket(void *opaque, uint8_t *buf, int size);
    static int64_t seek(void *opaque, int64_t offset, int whence);
    int read(uint8_t *buf, int size);

    std::shared_ptr<const Disc> disc_;
    int title_;
    dvd_file_s *file_ = nullptr;
    std::vector<Disc::Cells> cells_;
    uint64_t sectors_ = 0; // of all cells
    int64_t pos_ = 0;      // byte position in the stream
    std::string failure_;
    AVIOContext *io_ = nullptr;
};

// The list that `tromvax -list( -input DISC )` prints: one line per title,
// per chapter and per audio track (see the manual page).
std::string listText(const Disc &disc);
// One audio track as the list gives it: "0x81 ac3 2 en commentary" ("-"
// for a language or role the disc does not set).
std::string audioLine(const DiscAudioTrack &track);

} // namespace tromvax
