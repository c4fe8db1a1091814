#include "AacEnc.h"
#include "AacStreamHeaders.h"
#include "AudioCheck.h"
#include "Kardune.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace audiocheck;

namespace {

class KarduneJoinTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }

    // `count` AAC parts of `seconds` each, cut from one signal and encoded
    // by aacenc; the list file names them with CR LF line ends.
    QStringList makeParts(int count, double seconds, bool adif, int rate = 44100, const QString &tag = QString())
    {
        QStringList names;
        QByteArray list;
        for (int i = 0; i < count; ++i) {
            const QString wav = path(QStringLiteral("w%1%2.wav").arg(tag).arg(i));
            EXPECT_TRUE(wstest::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                        QStringLiteral("aevalsrc=0.3*sin(2*PI*(440+%1*110)*t)|0.2*sin(2*PI*660*t):s=%2:d=%3")
                                            .arg(i).arg(rate).arg(seconds),
                                        wav}));
            const QString aac = path(QStringLiteral("%1%2.aac").arg(tag).arg(i + 1, 2, 10, QLatin1Char('0')));
            std::vector<std::string> words = {"-if", wav.toStdString(), "-streaming", "-of", aac.toStdString()};
            if (adif)
                words.push_back("-adif");
            EXPECT_EQ(runTool(aacenc::run, words), 0);
            QFile::remove(wav);
            names << aac;
            list += aac.toUtf8() + "\r\n";
        }
        writeFile(path(QStringLiteral("Kardune.lst")), list + "\r\n"); // a blank line at the end
        return names;
    }

    int join(const QString &output, bool riff = false, std::string *err = nullptr)
    {
        const std::vector<std::string> words = {"-core(", "-input", path(QStringLiteral("Kardune.lst")).toStdString(),
                                                riff ? "-addriff" : "-join", "-type", "aac",
                                                riff ? "-output" : "-prefix", output.toStdString(),
                                                "-logfilea", path(QStringLiteral("k.log")).toStdString(), ")",
                                                "-profile(", "Wavesmithy", "v0.51", ")"};
        return runTool(kardune::run, words, nullptr, err);
    }

    static int64_t decodedFrames(const QString &file, int channels = 2, int rate = 44100)
    {
        return int64_t(decode(file, channels, rate).frames());
    }

    QTemporaryDir dir;
};

std::optional<wstool::AdifHeader> adifHeader(const QByteArray &b)
{
    return wstool::parseAdifHeader(reinterpret_cast<const uint8_t *>(b.constData()), size_t(b.size()));
}

} // namespace

TEST_F(KarduneJoinTest, AdtsPartsPassThroughFrameByFrame)
{
    const QStringList parts = makeParts(3, 2.5, false);
    ASSERT_EQ(join(path(QStringLiteral("out.aac"))), 0);
    QByteArray all;
    int64_t samples = 0;
    for (const QString &p : parts) {
        all += readFile(p);
        samples += decodedFrames(p);
    }
    EXPECT_EQ(readFile(path(QStringLiteral("out.aac"))), all);
    EXPECT_EQ(decodedFrames(path(QStringLiteral("out.aac"))), samples);

    const QStringList log = QString::fromUtf8(readFile(path(QStringLiteral("k.log")))).split(QLatin1Char('\n'));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(log.filter(QStringLiteral("|  Part 0%1: %2, 2.5").arg(i + 1).arg(parts[i])).size(), 1);
    EXPECT_EQ(log.filter(QStringLiteral("Joined 3 parts into %1: ").arg(path(QStringLiteral("out.aac")))).size(), 1);
}

TEST_F(KarduneJoinTest, AddRiffWrapsTheAdtsStreamInAWaveFile)
{
    makeParts(2, 1.5, false);
    ASSERT_EQ(join(path(QStringLiteral("plain.aac"))), 0);
    ASSERT_EQ(join(path(QStringLiteral("out.wav")), true), 0);
    const auto info = probe(path(QStringLiteral("out.wav")),
                            QStringLiteral("stream=codec_name,codec_tag,sample_rate,channels:format=format_name"));
    EXPECT_EQ(info.at("format_name"), "wav");
    EXPECT_EQ(info.at("codec_name"), "aac");
    EXPECT_EQ(info.at("codec_tag"), "0x1600");
    EXPECT_EQ(info.at("sample_rate"), "44100");
    EXPECT_EQ(info.at("channels"), "2");
    // The data chunk is the joined stream, and it decodes the same.
    const QByteArray riff = readFile(path(QStringLiteral("out.wav")));
    const QByteArray plain = readFile(path(QStringLiteral("plain.aac")));
    const int data = riff.indexOf("data");
    ASSERT_GT(data, 0);
    EXPECT_EQ(riff.mid(data + 8, plain.size()), plain);
    EXPECT_EQ(decode(path(QStringLiteral("out.wav")), 2, 44100).data, decode(path(QStringLiteral("plain.aac")), 2, 44100).data);
}

TEST_F(KarduneJoinTest, AdifPartsBecomeOneStreamWithOneHeader)
{
    const QStringList parts = makeParts(3, 1.2, true);
    ASSERT_EQ(join(path(QStringLiteral("out.aac"))), 0);
    const QByteArray out = readFile(path(QStringLiteral("out.aac")));
    const auto header = adifHeader(out);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(out.indexOf("ADIF", 1), -1);

    QByteArray payloads;
    int64_t samples = 0;
    uint32_t peak = 0;
    int channels = 0;
    for (const QString &p : parts) {
        const QByteArray bytes = readFile(p);
        const auto h = adifHeader(bytes);
        ASSERT_TRUE(h.has_value());
        EXPECT_TRUE(h->programs[0].config.sameLayout(header->programs[0].config));
        peak = std::max(peak, h->bitrate);
        payloads += bytes.mid(int(h->size));
        samples += decodeRawAac(bytes.mid(int(h->size)), wstool::audioSpecificConfig(h->programs[0].config), &channels);
    }
    EXPECT_EQ(header->bitrate, peak);
    EXPECT_EQ(out.mid(int(header->size)), payloads);
    EXPECT_EQ(decodeRawAac(payloads, wstool::audioSpecificConfig(header->programs[0].config), &channels), samples);
    EXPECT_EQ(channels, 2);

    // A wave header holds ADTS frames; ADIF parts cannot go there.
    std::string err;
    EXPECT_EQ(join(path(QStringLiteral("out.wav")), true, &err), 1);
    EXPECT_NE(err.find("ADIF"), std::string::npos) << err;
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out.wav"))));
}

TEST_F(KarduneJoinTest, MissingOrDamagedPartsFailAndLeaveTheOutputAlone)
{
    const QStringList adts = makeParts(3, 1, false);
    const QStringList other = makeParts(1, 1, false, 48000, QStringLiteral("r"));
    const QStringList adif = makeParts(1, 1, true, 44100, QStringLiteral("a"));
    const QByteArray good = readFile(adts[1]);
    const auto first = wstool::parseAdtsHeader(reinterpret_cast<const uint8_t *>(good.constData()), size_t(good.size()));
    ASSERT_TRUE(first.has_value());
    writeFile(path(QStringLiteral("cut.aac")), good.left(good.size() - 10));
    writeFile(path(QStringLiteral("junk.aac")), good.left(first->frameSize) + QByteArray(40, 'x') + good.mid(first->frameSize));
    writeFile(path(QStringLiteral("empty.aac")), {});
    writeFile(path(QStringLiteral("out.aac")), "keep me");
    writeFile(path(QStringLiteral("k.log")), {});

    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("missing part"), path(QStringLiteral("nothing.aac"))},
        {QStringLiteral("truncated part"), path(QStringLiteral("cut.aac"))},
        {QStringLiteral("junk between frames"), path(QStringLiteral("junk.aac"))},
        {QStringLiteral("empty part"), path(QStringLiteral("empty.aac"))},
        {QStringLiteral("other sample rate"), other[0]},
        {QStringLiteral("ADIF among ADTS"), adif[0]},
    };
    const QStringList before = filesIn(dir.path());
    for (const auto &[what, second] : cases) {
        writeFile(path(QStringLiteral("Kardune.lst")), (adts[0] + QStringLiteral("\n") + second + QStringLiteral("\n") + adts[2]).toUtf8());
        std::string err;
        EXPECT_EQ(join(path(QStringLiteral("out.aac")), false, &err), 1) << what.toStdString();
        EXPECT_NE(err.find("part 2"), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(readFile(path(QStringLiteral("out.aac"))), QByteArray("keep me"));
        EXPECT_EQ(filesIn(dir.path()), before) << what.toStdString(); // no temporary file left
    }
    writeFile(path(QStringLiteral("Kardune.lst")), "\r\n");
    EXPECT_EQ(join(path(QStringLiteral("out.aac"))), 1);
    QFile::remove(path(QStringLiteral("Kardune.lst")));
    EXPECT_EQ(join(path(QStringLiteral("out.aac"))), 1);
    EXPECT_EQ(readFile(path(QStringLiteral("out.aac"))), QByteArray("keep me"));
}
