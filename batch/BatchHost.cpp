#include "BatchHost.h"

#include "SuperShell32.h"

namespace wsbatch {

void BatchHost::stopTool()
{
    SuperShell32::TerminateCurrent();
}

} // namespace wsbatch
