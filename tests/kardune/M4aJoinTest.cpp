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
