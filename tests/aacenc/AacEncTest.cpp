#include "AacEnc.h"
#include "EncoderPresetTable.h"
#include "EncoderSettings.h"
#include "AacStreamHeaders.h"
#include "Av.h"
#include "AudioCheck.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

using namespace audiocheck;

namespace {

// The in-process encoder's FFmpeg calls would otherwise log to the test output.
const int kQuietFfmpeg = (av_log_set_level(AV_LOG_QUIET), 0);

// Input c of a join filter into the c-th channel of the layout (by default
// join puts a mono input into the centre first).
QString joinMap(int channels)
{
    static const char *names[6] = {"FL", "FR", "FC", "LFE", "BL", "BR"};
    QStringList map;
    for (int c = 0; c < channels; ++c)
        map << QStringLiteral("%1.0-%2").arg(c).arg(QLatin1String(names[c]));
    return map.join(QLatin1Char('|'));
}

class AacEncTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    std::string spath(const QString &name) const { return path(name).toStdString(); }

    // Independent pink noise in every channel plus a common tone: hard enough
    // to code that the encoder spends its whole bit budget.
    QString noiseWav(const QString &name, int channels, double seconds, int rate = 48000)
    {
        QStringList args;
        QString graph;
        for (int c = 0; c < channels; ++c) {
            args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
                 << QStringLiteral("anoisesrc=c=pink:a=0.1:r=%1:d=%2:seed=%3").arg(rate).arg(seconds).arg(c + 1);
            graph += QStringLiteral("[%1]").arg(c);
        }
        const QString layout = channels == 6 ? QStringLiteral("5.1") : channels == 2 ? QStringLiteral("stereo")
                                                                                      : QStringLiteral("mono");
        if (channels > 1)
            args << QStringLiteral("-filter_complex")
                 << graph + QStringLiteral("join=inputs=%1:channel_layout=%2:map=%3").arg(channels).arg(layout, joinMap(channels));
        args << QStringLiteral("-c:a") << QStringLiteral("pcm_s16le") << path(name);
        EXPECT_TRUE(wstest::ffmpeg(args)) << name.toStdString();
        return path(name);
    }

    // Music-like stereo: a chord in each channel over quiet noise.
    QString chordWav(const QString &name, double seconds)
    {
        QStringList args;
        const char *channels[2] = {"0.2*sin(2*PI*220*t)+0.15*sin(2*PI*277*t)+0.1*sin(2*PI*1650*t)",
                                   "0.2*sin(2*PI*330*t)+0.15*sin(2*PI*415*t)+0.1*sin(2*PI*2490*t)"};
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("aevalsrc=%1|%2:s=48000:d=%3").arg(QLatin1String(channels[0]), QLatin1String(channels[1])).arg(seconds)
             << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("anoisesrc=c=pink:a=0.02:r=48000:d=%1").arg(seconds) << QStringLiteral("-filter_complex")
             << QStringLiteral("[1]aformat=channel_layouts=stereo[n];[0][n]amix=inputs=2:normalize=0")
             << QStringLiteral("-c:a") << QStringLiteral("pcm_s16le") << path(name);
        EXPECT_TRUE(wstest::ffmpeg(args));
        return path(name);
    }

    // A sine of its own frequency in every channel of a 5.1 WAV.
    QString toneWav51(const QString &name, double seconds)
    {
        QStringList args;
        for (int f : kToneFreqs)
            args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
                 << QStringLiteral("sine=f=%1:r=48000:d=%2").arg(f).arg(seconds);
        args << QStringLiteral("-filter_complex")
             << QStringLiteral("[0][1][2][3][4][5]join=inputs=6:channel_layout=5.1:"
                                "map=0.0-FL|1.0-FR|2.0-FC|3.0-LFE|4.0-BL|5.0-BR") << QStringLiteral("-c:a")
             << QStringLiteral("pcm_s16le") << path(name);
        EXPECT_TRUE(wstest::ffmpeg(args));
        return path(name);
    }

    int encode(const std::vector<std::string> &words, std::string *err = nullptr)
    {
        return runTool(aacenc::run, words, nullptr, err);
    }

    static double kbps(const QString &file, double seconds)
    {
        return double(QFileInfo(file).size()) * 8 / seconds / 1000;
    }

    static constexpr int kToneFreqs[6] = {300, 500, 700, 60, 900, 1100}; // FL FR FC LFE BL BR
    QTemporaryDir dir;
};

} // namespace

TEST_F(AacEncTest, StereoPresetMakesAdtsThatMatchesTheSource)
{
    const QString wav = chordWav(QStringLiteral("in.wav"), 6);
    ASSERT_EQ(encode({"-if", wav.toStdString(), "-normal", "-of", spath(QStringLiteral("out.aac"))}), 0);
    const auto info = probe(path(QStringLiteral("out.aac")),
                            QStringLiteral("stream=codec_name,profile,channels,sample_rate:format=format_name"));
    EXPECT_EQ(info.at("format_name"), "aac");
    EXPECT_EQ(info.at("codec_name"), "aac");
    EXPECT_EQ(info.at("profile"), "LC");
    EXPECT_EQ(info.at("channels"), "2");
    EXPECT_EQ(info.at("sample_rate"), "48000");

    const Pcm ref = decode(wav, 2, 48000);
    const Pcm out = decode(path(QStringLiteral("out.aac")), 2, 48000);
    ASSERT_EQ(ref.frames(), 6u * 48000);
    // ADTS cannot signal the encoder's priming: 1024 samples lead, the last
    // frame is padded to 1024.
    EXPECT_GE(out.frames(), ref.frames() + 1024);
    EXPECT_LE(out.frames(), ref.frames() + 1024 + 1024);
    const int lag = bestLag(ref, out, 0, 4096);
    EXPECT_EQ(lag, 1024);
    // Measured 34.6 dB; a lag off by one sample, a lost channel or a wrong
    // gain brings it far below 25.
    EXPECT_GT(snrDb(ref, out, lag, 4800, ref.frames() - 4800), 25.0);
    EXPECT_EQ(filesIn(dir.path()), (QStringList{QStringLiteral("in.wav"), QStringLiteral("out.aac")}));
}

TEST_F(AacEncTest, AchievedBitRatesFollowPresetsAndQuality)
{
    const QString wav2 = noiseWav(QStringLiteral("n2.wav"), 2, 8);
    const QString wav6 = noiseWav(QStringLiteral("n6.wav"), 6, 4);
    for (const char *preset : {"tape", "normal", "ultra"}) {
        const std::string p(preset);
        ASSERT_EQ(encode({"-if", wav2.toStdString(), "-" + p, "-of", spath(QStringLiteral("s.aac"))}), 0);
        ASSERT_EQ(encode({"-if", wav6.toStdString(), "-" + p, "-of", spath(QStringLiteral("m.aac"))}), 0);
        const auto *table = wstool::findEncoderPreset(p);
        // ADTS headers add about 2.6 kbit/s per 1000 frames/s on top of the target.
        EXPECT_NEAR(kbps(path(QStringLiteral("s.aac")), 8), table->kbpsStereo + 2.6, table->kbpsStereo * 0.05) << p;
        EXPECT_NEAR(kbps(path(QStringLiteral("m.aac")), 4), table->kbps51 + 2.6, table->kbps51 * 0.05) << p;
    }
    double previous = 0;
    for (const char *q : {"10", "35", "70", "100"}) {
        ASSERT_EQ(encode({"-if", wav2.toStdString(), "-vbrhi", "-qvbr", q, "-of", spath(QStringLiteral("q.aac"))}), 0);
        const double rate = kbps(path(QStringLiteral("q.aac")), 8);
        EXPECT_GT(rate, previous * 1.1) << q;
        previous = rate;
    }
}

TEST_F(AacEncTest, SixChannelsLoseTheLfeUnlessAskedToKeepIt)
{
    const QString wav = toneWav51(QStringLiteral("tones.wav"), 3);
    ASSERT_EQ(encode({"-if", wav.toStdString(), "-normal", "-of", spath(QStringLiteral("50.aac"))}), 0);
    ASSERT_EQ(encode({"-if", wav.toStdString(), "-normal", "-lfe", "-of", spath(QStringLiteral("51.aac"))}), 0);
    EXPECT_EQ(probe(path(QStringLiteral("50.aac")), QStringLiteral("stream=channels")).at("channels"), "5");
    EXPECT_EQ(probe(path(QStringLiteral("51.aac")), QStringLiteral("stream=channels")).at("channels"), "6");

    // Every coded channel carries its own tone, in WAV order, with the LFE
    // tone (60 Hz) left out of the 5.0 stream.
    const Pcm five = decode(path(QStringLiteral("50.aac")), 5, 48000);
    const Pcm six = decode(path(QStringLiteral("51.aac")), 6, 48000);
    const std::vector<int> fiveTones = {300, 500, 700, 900, 1100};
    for (int ch = 0; ch < 5; ++ch)
        for (int f : {300, 500, 700, 60, 900, 1100}) {
            const double a = toneAmplitude(five, ch, f, 4800, 4800 + 96000);
            if (f == fiveTones[size_t(ch)])
                EXPECT_GT(a, 0.05) << "channel " << ch << " tone " << f;
            else
                EXPECT_LT(a, 0.01) << "channel " << ch << " tone " << f;
        }
    for (int ch = 0; ch < 6; ++ch)
        EXPECT_GT(toneAmplitude(six, ch, kToneFreqs[ch], 4800, 4800 + 96000), 0.05) << "channel " << ch;
}

TEST_F(AacEncTest, AdifHoldsOneHeaderAndTheSameBlocksAsAdts)
{
    const QString wav = noiseWav(QStringLiteral("in.wav"), 2, 3, 44100);
    ASSERT_EQ(encode({"-if", wav.toStdString(), "-streaming", "-of", spath(QStringLiteral("a.aac"))}), 0);
    ASSERT_EQ(encode({"-if", wav.toStdString(), "-streaming", "-adif", "-of", spath(QStringLiteral("b.aac"))}), 0);
    const QByteArray adts = readFile(path(QStringLiteral("a.aac")));
    const QByteArray adif = readFile(path(QStringLiteral("b.aac")));
    int frames = 0;
    const QByteArray blocks = adtsPayload(adts, &frames);
    ASSERT_GT(frames, 100);

    const auto header = wstool::parseAdifHeader(reinterpret_cast<const uint8_t *>(adif.constData()), size_t(adif.size()));
    ASSERT_TRUE(header.has_value());
    ASSERT_EQ(header->programs.size(), 1u);
    const wstool::ProgramConfig &pce = header->programs[0].config;
    EXPECT_EQ(pce.channels(), 2);
    EXPECT_EQ(wstool::aacSampleRate(pce.sampleRateIndex), 44100);
    EXPECT_TRUE(header->variableRate);
    // One header, then exactly the blocks the ADTS frames carry.
    EXPECT_EQ(adif.mid(int(header->size)), blocks);
    EXPECT_EQ(adif.indexOf("ADIF", 1), -1);
    // Peak per-frame rate, so at least the average.
    EXPECT_GT(header->bitrate, uint32_t(double(blocks.size()) * 8 * 44100 / (1024.0 * frames)));

    int channels = 0;
    EXPECT_EQ(decodeRawAac(blocks, wstool::audioSpecificConfig(pce), &channels), int64_t(frames) * 1024);
    EXPECT_EQ(channels, 2);
}

TEST_F(AacEncTest, AdifCarriesSixChannelLayouts)
{
    const QString wav = toneWav51(QStringLiteral("tones.wav"), 1);
    for (bool lfe : {false, true}) {
        std::vector<std::string> words = {"-if", wav.toStdString(), "-radio", "-adif", "-of", spath(QStringLiteral("m.aac"))};
        if (lfe)
            words.push_back("-lfe");
        ASSERT_EQ(encode(words), 0);
        const QByteArray adif = readFile(path(QStringLiteral("m.aac")));
        const auto header = wstool::parseAdifHeader(reinterpret_cast<const uint8_t *>(adif.constData()), size_t(adif.size()));
        ASSERT_TRUE(header.has_value());
        int channels = 0;
        EXPECT_GT(decodeRawAac(adif.mid(int(header->size)), wstool::audioSpecificConfig(header->programs[0].config), &channels), 40000);
        EXPECT_EQ(channels, lfe ? 6 : 5);
    }
}

TEST_F(AacEncTest, ReadsEveryPcmSampleFormat)
{
    for (const char *codec : {"pcm_u8", "pcm_s24le", "pcm_s32le", "pcm_f32le", "pcm_f64le"}) {
        const QString wav = path(QStringLiteral("%1.wav").arg(QLatin1String(codec)));
        ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                    QStringLiteral("sine=f=1000:r=22050:d=1"), QStringLiteral("-c:a"),
                                    QLatin1String(codec), wav}));
        ASSERT_EQ(encode({"-if", wav.toStdString(), "-radio", "-of", spath(QStringLiteral("o.aac"))}), 0) << codec;
        const Pcm out = decode(path(QStringLiteral("o.aac")), 1, 22050);
        // ffmpeg's sine source has amplitude 1/8.
        EXPECT_NEAR(toneAmplitude(out, 0, 1000, 2048, 2048 + 11025), 0.125, 0.02) << codec;
    }
}

TEST_F(AacEncTest, FailuresGiveOneLineAndLeaveNoFiles)
{
    const QString good = noiseWav(QStringLiteral("good.wav"), 2, 1);
    const QByteArray wav = readFile(good);
    writeFile(path(QStringLiteral("empty.wav")), {});
    writeFile(path(QStringLiteral("broken.wav")), QByteArray("RIFF\x10\0\0\0WAVEfmt \x02\0\0\0\x01\0", 20));
    QByteArray random(40000, 0);
    for (int i = 0; i < random.size(); ++i)
        random[i] = char((i * 7919 + 13) ^ (i >> 3));
    writeFile(path(QStringLiteral("random.wav")), random);
    writeFile(path(QStringLiteral("truncated.wav")), wav.left(wav.size() - 3)); // inside a sample frame
    writeFile(path(QStringLiteral("noaudio.wav")), wav.left(44));
    ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-i"), good, QStringLiteral("-c:a"), QStringLiteral("pcm_alaw"),
                                path(QStringLiteral("alaw.wav"))}));
    ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-i"), good, QStringLiteral("-ar"), QStringLiteral("37000"),
                                path(QStringLiteral("rate.wav"))}));
    ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("anoisesrc=d=0.2"), QStringLiteral("-af"),
                                QStringLiteral("pan=7.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0|c6=c0|c7=c0"),
                                path(QStringLiteral("eight.wav"))}));
    writeFile(path(QStringLiteral("out.aac")), "keep me");
    const QStringList before = filesIn(dir.path());

    for (const char *name : {"missing.wav", "empty.wav", "broken.wav", "random.wav", "truncated.wav",
                             "noaudio.wav", "alaw.wav", "rate.wav", "eight.wav"}) {
        std::string err;
        EXPECT_EQ(encode({"-if", spath(QLatin1String(name)), "-normal", "-of", spath(QStringLiteral("out.aac"))}, &err), 1)
            << name;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(err.rfind("aacenc: ", 0), 0u) << err;
        EXPECT_EQ(filesIn(dir.path()), before) << name;
        EXPECT_EQ(readFile(path(QStringLiteral("out.aac"))), QByteArray("keep me")) << name;
    }
    std::string err;
    EXPECT_EQ(encode({"-if", good.toStdString(), "-normal", "-of", spath(QStringLiteral("no/such/dir/o.aac"))}, &err), 1);
    EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
    EXPECT_EQ(encode({"-if", good.toStdString(), "-loud", "-of", spath(QStringLiteral("o.aac"))}, &err), 2);
    EXPECT_EQ(filesIn(dir.path()), before);
}

TEST_F(AacEncTest, TheProgramTakesTheFrontEndsCommandLine)
{
    const QString wav = noiseWav(QStringLiteral("wavesmithy.wav"), 2, 1);
    const QString program = wstest::binDir() + QStringLiteral("/aacenc");
    // As separate words, and as one command-line string.
    QString out, err;
    EXPECT_EQ(wstest::runProgram(program, {QStringLiteral("-if"), wav, QStringLiteral("-vbrhi"), QStringLiteral("-qvbr"),
                                           QStringLiteral("20"), QStringLiteral("-of"), path(QStringLiteral("01.aac"))},
                                 &out, &err),
              0)
        << err.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("kbit/s")));
    const QString line = QStringLiteral("-if \"%1\" -normal -adif -of \"%2\"").arg(wav, path(QStringLiteral("02.aac")));
    EXPECT_EQ(wstest::runProgram(program, {line}, &out, &err), 0) << err.toStdString();
    EXPECT_TRUE(readFile(path(QStringLiteral("02.aac"))).startsWith("ADIF"));
    EXPECT_EQ(probe(path(QStringLiteral("01.aac")), QStringLiteral("stream=codec_name")).at("codec_name"), "aac");

    EXPECT_EQ(wstest::runProgram(program, {QStringLiteral("--help")}, &out), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("achieved")));
    EXPECT_EQ(wstest::runProgram(program, {QStringLiteral("-if"), path(QStringLiteral("nothing.wav")),
                                           QStringLiteral("-normal"), QStringLiteral("-of"), path(QStringLiteral("x.aac"))},
                                 &out, &err),
              1);
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << err.toStdString(); // FFmpeg's own messages stay quiet
}
