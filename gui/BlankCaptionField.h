// A switch whose caption holds a run of blanks with its value box laid over
// the blanks ("Segment Size =  [ 256 ]  secs"). The caption keeps its exact
// text; the box is placed by the font's metrics and follows font, style and
// caption changes.
#pragma once

#include <QWidget>

class QAbstractButton;

namespace ws {

class BlankCaptionField : public QWidget {
    Q_OBJECT
public:
    // Takes both widgets as children; the value widget lies over the longest
    // run of blanks in the button's caption.
    BlankCaptionField(QAbstractButton *button, QWidget *value, QWidget *parent = nullptr);

    QAbstractButton *button() const { return button_; }
    QWidget *valueWidget() const { return value_; }

    // The rectangle of the blank run, in field coordinates, narrowed by one
    // blank on each side (empty when the caption has no run of blanks).
    QRect blankRect() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeValue();

    QAbstractButton *button_;
    QWidget *value_;
};

} // namespace ws
