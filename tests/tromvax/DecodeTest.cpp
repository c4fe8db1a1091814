// Part decodes and gain measurements, checked on the decoded audio.
#include "AudioProbe.h"
#include "Input.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

using namespace tvtest;

namespace {

struct Paths {
    std::string dir = scratchDir();
    std::string wav = dir + "/wavesmithy.wav";
    std::string log = dir + "/Tromvax.log";
};

// A part decode as the front end composes it, with the given groups.
std::string decodeLine(const std::string &src, const Paths &p, const std::string &channels,
                       const std::string &groups)
{
    return "tromvax -core( -input \"" + src + "\" -output \"" + p.wav + "\" -logfilea \"" + p.log + "\" " +
           channels + " )" + groups;
}

Audio decode(const std::string &src, const std::string &channels, const std::string &groups,
             std::string *log = nullptr)
{
    Paths p;
    std::string err;
    const int rc = runTromvax(decodeLine(src, p, channels, groups), &err);
    EXPECT_EQ(rc, 0) << err;
    if (log)
        *log = readFile(p.log);
    return load(p.wav);
}

const double kHalf = -6.0206; // a tone of amplitude 0.5, in dBFS

} // namespace

TEST(TromvaxDecode, StereoAc3ToneKeepsFrequencyLevelAndLength)
{
    const std::string src = fixture("tone_stereo.ac3");
    Paths p;
    // Step 10 of the job, with the stored defaults of the decoder group.
    const std::string line = "tromvax -core( -input \"" + src + "\" -output \"" + p.wav + "\" -logfilea \"" + p.log +
                             "\" -2ch ) -azid(  -L -3db -c normal -s surround ) -profile( The Wavesmithy v0.51 ) "
                             "-ota( -sc 1024 -g 0db )";
    std::string err;
    ASSERT_EQ(runTromvax(line, &err), 0) << err;
    const Audio a = load(p.wav);
    ASSERT_EQ(a.channels(), 2);
    EXPECT_EQ(a.codec, "pcm_s16le");
    EXPECT_EQ(a.rate, 48000);
    EXPECT_NEAR(a.seconds(), 3.0, 0.05);
    for (const auto &c : a.ch) {
        EXPECT_NEAR(frequency(c, a.rate, 24000, 120000), 1000.0, 0.5);
        EXPECT_NEAR(db(peak(c, 24000, 120000)), kHalf, 0.5);
    }
    const std::string log = readFile(p.log);
    EXPECT_NE(log.find("\n[00:00:00:000] |  Total Gain: +0.0dB\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] |  Profile: The Wavesmithy v0.51\n"), std::string::npos);
    EXPECT_NE(log.find("] |  Audio: ac3, 48000 Hz, stereo"), std::string::npos);
    EXPECT_EQ(leftovers(p.dir), 0);
}

TEST(TromvaxDecode, DownmixPutsTheCentreIntoBothOutputsAtTheGivenLevel)
{
    const std::string src = fixture("centre51.ac3");
    const Audio full = decode(src, "-2ch", " -azid( -C 0db -s stereo )");
    const Audio lower = decode(src, "-2ch", " -azid( -C -6db -s stereo )");
    ASSERT_EQ(full.channels(), 2);
    ASSERT_EQ(lower.channels(), 2);
    EXPECT_NEAR(db(peak(full.ch[0], 24000)), kHalf, 0.5);
    EXPECT_NEAR(db(peak(full.ch[0], 24000)), db(peak(full.ch[1], 24000)), 0.01);
    EXPECT_NEAR(db(peak(lower.ch[0], 24000)) - db(peak(full.ch[0], 24000)), -6.0, 0.1);
    EXPECT_NEAR(db(peak(lower.ch[1], 24000)) - db(peak(full.ch[1], 24000)), -6.0, 0.1);

    const Audio six = decode(src, "-6chwav", "");
    ASSERT_EQ(six.channels(), 6);
    EXPECT_EQ(six.layout, "5.1(side)");
    for (int c = 0; c < 6; ++c) {
        if (c == 2)
            EXPECT_NEAR(db(peak(six.ch[2], 24000)), kHalf, 0.5);
        else
            EXPECT_LT(db(peak(six.ch[static_cast<size_t>(c)], 24000)), -60.0) << "channel " << c;
    }
}

TEST(TromvaxDecode, LfeGoesIntoLeftAndRightOrItsOwnChannelAtTheGivenLevel)
{
    const std::string src = fixture("lfe51.ac3");
    const Audio six = decode(src, "-6chwav", "");
    ASSERT_EQ(six.channels(), 6);
    const double lfe = db(peak(six.ch[3], 24000));
    EXPECT_GT(lfe, -12.0); // the AC3 encoder keeps a 50 Hz LFE tone

    const Audio quieter = decode(src, "-6chwav", " -azid( -l -6db )");
    EXPECT_NEAR(db(peak(quieter.ch[3], 24000)) - lfe, -6.0, 0.1);

    const Audio mixed = decode(src, "-2ch", " -azid( -L -3db -s stereo )");
    EXPECT_NEAR(db(peak(mixed.ch[0], 24000)) - lfe, -3.0, 0.1);
    EXPECT_NEAR(db(peak(mixed.ch[1], 24000)) - lfe, -3.0, 0.1);

    const Audio without = decode(src, "-2ch", " -azid( -s stereo )");
    EXPECT_LT(db(peak(without.ch[0], 24000)), -60.0);
}

TEST(TromvaxDecode, SurroundMatrixAndSurroundLowPass)
{
    const std::string src = fixture("sl51.ac3"); // 5 kHz in the left surround only
    // Lt/Rt: the surround goes into both outputs in opposite phase.
    const Audio ltrt = decode(src, "-2ch", " -azid( -S 0db -s surround )");
    ASSERT_EQ(ltrt.channels(), 2);
    std::vector<float> sum(ltrt.frames());
    for (size_t i = 0; i < sum.size(); ++i)
        sum[i] = ltrt.ch[0][i] + ltrt.ch[1][i];
    EXPECT_GT(db(rms(ltrt.ch[0], 24000)), -20.0);
    EXPECT_LT(db(rms(sum, 24000)), db(rms(ltrt.ch[0], 24000)) - 40.0);

    // Lo/Ro: left surround into left only.
    const Audio loro = decode(src, "-2ch", " -azid( -S 0db -s stereo )");
    EXPECT_NEAR(db(peak(loro.ch[0], 24000)), kHalf, 0.5);
    EXPECT_LT(db(peak(loro.ch[1], 24000)), -60.0);

    // A 1 kHz corner takes a 5 kHz surround tone down by about 28 dB.
    const Audio filtered = decode(src, "-2ch", " -azid( -S 0db -f1 1000 -s stereo )");
    EXPECT_LT(db(rms(filtered.ch[0], 24000)), db(rms(loro.ch[0], 24000)) - 20.0);
}

TEST(TromvaxDecode, DelayShiftsTheAudioByExactlyThatManySamples)
{
    const std::string src = fixture("tone.wav");
    const Audio in = load(src);
    ASSERT_EQ(in.channels(), 2);
    const size_t shift = 4800; // 100 ms at 48 kHz

    const Audio later = decode(src, "-2ch", " -ota( -d 100 )");
    ASSERT_EQ(later.frames(), in.frames() + shift);
    EXPECT_EQ(peak(later.ch[0], 0, shift), 0.0);
    EXPECT_TRUE(std::equal(in.ch[0].begin(), in.ch[0].end(), later.ch[0].begin() + shift));
    EXPECT_TRUE(std::equal(in.ch[1].begin(), in.ch[1].end(), later.ch[1].begin() + shift));

    const Audio earlier = decode(src, "-2ch", " -ota( -d -100 )");
    ASSERT_EQ(earlier.frames(), in.frames() - shift);
    EXPECT_TRUE(std::equal(earlier.ch[0].begin(), earlier.ch[0].end(), in.ch[0].begin() + shift));

    // "auto" reads the mark in the file name.
    const std::string marked = scratchDir() + "/tone DELAY 100ms.wav";
    std::filesystem::copy_file(src, marked);
    const Audio fromName = decode(marked, "-2ch", " -ota( -d auto -sc 1024 )");
    EXPECT_EQ(fromName.frames(), in.frames() + shift);
}

TEST(TromvaxDecode, MeasuredGainBringsThePeakToFullScale)
{
    const std::string src = fixture("tone.wav"); // peak exactly 0.5
    Paths p;
    // Step 5 of the job: the log path is not quoted there.
    const std::string line = "tromvax -core( -input \"" + src + "\" -output \"" + p.wav + "\" -logfile " + p.dir +
                             "/Aactempfile1 -2chnothing ) -ota( -g max )";
    std::string err;
    ASSERT_EQ(runTromvax(line, &err), 0) << err;
    EXPECT_FALSE(exists(p.wav)); // "nothing": no WAV file
    const std::string log = readFile(p.dir + "/Aactempfile1");
    EXPECT_NE(log.find("\n[00:00:00:000] |  Overall Track Gain: +6.0dB\n"), std::string::npos) << log;

    // The front end hands the measured gain to the part decode.
    const Audio gained = decode(src, "-2ch", " -ota( -sc 1024 -g +6.0dB )");
    const double top = db(peak(gained.ch[0]));
    EXPECT_LE(top, 0.0);
    EXPECT_GT(top, -0.1);

    // "-g max" on a decode measures first, then applies the gain.
    std::string twoPassLog;
    const Audio twoPass = decode(src, "-2ch", " -ota( -g max )", &twoPassLog);
    EXPECT_NEAR(db(peak(twoPass.ch[1])), top, 0.001);
    EXPECT_NE(twoPassLog.find("Overall Track Gain: +6.0dB"), std::string::npos);
    EXPECT_NE(twoPassLog.find("Total Gain: +6.0dB"), std::string::npos);
}

TEST(TromvaxDecode, ResamplesWithSoxAndAttenuates)
{
    std::string log;
    const Audio a = decode(fixture("tone.wav"), "-2ch", " -ssrc( --rate 44100 --att 6 )", &log);
    ASSERT_EQ(a.channels(), 2);
    EXPECT_EQ(a.rate, 44100);
    EXPECT_NEAR(a.seconds(), 3.0, 0.001);
    EXPECT_NEAR(frequency(a.ch[0], a.rate, 22050, 110250), 1000.0, 0.5);
    EXPECT_NEAR(db(peak(a.ch[0], 22050, 110250)), kHalf - 6.0, 0.05);
    EXPECT_NE(log.find("(SoX)"), std::string::npos);
    EXPECT_NE(log.find("Total Gain: -6.0dB"), std::string::npos);
}

TEST(TromvaxDecode, MpegAudioAndWavSources)
{
    for (const char *name : {"tone.mp2", "tone.mp3", "tone.wav", "tone.dts"}) {
        SCOPED_TRACE(name);
        const Audio a = decode(fixture(name), "-2ch", "");
        ASSERT_EQ(a.channels(), 2);
        EXPECT_NEAR(a.seconds(), 3.0, 0.08);
        EXPECT_NEAR(frequency(a.ch[1], a.rate, a.rate / 2, a.rate * 5 / 2), 1000.0, 0.5);
        EXPECT_NEAR(db(peak(a.ch[1], a.rate / 2, a.rate * 5 / 2)), kHalf, 0.5);
    }
}

// A part of one or two frames (a source that ends a frame past a part
// end): the MP3 demuxer refuses a file of one frame, so it is read frame by
// frame through the parser.
TEST(TromvaxDecode, MpegAudioPartsOfOneFrameDecode)
{
    const std::string mp2 = readFile(fixture("tone.mp2"));
    const size_t frame = 576; // 192 kb/s at 48 kHz, never padded
    for (int frames : {1, 2}) {
        SCOPED_TRACE(frames);
        const std::string part = scratchDir() + "/02.mpa";
        std::ofstream(part, std::ios::binary) << mp2.substr(20 * frame, size_t(frames) * frame);
        const Audio a = decode(part, "-2ch", "");
        ASSERT_EQ(a.channels(), 2);
        EXPECT_EQ(a.frames(), size_t(frames) * 1152);
        EXPECT_NEAR(db(peak(a.ch[0], 600)), kHalf, 0.5);
    }
}

TEST(TromvaxDecode, BoostCompressesQuietPassagesAndExpansionLowersThem)
{
    const std::string src = fixture("quietloud.wav"); // 2 s at -30 dBFS, 2 s at -1 dBFS
    const Audio in = load(src);
    const size_t q0 = 24000, q1 = 84000, l0 = 120000, l1 = 180000;
    const Audio up = decode(src, "-2ch", " -boost( /b=6db )");
    EXPECT_NEAR(db(rms(up.ch[0], q0, q1)) - db(rms(in.ch[0], q0, q1)), 6.0, 1.0);
    // Near full scale the make-up gain is all but taken back.
    EXPECT_NEAR(db(peak(in.ch[0], l0, l1)), -1.0, 0.01);
    EXPECT_NEAR(db(peak(up.ch[0], l0, l1)) - db(peak(in.ch[0], l0, l1)), 0.75, 0.75);

    const Audio down = decode(src, "-2ch", " -boost( /b=0.5 )");
    EXPECT_NEAR(db(rms(down.ch[0], q0, q1)) - db(rms(in.ch[0], q0, q1)), -10.0, 2.0);
    EXPECT_NEAR(db(peak(down.ch[0], l0, l1)) - db(peak(in.ch[0], l0, l1)), 0.0, 0.5);
}

TEST(TromvaxDecode, LadspaPlugInRunsOnTheAudio)
{
    if (!exists("/usr/lib/ladspa/filter.so"))
        GTEST_SKIP() << "ladspa-sdk's example plug-ins are not installed";
    const std::string src = fixture("low_high.wav"); // left 100 Hz, right 5 kHz
    const Audio in = load(src);
    // The SDK's "lpf" has its corner at 440 Hz by default.
    const Audio out = decode(src, "-2ch", " -plugin( -name filter.so -func lpf )");
    ASSERT_EQ(out.channels(), 2);
    EXPECT_NEAR(db(rms(out.ch[0], 4800)) - db(rms(in.ch[0], 4800)), 0.0, 1.0);
    EXPECT_LT(db(rms(out.ch[1], 4800)) - db(rms(in.ch[1], 4800)), -15.0);

    for (const std::string groups : {" -plugin( -name nosuchlib.dll -func Simple )",
                                     " -plugin( -name filter.so -func nosuchlabel )"}) {
        Paths p;
        std::string err;
        EXPECT_EQ(runTromvax(decodeLine(src, p, "-2ch", groups), &err), 1);
        EXPECT_NE(err.find(groups.find("nosuchlib") != std::string::npos ? "nosuchlib" : "nosuchlabel"),
                  std::string::npos)
            << err;
        EXPECT_FALSE(exists(p.wav));
        EXPECT_EQ(leftovers(p.dir), 0);
    }
}

TEST(TromvaxDecode, AFormatChangeInMidStreamKeepsTheWholeStream)
{
    std::string log;
    const Audio a = decode(fixture("mixed.ac3"), "-2ch", " -azid( -s stereo )", &log); // stereo, then 5.1
    ASSERT_EQ(a.channels(), 2);
    EXPECT_NEAR(a.seconds(), 6.0, 0.1);
    EXPECT_NEAR(db(peak(a.ch[0], 24000, 120000)), kHalf, 0.5);
    EXPECT_GT(db(peak(a.ch[0], 168000, 264000)), -12.0); // the centre, down-mixed
    EXPECT_NE(log.find("built again"), std::string::npos) << log;
}

TEST(TromvaxDecode, FramesAreTheSameWhetherDecodedAheadOrOnDemand)
{
    auto count = [](bool ahead, size_t depth, int stopAfter) {
        tromvax::Demuxer dmx(fixture("tone_stereo.ac3"));
        tromvax::Decoder dec(dmx.selectAudio(std::nullopt), tromvax::DynamicRange::AsCoded);
        tromvax::FrameSource source(dmx, dec, ahead, depth);
        wstool::FramePtr f = wstool::makeFrame();
        int64_t samples = 0;
        double sum = 0;
        for (int n = 0; n != stopAfter && source.next(f.get()); ++n) {
            samples += f->nb_samples;
            sum += reinterpret_cast<const float *>(f->extended_data[1])[f->nb_samples / 2];
        }
        return std::make_pair(samples, sum);
    };
    const auto here = count(false, 32, -1);
    EXPECT_GT(here.first, 140000);
    EXPECT_EQ(count(true, 32, -1), here);
    EXPECT_EQ(count(true, 2, -1), here);
    // A consumer that stops early while the worker waits for room.
    EXPECT_EQ(count(true, 2, 3).first, 3 * 1536);
}

// A source split by kardune into parts with span notes: every part decodes
// to exactly the samples a decode of the whole source gives there, after
// its run-in (the seamless joins rest on it), for DTS as for AC3.
TEST(TromvaxDecode, SplitPartsDecodeToTheWholeSourcesSamples)
{
    for (const char *name : {"tone.dts", "tone_stereo.ac3"}) {
        SCOPED_TRACE(name);
        const std::string src = fixture(name);
        const std::string type = std::filesystem::path(name).extension().string().substr(1);
        const Audio whole = decode(src, "-2ch", "");
        ASSERT_EQ(whole.channels(), 2);
        const std::string dir = scratchDir();
        QString err;
        ASSERT_EQ(wstest::runProgram(wstest::binDir() + "/kardune",
                                     {"-core(", "-input", QString::fromStdString(src), "-prefix",
                                      QString::fromStdString(dir + "/"), "-type", QString::fromStdString(type), "-r",
                                      "-ending", ")", "-split(", "0", "1.1", "1.1", ")"},
                                     nullptr, &err),
                  0)
            << err.toStdString();
        size_t covered = 0;
        for (int i = 1; i <= 3; ++i) {
            SCOPED_TRACE(i);
            std::string log;
            const Audio part = decode(dir + "/0" + std::to_string(i) + "." + type, "-2ch", "", &log);
            // "Part: source samples A to B, N samples of run-in kept before it"
            const size_t at = log.find("Part: source samples ");
            ASSERT_NE(at, std::string::npos) << log;
            const long start = std::stol(log.substr(at + 21));
            const size_t lead = std::stoul(log.substr(log.find(", ", at) + 2));
            const size_t from = size_t(std::lround(start / 1024.0)) * 1024; // on the block grid
            ASSERT_GT(part.frames(), lead);
            const size_t n = std::min(part.frames() - lead, whole.frames() - from);
            for (int c = 0; c < 2; ++c)
                EXPECT_TRUE(std::equal(part.ch[c].begin() + long(lead), part.ch[c].begin() + long(lead + n),
                                       whole.ch[c].begin() + long(from)));
            covered = from + n;
        }
        EXPECT_EQ(covered, whole.frames());
    }
}
