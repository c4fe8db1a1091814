// The batch window: a list of source files dropped from a file manager, each
// VOB item's substream picked with a right-click, and buttons that convert the
// selected item or the whole list one after another through the main
// window's conversion, stop the running tool, clear the list and close the
// window.
//
// Geometry follows the window's layout rules in twips (BatchLayout.h),
// applied in pixels. The window has no close button of its own: "Close" is
// the way out, and it empties the list and re-enables the main window.
#pragma once

#include "BatchHost.h"

#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <array>

class QComboBox;
class QLabel;
class QListWidget;
class QMimeData;

namespace ws {
class FlatButton;
}

namespace wsbatch {

class BatchWindow : public QWidget {
    Q_OBJECT

public:
    static const QString kInitialCaption; // "Drag & Drop Your Vob(s)/Ac3(s)/Wav(s)"
    static const QString kClearedCaption; // "Drag & Drop Your VOB(s)/AC3(s)/MPx(s)/WAV(s)"

    explicit BatchWindow(BatchHost &host, QWidget *parent = nullptr);
    ~BatchWindow() override;

    // Controls, for the host and for tests.
    QLabel *Label1(int index) const;                   // 0 .. 4
    QListWidget *List1() const { return list_; }
    QComboBox *Combo_VobAc3SubStream() const { return combo_; }
    QWidget *Picture1() const { return picture1_; }
    QWidget *Picture2() const { return picture2_; }
    ws::FlatButton *XFlatButton2(int index) const;    // 1 .. 6
    int NameColumnWidth() const { return nameColumnWidth_; }
    int SelectedRow() const { return selectedRow_; }
    // A conversion started here is running.
    bool jobActive() const { return jobActive_; }

    // Takes files in as a drop of them does (for files dropped elsewhere or
    // named on the command line).
    void addFiles(const QStringList &paths);

    // Drag and drop on the list: the effect for the data, and the intake.
    // Only local files count as a file list; anything else gives no effect
    // and changes nothing.
    Qt::DropAction List1_OLEDragOver(const QMimeData *data) const;
    Qt::DropAction List1_OLEDragDrop(const QMimeData *data);

    // A mouse button pressed on the list at `pos` (list viewport pixels).
    void List1_MouseDown(Qt::MouseButton button, const QPoint &pos);
    // An entry of the substream combo was picked.
    void Combo_VobAc3SubStream_Click();

    // Events of XFlatButton2(index).
    void XFlatButton2_Hovering(int index);
    void XFlatButton2_ButtonUp(int index);
    void XFlatButton2_MouseDown(int index);
    void XFlatButton2_Click(int index);

    // The buttons' actions.
    void ClearList();
    void Stop();
    void CloseWindow();
    void EncodeSelectedFile();
    void EncodeTheWholeList();
    // Converts item `row`; returns when its job has ended. A row that does
    // not exist does nothing.
    void EncodeRow(int row);

    void EnablePanels(bool enabled);
    // Draws the six buttons up when `value` is 102.
    void DrawAllButtonsUp(const QVariant &value);
    // Fits the header labels and the window width to the name column.
    void FitHeader();

signals:
    // "Close" emptied and hid the window.
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createControls();
    void Form_Load();
    void Form_Resize();
    void resetToNew();
    // The header labels at their designed places, as tall and wide as their
    // captions need; the window at its designed size plus the header's growth.
    void placeHeader();
    bool busy() const;

    BatchHost &host_;
    std::array<QLabel *, 5> labels_{};
    QListWidget *list_ = nullptr;
    QComboBox *combo_ = nullptr;
    QStringList allIds_; // the substream choice for an item whose tracks were not listed
    QWidget *picture1_ = nullptr;
    QWidget *picture2_ = nullptr;
    std::array<ws::FlatButton *, 7> buttons_{}; // index 0 unused

    int headerGrowth_ = 0; // pixels the header is taller than designed
    int nameColumnWidth_ = 0;
    int selectedRow_ = 0;
    bool closeRequested_ = false;
    bool jobActive_ = false;
};

// Replaces row `index` of `list` with `text` in place and selects it; an
// index that names no row does nothing.
void ReplaceRow(QListWidget &list, const QString &text, int index);

// The list's font at 8.25 points: "Courier New" when that resolves to a
// fixed-pitch face, else the system's fixed-pitch font (see DesktopFonts.h).
QFont batchListFont();

} // namespace wsbatch
