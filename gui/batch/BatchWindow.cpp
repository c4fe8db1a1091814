#include "BatchWindow.h"

#include "BatchItems.h"
#include "BatchLayout.h"
#include "ComboBoxNames.h"
#include "DesktopFonts.h"
#include "StoredForms.h"
#include "SystemColors.h"
#include "FlatButton.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>

namespace wsbatch {

const QString BatchWindow::kInitialCaption = QStringLiteral("Drag & Drop Your Vob(s)/Ac3(s)/Wav(s)");
const QString BatchWindow::kClearedCaption = QStringLiteral("Drag & Drop Your VOB(s)/AC3(s)/MPx(s)/WAV(s)");

namespace {

// Design geometry in twips: left, top, width, height.
struct Box {
    int left, top, width, height;
    QRect pixels() const
    {
        return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
    }
};

constexpr int kClientWidth = 8100;
constexpr int kClientHeight = 6870;
constexpr int kComboWidth = 1230;
constexpr int kButtonHeight = 375;
// The list ends where the encode panel begins.
constexpr Box kList{0, 270, 6900, 5595 - 270};
constexpr Box kPicture2{0, 5595, 6900, 825};
constexpr Box kPicture1{0, 6435, 6900, 435};
constexpr Box kLabels[5] = {{0, 0, 1260, 255},
                            {1275, 0, 945, 255},
                            {2235, 0, 1875, 255},
                            {4125, 0, 1875, 255},
                            {6015, 0, 2085, 255}};
const char *const kLabelCaptions[5] = {"File Name", "Substream", "VOB/AC3 Size (bytes)", "WAV Size (bytes)",
                                       "AAC Size (bytes)"};
// Buttons 1 .. 6 inside their panels.
constexpr Box kButtons[7] = {{0, 0, 0, 0},
                             {0, 0, 2265, kButtonHeight},
                             {2280, 0, 2280, kButtonHeight},
                             {4575, 0, 2265, kButtonHeight},
                             {0, 0, 6840, kButtonHeight},
                             {0, 390, 6840, kButtonHeight},
                             {3420, 390, 3420, kButtonHeight}};

// The header colour 0x00BC8E64 (blue 0xBC, green 0x8E, red 0x64).
const QColor kHeaderBack(0x64, 0x8E, 0xBC);

// A button's captions in colours that read on the backgrounds they are
// drawn on; a stored colour that does not is moved to a lightness that does.
void fitCaptionColours(ws::FlatButton &b)
{
    const auto fit = [&b](quint32 fore, quint32 back) {
        if (ws::isSystemColor(fore) && ws::isSystemColor(back))
            return fore; // the palette's own pair
        return ws::colorRef(ws::readableOn(b.colorOf(fore), b.colorOf(back)));
    };
    b.UpForeColor(fit(b.UpForeColor(), b.UpBackColor()));
    b.HoverForeColor(fit(b.HoverForeColor(), b.HoverBackColor()));
    b.DownForeColor(fit(b.DownForeColor(), b.DownBackColor()));
}

} // namespace

QFont batchListFont()
{
    QFont font = ws::fixedPitchFont(QStringLiteral("Courier New"));
    font.setPointSizeF(8.25);
    return font;
}

void ReplaceRow(QListWidget &list, const QString &text, int index)
{
    if (index < 0 || index >= list.count())
        return;
    delete list.takeItem(index);
    list.insertItem(index, text);
    list.setCurrentRow(index);
}

BatchWindow::BatchWindow(BatchHost &host, QWidget *parent) : QWidget(parent, Qt::Window), host_(host)
{
    ws::nameComboBoxesByTheirCaption();
    createControls();
    Form_Load();
}

BatchWindow::~BatchWindow() = default;

QLabel *BatchWindow::Label1(int index) const
{
    return index >= 0 && index < int(labels_.size()) ? labels_[size_t(index)] : nullptr;
}

ws::FlatButton *BatchWindow::XFlatButton2(int index) const
{
    return index >= 1 && index <= 6 ? buttons_[size_t(index)] : nullptr;
}

void BatchWindow::createControls()
{
    setObjectName(QStringLiteral("BatchWindow"));
    // A title and a minimise button, but no close button: "Close" is the
    // way out.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
    setWindowTitle(kInitialCaption);

    for (int i = 0; i < 5; ++i) {
        auto *label = new QLabel(QString::fromLatin1(kLabelCaptions[i]), this);
        label->setObjectName(QStringLiteral("Label1(%1)").arg(i));
        QPalette pal = label->palette();
        pal.setColor(QPalette::Window, kHeaderBack);
        pal.setColor(QPalette::WindowText, ws::textColourOn(kHeaderBack));
        label->setPalette(pal);
        label->setAutoFillBackground(true);
        label->setVisible(i < 2); // the size headers are never shown
        label->setAccessibleName(label->text());
        labels_[size_t(i)] = label;
    }
    // With a large font the header grows to hold its captions, and what is
    // below it moves down by as much.
    headerGrowth_ = std::max(0, labels_[0]->sizeHint().height() - twipsToPixels(kLabels[0].height));
    placeHeader();

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("List1"));
    list_->setAccessibleName(labels_[0]->text());
    list_->setGeometry(kList.pixels().translated(0, headerGrowth_));
    list_->setFont(batchListFont());
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->viewport()->installEventFilter(this);

    picture2_ = new QWidget(this);
    picture2_->setObjectName(QStringLiteral("Picture2"));
    picture2_->setGeometry(kPicture2.pixels().translated(0, headerGrowth_));
    picture2_->setFocusPolicy(Qt::StrongFocus);
    picture1_ = new QWidget(this);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    picture1_->setGeometry(kPicture1.pixels().translated(0, headerGrowth_));

    const std::vector<ws::FlatButton *> made = ws::createBatchButtons(this);
    for (size_t k = 0; k < made.size() && k < 6; ++k) {
        const int i = int(k) + 1;
        ws::FlatButton *b = made[k];
        b->setParent(i <= 3 ? picture1_ : picture2_);
        b->setGeometry(kButtons[i].pixels());
        b->setVisible(i != 6);
        fitCaptionColours(*b);
        buttons_[size_t(i)] = b;
        connect(b, &ws::FlatButton::Hovering, this, [this, i] { XFlatButton2_Hovering(i); });
        connect(b, &ws::FlatButton::ButtonUp, this, [this, i] { XFlatButton2_ButtonUp(i); });
        connect(b, &ws::FlatButton::MouseDown, this, [this, i] { XFlatButton2_MouseDown(i); });
        connect(b, &ws::FlatButton::Click, this, [this, i] { XFlatButton2_Click(i); });
    }

    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("Combo_VobAc3SubStream"));
    combo_->setAccessibleName(labels_[1]->text());
    combo_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    combo_->hide();
    connect(combo_, &QComboBox::activated, this, [this](int) { Combo_VobAc3SubStream_Click(); });
}

void BatchWindow::Form_Load()
{
    list_->setAcceptDrops(true);
    DrawAllButtonsUp(102);
    allIds_ = wsjob::substreamItems(QStringLiteral(" "));
    combo_->addItems(allIds_);
    // As designed, or wider when its items need it.
    combo_->resize(std::max(twipsToPixels(kComboWidth), combo_->sizeHint().width()), combo_->sizeHint().height());
}

void BatchWindow::placeHeader()
{
    for (int i = 0; i < 5; ++i) {
        QRect r = kLabels[i].pixels();
        r.setHeight(r.height() + headerGrowth_);
        r.setWidth(std::max(r.width(), labels_[size_t(i)]->sizeHint().width()));
        labels_[size_t(i)]->setGeometry(r);
    }
    resize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight) + headerGrowth_);
}

bool BatchWindow::busy() const
{
    return jobActive_ || host_.jobRunning();
}

// ---------------------------------------------------------------------------
// Drop intake

Qt::DropAction BatchWindow::List1_OLEDragOver(const QMimeData *data) const
{
    return droppedFiles(data).isEmpty() ? Qt::IgnoreAction : Qt::CopyAction;
}

Qt::DropAction BatchWindow::List1_OLEDragDrop(const QMimeData *data)
{
    const QStringList files = droppedFiles(data);
    if (files.isEmpty())
        return Qt::IgnoreAction;
    addFiles(files);
    return Qt::CopyAction;
}

void BatchWindow::addFiles(const QStringList &paths)
{
    // No button acts on a half-updated list.
    picture1_->setEnabled(false);
    picture2_->setEnabled(false);
    for (const QString &path : paths) {
        // A VOB or a disc is listed by the transcoder first: its streams, or
        // its titles. The list is short work, but a drive may be slow.
        Listing listing;
        if (wsjob::isListable(path)) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            listing = host_.listInput(path);
            QApplication::restoreOverrideCursor();
        }
        const Intake in = takeDroppedFile(path, list_->count(), nameColumnWidth_, listing);
        if (!in.refused.isEmpty())
            list_->setToolTip(in.refused);
        if (!in.taken)
            continue;
        list_->addItems(in.rowTexts);
        setWindowTitle(QStringLiteral("Number of Items: %1").arg(list_->count()));
        // Rewritten in place: rows keep their positions and the selection.
        for (int j : in.repadded)
            if (QListWidgetItem *item = list_->item(j))
                item->setText(rowText(j));
        FitHeader();
    }
    picture1_->setEnabled(true);
    picture2_->setEnabled(true);
    if (isVisible())
        picture2_->setFocus();
}

void BatchWindow::FitHeader()
{
    const HeaderFit f = fitHeader(nameColumnWidth_, labels_[1]->width() * kTwipsPerPixel);
    // A caption wider than its column (a large font, short names) widens
    // its header, and the window with it.
    const int nameWidth = twipsToPixels(f.nameHeaderWidth);
    const int grown = std::max(0, labels_[0]->sizeHint().width() - nameWidth);
    labels_[0]->resize(nameWidth + grown, labels_[0]->height());
    labels_[1]->move(twipsToPixels(f.substreamHeaderLeft) + grown, labels_[1]->y());
    resize(qMax(1, twipsToPixels(f.outerWidth - kFrameTwips) + grown), height());
    // A hidden window gets its resize event only when it is shown.
    if (!isVisible())
        Form_Resize();
    buttons_[1]->DrawUp();
    buttons_[1]->ResetHover();
}

// ---------------------------------------------------------------------------
// Substream choice

void BatchWindow::List1_MouseDown(Qt::MouseButton button, const QPoint &pos)
{
    combo_->hide();
    if (button != Qt::RightButton)
        return;
    const QModelIndex at = list_->indexAt(pos);
    if (!at.isValid())
        return;
    const int r = at.row();
    const BatchItemArrays &a = batchItems();
    if (r < 0 || r >= list_->count() || r >= a.size())
        return;
    const bool title = r < a.BatchTitle.size() && a.BatchTitle.at(r) > 0;
    if (!title && a.BatchName.at(r).trimmed().right(3).toLower() != QLatin1String("vob"))
        return;
    // The tracks listed for the item, else every ID.
    const QStringList tracks = r < a.BatchTracks.size() ? a.BatchTracks.at(r) : QStringList();
    combo_->clear();
    combo_->addItems(tracks.isEmpty() ? allIds_ : tracks);
    combo_->resize(std::max(twipsToPixels(kComboWidth), combo_->sizeHint().width()), combo_->sizeHint().height());
    selectedRow_ = r;
    list_->setCurrentRow(r);

    // The combo's right edge 210 twips right of the pointer, its top 90
    // twips above it.
    const QPoint p = list_->viewport()->mapTo(this, pos);
    combo_->move(p.x() - combo_->width() + twipsToPixels(210), p.y() - twipsToPixels(90));
    const QString id = a.BatchSubstream.at(r).trimmed();
    int item = -1;
    for (int k = 0; k < combo_->count(); ++k)
        if (combo_->itemText(k).left(4) == id)
            item = k;
    combo_->setCurrentIndex(item);
    combo_->show();
    combo_->raise();
}

void BatchWindow::Combo_VobAc3SubStream_Click()
{
    const int r = selectedRow_;
    BatchItemArrays &a = batchItems();
    // The list may have changed while the choice was open.
    if (r >= 0 && r < list_->count() && r < a.size() && !a.BatchName.at(r).isEmpty()) {
        a.BatchSubstream[r] = substreamColumn(combo_->currentText().left(4));
        ReplaceRow(*list_, fullRowText(r), r);
        list_->setCurrentRow(r);
    }
    combo_->hide();
}

// ---------------------------------------------------------------------------
// Buttons

void BatchWindow::XFlatButton2_Hovering(int index)
{
    if (auto *b = XFlatButton2(index))
        b->DrawHover();
}

void BatchWindow::XFlatButton2_ButtonUp(int index)
{
    if (auto *b = XFlatButton2(index))
        b->DrawUp();
}

void BatchWindow::XFlatButton2_MouseDown(int index)
{
    if (auto *b = XFlatButton2(index))
        b->DrawPressed();
    switch (index) {
    case 1:
        ClearList();
        break;
    case 2:
        Stop();
        break;
    case 3:
        CloseWindow();
        break;
    default:
        break;
    }
}

void BatchWindow::XFlatButton2_Click(int index)
{
    // While a job runs the buttons start nothing: no nested job, and no
    // change to the options of the running one.
    const bool idle = !busy();
    if (idle)
        host_.tickAppendLog();
    if (auto *b = XFlatButton2(index))
        b->DrawUp();
    if (!idle)
        return;
    if (index == 4)
        EncodeSelectedFile();
    else if (index == 5)
        EncodeTheWholeList();
}

void BatchWindow::ClearList()
{
    ClearItemArrays(list_->count());
    list_->clear();
    setWindowTitle(kClearedCaption);
    nameColumnWidth_ = 12;
    FitHeader();
}

void BatchWindow::Stop()
{
    host_.stopTool();
    EnablePanels(true);
}

void BatchWindow::CloseWindow()
{
    ClearItemArrays(list_->count());
    buttons_[3]->DrawUp();
    buttons_[3]->ResetHover();
    closeRequested_ = true;
    close();
    closeRequested_ = false;
    resetToNew();
    host_.setMainEnabled(true);
    emit closed();
}

// The state of a newly created window: empty list, caption and size as
// designed, no choice open.
void BatchWindow::resetToNew()
{
    combo_->hide();
    list_->clear();
    nameColumnWidth_ = 0;
    selectedRow_ = 0;
    setWindowTitle(kInitialCaption);
    placeHeader();
    if (!isVisible())
        Form_Resize();
    EnablePanels(true);
    DrawAllButtonsUp(102);
}

void BatchWindow::EncodeSelectedFile()
{
    EncodeRow(list_->currentRow());
}

void BatchWindow::EncodeTheWholeList()
{
    const QPointer<BatchWindow> self(this);
    const int n = list_->count();
    for (int i = 0; i < n; ++i) {
        EncodeRow(i);
        if (!self) // the window went away during the job
            return;
    }
}

void BatchWindow::EncodeRow(int row)
{
    const std::optional<EncodeRequest> r = encodeRequest(row, list_->count());
    if (!r || busy())
        return;
    host_.setInputFile(r->inputFile);
    host_.setOutputFile(r->outputFile);
    if (r->title > 0)
        host_.setTitle(r->title);
    if (!r->substream.isEmpty() || r->automatic)
        host_.setSubstream(r->substream);
    const QPointer<BatchWindow> self(this);
    jobActive_ = true;
    host_.runJob();
    if (self)
        jobActive_ = false;
}

void BatchWindow::EnablePanels(bool enabled)
{
    buttons_[1]->Enabled(enabled);
    buttons_[3]->Enabled(enabled);
    picture2_->setEnabled(enabled);
    if (enabled) {
        for (int i = 1; i <= 6; ++i) {
            buttons_[size_t(i)]->DrawUp();
            buttons_[size_t(i)]->ResetHover();
        }
    }
}

void BatchWindow::DrawAllButtonsUp(const QVariant &value)
{
    bool ok = false;
    if (value.toDouble(&ok) != 102.0 || !ok)
        return;
    for (int i = 1; i <= 6; ++i)
        buttons_[size_t(i)]->DrawUp();
}

// ---------------------------------------------------------------------------
// Window events

void BatchWindow::Form_Resize()
{
    if (isVisible()) {
        if (isMinimized())
            host_.hideMain();
        else
            host_.showMain();
    }
    const ResizeLayout r = formResize(float(width() * kTwipsPerPixel + kFrameTwips));
    const auto px = [](float twips) { return qMax(0, twipsToPixels(twips)); };
    list_->resize(px(r.listWidth), list_->height());
    picture1_->resize(px(r.panelWidth), picture1_->height());
    picture2_->resize(px(r.panelWidth), picture2_->height());
    for (int i = 1; i <= 6; ++i) {
        ws::FlatButton *b = buttons_[size_t(i)];
        b->setGeometry(px(r.buttonLeft[i]), b->y(), px(r.buttonWidth[i]), b->height());
    }
}

void BatchWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void BatchWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void BatchWindow::closeEvent(QCloseEvent *event)
{
    if (closeRequested_)
        event->accept();
    else
        event->ignore();
}

bool BatchWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != list_->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        // The drop handlers return the effect; "none" refuses the data.
        auto *e = static_cast<QDropEvent *>(event);
        const Qt::DropAction action = event->type() == QEvent::Drop ? List1_OLEDragDrop(e->mimeData())
                                                                    : List1_OLEDragOver(e->mimeData());
        if (action == Qt::IgnoreAction) {
            e->ignore();
        } else {
            e->setDropAction(action);
            e->accept();
        }
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto *e = static_cast<QMouseEvent *>(event);
        List1_MouseDown(e->button(), e->position().toPoint());
        // A right-click selects only through the substream choice.
        return e->button() == Qt::RightButton;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

} // namespace wsbatch
