// Helper of bench/seamless_joins.sh (not a test): stores job settings with
// short parts, and prints the join figures of a conversion.
//   seamless_measure settings CONF PART_SECONDS [six] [rate HZ] [temp DIR/]
//   seamless_measure compare REF OUT ONEPASS PART_SECONDS CHANNELS RATE
#include "JoinFigures.h"
#include "OptionModel.h"

#include <QCoreApplication>
#include <QSettings>

#include <cstdio>

namespace {

int settings(const QStringList &a)
{
    if (a.size() < 2)
        return 2;
    ws::OptionModel o;
    // A fixed gain of 0 dB: the output keeps the source's level, so sample
    // errors read on the source's scale and nothing clips.
    o.setValue(o.control(QStringLiteral("Azid"), 7), 0);
    for (int i = 2; i < a.size(); ++i) {
        if (a[i] == QLatin1String("six")) {
            o.pickItem(o.control(QStringLiteral("azidcmb"), 8), QStringLiteral("5.1"));
        } else if (a[i] == QLatin1String("temp") && i + 1 < a.size()) {
            o.setText(o.control(QStringLiteral("TempFolder")), a[++i]);
        } else if (a[i] == QLatin1String("rate") && i + 1 < a.size()) {
            o.setValue(o.control(QStringLiteral("SSRC"), 0), 1);
            o.setText(o.control(QStringLiteral("ssrcv"), 0), a[++i]);
        }
    }
    // Last: choosing 5.1 sets its own part length.
    o.setText(o.control(QStringLiteral("splitval"), 0), a[1]);
    QSettings store(a[0], QSettings::IniFormat);
    o.saveSettings(store);
    store.sync();
    return 0;
}

int compare(const QStringList &a)
{
    if (a.size() < 6)
        return 2;
    const double part = a[3].toDouble();
    const int channels = a[4].toInt(), rate = a[5].toInt();
    const seam::Pcm ref = seam::decode(a[0], channels, rate);
    const seam::Pcm out = seam::decode(a[1], channels, rate);
    const seam::Pcm one = seam::decode(a[2], channels, rate);
    std::printf("length: output %zu samples, one-pass %zu, difference %+lld (reference %zu)\n", out.frames(),
                one.frames(), static_cast<long long>(out.frames()) - static_cast<long long>(one.frames()),
                ref.frames());
    for (const auto &[name, pcm] : {std::pair{"output", &out}, std::pair{"one-pass", &one}}) {
        const seam::Figures f = seam::measure(ref, *pcm, part);
        if (!f.ok) {
            std::printf("%s: %s\n", name, qPrintable(f.why));
            continue;
        }
        std::printf("%s: delay %d, SNR %.1f dB, median in-part error %.1f dBFS, max in-part error %.4f\n", name,
                    f.lag, f.snrDb, f.medianErrorDb, f.maxErrorInParts);
        double worstDb = -1e9, worstMax = 0;
        for (const seam::JoinFigure &j : f.joins) {
            worstDb = std::max(worstDb, j.errorDb);
            worstMax = std::max(worstMax, j.maxError);
        }
        for (const seam::JoinFigure &j : f.joins)
            std::printf("%s: join at %.1f s: error over in-part median %+.1f dB, max sample error %.4f\n", name,
                        j.seconds, j.errorDb, j.maxError);
        if (!f.joins.empty())
            std::printf("%s: %zu joins, error over in-part median: worst %+.1f dB; max sample error at joins %.4f\n",
                        name, f.joins.size(), worstDb, worstMax);
        for (size_t k = 0; k < f.firstTenSecondsDb.size(); ++k)
            std::printf("%s: part %zu first-10-s SNR minus the rest %+.1f dB\n", name, k + 1, f.firstTenSecondsDb[k]);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList a = app.arguments().mid(1);
    const QString cmd = a.isEmpty() ? QString() : a.takeFirst();
    const int rc = cmd == QLatin1String("settings") ? settings(a) : cmd == QLatin1String("compare") ? compare(a) : 2;
    if (rc == 2)
        std::fprintf(stderr, "usage: seamless_measure settings CONF PART_SECONDS [six] [rate HZ] [temp DIR/]\n"
                             "       seamless_measure compare REF OUT ONEPASS PART_SECONDS CHANNELS RATE\n");
    return rc;
}
