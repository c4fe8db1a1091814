#include "AudioCheck.h"
#include "Kardune.h"
#include "PartSpan.h"
#include "TestSupport.h"

extern "C" {
#include <libavutil/log.h>
}

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

using namespace audiocheck;

namespace {

const int kQuietFfmpeg = (av_log_set_level(AV_LOG_QUIET), 0);

class KarduneSplitTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("parts"))); }

    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    QString partsDir() const { return path(QStringLiteral("parts")); }
    std::string prefix() const { return (partsDir() + QLatin1Char('/')).toStdString(); }

    // A fixture made by ffmpeg from a generated signal; `codecArgs` go
    // between the input and the output file.
    QString make(const QString &name, double seconds, const QStringList &codecArgs, int rate = 48000,
                 const QString &layout = QStringLiteral("stereo"))
    {
        QStringList args{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                         QStringLiteral("anoisesrc=c=pink:a=0.05:r=%1:d=%2,aformat=channel_layouts=%3")
                             .arg(rate).arg(seconds).arg(layout),
                         QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                         QStringLiteral("sine=f=440:r=%1:d=%2").arg(rate).arg(seconds),
                         QStringLiteral("-filter_complex"),
                         QStringLiteral("[1]aformat=channel_layouts=%1[t];[0][t]amix=inputs=2:normalize=0").arg(layout)};
        args << codecArgs << path(name);
        EXPECT_TRUE(wstest::ffmpeg(args)) << name.toStdString();
        return path(name);
    }

    int split(const QString &source, const std::string &type, const std::vector<std::string> &lengths,
              std::string *err = nullptr, bool replace = true)
    {
        std::vector<std::string> words = {"-core(", "-input", source.toStdString(), "-prefix", prefix(),
                                          "-logfile", path(QStringLiteral("k.log")).toStdString(), "-type", type};
        if (replace)
            words.push_back("-r");
        words.insert(words.end(), {"-ending", ")", "-split("});
        words.insert(words.end(), lengths.begin(), lengths.end());
        words.insert(words.end(), {")", "-profile(", "Wavesmithy", "v0.51", ")"});
        return runTool(kardune::run, words, nullptr, err);
    }

    // The parts, without the span notes beside them.
    QStringList parts() const { return filesIn(partsDir()).filter(QRegularExpression(QStringLiteral("^(?!.*\\.span$)"))); }
    QByteArray part(const QString &name) const { return readFile(partsDir() + QLatin1Char('/') + name); }

    QByteArray joinedParts() const
    {
        QByteArray all;
        for (const QString &p : parts())
            all += part(p);
        return all;
    }

    // Packets (frames) ffprobe counts in a file.
    static int packets(const QString &file)
    {
        const auto info = probe(file, QStringLiteral("stream=nb_read_packets"), {QStringLiteral("-count_packets")});
        const auto it = info.find("nb_read_packets");
        return it == info.end() ? -1 : std::atoi(it->second.c_str());
    }

    // Checks that the parts cover the source exactly and that each part ends
    // at the frame boundary nearest to its listed end.
    void expectFrameParts(const QString &source, const QString &ext, const std::vector<double> &ends,
                          double frameSeconds)
    {
        EXPECT_EQ(joinedParts(), readFile(source));
        const QStringList names = parts();
        ASSERT_EQ(names.size(), int(ends.size()) + 1);
        int total = 0;
        for (int i = 0; i < names.size(); ++i) {
            const QString file = partsDir() + QLatin1Char('/') + names[i];
            EXPECT_EQ(names[i], QStringLiteral("%1.%2").arg(i + 1, 2, 10, QLatin1Char('0')).arg(ext));
            const int n = packets(file);
            ASSERT_GT(n, 0) << names[i].toStdString();
            total += n;
            if (i < int(ends.size())) {
                EXPECT_LE(std::fabs(total * frameSeconds - ends[size_t(i)]), frameSeconds / 2 + 1e-9)
                    << names[i].toStdString();
            }
        }
        EXPECT_EQ(total, packets(source));
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(KarduneSplitTest, Ac3PartsAreWholeFramesAndGiveBackTheSource)
{
    struct Case {
        QString name;
        QStringList args;
        int rate;
        QString layout;
    };
    const Case cases[] = {
        {QStringLiteral("stereo.ac3"), {QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"), QStringLiteral("192k")}, 48000, QStringLiteral("stereo")},
        {QStringLiteral("six.ac3"), {QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"), QStringLiteral("448k")}, 48000, QStringLiteral("5.1")},
        // 44.1 kHz frames alternate between two sizes.
        {QStringLiteral("cd.ac3"), {QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"), QStringLiteral("256k")}, 44100, QStringLiteral("stereo")},
        {QStringLiteral("plus.eac3"), {QStringLiteral("-c:a"), QStringLiteral("eac3"), QStringLiteral("-b:a"), QStringLiteral("224k")}, 48000, QStringLiteral("5.1")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QDir(partsDir()).removeRecursively();
        QDir().mkpath(partsDir());
        const QString src = make(c.name, 8, c.args, c.rate, c.layout);
        ASSERT_EQ(split(src, "ac3", {"0", "3", "0", "2.5"}), 0);
        expectFrameParts(src, QStringLiteral("ac3"), {3, 5.5}, 1536.0 / c.rate);
    }
    // Every part gets a log line with its length and size.
    const QStringList log = QString::fromUtf8(readFile(path(QStringLiteral("k.log")))).split(QLatin1Char('\n'));
    for (const QString &name : parts()) {
        const QString head = QStringLiteral("|  Part %1: %2/%3, ").arg(name.left(2), partsDir(), name);
        const QString tail = QStringLiteral(" s, %1 bytes").arg(part(name).size());
        EXPECT_EQ(log.filter(head).size(), 1) << head.toStdString();
        EXPECT_TRUE(log.filter(head).value(0).endsWith(tail)) << tail.toStdString();
    }
}

TEST_F(KarduneSplitTest, LongPartsCarryTheEncodersLongRunIn)
{
    // The parts of a split into parts of 30 s and more carry 12 s more
    // run-in for the encoder, the short last one too; parts of a split into
    // short parts keep the few frames the decoder needs. The 12 s lie at the
    // end of the previous part, whose decoder hands them on.
    const QString src = make(QStringLiteral("long.ac3"), 262,
                             {QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"), QStringLiteral("96k")});
    std::vector<uint8_t> before, after;
    std::optional<wstool::HandOn> handOn;
    const auto carried = [&](const std::string &name) {
        const auto span = wstool::readSpan(wstool::spanPath(partsDir().toStdString() + "/" + name), &before, &after,
                                           &handOn);
        EXPECT_TRUE(span) << name;
        return span ? *span : wstool::PartSpan{};
    };
    const auto bytesOf = [](const std::vector<uint8_t> &b) {
        return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
    };
    // Hands on what part `name` names, as its decoder does: the next note
    // then carries the last bytes of this part.
    const auto handOnFrom = [&](const std::string &name) {
        carried(name);
        ASSERT_TRUE(handOn) << name;
        const wstool::HandOn h = *handOn;
        const QByteArray whole = part(QString::fromStdString(name));
        std::string why;
        ASSERT_TRUE(wstool::handOnRunIn(partsDir().toStdString() + "/" + name, h, &why)) << why;
        ASSERT_TRUE(wstool::readSpan(partsDir().toStdString() + "/" + h.note, &before, &after));
        EXPECT_EQ(bytesOf(before), whole.mid(qsizetype(h.offset), qsizetype(h.bytes))) << name;
    };

    ASSERT_EQ(split(src, "ac3", {"0", "120", "120"}), 0);
    ASSERT_EQ(parts(), QStringList({QStringLiteral("01.ac3"), QStringLiteral("02.ac3"), QStringLiteral("03.ac3")}));
    // Until then each note carries a few frames; the last part hands nothing on.
    for (const char *name : {"02.ac3", "03.ac3"}) {
        const wstool::PartSpan span = carried(name);
        EXPECT_LT(span.start - span.first, 12 * 1536) << name;
    }
    EXPECT_FALSE(handOn);
    // Part 1's run-in for part 2 ends where part 2 begins.
    carried("01.ac3");
    ASSERT_TRUE(handOn);
    EXPECT_EQ(handOn->offset + handOn->bytes, part(QStringLiteral("01.ac3")).size());
    EXPECT_EQ(handOn->note, "02.ac3.span");
    handOnFrom("01.ac3");
    handOnFrom("02.ac3");
    for (const char *name : {"02.ac3", "03.ac3"}) {
        const wstool::PartSpan span = carried(name);
        EXPECT_GE(span.start - span.first, 12 * 48000 + 6 * 1536) << name;
        EXPECT_LT(span.start - span.first, 12 * 48000 + 12 * 1536) << name;
        // The decoder keeps 12 s of it (whole blocks).
        EXPECT_EQ(wstool::trimFor(span, 48000).lead, 12 * 48000 / 1024 * 1024) << name;
        EXPECT_EQ(wstool::trimFor(span, 44100).lead, 12 * 44100 / 1024 * 1024) << name;
    }

    // A 5.1 job's 32 s parts are long enough.
    QDir(partsDir()).removeRecursively();
    QDir().mkpath(partsDir());
    ASSERT_EQ(split(src, "ac3", {"0", "32", "32", "32", "32", "32", "32", "32", "32"}), 0);
    ASSERT_EQ(parts().size(), 9);
    handOnFrom("01.ac3");
    EXPECT_EQ(wstool::trimFor(carried("02.ac3"), 48000).lead, 12 * 48000 / 1024 * 1024);

    QDir(partsDir()).removeRecursively();
    QDir().mkpath(partsDir());
    std::vector<std::string> shortParts = {"0"};
    shortParts.insert(shortParts.end(), 13, "20");
    ASSERT_EQ(split(src, "ac3", shortParts), 0);
    ASSERT_EQ(parts().size(), 14);
    for (const char *name : {"01.ac3", "02.ac3", "14.ac3"}) {
        const wstool::PartSpan span = carried(name);
        EXPECT_FALSE(handOn) << name;
        if (std::string(name) == "01.ac3")
            continue;
        EXPECT_GE(span.start - span.first, 6 * 1536) << name;
        EXPECT_LT(span.start - span.first, 12 * 1536) << name;
        // 8192 samples before a short part.
        EXPECT_EQ(wstool::trimFor(span, 48000).lead, wstool::kRunInSamples) << name;
    }

    // The same for PCM parts (mono at 8 kHz keeps the fixture small): the
    // bytes handed on are the source's samples right before the part.
    const QString wav = make(QStringLiteral("long.wav"), 262, {QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")},
                             8000, QStringLiteral("mono"));
    QDir(partsDir()).removeRecursively();
    QDir().mkpath(partsDir());
    ASSERT_EQ(split(wav, "wav", {"0", "120", "120"}), 0);
    EXPECT_LT(carried("03.wav").start - carried("03.wav").first, 8000);
    handOnFrom("02.wav");
    const wstool::PartSpan last = carried("03.wav");
    EXPECT_GE(last.start - last.first, 12 * 8000);
    const QByteArray source = readFile(wav);
    const qsizetype data = source.indexOf("data") + 8;
    EXPECT_EQ(bytesOf(before), source.mid(data + qsizetype(last.first) * 2, qsizetype(last.start - last.first) * 2));
}

TEST_F(KarduneSplitTest, MpegAudioKeepsTagsAtTheEdges)
{
    const QString mp3 = make(QStringLiteral("song.mp3"), 7,
                             {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"), QStringLiteral("128k"),
                              QStringLiteral("-write_xing"), QStringLiteral("0"), QStringLiteral("-id3v2_version"), QStringLiteral("3"),
                              QStringLiteral("-write_id3v1"), QStringLiteral("1"), QStringLiteral("-metadata"),
                              QStringLiteral("title=A title")},
                             44100);
    ASSERT_TRUE(readFile(mp3).startsWith("ID3"));
    ASSERT_EQ(split(mp3, "mp3", {"0", "2", "2"}), 0);
    expectFrameParts(mp3, QStringLiteral("mp3"), {2, 4}, 1152.0 / 44100);
    EXPECT_TRUE(part(QStringLiteral("01.mp3")).startsWith("ID3"));
    EXPECT_EQ(uint8_t(part(QStringLiteral("02.mp3"))[0]), 0xFF);
    EXPECT_EQ(part(QStringLiteral("03.mp3")).right(128).left(3), QByteArray("TAG"));

    QDir(partsDir()).removeRecursively();
    QDir().mkpath(partsDir());
    const QString mp2 = make(QStringLiteral("radio.mpa"), 5, {QStringLiteral("-c:a"), QStringLiteral("mp2"), QStringLiteral("-f"), QStringLiteral("mp2")});
    ASSERT_EQ(split(mp2, "mpa", {"0", "1", "1", "1"}), 0);
    expectFrameParts(mp2, QStringLiteral("mpa"), {1, 2, 3}, 1152.0 / 48000);
}

TEST_F(KarduneSplitTest, NumbersPartsWithoutGapsAndTakesTheRest)
{
    const QString src = make(QStringLiteral("short.ac3"), 3.2, {QStringLiteral("-c:a"), QStringLiteral("ac3")});
    std::vector<std::string> lengths = {"0"};
    for (int i = 0; i < 12; ++i)
        lengths.push_back("0.25");
    ASSERT_EQ(split(src, "ac3", lengths), 0);
    QStringList expected;
    for (const char *n : {"01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "11", "12", "13"})
        expected << QStringLiteral("%1.ac3").arg(QLatin1String(n));
    EXPECT_EQ(parts(), expected);
    EXPECT_EQ(joinedParts(), readFile(src));

    // A track length longer than the source: one part, the whole source.
    QDir(partsDir()).removeRecursively();
    QDir().mkpath(partsDir());
    ASSERT_EQ(split(src, "ac3", {"0", "256", "256"}), 0);
    EXPECT_EQ(parts(), QStringList{QStringLiteral("01.ac3")});
    EXPECT_EQ(part(QStringLiteral("01.ac3")), readFile(src));
}

TEST_F(KarduneSplitTest, WavPartsAreSampleExactWithValidHeaders)
{
    struct Case {
        QString name;
        std::string type;
        QStringList args;
        int rate;
        QString layout;
        int channels;
    };
    const Case cases[] = {
        {QStringLiteral("cd.wav"), "wav", {QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")}, 44100, QStringLiteral("stereo"), 2},
        // DVD LPCM as the transcoder extracts it: 24-bit, six channels, named .pcm.
        {QStringLiteral("dvd.pcm"), "pcm", {QStringLiteral("-c:a"), QStringLiteral("pcm_s24le"), QStringLiteral("-f"), QStringLiteral("wav")}, 48000, QStringLiteral("5.1"), 6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QDir(partsDir()).removeRecursively();
        QDir().mkpath(partsDir());
        const QString src = make(c.name, 3, c.args, c.rate, c.layout);
        ASSERT_EQ(split(src, c.type, {"0", "0.33333", "1", "0.5"}), 0);
        const QStringList names = parts();
        ASSERT_EQ(names.size(), 4);
        const Pcm whole = decode(src, c.channels, c.rate);
        ASSERT_EQ(whole.frames(), size_t(3 * c.rate));
        const std::vector<int64_t> ends = {std::llround(0.33333 * c.rate), std::llround(1.33333 * c.rate),
                                           std::llround(1.83333 * c.rate), 3 * c.rate};
        size_t at = 0;
        for (int i = 0; i < 4; ++i) {
            const QString file = partsDir() + QLatin1Char('/') + names[i];
            EXPECT_TRUE(names[i].endsWith(QLatin1Char('.') + QString::fromStdString(c.type)));
            // The header's data size tells ffprobe the exact length.
            const auto info = probe(file, QStringLiteral("stream=duration_ts,channels,codec_name"));
            EXPECT_EQ(info.at("duration_ts"), std::to_string(ends[size_t(i)] - int64_t(at)));
            EXPECT_EQ(info.at("channels"), std::to_string(c.channels));
            const Pcm p = decode(file, c.channels, c.rate);
            ASSERT_EQ(p.frames(), size_t(ends[size_t(i)]) - at);
            EXPECT_TRUE(std::equal(p.data.begin(), p.data.end(), whole.data.begin() + long(at * size_t(c.channels))));
            at += p.frames();
        }
    }
}

TEST_F(KarduneSplitTest, BadSourcesFailCleanly)
{
    const QString ac3 = make(QStringLiteral("good.ac3"), 2, {QStringLiteral("-c:a"), QStringLiteral("ac3")});
    const QString wav = make(QStringLiteral("good.wav"), 1, {QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")});
    const QByteArray ac3Bytes = readFile(ac3);
    const QByteArray wavBytes = readFile(wav);
    QByteArray random(60000, 0);
    uint32_t x = 12345;
    for (char &b : random)
        b = char((x = x * 1103515245u + 12345u) >> 24);
    writeFile(path(QStringLiteral("empty.ac3")), {});
    writeFile(path(QStringLiteral("random.ac3")), random);
    writeFile(path(QStringLiteral("random.mp3")), random);
    writeFile(path(QStringLiteral("text.mp2")), QByteArray("This is no audio.\n").repeated(400));
    writeFile(path(QStringLiteral("broken.wav")), "RIFF\x24\0\0\0WAVEfmt \x10\0\0\0garbage garbage!");
    writeFile(path(QStringLiteral("stub.wav")), wavBytes.left(wavBytes.size() - 2 * 4 * 48000 + 3)); // no whole sample
    writeFile(path(QStringLiteral("random.wav")), random);

    const std::pair<const char *, const char *> bad[] = {
        {"missing.ac3", "ac3"}, {"empty.ac3", "ac3"},   {"random.ac3", "ac3"},
        {"random.mp3", "mp3"},  {"text.mp2", "mp2"},    {"good.ac3", "mp2"},     {"broken.wav", "wav"},
        {"random.wav", "pcm"},  {"good.ac3", "wav"},
    };
    for (const auto &[name, type] : bad) {
        std::string err;
        EXPECT_EQ(split(path(QLatin1String(name)), type, {"0", "0.5"}, &err), 1) << name;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(parts(), QStringList()) << name; // no part, no temporary file
    }
    EXPECT_TRUE(QString::fromUtf8(readFile(path(QStringLiteral("k.log")))).contains(QStringLiteral("Error: ")));

    // A bit of junk before the first frame is tolerated and kept.
    writeFile(path(QStringLiteral("junk.ac3")), QByteArray(700, '\x55') + ac3Bytes);
    ASSERT_EQ(split(path(QStringLiteral("junk.ac3")), "ac3", {"0", "1"}), 0);
    EXPECT_EQ(joinedParts(), readFile(path(QStringLiteral("junk.ac3"))));
}

// A source cut inside its last frame (a disc cuts its VOB files at sectors,
// not frames) gives parts of all its whole frames; the bytes left out are
// counted in the log and on standard error.
TEST_F(KarduneSplitTest, SourcesCutInsideAFrameKeepTheirWholeFrames)
{
    struct Case {
        const char *name;
        const char *type;
        QStringList args;
        int frameBytes; // of every frame (constant bit rate, 48 kHz)
        int cut;        // bytes taken off the end
    };
    const Case cases[] = {
        {"cut.ac3", "ac3", {QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"), QStringLiteral("192k")}, 768, 300},
        {"cut1.ac3", "ac3", {QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"), QStringLiteral("192k")}, 768, 767},
        {"cut.mp2", "mpa", {QStringLiteral("-c:a"), QStringLiteral("mp2"), QStringLiteral("-b:a"), QStringLiteral("192k")}, 576, 100},
        {"cut.wav", "wav", {QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")}, 4, 1},
        // DTS frames of 512 samples, found by libavcodec's parser.
        {"cut.dts", "dts", {QStringLiteral("-strict"), QStringLiteral("-2"), QStringLiteral("-c:a"), QStringLiteral("dca"), QStringLiteral("-b:a"), QStringLiteral("768k")}, 1024, 500},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(partsDir()).removeRecursively();
        QDir().mkpath(partsDir());
        const QByteArray whole = readFile(make(QStringLiteral("whole_") + QLatin1String(c.name), 3, c.args));
        if (c.type != std::string("wav")) {
            ASSERT_EQ(whole.size() % c.frameBytes, 0);
        }
        const QString cut = path(QLatin1String(c.name));
        writeFile(cut, whole.left(whole.size() - c.cut));
        std::string err;
        ASSERT_EQ(split(cut, c.type, {"0", "1", "1"}, &err), 0) << err;
        const int leftOut = c.frameBytes - c.cut;
        const std::string says = "its last " + std::to_string(leftOut) + " bytes";
        EXPECT_NE(err.find(says), std::string::npos) << err;
        EXPECT_TRUE(readFile(path(QStringLiteral("k.log"))).contains(says.c_str()));
        EXPECT_EQ(parts().size(), 3);
        if (c.type == std::string("wav")) {
            const Pcm in = decode(path(QStringLiteral("whole_") + QLatin1String(c.name)), 2, 48000);
            int64_t frames = 0;
            for (const QString &p : parts())
                frames += int64_t(decode(partsDir() + QLatin1Char('/') + p, 2, 48000).frames());
            EXPECT_EQ(frames, int64_t(in.frames()) - 1);
        } else {
            EXPECT_EQ(joinedParts(), whole.left(whole.size() - c.frameBytes));
        }
    }
}

TEST_F(KarduneSplitTest, ExistingPartsNeedReplaceSwitch)
{
    const QString src = make(QStringLiteral("s.ac3"), 2, {QStringLiteral("-c:a"), QStringLiteral("ac3")});
    writeFile(partsDir() + QStringLiteral("/02.ac3"), "older file");
    std::string err;
    EXPECT_EQ(split(src, "ac3", {"0", "0.5", "0.5"}, &err, false), 1);
    EXPECT_NE(err.find("02.ac3 already exists"), std::string::npos) << err;
    EXPECT_EQ(parts(), QStringList{QStringLiteral("02.ac3")}); // part 01 was taken back
    EXPECT_EQ(part(QStringLiteral("02.ac3")), QByteArray("older file"));

    EXPECT_EQ(split(src, "ac3", {"0", "0.5", "0.5"}), 0);
    EXPECT_EQ(parts().size(), 3);
    EXPECT_EQ(joinedParts(), readFile(src));

    // With -r a part may replace a file, but never the source itself.
    QDir(partsDir()).removeRecursively();
    QDir().mkpath(partsDir());
    ASSERT_TRUE(QFile::copy(src, partsDir() + QStringLiteral("/01.ac3")));
    EXPECT_EQ(split(partsDir() + QStringLiteral("/01.ac3"), "ac3", {"0", "0.5"}, &err), 1);
    EXPECT_NE(err.find("source itself"), std::string::npos) << err;
    EXPECT_EQ(part(QStringLiteral("01.ac3")), readFile(src));
    EXPECT_EQ(parts(), QStringList{QStringLiteral("01.ac3")});

    // A folder that does not exist cannot take parts.
    std::vector<std::string> words = {"-core(", "-input", src.toStdString(), "-prefix", path(QStringLiteral("nope/")).toStdString(),
                                      "-type", "ac3", "-r", "-ending", ")", "-split(", "0", "1", ")"};
    EXPECT_EQ(runTool(kardune::run, words, nullptr, &err), 1);
    EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
}
