#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <unistd.h>

namespace wsfuzz {

namespace {

std::string made;

int removeEntry(const char *path, const struct stat *, int, struct FTW *)
{
    std::remove(path);
    return 0;
}

void removeScratch()
{
    if (!made.empty())
        ::nftw(made.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

} // namespace

const std::string &scratchDir()
{
    if (made.empty()) {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/wavesmithy-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            fail("cannot make a scratch folder");
        made = pattern;
        std::atexit(removeScratch);
    }
    return made;
}

void writeFile(const std::string &path, const uint8_t *data, size_t size)
{
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0)
        fail("cannot write a scratch file");
}

void writeFile(const std::string &path, const std::string &text)
{
    writeFile(path, reinterpret_cast<const uint8_t *>(text.data()), text.size());
}

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

} // namespace wsfuzz
