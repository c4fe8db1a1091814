// The batch window's geometry in twips (1/1440 inch, 15 per pixel), as its
// layout rules are written, and the conversion to pixels.
//
// Outer width: the window's width including a 45-twip (3-pixel) border on
// each side. Qt sizes a top-level widget by its client area, so the window
// takes the outer width as client width + kFrameTwips.
#pragma once

namespace wsbatch {

constexpr int kTwipsPerPixel = 15;
constexpr int kTwipsPerChar = 105; // one character of the list's fixed-pitch font
constexpr int kFrameTwips = 90;

// Pixels for a length in twips, rounded to the nearest pixel.
int twipsToPixels(double twips);

// Header labels and window width for a name column of `nameColumnWidth`
// characters; the substream header keeps `substreamHeaderWidth`.
struct HeaderFit {
    int nameHeaderWidth = 0;     // Label1(0) width
    int substreamHeaderLeft = 0; // Label1(1) left
    int outerWidth = 0;          // the window's outer width
};
HeaderFit fitHeader(int nameColumnWidth, int substreamHeaderWidth = 945);

// The widths and lefts that a change of the window's size gives, computed
// in single precision from the outer width. Index i of the button arrays is
// XFlatButton2(i); entry 0 is unused.
struct ResizeLayout {
    float listWidth = 0;
    float panelWidth = 0; // Picture1 and Picture2
    float buttonWidth[7] = {};
    float buttonLeft[7] = {};
};
// Buttons 1, 4 and 5 stay at left 0; button 6 keeps its width of 3420 and
// is moved beyond the panel's right edge (it is never shown).
ResizeLayout formResize(float outerWidth);

} // namespace wsbatch
