#include "AtomicFile.h"

#include <cstdio>
#include <unistd.h>

namespace wstool {

AtomicFile::AtomicFile(std::string target) : target_(std::move(target))
{
    temp_ = target_ + ".part" + std::to_string(::getpid());
}

AtomicFile::~AtomicFile()
{
    if (!committed_)
        std::remove(temp_.c_str());
}

bool AtomicFile::commit()
{
    if (std::rename(temp_.c_str(), target_.c_str()) != 0)
        return false;
    committed_ = true;
    return true;
}

} // namespace wstool
