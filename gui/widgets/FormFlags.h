// Two process-wide flags kept by the main window and read by the flat buttons:
// the main window's activation sets the activated flag; its paint sets the
// painted flag and clears the activated flag. While the window has been
// activated but not yet painted, flat buttons ignore pointer moves.
#pragma once

namespace ws::formflags {

void noteActivated();          // the main window was activated
void notePainted();            // the main window painted itself
bool activated();
bool painted();
bool pointerMovesSuspended();  // activated and not yet painted
void reset();                  // both flags cleared (as at start)

} // namespace ws::formflags
