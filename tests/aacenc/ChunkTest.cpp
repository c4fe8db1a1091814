// Chunked encoding on worker threads: the chunk plan, and real encodes that
// must be indistinguishable from a single encode (same length, no click or
// quality loss at the splices) and the same from run to run.
#include "AacEnc.h"
#include "AudioCheck.h"
#include "Av.h"
#include "ChunkPlan.h"
#include "TestSupport.h"
#include "WavEncoder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace audiocheck;
using aacenc::Chunk;
using aacenc::ChunkLimits;
using aacenc::planChunks;

namespace {

const int kQuietFfmpeg = (av_log_set_level(AV_LOG_QUIET), 0);

// The run-in a plan's chunks start with: the long one when every chunk
// keeps at least the long chunk's length.
int64_t runInOf(const std::vector<Chunk> &plan)
{
    return plan.size() > 1 ? plan[1].firstPacket - 1 - plan[1].startSample / 1024 : 0;
}

// Every packet of the range belongs to exactly one chunk, in order; each
// chunk starts its encoder on the frame grid, early enough for its run-in,
// and every chunk but the last encodes as many frames as the first.
void expectCovers(const std::vector<Chunk> &plan, int64_t first, int64_t last, const ChunkLimits &l)
{
    ASSERT_FALSE(plan.empty());
    const int64_t runIn = plan.size() > 1 ? runInOf(plan) : l.runInFrames;
    EXPECT_TRUE(runIn == l.runInFrames || runIn == l.longRunInFrames) << runIn;
    EXPECT_EQ(plan.front().firstPacket, first);
    EXPECT_EQ(plan.front().startSample, 0);
    EXPECT_EQ(plan.back().lastPacket, last);
    // The first chunk's encoder starts at the input's start, before `first`.
    const int64_t work = plan.front().lastPacket + 1;
    for (size_t i = 0; i < plan.size(); ++i) {
        const Chunk &c = plan[i];
        EXPECT_EQ(c.startSample % 1024, 0);
        if (i + 1 < plan.size()) {
            EXPECT_EQ(plan[i + 1].firstPacket, c.lastPacket + 1) << "chunk " << i;
            EXPECT_EQ(c.lastPacket - c.firstPacket + 1 + (i == 0 ? c.firstPacket : runIn), work)
                << "chunk " << i;
        }
        if (i > 0) {
            EXPECT_EQ(c.startSample, (c.firstPacket - 1 - runIn) * 1024) << "chunk " << i;
            if (c.lastPacket >= 0) {
                EXPECT_GE(c.lastPacket - c.firstPacket + 1, runIn / 2) << "chunk " << i << " is too small";
            }
        }
    }
    // The long run-in only where every chunk but the last (whose end the
    // plan leaves open) keeps the long chunk's length.
    if (runIn == l.longRunInFrames && plan.size() > 1) {
        for (size_t i = 0; i + 1 < plan.size(); ++i)
            EXPECT_GE(plan[i].lastPacket - plan[i].firstPacket + 1, l.longChunkFrames) << "chunk " << i;
    }
}

TEST(ChunkPlan, SharesTheWorkEvenlyAndLeavesShortInputsWhole)
{
    const ChunkLimits l = aacenc::chunkLimits(48000);
    // 256 s at 48 kHz: 12000 frames, 12001 packets with the priming one.
    const int64_t samples = 256 * 48000;
    EXPECT_EQ(aacenc::packetCount(samples), 12001);
    EXPECT_EQ(aacenc::packetCount(1), 2);
    EXPECT_EQ(aacenc::packetCount(0), 0);

    const auto one = planChunks(samples, 0, -1, 1, l);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].lastPacket, -1);

    const auto two = planChunks(samples, 0, -1, 2, l);
    ASSERT_EQ(two.size(), 2u);
    expectCovers(two, 0, -1, l);
    // Chunks this long start with the long run-in; the second keeps that
    // much less, and encodes as much.
    EXPECT_EQ(runInOf(two), l.longRunInFrames);
    EXPECT_NEAR(double(two[0].lastPacket + 1), double(12001 - two[1].firstPacket + l.longRunInFrames), 1.0);
    // The 32 s parts of a 5.1 job (8 frames of run-in before the part) make
    // short chunks, which keep the short run-in rather than not being made.
    const auto part = planChunks((8 + 1500 + 4) * 1024, 9, 1508, 2, l);
    ASSERT_EQ(part.size(), 2u);
    EXPECT_EQ(runInOf(part), l.runInFrames);
    expectCovers(part, 9, 1508, l);

    // Twenty minutes on two threads: no chunk encodes more than the largest
    // size, and the count is a multiple of two.
    const auto long2 = planChunks(1200 * 48000, 0, -1, 2, l);
    EXPECT_EQ(long2.size() % 2, 0u);
    EXPECT_LE(long2.front().lastPacket + 1, l.maxChunkFrames);
    expectCovers(long2, 0, -1, l);

    // A chunk keeping less than half its run-in is not made: below twice the
    // run-in an input is encoded in one go, whatever the thread count.
    EXPECT_EQ(planChunks((2 * l.runInFrames - 3) * 1024, 0, -1, 8, l).size(), 1u);
    EXPECT_EQ(planChunks((2 * l.runInFrames + 1) * 1024, 0, -1, 8, l).size(), 2u);
    const auto many = planChunks(120 * 48000, 0, -1, 64, l);
    EXPECT_GT(many.size(), 2u);
    EXPECT_LT(many.size(), 64u);
    expectCovers(many, 0, -1, l);
}

TEST(ChunkPlan, KeepsOnlyAPartsOwnPackets)
{
    const ChunkLimits l = aacenc::chunkLimits(44100);
    // A part with run-in before packet 9 and run-out after packet 1386.
    const auto plan = planChunks(1400 * 1024 + 77, 9, 1386, 2, l);
    ASSERT_EQ(plan.size(), 2u);
    expectCovers(plan, 9, 1386, l);
    // A kept range beyond the input's end is cut to the packets there are.
    const auto beyond = planChunks(1400 * 1024, 0, 5000, 2, l);
    expectCovers(beyond, 0, aacenc::packetCount(1400 * 1024) - 1, l);
}

class ChunkedEncode : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    std::string spath(const QString &name) const { return path(name).toStdString(); }

    // Tones, a chirp and sharp clicks every 125 ms (peaking at 0.6), so that
    // clicks fall just before, on and after any splice. Extra ffmpeg words
    // (e.g. metadata) go before the output name.
    QString signalWav(const QString &name, int channels, double seconds, const QStringList &extra = {})
    {
        const auto click = clickExpr;
        QStringList ch{QStringLiteral("0.2*sin(2*PI*440*t)+0.15*sin(2*PI*(300+20*t)*t)+") + click(0.007, 2500),
                       QStringLiteral("0.2*sin(2*PI*660*t)+0.15*sin(2*PI*(500+15*t)*t)+") + click(0.071, 3100)};
        if (channels == 6)
            ch << QStringLiteral("0.2*sin(2*PI*550*t)+") + click(0.02, 1800) << QStringLiteral("0.3*sin(2*PI*50*t)")
               << QStringLiteral("0.2*sin(2*PI*350*t)+") + click(0.001, 4000)
               << QStringLiteral("0.2*sin(2*PI*770*t)+") + click(0.11, 2200);
        const QString src = QStringLiteral("aevalsrc=exprs=%1:s=48000:d=%2:c=%3")
                                .arg(ch.join(QLatin1Char('|')))
                                .arg(seconds, 0, 'f', 6)
                                .arg(channels == 6 ? QStringLiteral("5.1") : QStringLiteral("stereo"));
        EXPECT_TRUE(wstest::ffmpeg(QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), src,
                                               QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")} +
                                   extra + QStringList{path(name)}));
        return path(name);
    }

    int encode(const QString &wav, const QString &out, int threads, const std::vector<std::string> &more = {})
    {
        std::vector<std::string> words{"-if", wav.toStdString(), "-normal", "-threads", std::to_string(threads)};
        words.insert(words.end(), more.begin(), more.end());
        words.insert(words.end(), {"-of", out.toStdString()});
        std::string err;
        const int rc = runTool(aacenc::run, words, &stdout_, &err);
        EXPECT_EQ(rc, 0) << err;
        return rc;
    }

    // Error power (dB) of `test` against `ref` in frames [from, to).
    static double errorDb(const Pcm &ref, const Pcm &test, int lag, int64_t from, int64_t to)
    {
        return 10 * std::log10(std::max(errorPower(ref, test, lag, from, to), 1e-30));
    }

    static double maxError(const Pcm &ref, const Pcm &test, int lag, int64_t from, int64_t to)
    {
        double worst = 0;
        errorPower(ref, test, lag, from, to, &worst);
        return worst;
    }

    // The chunked encode of `wav` against a single encode: same length,
    // and at every splice the error of a 50 ms window and its largest sample
    // error no worse than the single encode's at the same spot (3 dB of
    // slack: two encodes of the same audio differ by that much anyway), and
    // the seconds after each splice coded as well.
    void expectSeamless(const QString &wav, int channels, int threads)
    {
        ASSERT_EQ(encode(wav, path(QStringLiteral("single.aac")), 1), 0);
        ASSERT_EQ(encode(wav, path(QStringLiteral("chunked.aac")), threads), 0);
        const Pcm ref = decode(wav, channels, 48000);
        const Pcm single = decode(path(QStringLiteral("single.aac")), channels, 48000);
        const Pcm chunked = decode(path(QStringLiteral("chunked.aac")), channels, 48000);
        ASSERT_GT(ref.frames(), 0u);
        EXPECT_EQ(chunked.frames(), single.frames());
        const int lag = 1024; // the encoder's priming, which ADTS cannot signal
        ASSERT_EQ(bestLag(ref, chunked, 0, 4096), lag);

        const auto plan = planChunks(int64_t(ref.frames()), 0, -1, threads, aacenc::chunkLimits(48000));
        ASSERT_EQ(plan.size(), size_t(threads)) << "the input is too short to be chunked";
        for (size_t i = 1; i < plan.size(); ++i) {
            // The splice: where chunk i's first packet starts decoding.
            const int64_t at = (plan[i].firstPacket - 1) * 1024;
            const int64_t w = 1200; // 25 ms
            const double e = errorDb(ref, chunked, lag, at - w, at + w);
            const double eSingle = errorDb(ref, single, lag, at - w, at + w);
            EXPECT_LE(e, eSingle + 3.0) << "splice " << i << " at sample " << at;
            EXPECT_LE(maxError(ref, chunked, lag, at - w, at + w),
                      std::max(0.02, 1.5 * maxError(ref, single, lag, at - w, at + w)))
                << "splice " << i;
            // The 5 s after the splice: no cold start.
            const int64_t after = std::min<int64_t>(at + 5 * 48000, int64_t(ref.frames()));
            EXPECT_GE(snrDb(ref, chunked, lag, size_t(at), size_t(after)),
                      snrDb(ref, single, lag, size_t(at), size_t(after)) - 3.0)
                << "splice " << i;
        }
        EXPECT_GE(snrDb(ref, chunked, lag, 0, ref.frames()), snrDb(ref, single, lag, 0, ref.frames()) - 1.0);
        EXPECT_NE(stdout_.find(std::to_string(plan.size()) + " chunks"), std::string::npos) << stdout_;
    }

    std::string stdout_;
    QTemporaryDir dir;
};

TEST_F(ChunkedEncode, StereoSplicesAreSeamless)
{
    // An odd length: the last frame is a short one.
    expectSeamless(signalWav(QStringLiteral("in.wav"), 2, 50.0 + 377.0 / 48000), 2, 3);
}

TEST_F(ChunkedEncode, SixChannelSplicesAreSeamless)
{
    expectSeamless(signalWav(QStringLiteral("in.wav"), 6, 34), 6, 2);
}

TEST_F(ChunkedEncode, SameOutputFromRunToRun)
{
    const QString wav = signalWav(QStringLiteral("in.wav"), 2, 34);
    ASSERT_EQ(encode(wav, path(QStringLiteral("a.aac")), 2), 0);
    EXPECT_NE(stdout_.find("2 chunks"), std::string::npos) << stdout_;
    ASSERT_EQ(encode(wav, path(QStringLiteral("b.aac")), 2), 0);
    const QByteArray a = readFile(path(QStringLiteral("a.aac")));
    EXPECT_FALSE(a.isEmpty());
    EXPECT_EQ(a, readFile(path(QStringLiteral("b.aac"))));
    // ADIF output carries the same spliced blocks after its header.
    ASSERT_EQ(encode(wav, path(QStringLiteral("a.adif")), 2, {"-adif"}), 0);
    int frames = 0;
    const QByteArray blocks = adtsPayload(a, &frames);
    EXPECT_EQ(frames, 1595);
    EXPECT_TRUE(readFile(path(QStringLiteral("a.adif"))).endsWith(blocks));
}

TEST_F(ChunkedEncode, InputsShorterThanTwoChunksAreEncodedInOneGo)
{
    // Below two of the smallest chunks: the same bytes as one thread gives.
    const QString wav = signalWav(QStringLiteral("in.wav"), 2, 3.0 + 5.0 / 48000);
    ASSERT_EQ(encode(wav, path(QStringLiteral("one.aac")), 1), 0);
    ASSERT_EQ(encode(wav, path(QStringLiteral("four.aac")), 4), 0);
    EXPECT_EQ(readFile(path(QStringLiteral("one.aac"))), readFile(path(QStringLiteral("four.aac"))));
    EXPECT_NE(stdout_.find("1 chunk)"), std::string::npos) << stdout_;
}

TEST_F(ChunkedEncode, APartKeepsTheSameFramesWhenChunked)
{
    // A part of a split source: 8192 samples of run-in, then the part, then
    // run-out; the encoder keeps the frames of the part only.
    const int64_t keep = 40 * 48000 + 512;
    const QString note = QStringLiteral("wavesmithy part lead 8192 keep %1").arg(keep);
    const QString wav = signalWav(QStringLiteral("part.wav"), 2, (8192 + keep + 4096) / 48000.0,
                                  {QStringLiteral("-metadata"), QStringLiteral("comment=") + note});
    // Reported: the length of the kept frames (1876 of 1024 samples), not of the WAV.
    ASSERT_EQ(encode(wav, path(QStringLiteral("single.aac")), 1), 0);
    EXPECT_NE(stdout_.find(": 40.021 s,"), std::string::npos) << stdout_;
    ASSERT_EQ(encode(wav, path(QStringLiteral("chunked.aac")), 2), 0);
    EXPECT_NE(stdout_.find(": 40.021 s,"), std::string::npos) << stdout_;
    EXPECT_NE(stdout_.find("2 chunks"), std::string::npos) << stdout_;
    const auto packets = [](const QString &f) {
        return probe(f, QStringLiteral("stream=nb_read_packets"), {QStringLiteral("-count_packets")})["nb_read_packets"];
    };
    // Packets 9 ... 1884: the part's 1920512 samples, rounded up to whole frames.
    EXPECT_EQ(packets(path(QStringLiteral("single.aac"))), "1876");
    EXPECT_EQ(packets(path(QStringLiteral("chunked.aac"))), "1876");
    // The kept frames decode to the part's audio, starting at its first sample.
    const Pcm ref = decode(wav, 2, 48000);
    const Pcm out = decode(path(QStringLiteral("chunked.aac")), 2, 48000);
    ASSERT_GE(out.frames(), size_t(keep));
    // The first kept packet decodes to the part's first samples (missing
    // only the overlap that the part before supplies in a joined stream).
    Pcm part = ref;
    part.data.erase(part.data.begin(), part.data.begin() + 8192 * 2);
    EXPECT_EQ(bestLag(part, out, 0, 4096), 0);
    EXPECT_GT(snrDb(part, out, 0, 48000, size_t(keep) - 48000), 25.0);
}

TEST_F(ChunkedEncode, AFileShorterThanItsHeaderIsEncodedInOneGo)
{
    // The header promises 40 s, the data stops after about 14 s (on a whole
    // sample frame): the chunks would run dry, so the encoder falls back to
    // one pass over what is there, as one thread would.
    const QString wav = signalWav(QStringLiteral("in.wav"), 2, 40);
    QByteArray bytes = readFile(wav);
    const int header = bytes.size() - 40 * 48000 * 4;
    ASSERT_GE(header, 44);
    bytes.truncate(header + 14 * 48000 * 4 + 4 * 333);
    ASSERT_TRUE(writeFile(path(QStringLiteral("cut.wav")), bytes));
    ASSERT_EQ(encode(path(QStringLiteral("cut.wav")), path(QStringLiteral("one.aac")), 1), 0);
    ASSERT_EQ(encode(path(QStringLiteral("cut.wav")), path(QStringLiteral("two.aac")), 2), 0);
    EXPECT_NE(stdout_.find("1 chunk)"), std::string::npos) << stdout_;
    EXPECT_EQ(readFile(path(QStringLiteral("one.aac"))), readFile(path(QStringLiteral("two.aac"))));
}

TEST_F(ChunkedEncode, AFailingChunkLeavesNoOutput)
{
    // A WAV whose data ends inside a sample frame fails in the chunk that
    // reads its end; no output and no temporary file remain.
    const QString wav = signalWav(QStringLiteral("in.wav"), 2, 34);
    QByteArray bytes = readFile(wav);
    bytes.chop(3);
    ASSERT_TRUE(writeFile(path(QStringLiteral("odd.wav")), bytes));
    std::string err;
    const int rc = runTool(aacenc::run,
                           {"-if", spath(QStringLiteral("odd.wav")), "-normal", "-threads", "2", "-of",
                            spath(QStringLiteral("out.aac"))},
                           nullptr, &err);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(err.find("truncated"), std::string::npos) << err;
    EXPECT_EQ(filesIn(dir.path()), QStringList({QStringLiteral("in.wav"), QStringLiteral("odd.wav")}));
}

} // namespace

TEST(WavSourceLength, NeverMoreSamplesThanTheFileHolds)
{
    // RF64 whose ds64 chunk states the data length; the file holds 10 stereo
    // 16-bit sample frames (40 bytes) after its 80-byte header.
    QTemporaryDir dir;
    auto rf64 = [&dir](uint64_t dataBytes, uint64_t frames) {
        QByteArray b("RF64\xff\xff\xff\xffWAVEds64", 16);
        auto put = [&b](uint64_t v, int n) {
            for (int i = 0; i < n; ++i)
                b.append(char(v >> (8 * i)));
        };
        put(28, 4);
        put(0, 8);
        put(dataBytes, 8);
        put(frames, 8);
        put(0, 4);
        b.append("fmt ", 4);
        put(16, 4);
        put(1, 2), put(2, 2), put(48000, 4), put(48000 * 4, 4), put(4, 2), put(16, 2);
        b.append("data\xff\xff\xff\xff", 8);
        b.append(40, '\x01');
        const QString path = dir.filePath(QStringLiteral("in.wav"));
        EXPECT_TRUE(writeFile(path, b));
        return aacenc::WavSource(path.toStdString(), false).declaredSamples();
    };
    EXPECT_EQ(rf64(40, 10), 10);
    // A damaged count (with no data length): the 120 bytes of the file hold
    // 30 sample frames at most.
    EXPECT_EQ(rf64(0, 0x0100000004000078ull), 30);
}
