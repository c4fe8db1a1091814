// Joins into MPEG-4 audio (.m4a): the exact length from the parts' length
// notes, the tags, and what a failed join leaves.
#include "AacEnc.h"
#include "AudioCheck.h"
#include "Kardune.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>

using namespace audiocheck;

namespace {

constexpr int64_t kSamples = 144500; // the source: 3 s and 500 samples at 48 kHz
constexpr int64_t kCut = 65536;      // where part 2's own audio begins

class M4aJoin : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }

    // Two AAC parts of one signal, as the transcoder hands them to aacenc:
    // part 1 runs out 4096 samples past its end, part 2 carries 8192
    // samples of run-in; their WAV comments say which samples are their own.
    void makeParts()
    {
        const QString signal = QStringLiteral("aevalsrc=0.3*sin(2*PI*(300+400*t)*t)|0.2*sin(2*PI*(2500-300*t)*t):s=48000");
        const struct {
            int64_t from, to;
            const char *note;
        } parts[] = {{0, kCut + 4096, "wavesmithy part lead 0 keep 65536"},
                     {kCut - 8192, kSamples, "wavesmithy part lead 8192 keep -1"}};
        QByteArray list;
        for (int i = 0; i < 2; ++i) {
            const QString wav = path(QStringLiteral("w.wav")), aac = path(QStringLiteral("0%1.aac").arg(i + 1));
            ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), signal,
                                        QStringLiteral("-af"),
                                        QStringLiteral("atrim=start_sample=%1:end_sample=%2").arg(parts[i].from).arg(parts[i].to),
                                        QStringLiteral("-metadata"), QStringLiteral("comment=") + QLatin1String(parts[i].note),
                                        wav}));
            ASSERT_EQ(runTool(aacenc::run, {"-if", wav.toStdString(), "-normal", "-of", aac.toStdString()}), 0);
            ASSERT_TRUE(QFile::exists(aac + QStringLiteral(".length")));
            QFile::remove(wav);
            list += aac.toUtf8() + "\n";
        }
        writeFile(path(QStringLiteral("Kardune.lst")), list);
    }

    int join(const QString &output, std::string *err = nullptr, const std::vector<std::string> &tags = {})
    {
        std::vector<std::string> words = {"-core(", "-input", path(QStringLiteral("Kardune.lst")).toStdString(),
                                          "-join", "-type", "aac", "-prefix", output.toStdString(),
                                          "-logfilea", path(QStringLiteral("k.log")).toStdString()};
        words.insert(words.end(), tags.begin(), tags.end());
        words.push_back(")");
        return runTool(kardune::run, words, nullptr, err);
    }

    QTemporaryDir dir;
};

struct Smpb {
    unsigned priming = 0, padding = 0;
    unsigned long long length = 0;
};

Smpb smpbOf(const std::string &tag)
{
    Smpb s;
    EXPECT_EQ(std::sscanf(tag.c_str(), "%*x %x %x %llx", &s.priming, &s.padding, &s.length), 3) << tag;
    return s;
}

} // namespace

TEST_F(M4aJoin, SignalsTheExactLengthTheNotesGive)
{
    makeParts();
    const QString out = path(QStringLiteral("Film.M4A"));
    // The faststart pass reads the file back: here one stands under the name already.
    writeFile(out, QByteArray(100000, 'x'));
    ASSERT_EQ(join(out, nullptr, {"-title", "-Ein Film (ü)", "-language", "DEU"}), 0);

    const auto info = probe(out, QStringLiteral("stream=codec_name,profile,duration_ts:stream_tags=language:"
                                                "format=format_name:format_tags=title,encoder,iTunSMPB,major_brand"));
    EXPECT_EQ(info.at("codec_name"), "aac");
    EXPECT_EQ(info.at("profile"), "LC");
    EXPECT_EQ(info.at("TAG:major_brand"), "M4A");
    EXPECT_EQ(info.at("TAG:title"), "-Ein Film (ü)");
    EXPECT_EQ(info.at("TAG:encoder"), "Wavesmithy 0.51");
    EXPECT_EQ(info.at("TAG:language"), "deu");
    // The edit list: the length of the source, to the sample.
    EXPECT_EQ(info.at("duration_ts"), std::to_string(kSamples));
    const Smpb smpb = smpbOf(info.at("TAG:iTunSMPB"));
    EXPECT_EQ(smpb.priming, 1024u);
    EXPECT_EQ(smpb.length, uint64_t(kSamples));
    EXPECT_LT(smpb.padding, 1024u);
    // ffmpeg skips the priming and decodes the last frame whole.
    EXPECT_EQ(int64_t(decode(out, 2, 48000).frames()), kSamples + smpb.padding);
    // The index is at the front.
    const QByteArray head = readFile(out).left(1 << 16);
    EXPECT_EQ(head.mid(4, 4), QByteArray("ftyp"));
    EXPECT_LT(head.indexOf("moov"), head.indexOf("mdat"));

    // The join used up the notes; without them the parts count whole frames, padding included.
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("01.aac.length"))));
    ASSERT_EQ(join(out), 0);
    EXPECT_EQ(probe(out, QStringLiteral("stream=duration_ts")).at("duration_ts"),
              std::to_string(kSamples + smpb.padding));
    EXPECT_TRUE(readFile(path(QStringLiteral("k.log"))).contains("part 2 (" + path(QStringLiteral("02.aac")).toUtf8() +
                                                                  ") has no length note"));
}

TEST_F(M4aJoin, RefusalsAndFailuresLeaveNoFile)
{
    makeParts();
    const QByteArray good = readFile(path(QStringLiteral("02.aac")));
    writeFile(path(QStringLiteral("cut.aac")), good.left(good.size() - 10));
    writeFile(path(QStringLiteral("k.log")), {});
    writeFile(path(QStringLiteral("Kardune.lst")), (path(QStringLiteral("01.aac")) + QStringLiteral("\n") +
                                                    path(QStringLiteral("cut.aac"))).toUtf8());
    writeFile(path(QStringLiteral("old.m4a")), "keep me");
    const QStringList before = filesIn(dir.path());
    for (const QString &name : {QStringLiteral("new.m4a"), QStringLiteral("old.m4a")}) {
        std::string err;
        EXPECT_EQ(join(path(name), &err), 1);
        EXPECT_NE(err.find("part 2"), std::string::npos) << err;
        EXPECT_EQ(filesIn(dir.path()), before) << name.toStdString(); // nothing new, no partial file, notes kept
    }
    EXPECT_EQ(readFile(path(QStringLiteral("old.m4a"))), QByteArray("keep me"));

    // A wave header holds ADTS, not MPEG-4 audio; ADIF parts do not go into MPEG-4 audio.
    std::string err;
    EXPECT_EQ(runTool(kardune::run, {"-core(", "-input", path(QStringLiteral("Kardune.lst")).toStdString(), "-addriff",
                                     "-type", "aac", "-output", path(QStringLiteral("x.m4a")).toStdString(), ")"},
                      nullptr, &err),
              2);
    EXPECT_NE(err.find("-addriff"), std::string::npos) << err;
    const QString wav = path(QStringLiteral("a.wav")), adif = path(QStringLiteral("a.aac"));
    ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("sine=r=48000:d=0.5"), wav}));
    ASSERT_EQ(runTool(aacenc::run, {"-if", wav.toStdString(), "-adif", "-of", adif.toStdString()}), 0);
    writeFile(path(QStringLiteral("Kardune.lst")), adif.toUtf8());
    EXPECT_EQ(join(path(QStringLiteral("x.m4a")), &err), 1);
    EXPECT_NE(err.find("ADIF parts cannot be written into an .m4a file"), std::string::npos) << err;
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("x.m4a"))));
}

// Chapters from an FFmpeg metadata file, as ffprobe reads them back from the
// .m4a, with the exact length kept; a file that is not one fails and writes
// nothing; an .aac output is not touched by them.
TEST_F(M4aJoin, ChaptersFromAMetadataFile)
{
    makeParts();
    const QByteArray notes[] = {readFile(path(QStringLiteral("01.aac.length"))),
                                readFile(path(QStringLiteral("02.aac.length")))};
    const auto chapter = [](const char *timeBase, const char *start, const char *title) {
        return std::string("[CHAPTER]\nTIMEBASE=") + timeBase + "\nSTART=" + start + "\nEND=" + start + "\ntitle=" +
               title + "\n";
    };
    const std::string normal = ";FFMETADATA1\n" + chapter("1/1000", "0", "Chapter 1") +
                               chapter("1/1000", "1000", "Chapter 2") + chapter("1/1000", "2000", "Chapter 3");
    const struct {
        const char *name;
        std::string text; // of the chapter file; none for a missing one
        std::string chapters; // ffprobe's start,end,title lines; empty when the join fails
        const char *error;
    } cases[] = {
        {"normal", normal, "0.000000,1.000000,Chapter 1\n1.000000,2.000000,Chapter 2\n2.000000,3.010417,Chapter 3\n", ""},
        {"out of order, below 0, a start twice",
         ";FFMETADATA1\n" + chapter("1/1000", "2000", "C") + chapter("1/1000", "-500", "A") +
             chapter("1/1000", "1000", "B") + chapter("1/1000", "1000", "B2"),
         "0.000000,1.000000,A\n1.000000,2.000000,B2\n2.000000,3.010417,C\n", ""},
        {"at and past the end",
         ";FFMETADATA1\n" + chapter("1/48000", "0", "A") + chapter("1/48000", "144499", "B") +
             chapter("1/48000", "144500", "C") + chapter("1000/1", "9223372036854775806", "D"),
         "0.000000,3.010396,A\n3.010396,3.010417,B\n", ""},
        {"no start", ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nEND=5\ntitle=A\n", "", "is malformed"},
        {"no header", chapter("1/1000", "0", "A"), "", "is not an FFmpeg metadata file"},
        {"no chapters", ";FFMETADATA1\ntitle=Film\n", "", "holds no chapters"},
        {"missing", {}, "", "cannot read the chapter file"},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QStringLiteral("chapters%1.txt").arg(++n)), out = path(QStringLiteral("%1.m4a").arg(n));
        if (!c.text.empty())
            writeFile(file, QByteArray::fromStdString(c.text));
        writeFile(path(QStringLiteral("01.aac.length")), notes[0]);
        writeFile(path(QStringLiteral("02.aac.length")), notes[1]);
        std::string err;
        const int code = join(out, &err, {"-chapters", file.toStdString()});
        if (c.chapters.empty()) {
            EXPECT_EQ(code, 1);
            EXPECT_NE(err.find("chapter file " + file.toStdString()), std::string::npos) << err;
            EXPECT_NE(err.find(c.error), std::string::npos) << err;
            EXPECT_FALSE(QFile::exists(out));
            EXPECT_TRUE(QFile::exists(path(QStringLiteral("01.aac.length")))); // kept for the next try
            continue;
        }
        ASSERT_EQ(code, 0) << err;
        QString listed;
        ASSERT_EQ(wstest::runProgram(QStringLiteral("ffprobe"),
                                     {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                      QStringLiteral("chapter=start_time,end_time:chapter_tags=title"), QStringLiteral("-of"),
                                      QStringLiteral("csv=p=0"), out},
                                     &listed),
                  0);
        EXPECT_EQ(listed.toStdString(), c.chapters);
        // The chapter track leaves the audio track's edit list and the iTunSMPB comment alone.
        const auto audio = probe(out, QStringLiteral("stream=duration_ts:format_tags=iTunSMPB"),
                                 {QStringLiteral("-select_streams"), QStringLiteral("a")});
        EXPECT_EQ(audio.at("duration_ts"), std::to_string(kSamples));
        EXPECT_EQ(smpbOf(audio.at("TAG:iTunSMPB")).length, uint64_t(kSamples));
    }

    // ADTS has no chapters: a note, and the same bytes as without them.
    writeFile(path(QStringLiteral("k.log")), {});
    ASSERT_EQ(join(path(QStringLiteral("plain.aac"))), 0);
    ASSERT_EQ(join(path(QStringLiteral("chapters.aac")), nullptr,
                   {"-chapters", path(QStringLiteral("chapters1.txt")).toStdString()}),
              0);
    EXPECT_EQ(readFile(path(QStringLiteral("chapters.aac"))), readFile(path(QStringLiteral("plain.aac"))));
    EXPECT_TRUE(readFile(path(QStringLiteral("k.log"))).contains("chapters (-chapters) are kept only in an .m4a output"));
}
