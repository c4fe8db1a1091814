// Helpers shared by the fuzz targets: a private scratch folder for targets
// whose parser reads files, and plain file writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wsfuzz {

// A folder of this process's own, made on first use under $TMPDIR (or /tmp)
// and removed with everything in it when the process exits normally. Ends
// without a slash.
const std::string &scratchDir();

// Writes `size` bytes to `path`, replacing the file; aborts when it cannot
// (a fuzz run that cannot write its input tests nothing).
void writeFile(const std::string &path, const uint8_t *data, size_t size);
void writeFile(const std::string &path, const std::string &text);

// Stops the run with a message: an input broke a property the target checks.
[[noreturn]] void fail(const char *what);

} // namespace wsfuzz

#define FUZZ_CHECK(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            ::wsfuzz::fail(#cond);                                                                                     \
    } while (0)
