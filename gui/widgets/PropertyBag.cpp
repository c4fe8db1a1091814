#include "PropertyBag.h"

#include "DesktopFonts.h"

#include <QBuffer>
#include <QImage>
#include <QJsonObject>
#include <QJsonValue>

namespace ws {

namespace {

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (!a.isValid() || !b.isValid())
        return false;
    // Pictures compare by content; QPixmap has no equality of its own.
    if (a.metaType().id() == QMetaType::QPixmap || b.metaType().id() == QMetaType::QPixmap) {
        const QPixmap pa = a.value<QPixmap>(), pb = b.value<QPixmap>();
        if (pa.isNull() || pb.isNull())
            return pa.isNull() && pb.isNull();
        return pa.toImage() == pb.toImage();
    }
    return a == b;
}

QJsonValue toJsonValue(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::QFont: {
        const QFont f = v.value<QFont>();
        QJsonObject o;
        o.insert(QStringLiteral("name"), f.family());
        o.insert(QStringLiteral("size"), f.pointSizeF());
        o.insert(QStringLiteral("bold"), f.bold());
        o.insert(QStringLiteral("italic"), f.italic());
        o.insert(QStringLiteral("underline"), f.underline());
        o.insert(QStringLiteral("strikethrough"), f.strikeOut());
        return o;
    }
    case QMetaType::QPixmap:
    case QMetaType::QImage: {
        const QImage image = v.metaType().id() == QMetaType::QPixmap ? v.value<QPixmap>().toImage()
                                                                      : v.value<QImage>();
        if (image.isNull())
            return QJsonValue();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        QJsonObject o;
        o.insert(QStringLiteral("png"), QString::fromLatin1(png.toBase64()));
        return o;
    }
    default:
        return QJsonValue::fromVariant(v);
    }
}

} // namespace

void PropertyBag::writeProperty(const QString &name, const QVariant &value,
                                const QVariant &defaultValue)
{
    if (sameValue(value, defaultValue))
        return;
    entries_.append({name, value});
}

QVariant PropertyBag::readProperty(const QString &name, const QVariant &defaultValue) const
{
    for (const Entry &e : entries_) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return e.value;
    }
    return defaultValue;
}

bool PropertyBag::contains(const QString &name) const
{
    for (const Entry &e : entries_) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QStringList PropertyBag::names() const
{
    QStringList out;
    for (const Entry &e : entries_)
        out.append(e.name);
    return out;
}

QJsonArray PropertyBag::toJson() const
{
    QJsonArray out;
    for (const Entry &e : entries_)
        out.append(QJsonArray{e.name, toJsonValue(e.value)});
    return out;
}

PropertyBag PropertyBag::fromJson(const QJsonArray &array)
{
    PropertyBag bag;
    for (const QJsonValue &item : array) {
        const QJsonArray pair = item.toArray();
        if (pair.size() != 2 || !pair.at(0).isString())
            continue;
        bag.entries_.append({pair.at(0).toString(), pair.at(1).toVariant()});
    }
    return bag;
}

std::optional<quint32> uint32FromVariant(const QVariant &v)
{
    bool ok = false;
    switch (v.metaType().id()) {
    case QMetaType::QString: {
        QString s = v.toString().trimmed();
        if (s.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
            s = s.mid(2);
            if (s.endsWith(QLatin1Char('&')))
                s.chop(1);
            const quint32 n = s.toUInt(&ok, 16);
            return ok ? std::optional<quint32>(n) : std::nullopt;
        }
        const qint64 n = s.toLongLong(&ok, 0);
        if (ok && n >= INT32_MIN && n <= qint64(UINT32_MAX))
            return quint32(n);
        return std::nullopt;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (d != d || d < double(INT32_MIN) || d > double(UINT32_MAX) || d != double(qint64(d)))
            return std::nullopt;
        return quint32(qint64(d));
    }
    case QMetaType::Bool:
        return v.toBool() ? 0xFFFFFFFFu : 0u;
    default: {
        const qint64 n = v.toLongLong(&ok);
        if (ok && n >= INT32_MIN && n <= qint64(UINT32_MAX))
            return quint32(n);
        return std::nullopt;
    }
    }
}

std::optional<int> intFromVariant(const QVariant &v)
{
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool() ? -1 : 0;
    if (v.metaType().id() == QMetaType::QString) {
        bool ok = false;
        const int n = v.toString().trimmed().toInt(&ok, 0);
        return ok ? std::optional<int>(n) : std::nullopt;
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || d != d || d < double(INT32_MIN) || d > double(INT32_MAX))
        return std::nullopt;
    return int(qRound64(d));
}

std::optional<bool> boolFromVariant(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::QString: {
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
        bool ok = false;
        const int n = s.toInt(&ok);
        return ok ? std::optional<bool>(n != 0) : std::nullopt;
    }
    default: {
        bool ok = false;
        const double d = v.toDouble(&ok);
        return ok ? std::optional<bool>(d != 0) : std::nullopt;
    }
    }
}

std::optional<QString> stringFromVariant(const QVariant &v)
{
    if (!v.isValid() || !v.canConvert<QString>())
        return std::nullopt;
    return v.toString();
}

QFont withInstalledFamily(const QFont &font) { return proportionalFont(font); }

std::optional<QFont> fontFromVariant(const QVariant &v)
{
    if (v.metaType().id() == QMetaType::QFont)
        return v.value<QFont>();
    if (v.metaType().id() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap m = v.toMap();
    const QString name = m.value(QStringLiteral("name")).toString();
    if (name.isEmpty())
        return std::nullopt;
    QFont f(name);
    bool ok = false;
    const double size = m.value(QStringLiteral("size"), 8.25).toDouble(&ok);
    if (ok && size > 0)
        f.setPointSizeF(size);
    f.setBold(boolFromVariant(m.value(QStringLiteral("bold"), false)).value_or(false));
    f.setItalic(boolFromVariant(m.value(QStringLiteral("italic"), false)).value_or(false));
    f.setUnderline(boolFromVariant(m.value(QStringLiteral("underline"), false)).value_or(false));
    f.setStrikeOut(boolFromVariant(m.value(QStringLiteral("strikethrough"), false)).value_or(false));
    return withInstalledFamily(f);
}

std::optional<QPixmap> pixmapFromVariant(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::QPixmap:
        return v.value<QPixmap>();
    case QMetaType::QImage:
        return QPixmap::fromImage(v.value<QImage>());
    case QMetaType::QVariantMap: {
        const QByteArray png =
            QByteArray::fromBase64(v.toMap().value(QStringLiteral("png")).toString().toLatin1());
        QImage image;
        if (png.isEmpty() || !image.loadFromData(png, "PNG"))
            return std::nullopt;
        return QPixmap::fromImage(image);
    }
    default:
        if (!v.isValid() || v.isNull())
            return QPixmap();
        return std::nullopt;
    }
}

} // namespace ws
