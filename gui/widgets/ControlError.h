// Errors that the reusable controls raise to their callers: a number, the
// source that raised it and a description, as the controls' users expect.
#pragma once

#include <QString>

#include <stdexcept>

namespace ws {

class ControlError : public std::runtime_error {
public:
    ControlError(int number, const QString &source, const QString &description)
        : std::runtime_error(whatText(number, source, description)), number_(number),
          source_(source), description_(description)
    {
    }

    int number() const { return number_; }
    QString source() const { return source_; }
    QString description() const { return description_; }

private:
    static std::string whatText(int number, const QString &source, const QString &description)
    {
        QString text = QStringLiteral("error %1").arg(number);
        if (!source.isEmpty())
            text += QStringLiteral(" in ") + source;
        if (!description.isEmpty())
            text += QStringLiteral(": ") + description;
        return text.toStdString();
    }

    int number_;
    QString source_;
    QString description_;
};

// Error number of a property value the control refuses.
constexpr int IllegalPropertyValueError = 380;
// Error number of an argument that cannot be used.
constexpr int InvalidArgumentError = 5;

// Raised by the dialog wrapper when a dialog is cancelled (or fails) while the
// caller asked for cancellation to be an error. It carries number 0 and no
// source or description.
class DialogCancelled : public ControlError {
public:
    DialogCancelled() : ControlError(0, QString(), QString()) {}
};

} // namespace ws
