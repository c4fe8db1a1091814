#include "BatchHost.h"

#include "ProcessRunner.h"

namespace wsbatch {

void BatchHost::stopTool()
{
    ProcessRunner::TerminateCurrent();
}

} // namespace wsbatch
