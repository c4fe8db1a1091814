// The stored forms of the controls that the windows create (colours, edges,
// fonts and captions), kept as data in a resource, and the helpers that make
// the controls from them.
#pragma once

#include "PropertyBag.h"

#include <vector>

class QWidget;

namespace ws {

class FlatButton;
class LinkLabel;

// The stored form of `control` (with its array index, 0 for a single control);
// an empty bag when there is none.
PropertyBag storedForm(const QString &control, int index = 0);

// The batch window's flat button array XFlatButton2, indices 1 to 6 in order:
// "Clear List", "Stop", "Close", "Encode Selected File", "Encode The Whole
// List", "Tromvax's List -> Single MP3". Each is named "XFlatButton2(i)".
std::vector<FlatButton *> createBatchButtons(QWidget *parent);

// The main window's two links: EtsLinkLabel1 leads to the guide's section on
// the companion tools, EtsLinkLabel2 ("The Wavesmithy Guide") to the guide.
struct MainWindowLinks {
    LinkLabel *companionTools = nullptr; // EtsLinkLabel1
    LinkLabel *guide = nullptr;          // EtsLinkLabel2
};
MainWindowLinks createMainWindowLinks(QWidget *parent);

} // namespace ws
