// A control's stored form: named values in the order they were written.
//
// Names match without regard to case (stored forms hold them in lower case).
// A name may occur more than once; reading returns the first entry. Values are
// QVariants; the conversions below turn what a stored form holds (numbers,
// hexadecimal texts, font descriptions, pictures) into the controls' types.
#pragma once

#include <QFont>
#include <QJsonArray>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QVariant>

#include <optional>

namespace ws {

class PropertyBag {
public:
    struct Entry {
        QString name;
        QVariant value;
    };

    // Appends the value under `name` unless it equals `defaultValue`. An
    // invalid default never equals a value, so the value is always written.
    void writeProperty(const QString &name, const QVariant &value,
                       const QVariant &defaultValue = QVariant());

    // The first value stored under `name`, or `defaultValue` when none is.
    QVariant readProperty(const QString &name, const QVariant &defaultValue = QVariant()) const;

    bool contains(const QString &name) const;
    const QList<Entry> &entries() const { return entries_; }
    QStringList names() const;
    bool isEmpty() const { return entries_.isEmpty(); }
    void clear() { entries_.clear(); }

    // Stored text form: an array of [name, value] pairs. Fonts become objects
    // {"name", "size", "bold", "italic", "underline", "strikethrough"};
    // pictures become {"png": base64 text}.
    QJsonArray toJson() const;
    static PropertyBag fromJson(const QJsonArray &array);

private:
    QList<Entry> entries_;
};

// Conversions from stored values; nothing when the value cannot be read as
// that type.
std::optional<quint32> uint32FromVariant(const QVariant &v); // numbers, "0x..", "&H..&"
std::optional<int> intFromVariant(const QVariant &v);
std::optional<bool> boolFromVariant(const QVariant &v);       // also -1/0 and "True"/"False"
std::optional<QString> stringFromVariant(const QVariant &v);
// A QFont as it is, or a stored font description, whose face is replaced by
// the system's general face when it is not installed or not proportional.
std::optional<QFont> fontFromVariant(const QVariant &v);
// A QPixmap or QImage, or a stored picture; an invalid or null value is no picture.
std::optional<QPixmap> pixmapFromVariant(const QVariant &v);

// The font with its face replaced by the system's general face when the
// named face is not installed or not proportional (see DesktopFonts.h).
QFont withInstalledFamily(const QFont &font);

} // namespace ws
