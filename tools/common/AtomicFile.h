// An output file that appears under its name only when complete, so a
// failed, interrupted or killed run never leaves a half-written file there.
//
// Where the file system allows it the partial file has no name at all: an
// unnamed file (O_TMPFILE) in the target's folder, linked in by commit(), so
// even SIGKILL leaves nothing behind. Elsewhere it is TARGET.part<pid>,
// removed when the run fails and by the interrupt handler (Interrupt.h).
//
// A symbolic link as target is followed: the file it points to is replaced
// and the link stays. A target that exists and is not a regular file (a
// device, FIFO, socket or directory) is refused and left as it is.
#pragma once

#include "Interrupt.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace wstool {

using StreamPtr = std::unique_ptr<std::FILE, int (*)(std::FILE *)>;

class AtomicFile {
public:
    enum class Partial { Unnamed, Named };

    // Opens the partial file; throws ToolError when the target cannot be
    // written or is no regular file. Partial::Named is for file systems
    // without unnamed files (and for testing that case).
    explicit AtomicFile(std::string target, Partial partial = Partial::Unnamed);
    ~AtomicFile(); // unless committed, nothing of the partial file stays
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    const std::string &target() const { return target_; }
    // Where the file lands: the target with symbolic links followed.
    const std::string &destination() const { return destination_; }
    bool unnamed() const { return name_.empty(); }
    // The partial file, open for reading and writing.
    int fd() const { return fd_; }
    // A path that opens the partial file ("/proc/self/fd/N" or its partial name).
    std::string readPath() const;
    uint64_t size() const;

    // Empties the file and goes back to its start, for a writer that starts over.
    void restart();
    // A stdio stream writing from the start of the emptied file.
    StreamPtr stream();

    // Puts the file in place of the target; throws ToolError.
    void commit();

private:
    [[noreturn]] void fail(int err) const;

    std::string target_;
    std::string destination_;
    std::string name_; // the partial name; empty for an unnamed file
    CleanupPath cleanup_;
    int fd_ = -1;
};

} // namespace wstool
