// Screen-reader names for combo boxes. On Linux Qt names a combo box after
// the item it shows and leaves what it is for to a "labelled by" relation,
// which only a QLabel buddy gives. Here a combo box that has been given an
// accessible name (the caption of its row) is read by that name, with the
// shown item as its value; one without keeps the shown item as its name.
#pragma once

namespace ws {

// Installs the accessibility factory that does so; once is enough, later
// calls do nothing.
void nameComboBoxesByTheirCaption();

} // namespace ws
