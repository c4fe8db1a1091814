#include "WavesmithyIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wsicon {

namespace {

// The tile.
constexpr double kTileX = 16, kTileY = 16, kTileSize = 224, kTileRadius = 44;
const char *const kTileTop = "#3a6fc4";
const char *const kTileBottom = "#142f63";
// The wave.
const char *const kWave = "#ffcf3f";
constexpr double kWaveLeft = 42, kWaveRight = 214, kWaveMid = 92, kWaveHeight = 46;
constexpr double kWaveCycles = 3.5;
// The anvil.
const char *const kAnvil = "#d5dbe4";

QString number(double v)
{
    return QString::number(v, 'f', 2).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
}

QString pointList(const QPolygonF &p)
{
    QStringList parts;
    parts.reserve(p.size());
    for (const QPointF &pt : p)
        parts << number(pt.x()) + QLatin1Char(',') + number(pt.y());
    return parts.join(QLatin1Char(' '));
}

} // namespace

QPolygonF waveform()
{
    QPolygonF p;
    constexpr int steps = 86;
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        const double envelope = std::sin(std::numbers::pi * t);
        const double y = kWaveMid - kWaveHeight * envelope * std::sin(2 * std::numbers::pi * kWaveCycles * t);
        p << QPointF(kWaveLeft + t * (kWaveRight - kWaveLeft), y);
    }
    return p;
}

QPolygonF anvil()
{
    return QPolygonF({{34, 150}, {84, 142}, {212, 142}, {212, 164}, {186, 170}, {170, 190}, {196, 214},
                      {66, 214}, {92, 190}, {86, 172}, {84, 166}});
}

double waveStroke(int pixels)
{
    // About 1.5 pixels at the smallest sizes, 12 units from 64 pixels up.
    return std::max(12.0, 1.5 * kCanvas / std::max(pixels, 1));
}

QString svgDocument()
{
    const QString size = number(kCanvas);
    QString s;
    s += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    s += QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n")
             .arg(size);
    s += QStringLiteral("  <title>Wavesmithy</title>\n");
    s += QStringLiteral("  <defs>\n"
                        "    <linearGradient id=\"tile\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"%1\" x2=\"0\" y2=\"%2\">\n"
                        "      <stop offset=\"0\" stop-color=\"%3\"/>\n"
                        "      <stop offset=\"1\" stop-color=\"%4\"/>\n"
                        "    </linearGradient>\n"
                        "  </defs>\n")
             .arg(number(kTileY), number(kTileY + kTileSize), QLatin1String(kTileTop), QLatin1String(kTileBottom));
    s += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%3\" rx=\"%4\" ry=\"%4\" fill=\"url(#tile)\"/>\n")
             .arg(number(kTileX), number(kTileY), number(kTileSize), number(kTileRadius));
    s += QStringLiteral("  <polyline points=\"%1\" fill=\"none\" stroke=\"%2\" stroke-width=\"%3\" "
                        "stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n")
             .arg(pointList(waveform()), QLatin1String(kWave), number(waveStroke(int(kCanvas))));
    s += QStringLiteral("  <polygon points=\"%1\" fill=\"%2\"/>\n").arg(pointList(anvil()), QLatin1String(kAnvil));
    s += QStringLiteral("</svg>\n");
    return s;
}

QImage render(int pixels)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(pixels / kCanvas, pixels / kCanvas);

    QLinearGradient tile(0, kTileY, 0, kTileY + kTileSize);
    tile.setColorAt(0, QColor(QLatin1String(kTileTop)));
    tile.setColorAt(1, QColor(QLatin1String(kTileBottom)));
    QPainterPath tilePath;
    tilePath.addRoundedRect(QRectF(kTileX, kTileY, kTileSize, kTileSize), kTileRadius, kTileRadius);
    p.fillPath(tilePath, tile);

    QPen wave(QColor(QLatin1String(kWave)), waveStroke(pixels), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(wave);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(waveform());

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(QLatin1String(kAnvil)));
    p.drawPolygon(anvil());
    p.end();
    return image;
}

} // namespace wsicon
