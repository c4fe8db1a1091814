#include "DesktopFonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

#include <optional>

namespace ws {

namespace {

// The installed family that a family name resolves to, when that one has a
// fixed pitch.
std::optional<QString> fixedFace(const QString &family)
{
    const QFontInfo face{QFont(family)};
    if (!face.fixedPitch())
        return std::nullopt;
    return face.family();
}

QFont familyOnly(const QString &family)
{
    QFont font;
    font.setFamilies({family});
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

} // namespace

QFont fixedPitchFont(const QString &family)
{
    if (const auto face = fixedFace(family))
        return familyOnly(*face);
    const QString system = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    if (const auto face = fixedFace(system))
        return familyOnly(*face);
    for (const QString &installed : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(installed))
            if (const auto face = fixedFace(installed))
                return familyOnly(*face);
    return familyOnly(system);
}

QFont proportionalFont(const QFont &font)
{
    if (QFontDatabase::hasFamily(font.family()) && !QFontInfo(font).fixedPitch())
        return font;
    QFont out = font;
    out.setFamilies({QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family()});
    return out;
}

} // namespace ws
