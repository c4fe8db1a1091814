#include "AtomicFile.h"

#include "Av.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wstool {

namespace {

std::string folderOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The path with its symbolic links followed to the file they name (which
// may not exist yet).
std::string followLinks(const std::string &target)
{
    std::string path = target;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
        if (n < 0)
            throw ToolError("cannot write " + target + ": " + std::strerror(errno));
        const std::string link(buf, size_t(n));
        path = link.front() == '/' ? link : folderOf(path) + "/" + link;
    }
    throw ToolError("cannot write " + target + ": " + std::strerror(ELOOP));
}

const char *kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO (named pipe)";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

// Throws when `path` exists and is not a regular file: it is never replaced.
void refuseSpecial(const std::string &path, const std::string &target)
{
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        throw ToolError("refusing to write " + target + ": it is " + kindOf(st.st_mode) +
                        ", not a regular file (it is left as it is)");
}

std::string procPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

std::string partialName(const std::string &destination)
{
    return destination + ".part" + std::to_string(::getpid());
}

} // namespace

AtomicFile::AtomicFile(std::string target, Partial partial) : target_(std::move(target))
{
    destination_ = followLinks(target_);
    refuseSpecial(destination_, target_);
    if (partial == Partial::Unnamed) {
        fd_ = ::open(folderOf(destination_).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        // Linking it in at the end goes through /proc.
        if (fd_ >= 0 && ::access(procPath(fd_).c_str(), F_OK) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    if (fd_ < 0) {
        name_ = partialName(destination_);
        cleanup_ = CleanupPath(name_);
        fd_ = ::open(name_.c_str(), O_CREAT | O_TRUNC | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            const int err = errno;
            name_.clear();
            cleanup_.release();
            fail(err);
        }
    }
}

AtomicFile::~AtomicFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!name_.empty())
        ::unlink(name_.c_str());
}

void AtomicFile::fail(int err) const { throw ToolError("cannot write " + target_ + ": " + std::strerror(err)); }

std::string AtomicFile::readPath() const { return name_.empty() ? procPath(fd_) : name_; }

uint64_t AtomicFile::size() const
{
    struct stat st;
    return ::fstat(fd_, &st) == 0 ? uint64_t(st.st_size) : 0;
}

void AtomicFile::restart()
{
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0)
        fail(errno);
}

StreamPtr AtomicFile::stream()
{
    restart();
    const int copy = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    std::FILE *f = copy < 0 ? nullptr : ::fdopen(copy, "w+b");
    if (!f) {
        const int err = errno;
        if (copy >= 0)
            ::close(copy);
        fail(err);
    }
    return StreamPtr(f, &std::fclose);
}

void AtomicFile::commit()
{
    // The target may have become something else meanwhile.
    refuseSpecial(destination_, target_);
    if (!name_.empty()) {
        if (::rename(name_.c_str(), destination_.c_str()) != 0)
            fail(errno);
        name_.clear();
        cleanup_.release();
    } else if (::linkat(AT_FDCWD, procPath(fd_).c_str(), AT_FDCWD, destination_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        if (errno != EEXIST)
            fail(errno);
        // An existing file is replaced in one step: the file is linked in
        // under its partial name and renamed over it.
        const std::string temp = partialName(destination_);
        CleanupPath cleanup(temp);
        ::unlink(temp.c_str());
        if (::linkat(AT_FDCWD, procPath(fd_).c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0)
            fail(errno);
        if (::rename(temp.c_str(), destination_.c_str()) != 0) {
            const int err = errno;
            ::unlink(temp.c_str());
            fail(err);
        }
    }
    ::close(fd_);
    fd_ = -1;
}

} // namespace wstool
