#include "ToolLog.h"

#include <charconv>
#include <cinttypes>

namespace wstool {

ToolLog::ToolLog() : start_(std::chrono::steady_clock::now()) {}

ToolLog::~ToolLog()
{
    if (file_)
        std::fclose(file_);
}

bool ToolLog::open(const std::string &path, bool append)
{
    if (file_)
        std::fclose(file_);
    file_ = std::fopen(path.c_str(), append ? "ab" : "wb");
    return file_ != nullptr;
}

std::string ToolLog::stamp(std::chrono::milliseconds elapsed)
{
    const int64_t ms = elapsed.count();
    char buf[32];
    std::snprintf(buf, sizeof buf, "[%02" PRId64 ":%02" PRId64 ":%02" PRId64 ":%03" PRId64 "]",
                  ms / 3600000, (ms / 60000) % 60, (ms / 1000) % 60, ms % 1000);
    return buf;
}

void ToolLog::write(const std::string &stampText, const std::string &text)
{
    const std::string l = stampText + " |  " + text + "\n";
    if (file_) {
        std::fwrite(l.data(), 1, l.size(), file_);
        std::fflush(file_);
    }
    if (echo_)
        std::fputs(l.c_str(), stderr);
}

void ToolLog::line(const std::string &text)
{
    write(stamp(std::chrono::duration_cast<std::chrono::milliseconds>(
              std::chrono::steady_clock::now() - start_)),
          text);
}

void ToolLog::summary(const std::string &text) { write("[00:00:00:000]", text); }

void ToolLog::error(const std::string &text)
{
    line("Error: " + text);
    if (!echo_)
        std::fprintf(stderr, "%s\n", text.c_str());
}

std::string fixed(double v, int decimals)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

std::string secondsText(double seconds) { return fixed(seconds, 3); }

} // namespace wstool
