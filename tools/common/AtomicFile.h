// An output file written under a temporary name beside its target and renamed
// into place only when complete, so a failed run never leaves a half-written
// file under the target's name.
#pragma once

#include <string>

namespace wstool {

class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile(); // removes the temporary file unless committed
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    const std::string &tempPath() const { return temp_; }
    const std::string &target() const { return target_; }
    // Renames the temporary file to the target; false (with errno) on failure.
    bool commit();

private:
    std::string target_;
    std::string temp_;
    bool committed_ = false;
};

} // namespace wstool
