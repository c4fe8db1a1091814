#include "Interrupt.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace wstool {

namespace {

// Registered paths: their text in one buffer, each slot's start in a table.
// A slot becomes live only once its text is in place, and the table is
// reused only when no slot is live, so the handler never reads a path that
// is being written.
constexpr int kSlots = 8192;
constexpr size_t kTextBytes = 1 << 20;

struct Slot {
    std::atomic<bool> live{false};
    size_t offset = 0;
};

Slot slots[kSlots];
char text[kTextBytes];
std::atomic<int> used{0}; // slots handed out since the last reuse
size_t textUsed = 0;
int liveCount = 0;
std::mutex registry;

char toolName[64] = "tool";

void say(const char *s) { [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, s, std::strlen(s)); }

extern "C" void onInterrupt(int sig)
{
    const int n = used.load(std::memory_order_acquire);
    for (int i = 0; i < n; ++i)
        if (slots[i].live.load(std::memory_order_acquire))
            ::unlink(text + slots[i].offset);
    say(toolName);
    say(sig == SIGINT ? ": interrupted (SIGINT)" : sig == SIGHUP ? ": interrupted (SIGHUP)" : ": interrupted (SIGTERM)");
    say("; its partial files are removed\n");
    ::_exit(128 + sig);
}

} // namespace

CleanupPath::CleanupPath(const std::string &path)
{
    std::lock_guard<std::mutex> lock(registry);
    if (liveCount == 0) {
        used.store(0, std::memory_order_release);
        textUsed = 0;
    }
    const int i = used.load(std::memory_order_relaxed);
    if (i >= kSlots || textUsed + path.size() + 1 > kTextBytes)
        return; // not removed on interruption; the run itself still cleans up
    std::memcpy(text + textUsed, path.c_str(), path.size() + 1);
    slots[i].offset = textUsed;
    slots[i].live.store(true, std::memory_order_release);
    textUsed += path.size() + 1;
    ++liveCount;
    used.store(i + 1, std::memory_order_release);
    slot_ = i;
}

CleanupPath &CleanupPath::operator=(CleanupPath &&other) noexcept
{
    if (this != &other) {
        release();
        slot_ = other.slot_;
        other.slot_ = -1;
    }
    return *this;
}

void CleanupPath::release()
{
    if (slot_ < 0)
        return;
    std::lock_guard<std::mutex> lock(registry);
    slots[slot_].live.store(false, std::memory_order_release);
    --liveCount;
    slot_ = -1;
}

void installInterruptHandlers(const char *tool)
{
    std::strncpy(toolName, tool, sizeof toolName - 1);
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigfillset(&action.sa_mask); // one signal at a time
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction old = {};
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        ::sigaction(sig, &action, nullptr);
    }
}

} // namespace wstool
