// The tools' log file. Every line begins with a time stamp (time since the
// tool started) and a bar: "[hh:mm:ss:mmm] |  ". Summary lines, which the
// front end reads, are stamped "[00:00:00:000]".
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace wstool {

class ToolLog {
public:
    ToolLog();
    ~ToolLog();
    ToolLog(const ToolLog &) = delete;
    ToolLog &operator=(const ToolLog &) = delete;

    // Opens the log file, appending or starting afresh; returns false when it
    // cannot be opened (the tool then goes on without a log).
    bool open(const std::string &path, bool append);
    bool isOpen() const { return file_ != nullptr; }

    void line(const std::string &text);    // time-stamped line
    void summary(const std::string &text); // "[00:00:00:000] |  " line
    void error(const std::string &text);   // logged and written to stderr

    // Also echo every line to standard error (for --verbose).
    void setEcho(bool echo) { echo_ = echo; }

    static std::string stamp(std::chrono::milliseconds elapsed);

private:
    void write(const std::string &stampText, const std::string &text);
    std::FILE *file_ = nullptr;
    bool echo_ = false;
    std::chrono::steady_clock::time_point start_;
};

// Number texts for log lines, the same in every locale: `v` with `decimals`
// digits after the point ("3.142"), and seconds with three ("12.000").
std::string fixed(double v, int decimals);
std::string secondsText(double seconds);

} // namespace wstool
