// Routes the FFmpeg libraries' own messages into a tool's log. While an
// AvLogRoute lives, warnings and errors from the libraries become log lines
// (the first few of them; a damaged source can produce thousands) instead of
// text on standard error, and the last error text is kept so that a failure
// can name its cause.
#pragma once

#include "ToolLog.h"

#include <string>

namespace wstool {

class AvLogRoute {
public:
    explicit AvLogRoute(ToolLog &log, int maxLines = 20);
    ~AvLogRoute();
    AvLogRoute(const AvLogRoute &) = delete;
    AvLogRoute &operator=(const AvLogRoute &) = delete;

    // The text of the last error message since the last clearLastError().
    static std::string lastError();
    static void clearLastError();
    // How many library messages arrived (logged or not).
    static int messageCount();
    // Drops the libraries' messages from the calling thread (a second reader
    // warming up, whose errors are expected) until called with false.
    static void quietThisThread(bool quiet);
};

} // namespace wstool
