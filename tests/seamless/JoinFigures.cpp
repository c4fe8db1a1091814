#include "JoinFigures.h"


#include <algorithm>
#include <cmath>
#include <cstring>

namespace seam {

namespace {

double db(double power) { return 10.0 * std::log10(std::max(power, 1e-20)); }

// Sum of squared differences of out (at n + lag, divided by gain) against ref
// over reference frames [from, to), and the largest single difference.
struct Err {
    double power = 0;
    double peak = 0;
};

Err error(const Pcm &ref, const Pcm &out, int lag, double gain, size_t from, size_t to)
{
    Err e;
    const int c = ref.channels;
    size_t n = 0;
    for (size_t i = from; i < to && i < ref.frames(); ++i) {
        const int64_t j = int64_t(i) + lag;
        for (int ch = 0; ch < c; ++ch) {
            const double r = ref.data[i * size_t(c) + size_t(ch)];
            const double o = (j >= 0 && size_t(j) < out.frames()) ? out.data[size_t(j) * size_t(c) + size_t(ch)] / gain
                                                                    : 0.0;
            e.power += (o - r) * (o - r);
            e.peak = std::max(e.peak, std::fabs(o - r));
            ++n;
        }
    }
    if (n)
        e.power /= double(n);
    return e;
}

double power(const Pcm &p, size_t from, size_t to)
{
    double s = 0;
    size_t n = 0;
    for (size_t i = from * size_t(p.channels); i < to * size_t(p.channels) && i < p.data.size(); ++i, ++n)
        s += double(p.data[i]) * p.data[i];
    return n ? s / double(n) : 0;
}

// The lag in [lo, hi] that best matches out to ref over frames [from, to),
// correlating every channel: one channel of steady tones repeats itself
// within the search range, all channels together do not.
int bestLag(const Pcm &ref, const Pcm &out, size_t from, size_t to, int lo, int hi)
{
    int best = lo;
    double bestCorr = -1e300;
    const size_t c = size_t(ref.channels);
    for (int lag = lo; lag <= hi; ++lag) {
        double corr = 0;
        for (size_t i = from; i < to; ++i) {
            const int64_t j = int64_t(i) + lag;
            if (j < 0 || size_t(j) >= out.frames())
                continue;
            for (size_t ch = 0; ch < c; ++ch)
                corr += double(ref.data[i * c + ch]) * out.data[size_t(j) * c + ch];
        }
        if (corr > bestCorr) {
            bestCorr = corr;
            best = lag;
        }
    }
    return best;
}

} // namespace

Figures measure(const Pcm &ref, const Pcm &out, double partSeconds, int maxLag)
{
    Figures f;
    if (ref.frames() == 0 || out.frames() == 0 || ref.channels != out.channels || ref.rate != out.rate) {
        f.why = QStringLiteral("nothing to compare");
        return f;
    }
    const size_t total = ref.frames();
    const size_t part = size_t(std::llround(partSeconds * ref.rate));
    std::vector<size_t> starts;
    for (size_t s = 0; s < total; s += part)
        starts.push_back(s);
    if (starts.size() > 1 && total - starts.back() < size_t(ref.rate) / 2)
        starts.pop_back(); // a tail shorter than half a second joins the part before (as the splitter does)
    const size_t nparts = starts.size();
    auto partEnd = [&](size_t k) { return k + 1 < nparts ? starts[k + 1] : total; };

    // Each part's own delay (a part that adds samples shifts all after it).
    std::vector<int> lags(nparts);
    int prev = 0;
    for (size_t k = 0; k < nparts; ++k) {
        const size_t a = starts[k] + std::min<size_t>(part / 4, size_t(ref.rate) / 4);
        const size_t b = std::min(a + size_t(ref.rate) / 4, partEnd(k));
        lags[k] = k == 0 ? bestLag(ref, out, a, b, 0, maxLag) : bestLag(ref, out, a, b, prev - 64, prev + 2 * 1024 + 64);
        prev = lags[k];
    }
    f.lag = lags[0];
    f.lags = lags;

    // Level: the front end may apply a gain; fit it on the first part.
    {
        double ro = 0, rr = 0;
        for (size_t i = 0; i < std::min(total, partEnd(0)); ++i) {
            const int64_t j = int64_t(i) + lags[0];
            if (j < 0 || size_t(j) >= out.frames())
                continue;
            for (int ch = 0; ch < ref.channels; ++ch) {
                const double r = ref.data[i * size_t(ref.channels) + size_t(ch)];
                ro += r * out.data[size_t(j) * size_t(out.channels) + size_t(ch)];
                rr += r * r;
            }
        }
        f.gain = rr > 0 ? ro / rr : 1.0;
        if (!(f.gain > 0.01)) {
            f.why = QStringLiteral("the output does not follow the reference");
            return f;
        }
    }

    // Windows of 50 ms inside the parts, away from joins (and from the very
    // start and end, where encoders prime and pad).
    const size_t win = size_t(ref.rate) / 20;
    std::vector<double> inPart;
    double errSum = 0, sigSum = 0;
    for (size_t k = 0; k < nparts; ++k) {
        for (size_t s = starts[k] + 2 * win; s + 3 * win <= partEnd(k); s += win) {
            const Err e = error(ref, out, lags[k], f.gain, s, s + win);
            inPart.push_back(e.power);
            f.maxErrorInParts = std::max(f.maxErrorInParts, e.peak);
            errSum += e.power;
            sigSum += power(ref, s, s + win);
        }
    }
    if (inPart.empty()) {
        f.why = QStringLiteral("parts too short to measure");
        return f;
    }
    std::sort(inPart.begin(), inPart.end());
    const double median = inPart[inPart.size() / 2];
    f.medianErrorDb = db(median);
    f.snrDb = db(sigSum) - db(errSum);

    // Joins: the left part's delay before the boundary, the right part's after.
    for (size_t k = 1; k < nparts; ++k) {
        const size_t j = starts[k];
        auto around = [&](size_t half) {
            const Err a = error(ref, out, lags[k - 1], f.gain, j - half, j);
            const Err b = error(ref, out, lags[k], f.gain, j, j + half);
            return Err{(a.power + b.power) / 2, std::max(a.peak, b.peak)};
        };
        JoinFigure jf;
        jf.seconds = double(j) / ref.rate;
        jf.errorDb = db(around(win / 2).power) - db(median);
        jf.maxError = around(win).peak;
        f.joins.push_back(jf);
    }

    // Cold start: the first 10 s of long parts against the rest.
    const size_t ten = size_t(ref.rate) * 10;
    for (size_t k = 0; k < nparts; ++k) {
        const size_t a = starts[k] + (k == 0 ? win : 0), b = partEnd(k);
        if (b - starts[k] < 2 * ten)
            continue;
        const double head = db(power(ref, a, starts[k] + ten)) - db(error(ref, out, lags[k], f.gain, a, starts[k] + ten).power);
        const double rest = db(power(ref, starts[k] + ten, b)) - db(error(ref, out, lags[k], f.gain, starts[k] + ten, b).power);
        f.firstTenSecondsDb.push_back(head - rest);
    }
    f.ok = true;
    return f;
}

} // namespace seam
