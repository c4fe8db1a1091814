#include "DiscFixture.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace discfixture {

namespace {

QString sweep(int k, int channel)
{
    // Non-periodic, a different one per track and channel.
    return QStringLiteral("0.25*sin(2*PI*(%1*t+%2*t*t))").arg(200 + 150 * k + 40 * channel).arg(30 + 7 * k + 3 * channel);
}

QString graph(int k, int channels, double seconds)
{
    QStringList parts;
    for (int c = 0; c < channels; ++c)
        parts << sweep(k, c);
    return QStringLiteral("aevalsrc=%1:s=48000:d=%2%3")
        .arg(parts.join(QLatin1Char('|')))
        .arg(seconds)
        .arg(channels == 6 ? QStringLiteral(":c=5.1(side)") : QString());
}

} // namespace

bool renumber(const QString &in, const QString &out, const QList<QPair<int, int>> &ids)
{
    QFile f(in);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QByteArray d = f.readAll();
    auto u = [&](qsizetype i) { return uint8_t(d[i]); };
    auto mapped = [&](int id) {
        for (const auto &p : ids)
            if (p.first == id)
                return p.second;
        return id;
    };
    // Walk the packs: pack headers, then PES packets with their lengths.
    for (qsizetype i = 0; i + 6 <= d.size();) {
        if (u(i) != 0 || u(i + 1) != 0 || u(i + 2) != 1) {
            ++i;
            continue;
        }
        const int sid = u(i + 3);
        if (sid == 0xBA) {
            i += 14 + (u(i + 13) & 7);
            continue;
        }
        if (sid == 0xB9) {
            i += 4;
            continue;
        }
        const qsizetype len = (u(i + 4) << 8) | u(i + 5);
        if (sid == 0xBD && i + 9 < d.size()) { // private stream 1: the substream ID after the PES header
            const qsizetype at = i + 9 + u(i + 8);
            if (at < d.size())
                d[at] = char(mapped(u(at)));
        } else if (sid >= 0xC0 && sid <= 0xDF) {
            d[i + 3] = char(mapped(sid));
        }
        i += 6 + len;
    }
    QFile o(out);
    return o.open(QIODevice::WriteOnly) && o.write(d) == d.size();
}

Disc make(const QString &dir, double seconds1, double seconds2)
{
    Disc disc;
    const QString t1 = dir + QStringLiteral("/t1.mpg"), t2 = dir + QStringLiteral("/t2.mpg");
    const QString video = QStringLiteral("testsrc=s=720x576:r=25:d=%1");
    // Title 1: AC3 5.1, AC3 2.0, LPCM, MPEG audio and DTS; ffmpeg numbers
    // them 0x80, 0x81, 0xA0, 0xC0, 0x88.
    QList<Track> tracks = {{QStringLiteral("0x80"), 6, graph(0, 6, seconds1)},
                           {QStringLiteral("0x81"), 2, graph(1, 2, seconds1)},
                           {QStringLiteral("0xA2"), 2, graph(2, 2, seconds1)},
                           {QStringLiteral("0xC3"), 2, graph(3, 2, seconds1)},
                           {QStringLiteral("0x8C"), 2, graph(4, 2, seconds1)}};
    QStringList args{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), video.arg(seconds1)};
    for (const Track &t : tracks)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i") << t.graph;
    args << QStringLiteral("-map") << QStringLiteral("0:v");
    for (int k = 1; k <= 5; ++k)
        args << QStringLiteral("-map") << QStringLiteral("%1:a").arg(k);
    args << QStringList{QStringLiteral("-c:v"), QStringLiteral("mpeg2video"), QStringLiteral("-b:v"), QStringLiteral("1M"), QStringLiteral("-g"), QStringLiteral("10"),
                        QStringLiteral("-c:a:0"), QStringLiteral("ac3"), QStringLiteral("-b:a:0"), QStringLiteral("448k"),
                        QStringLiteral("-c:a:1"), QStringLiteral("ac3"), QStringLiteral("-b:a:1"), QStringLiteral("192k"),
                        QStringLiteral("-c:a:2"), QStringLiteral("pcm_dvd"), QStringLiteral("-c:a:3"), QStringLiteral("mp2"),
                        QStringLiteral("-b:a:3"), QStringLiteral("224k"), QStringLiteral("-c:a:4"), QStringLiteral("dca"),
                        QStringLiteral("-b:a:4"), QStringLiteral("768k"), QStringLiteral("-strict"), QStringLiteral("-2"),
                        QStringLiteral("-f"), QStringLiteral("dvd"), dir + QStringLiteral("/t1ff.mpg")};
    if (!wstest::ffmpeg(args) ||
        !renumber(dir + QStringLiteral("/t1ff.mpg"), t1, {{0xA0, 0xA2}, {0xC0, 0xC3}, {0x88, 0x8C}}))
        return disc;
    QFile::remove(dir + QStringLiteral("/t1ff.mpg"));
    if (!wstest::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), video.arg(seconds2),
                         QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), graph(5, 2, seconds2),
                         QStringLiteral("-c:v"), QStringLiteral("mpeg2video"), QStringLiteral("-b:v"), QStringLiteral("1M"), QStringLiteral("-g"), QStringLiteral("10"),
                         QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"), QStringLiteral("192k"),
                         QStringLiteral("-f"), QStringLiteral("dvd"), t2}))
        return disc;

    const QString xml = dir + QStringLiteral("/disc.xml");
    QFile x(xml);
    if (!x.open(QIODevice::WriteOnly))
        return disc;
    x.write(QStringLiteral(
                "<dvdauthor dest=\"%1/disc\">\n <vmgm />\n"
                " <titleset><titles><video format=\"pal\" aspect=\"4:3\" />\n"
                "  <audio format=\"ac3\" channels=\"6\" lang=\"en\" />\n"
                "  <audio format=\"ac3\" channels=\"2\" lang=\"en\" content=\"comments1\" />\n"
                "  <audio format=\"pcm\" channels=\"2\" lang=\"fr\" />\n"
                "  <audio format=\"mp2\" channels=\"2\" lang=\"it\" />\n"
                "  <audio format=\"dts\" channels=\"2\" lang=\"de\" />\n"
                "  <pgc><vob file=\"%2\" chapters=\"0,0:04,0:08\" /></pgc>\n"
                " </titles></titleset>\n"
                " <titleset><titles><video format=\"pal\" aspect=\"4:3\" />\n"
                "  <audio format=\"ac3\" channels=\"2\" lang=\"es\" />\n"
                "  <pgc><vob file=\"%3\" /></pgc>\n"
                " </titles></titleset>\n</dvdauthor>\n")
                .arg(dir, t1, t2)
                .toUtf8());
    x.close();
    qputenv("VIDEO_FORMAT", "PAL");
    QString err;
    if (wstest::runProgram(QStringLiteral("dvdauthor"), {QStringLiteral("-x"), xml}, nullptr, &err) != 0)
        return disc;
    const QString iso = dir + QStringLiteral("/film.iso");
    if (wstest::runProgram(QStringLiteral("genisoimage"), {QStringLiteral("-quiet"), QStringLiteral("-dvd-video"),
                                                           QStringLiteral("-V"), QStringLiteral("FILM"), QStringLiteral("-o"),
                                                           iso, dir + QStringLiteral("/disc")},
                           nullptr, &err) != 0)
        return disc;
    disc.folder = dir + QStringLiteral("/disc");
    disc.iso = iso;
    disc.title1 = t1;
    disc.title2 = t2;
    disc.tracks = tracks;
    disc.seconds1 = seconds1;
    disc.seconds2 = seconds2;
    return disc;
}

} // namespace discfixture
