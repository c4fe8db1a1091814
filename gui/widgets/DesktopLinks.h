// Opening addresses and files with the desktop's default application, behind
// a replaceable function so that tests can see what would be opened without
// starting anything.
#pragma once

#include <QUrl>

#include <functional>

namespace ws {

using UrlOpener = std::function<bool(const QUrl &)>;

// Opens `url` with the current opener (QDesktopServices::openUrl unless
// replaced); returns whether the desktop accepted it.
bool openUrl(const QUrl &url);

// Replaces the opener; an empty function restores the desktop's. Returns the
// opener that was in place.
UrlOpener setUrlOpener(UrlOpener opener);

// Replaces the opener for the lifetime of the object.
class ScopedUrlOpener {
public:
    explicit ScopedUrlOpener(UrlOpener opener) : previous_(setUrlOpener(std::move(opener))) {}
    ~ScopedUrlOpener() { setUrlOpener(std::move(previous_)); }
    ScopedUrlOpener(const ScopedUrlOpener &) = delete;
    ScopedUrlOpener &operator=(const ScopedUrlOpener &) = delete;

private:
    UrlOpener previous_;
};

// An address as typed as a URL: text with a scheme is taken as it is, a name
// starting "www." as a web address, anything else as a local file path.
QUrl urlFromAddress(const QString &address);

} // namespace ws
