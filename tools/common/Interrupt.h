// What a tool leaves behind when SIGTERM, SIGINT or SIGHUP ends it: nothing
// it made. The handler removes every registered path (partial files with a
// name, and what a run made before it failed would be removed anyway), says
// so on standard error and exits with 128 + the signal's number. It does no
// other work: the paths wait in a fixed buffer, and unlink, write and _exit
// are safe in a signal handler.
#pragma once

#include <string>

namespace wstool {

// A path removed if the tool is interrupted while this object lives.
class CleanupPath {
public:
    CleanupPath() = default;
    explicit CleanupPath(const std::string &path);
    ~CleanupPath() { release(); }
    CleanupPath(CleanupPath &&other) noexcept : slot_(other.slot_) { other.slot_ = -1; }
    CleanupPath &operator=(CleanupPath &&other) noexcept;
    CleanupPath(const CleanupPath &) = delete;
    CleanupPath &operator=(const CleanupPath &) = delete;

    // The path is no longer removed on interruption.
    void release();

private:
    int slot_ = -1; // -1: nothing registered (or the buffer was full)
};

// Installs the handler for SIGTERM, SIGINT and SIGHUP (a signal that was
// ignored when the tool started stays ignored). `tool` names the tool in the
// handler's message.
void installInterruptHandlers(const char *tool);

} // namespace wstool
