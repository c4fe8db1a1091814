// Helper of bench/parallel_encode.sh (not a test): how well the chunks of a
// multi-threaded encode splice, against a single encode of the same WAV.
//   chunk_measure WAV SINGLE.aac CHUNKED.aac THREADS
// For every splice: the error power within 25 ms over the median error of
// 50 ms windows, the largest sample error within 50 ms, and the SNR of the
// 10 s after the splice minus the single encode's SNR there.
#include "AudioCheck.h"
#include "ChunkPlan.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace audiocheck;

namespace {

constexpr int kLag = 1024; // the priming that ADTS does not signal

double errorPower(const Pcm &ref, const Pcm &out, int64_t from, int64_t to, double *peak = nullptr)
{
    return audiocheck::errorPower(ref, out, kLag, from, to, peak);
}

double signalPower(const Pcm &ref, int64_t from, int64_t to)
{
    double sum = 0;
    int64_t n = 0;
    for (int64_t i = std::max<int64_t>(from, 0); i < to && size_t(i) < ref.frames(); ++i)
        for (int c = 0; c < ref.channels; ++c, ++n)
            sum += double(ref.at(size_t(i), c)) * ref.at(size_t(i), c);
    return n ? sum / double(n) : 0;
}

double db(double p) { return 10 * std::log10(std::max(p, 1e-30)); }

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments().mid(1);
    if (a.size() != 4) {
        std::fprintf(stderr, "usage: chunk_measure WAV SINGLE.aac CHUNKED.aac THREADS\n");
        return 2;
    }
    const auto info = audiocheck::probe(a[0], QStringLiteral("stream=channels,sample_rate"));
    const int channels = std::stoi(info.at("channels")), rate = std::stoi(info.at("sample_rate"));
    const Pcm ref = decode(a[0], channels, rate);
    const Pcm single = decode(a[1], channels, rate);
    const Pcm chunked = decode(a[2], channels, rate);
    std::printf("length: chunked %zu samples, single %zu, difference %+lld\n", chunked.frames(), single.frames(),
                static_cast<long long>(chunked.frames()) - static_cast<long long>(single.frames()));

    const auto plan = aacenc::planChunks(int64_t(ref.frames()), 0, -1, a[3].toInt(), aacenc::chunkLimits(rate));
    std::vector<int64_t> splices;
    for (size_t i = 1; i < plan.size(); ++i)
        splices.push_back((plan[i].firstPacket - 1) * 1024);

    // Median error of 50 ms windows away from the splices.
    const int64_t win = rate / 20;
    auto medianDb = [&](const Pcm &out) {
        std::vector<double> w;
        for (int64_t s = win; s + win < int64_t(ref.frames()); s += win) {
            const bool nearSplice = std::any_of(splices.begin(), splices.end(),
                                                [&](int64_t x) { return s + 2 * win > x && s < x + 2 * win; });
            if (!nearSplice)
                w.push_back(errorPower(ref, out, s, s + win));
        }
        std::sort(w.begin(), w.end());
        return w.empty() ? 0.0 : db(w[w.size() / 2]);
    };
    const double medChunked = medianDb(chunked), medSingle = medianDb(single);
    std::printf("%zu chunks; median in-chunk error %.1f dBFS (single %.1f)\n", plan.size(), medChunked, medSingle);
    double worstDb = -1e9, worstPeak = 0, worstTen = 1e9, sumTen = 0;
    for (int64_t at : splices) {
        double peak = 0, peakSingle = 0;
        const double e = db(errorPower(ref, chunked, at - win / 2, at + win / 2, &peak)) - medChunked;
        const double es = db(errorPower(ref, single, at - win / 2, at + win / 2, &peakSingle)) - medSingle;
        errorPower(ref, chunked, at - win, at + win, &peak);
        errorPower(ref, single, at - win, at + win, &peakSingle);
        const int64_t ten = std::min<int64_t>(at + 10 * rate, int64_t(ref.frames()));
        const double sig = db(signalPower(ref, at, ten));
        const double snrChunked = sig - db(errorPower(ref, chunked, at, ten));
        const double snrSingle = sig - db(errorPower(ref, single, at, ten));
        std::printf("splice at %8.3f s: error over median %+5.1f dB (single %+5.1f), max sample error %.4f (single "
                    "%.4f), next 10 s SNR %+5.1f dB against single\n",
                    double(at) / rate, e, es, peak, peakSingle, snrChunked - snrSingle);
        worstDb = std::max(worstDb, e);
        worstPeak = std::max(worstPeak, peak);
        worstTen = std::min(worstTen, snrChunked - snrSingle);
        sumTen += snrChunked - snrSingle;
    }
    if (!splices.empty())
        std::printf("splices: worst error over median %+.1f dB, worst max sample error %.4f, next-10-s SNR against "
                    "single: worst %+.1f dB, mean %+.1f dB\n",
                    worstDb, worstPeak, worstTen, sumTen / double(splices.size()));
    const int64_t all = int64_t(ref.frames());
    const double sig = db(signalPower(ref, 0, all));
    std::printf("whole: SNR chunked %.1f dB, single %.1f dB\n", sig - db(errorPower(ref, chunked, 0, all)),
                sig - db(errorPower(ref, single, 0, all)));
    return 0;
}
