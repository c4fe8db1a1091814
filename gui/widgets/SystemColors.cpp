#include "SystemColors.h"

#include <cmath>
#include <optional>

namespace ws {

namespace {

// The closest palette role for each entry of the desktop's system colour table.
struct RoleEntry {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

constexpr RoleEntry kRoles[] = {
    {QPalette::Active, QPalette::Button},          // 0 scroll bar
    {QPalette::Active, QPalette::Window},          // 1 desktop
    {QPalette::Active, QPalette::Highlight},       // 2 active caption
    {QPalette::Active, QPalette::Mid},             // 3 inactive caption
    {QPalette::Active, QPalette::Window},          // 4 menu
    {QPalette::Active, QPalette::Base},            // 5 window
    {QPalette::Active, QPalette::Shadow},          // 6 window frame
    {QPalette::Active, QPalette::WindowText},      // 7 menu text
    {QPalette::Active, QPalette::Text},            // 8 window text
    {QPalette::Active, QPalette::HighlightedText}, // 9 caption text
    {QPalette::Active, QPalette::Button},          // 10 active border
    {QPalette::Disabled, QPalette::Base},          // 11 inactive border (the base of a box that takes no input)
    {QPalette::Active, QPalette::Mid},             // 12 application workspace
    {QPalette::Active, QPalette::Highlight},       // 13 highlight
    {QPalette::Active, QPalette::HighlightedText}, // 14 highlighted text
    {QPalette::Active, QPalette::Button},          // 15 button face
    {QPalette::Active, QPalette::Dark},            // 16 button shadow
    {QPalette::Disabled, QPalette::Text},          // 17 grey text
    {QPalette::Active, QPalette::ButtonText},      // 18 button text
    {QPalette::Disabled, QPalette::WindowText},    // 19 inactive caption text
    {QPalette::Active, QPalette::Light},           // 20 button highlight
    {QPalette::Active, QPalette::Shadow},          // 21 dark shadow
    {QPalette::Active, QPalette::Midlight},        // 22 light 3-D
    {QPalette::Active, QPalette::ToolTipText},     // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},     // 24 info background
    {QPalette::Active, QPalette::Button},          // 25 (unused)
    {QPalette::Active, QPalette::Link},            // 26 hot-tracked item
    {QPalette::Active, QPalette::Highlight},       // 27 caption gradient, active
    {QPalette::Active, QPalette::Mid},             // 28 caption gradient, inactive
    {QPalette::Active, QPalette::Highlight},       // 29 menu highlight
    {QPalette::Active, QPalette::Window},          // 30 menu bar
};

} // namespace

QColor systemColor(quint32 value, const QPalette &palette)
{
    if (isSystemColor(value)) {
        const quint32 index = value & 0x00FFFFFFu;
        if (index >= std::size(kRoles))
            return QColor(Qt::black);
        const RoleEntry &e = kRoles[index];
        return palette.color(e.group, e.role);
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

quint32 colorRef(const QColor &color)
{
    const QColor c = color.toRgb();
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

namespace {

double linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Relative luminance of the colour as it is drawn (8 bits a channel).
double luminance(const QColor &color)
{
    const QColor c = color.toRgb();
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

QColor withLightness(const QColor &c, double hue, double lightness)
{
    return QColor::fromHslF(float(hue), c.hslSaturationF(), float(lightness)).toRgb();
}

// The lightness between `from` and `to` closest to `from` that reads on
// `back`, or nothing when not even `to` does.
std::optional<QColor> searchLightness(const QColor &text, double hue, const QColor &back, double minimum,
                                      double from, double to)
{
    const auto reads = [&](double l) { return contrastRatio(withLightness(text, hue, l), back) >= minimum; };
    if (!reads(to))
        return std::nullopt;
    for (int i = 0; i < 24; ++i) {
        const double middle = (from + to) / 2;
        (reads(middle) ? to : from) = middle;
    }
    return withLightness(text, hue, to);
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor &text, const QColor &back, double minimum)
{
    if (contrastRatio(text, back) >= minimum)
        return text;
    const QColor hsl = text.toHsl();
    const double hue = std::max(0.0f, hsl.hslHueF()); // an achromatic colour has no hue
    const double lightness = hsl.lightnessF();
    const bool lighter = luminance(text) >= luminance(back);
    const auto first = searchLightness(text, hue, back, minimum, lightness, lighter ? 1.0 : 0.0);
    if (first)
        return *first;
    if (const auto other = searchLightness(text, hue, back, minimum, lightness, lighter ? 0.0 : 1.0))
        return *other;
    return textColourOn(back);
}

QColor textColourOn(const QColor &back)
{
    const QColor black(Qt::black), white(Qt::white);
    return contrastRatio(black, back) >= contrastRatio(white, back) ? black : white;
}

} // namespace ws
