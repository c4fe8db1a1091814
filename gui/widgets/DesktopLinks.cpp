#include "DesktopLinks.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QRegularExpression>

namespace ws {

namespace {
UrlOpener &currentOpener()
{
    static UrlOpener opener;
    return opener;
}
} // namespace

bool openUrl(const QUrl &url)
{
    const UrlOpener &opener = currentOpener();
    if (opener)
        return opener(url);
    return QDesktopServices::openUrl(url);
}

UrlOpener setUrlOpener(UrlOpener opener)
{
    UrlOpener previous = std::move(currentOpener());
    currentOpener() = std::move(opener);
    return previous;
}

QUrl urlFromAddress(const QString &address)
{
    const QString text = address.trimmed();
    // A scheme of two or more letters ("https:", "file:", "mailto:"); a single
    // letter before a colon would be a drive, not a scheme.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(text).hasMatch())
        return QUrl(text);
    if (text.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        return QUrl::fromUserInput(text);
    return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
}

} // namespace ws
