#include "AvLogRoute.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdarg>
#include <cstring>
#include <mutex>

namespace wstool {

namespace {

std::mutex mutex;
ToolLog *target = nullptr;
int limit = 0;
int count = 0;
std::string lastErrorText;
thread_local bool quietThread = false;

void callback(void *avcl, int level, const char *fmt, va_list vl)
{
    if (level > AV_LOG_WARNING || quietThread)
        return;
    char text[1024];
    std::vsnprintf(text, sizeof text, fmt, vl);
    size_t n = std::strlen(text);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r'))
        text[--n] = '\0';
    if (n == 0)
        return;
    std::string line;
    if (avcl) {
        const AVClass *cls = *static_cast<AVClass **>(avcl);
        if (cls && cls->item_name)
            line = std::string("(") + cls->item_name(avcl) + ") ";
    }
    line += text;

    std::lock_guard<std::mutex> lock(mutex);
    if (level <= AV_LOG_ERROR)
        lastErrorText = text;
    ++count;
    if (!target)
        return;
    if (count <= limit)
        target->line("FFmpeg: " + line);
    else if (count == limit + 1)
        target->line("FFmpeg: further messages from the libraries are not logged");
}

} // namespace

AvLogRoute::AvLogRoute(ToolLog &log, int maxLines)
{
    std::lock_guard<std::mutex> lock(mutex);
    target = &log;
    limit = maxLines;
    count = 0;
    lastErrorText.clear();
    av_log_set_callback(callback);
}

AvLogRoute::~AvLogRoute()
{
    std::lock_guard<std::mutex> lock(mutex);
    target = nullptr;
    av_log_set_callback(av_log_default_callback);
}

std::string AvLogRoute::lastError()
{
    std::lock_guard<std::mutex> lock(mutex);
    return lastErrorText;
}

void AvLogRoute::clearLastError()
{
    std::lock_guard<std::mutex> lock(mutex);
    lastErrorText.clear();
}

int AvLogRoute::messageCount()
{
    std::lock_guard<std::mutex> lock(mutex);
    return count;
}

void AvLogRoute::quietThisThread(bool quiet) { quietThread = quiet; }

} // namespace wstool
