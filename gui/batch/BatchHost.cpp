#include "BatchHost.h"

#include "ProcessRunner.h"

namespace wsbatch {

void BatchHost::stopTool()
{
    ProcessRunner::stopCurrent();
}

} // namespace wsbatch
