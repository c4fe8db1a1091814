// Writes the icon theme files of the program: render_icon OUTDIR NAME SIZE...
// gives OUTDIR/scalable/apps/NAME.svg and OUTDIR/<SIZE>x<SIZE>/apps/NAME.png.
#include "WavesmithyIcon.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: render_icon OUTDIR NAME SIZE...\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);

    const QString svgDir = out + QStringLiteral("/scalable/apps");
    QFile svg(svgDir + QLatin1Char('/') + name + QStringLiteral(".svg"));
    if (!QDir().mkpath(svgDir) || !svg.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || svg.write(wsicon::svgDocument().toUtf8()) < 0 || !svg.flush()) {
        std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(svg.fileName()));
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "render_icon: \"%s\" is not an icon size (8 to 1024)\n", argv[i]);
            return 2;
        }
        const QString dir = out + QStringLiteral("/%1x%1/apps").arg(size);
        const QString file = dir + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(dir) || !wsicon::render(size).save(file, "PNG")) {
            std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
