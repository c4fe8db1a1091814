#include "FormFlags.h"

namespace ws::formflags {

namespace {
// One user-interface thread reads and writes these.
bool gActivated = false;
bool gPainted = false;
} // namespace

void noteActivated() { gActivated = true; }

void notePainted()
{
    gPainted = true;
    gActivated = false;
}

bool activated() { return gActivated; }
bool painted() { return gPainted; }
bool pointerMovesSuspended() { return gActivated && !gPainted; }

void reset()
{
    gActivated = false;
    gPainted = false;
}

} // namespace ws::formflags
