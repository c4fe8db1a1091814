#include "MainWindow.h"

#include "Workspace.h"

#include "FileDialogs.h"
#include "BatchItems.h"
#include "BatchWindow.h"
#include "ComboBoxNames.h"
#include "DesktopFonts.h"
#include "OptionBatchHost.h"
#include "DesktopLinks.h"
#include "LinkLabel.h"
#include "FormFlags.h"
#include "StoredForms.h"
#include "SystemColors.h"
#include "UserGuide.h"
#include "WindowCommands.h"

#include "BlankCaptionField.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyle>
#include <QSettings>
#include <QStyleOptionGroupBox>
#include <QTimer>
#include <QValidator>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

namespace ws {

namespace {

// A group box whose title has its own colour; the colour does not reach the
// widgets inside, which keep the colours of their own controls.
class FrameBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;
    void setTitleColour(const QColor &c)
    {
        if (c != title_) {
            title_ = c;
            setProperty("titleColour", c); // for checks of what is drawn
            update();
        }
    }
    QColor titleColour() const { return title_; }

protected:
    void initStyleOption(QStyleOptionGroupBox *option) const override
    {
        QGroupBox::initStyleOption(option);
        if (title_.isValid()) {
            option->textColor = title_;
            option->palette.setColor(QPalette::Active, QPalette::WindowText, title_);
            option->palette.setColor(QPalette::Inactive, QPalette::WindowText, title_);
        }
    }

private:
    QColor title_;
};

QFont fixedFont() { return fixedPitchFont(QStringLiteral("Courier New")); }

// Refuses any text that holds the settings store's separator, so that a
// saved value can never shift the stored record.
class StoreSafeText : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        return input.contains(OptionModel::storeSeparator()) ? Invalid : Acceptable;
    }
};

// A caption as one line for screen readers: line breaks and the runs of
// blanks that value boxes lie over read as single blanks.
QString spokenCaption(const QString &caption) { return caption.simplified(); }

// The colour a control's stored colour value is shown in on `back`: a
// system colour as the palette has it, a fixed one moved to a lightness that
// reads there (its hue kept).
QColor shownColour(Colour value, const QPalette &palette, const QColor &back)
{
    const QColor colour = systemColor(value, palette);
    return isSystemColor(value) ? colour : readableOn(colour, back);
}

// Label captions break lines with CR LF; the widget shows plain line breaks.
QString shownCaption(const QString &caption)
{
    QString s = caption;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}

// A width that holds `chars` digits plus the frame of a line edit.
int boxWidth(const QWidget *w, int chars)
{
    return w->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0'))) + 16;
}

} // namespace

// The job's view of the window: the overwrite question, the progress bar,
// the log viewer and the run button.
class MainWindow::JobHost : public wsjob::JobHost {
public:
    explicit JobHost(MainWindow &w) : w_(w) {}
    bool batchVisible() const override { return w_.batchVisible_ && w_.batchVisible_(); }
    bool confirmOverwrite(const QString &) override
    {
        return MessageBoxes::current().question(
            &w_, QStringLiteral("The Wavesmithy"),
            QStringLiteral("Output file already exists. are you sure you want to overwrite ?"));
    }
    void progress(int done, int total) override
    {
        if (total < 0)
            w_.clearProgress();
        else
            w_.setProgress(done, total, w_.model_->control(QStringLiteral("Status")).caption);
    }
    void openLog(const QString &path) override { openUrl(QUrl::fromLocalFile(path)); }
    void jobStarted() override { w_.model_->setEnabled(w_.model_->control(QStringLiteral("Command2")), false); }
    void jobFinished() override { w_.model_->setEnabled(w_.model_->control(QStringLiteral("Command2")), true); }

private:
    MainWindow &w_;
};

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), model_(std::make_unique<OptionModel>()), dialogs_(std::make_unique<FileDialogs>()),
      exitHandler_([] {
          std::fflush(nullptr);
          std::_Exit(0);
      })
{
    setWindowTitle(QStringLiteral("Wavesmithy v0.51"));
    nameComboBoxesByTheirCaption();

    // The title of a disc input: no stored record of its own, so no control.
    title_ = new QComboBox;
    title_->setObjectName(QStringLiteral("Title"));
    title_->setAccessibleName(QStringLiteral("Title"));
    title_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    title_->setPlaceholderText(QStringLiteral("the longest"));
    connect(title_, &QComboBox::activated, this, [this](int item) { model_->setDiscTitle(title_->itemText(item)); });
    lister_ = new wsjob::DiscLister(this);
    listTimer_ = new QTimer(this);
    listTimer_->setSingleShot(true);
    listTimer_->setInterval(300);
    connect(listTimer_, &QTimer::timeout, this, &MainWindow::listInput);
    connect(lister_, &wsjob::DiscLister::listed, this, [this](const QString &input, const QList<wsjob::DiscTitleInfo> &t) {
        if (input == model_->text(QStringLiteral("InputFile")))
            model_->setDiscListing(t);
    });
    connect(lister_, &wsjob::DiscLister::failed, this, [this](const QString &input, const QString &error) {
        // A VOB keeps every substream on offer; a disc says why it has no titles.
        if (input == model_->text(QStringLiteral("InputFile")) && model_->discInput())
            model_->setCaption(model_->control(QStringLiteral("Status")),
                               QStringLiteral("The titles of %1 could not be listed: %2").arg(input, error));
    });

    for (const auto &c : model_->controls()) {
        QWidget *widget = createWidget(*c);
        widget->setObjectName(c->key());
        widgets_.insert(c.get(), widget);
        outer_.insert(c.get(), widget);
        controlOf_.insert(widget, c.get());
    }
    buildLayout();
    for (const auto &c : model_->controls())
        refresh(c.get());
    connect(model_.get(), &OptionModel::controlChanged, this, &MainWindow::refresh);
    connect(model_.get(), &OptionModel::discTitleChanged, this, &MainWindow::refreshTitle);
    connect(model_.get(), &OptionModel::controlChanged, this, [this](Control *c) {
        if (c->name == QLatin1String("InputFile") || c->name == QLatin1String("Tromvax"))
            listTimer_->start();
    });

    // Stored options settle the window before it is shown; restoring a value
    // runs its handlers, and the widgets follow through controlChanged.
    const auto store = openUserSettings();
    model_->loadSettings(*store);
    dialogs_->CancelError(model_->cancelError());
    refreshTitle();

    commands_ = std::make_unique<WindowCommands>(*model_, *dialogs_, this);
    connect(this, &MainWindow::runRequested, this, [this] { Command2_Click(); });
    connect(this, &MainWindow::playRequested, this, [this] { commands_->Command5_Click(); });
    connect(this, &MainWindow::batchModeRequested, this, [this] { openBatch({}); });
    connect(this, &MainWindow::inputFileClicked, this, [this] { commands_->InputFile_Click(); });
    connect(this, &MainWindow::outputFileDoubleClicked, this, [this] { commands_->OutputFile_DblClick(); });
    connect(this, &MainWindow::tromvaxClicked, this, [this] { commands_->ToolPicker_Click(QStringLiteral("Tromvax")); });
    connect(this, &MainWindow::karduneClicked, this, [this] { commands_->ToolPicker_Click(QStringLiteral("Kardune")); });
    connect(this, &MainWindow::aacencClicked, this, [this] { commands_->ToolPicker_Click(QStringLiteral("aacenc")); });
    connect(this, &MainWindow::logFileDoubleClicked, this, [this] { commands_->LOGFILEVAL_DblClick(); });
    // Files dropped on the window go to the batch window.
    setAcceptDrops(true);
    // A tool still running when "Exit" ends the process is ended with it.
    connect(this, &MainWindow::aboutToExit, this, [] {
        ProcessRunner::stopCurrent();
        wsjob::Workspace::removeAll();
    });

    // Room for long paths, within the screen. Layouts measured before the
    // captions were filled in are measured again first.
    for (QLayout *layout : findChildren<QLayout *>())
        layout->invalidate();
    QSize size = sizeHint().expandedTo(QSize(fontMetrics().averageCharWidth() * 175, 0));
    if (const QScreen *screen = this->screen())
        size = size.boundedTo(screen->availableSize());
    resize(size);
}

namespace {

// Gives a combo these items unless it has them already (a rebuilt list
// loses the selection); true when it was rebuilt.
bool showItems(QComboBox &combo, const QStringList &items)
{
    QStringList shown;
    for (int i = 0; i < combo.count(); ++i)
        shown << combo.itemText(i);
    if (shown == items)
        return false;
    combo.clear();
    combo.addItems(items);
    return true;
}

} // namespace

void MainWindow::refreshTitle()
{
    if (tearingDown_)
        return;
    const QStringList items = model_->discTitleItems();
    {
        const QSignalBlocker quiet(title_);
        showItems(*title_, items);
        title_->setCurrentIndex(int(items.indexOf(model_->discTitle())));
    }
    title_->setEnabled(!items.isEmpty());
    title_->setVisible(model_->discInput());
    titleCaption_->setVisible(model_->discInput());
}

bool MainWindow::listingPending() const { return listTimer_->isActive() || lister_->isRunning(); }

void MainWindow::listInput()
{
    // A disc, or a VOB, whose titles and tracks the transcoder can tell.
    const QString input = model_->text(QStringLiteral("InputFile"));
    if (!wsjob::isListable(input)) {
        lister_->cancel();
        return;
    }
    lister_->start(model_->text(QStringLiteral("Tromvax")), input);
}

MainWindow::~MainWindow()
{
    tearingDown_ = true;
    batch_.reset();
    disconnect(model_.get(), nullptr, this, nullptr);
}

QWidget *MainWindow::widget(const QString &name, int index) const
{
    const Control *c = model_->find(name, index);
    return c ? widgets_.value(c, nullptr) : nullptr;
}

QWidget *MainWindow::w(const char *name, int index) const
{
    QWidget *widget = this->widget(QLatin1String(name), index);
    Q_ASSERT(widget);
    return widget;
}

// --- Widgets ------------------------------------------------------------------

QWidget *MainWindow::createWidget(Control &c)
{
    Control *ctl = &c;
    switch (c.kind) {
    case Kind::Frame:
        return new FrameBox;

    case Kind::TextBox: {
        auto *edit = new QLineEdit;
        if (c.isValue())
            edit->setValidator(new StoreSafeText(edit));
        connect(edit, &QLineEdit::textEdited, this, [this, ctl](const QString &t) { model_->setText(*ctl, t); });
        edit->installEventFilter(this);
        return edit;
    }

    case Kind::ComboBox: {
        auto *combo = new QComboBox;
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        // Inline completion would change the text without a user edit signal.
        combo->setCompleter(nullptr);
        combo->addItems(c.items);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        if (c.isValue())
            combo->setValidator(new StoreSafeText(combo));
        // Keys reach the combo first (its text is a focus proxy) and the
        // combo hands them to its text directly, so both are watched.
        QLineEdit *edit = combo->lineEdit();
        controlOf_.insert(edit, ctl);
        edit->installEventFilter(this);
        combo->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [this, ctl](const QString &t) { model_->setText(*ctl, t); });
        connect(combo, &QComboBox::activated, this, [this, ctl](int item) {
            if (typedReturn_)
                refresh(ctl); // Return after typing is no pick: show the typed text again
            else
                model_->pickItem(*ctl, item);
        });
        return combo;
    }

    case Kind::CheckBox: {
        auto *box = new QCheckBox;
        connect(box, &QCheckBox::clicked, this, [this, ctl] {
            model_->click(*ctl);
            refresh(ctl); // the box toggled itself; the record decides
        });
        return box;
    }

    case Kind::OptionButton: {
        auto *button = new QRadioButton;
        QButtonGroup *&group = radioGroups_[c.name];
        if (!group) {
            group = new QButtonGroup(this);
            group->setExclusive(true);
        }
        group->addButton(button);
        connect(button, &QRadioButton::clicked, this, [this, ctl] {
            model_->click(*ctl);
            refresh(ctl);
        });
        return button;
    }

    case Kind::Label: {
        auto *label = new QLabel;
        if (c.name == QLatin1String("text1")) {
            // The command-line pane: selectable, wrapped, fixed pitch.
            label->setFont(fixedFont());
            label->setWordWrap(true);
            label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setFrameShape(QFrame::StyledPanel);
            label->setFrameShadow(QFrame::Sunken);
            label->setBackgroundRole(QPalette::Base);
            label->setAutoFillBackground(true);
            label->setMargin(4);
            label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
            label->setMinimumHeight(label->fontMetrics().lineSpacing() * 3 + 12);
        } else if (c.name == QLatin1String("Status")) {
            label->setTextFormat(Qt::PlainText);
            label->setFrameShape(QFrame::StyledPanel);
            label->setFrameShadow(QFrame::Sunken);
            label->setMargin(3);
            label->setMinimumHeight(label->fontMetrics().lineSpacing() + 10);
            QFont f = label->font();
            f.setBold(true);
            label->setFont(f);
        } else if (c.name == QLatin1String("info")) {
            // The two lines of the properties line up on their "=".
            label->setFont(fixedFont());
            label->setTextFormat(Qt::PlainText);
        } else {
            label->setTextFormat(Qt::PlainText);
        }
        return label;
    }

    case Kind::LinkLabel: {
        // The guide link and the companion-tools link, as stored on the window.
        auto *link = new LinkLabel(nullptr, c.name);
        link->ReadProperties(storedForm(c.name));
        linkColours_.insert(link, {link->ForeColor(), link->LinkColor(), link->DropColor()});
        link->URL(c.name == QLatin1String("EtsLinkLabel2") ? guideUrl().toString()
                                                           : guideUrl(QStringLiteral("companion-tools")).toString());
        return link;
    }

    case Kind::Line: {
        auto *line = new QFrame;
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        return line;
    }

    case Kind::Button: {
        auto *button = new QPushButton;
        button->setFont(proportionalFont(QFont(QStringLiteral("Arial"), button->font().pointSize())));
        const QString &n = c.name;
        if (n == QLatin1String("Command2")) {
            QFont f = button->font();
            f.setBold(true);
            button->setFont(f);
            button->setDefault(true);
            connect(button, &QPushButton::clicked, this, &MainWindow::runRequested);
        } else if (n == QLatin1String("Command1")) {
            connect(button, &QPushButton::clicked, this, &MainWindow::batchModeRequested);
        } else if (n == QLatin1String("Command3")) {
            connect(button, &QPushButton::clicked, this, &MainWindow::Command3_Click);
        } else if (n == QLatin1String("Command4")) {
            connect(button, &QPushButton::clicked, this, &MainWindow::Command4_Click);
        } else if (n == QLatin1String("Command5")) {
            connect(button, &QPushButton::clicked, this, &MainWindow::playRequested);
        }
        return button;
    }
    }
    return new QWidget;
}

void MainWindow::refresh(Control *c)
{
    if (tearingDown_)
        return;
    QWidget *widget = widgets_.value(c, nullptr);
    if (!widget)
        return;

    switch (c->kind) {
    case Kind::Frame:
        static_cast<QGroupBox *>(widget)->setTitle(c->caption);
        break;
    case Kind::TextBox: {
        auto *edit = static_cast<QLineEdit *>(widget);
        // Only a real difference is written back, so typing keeps its cursor.
        if (edit->text() != c->text)
            edit->setText(c->text);
        break;
    }
    case Kind::ComboBox: {
        auto *combo = static_cast<QComboBox *>(widget);
        if (const QSignalBlocker quiet(combo); showItems(*combo, c->items))
            combo->setEditText(c->text);
        if (combo->currentText() != c->text) {
            const int item = combo->findText(c->text, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (item >= 0)
                combo->setCurrentIndex(item);
            if (combo->currentText() != c->text)
                combo->setEditText(c->text);
        }
        break;
    }
    case Kind::CheckBox: {
        auto *box = static_cast<QCheckBox *>(widget);
        box->setText(c->caption);
        if (c->value == 2)
            box->setTristate(true);
        box->setCheckState(c->value == 0 ? Qt::Unchecked : c->value == 1 ? Qt::Checked : Qt::PartiallyChecked);
        break;
    }
    case Kind::OptionButton: {
        auto *button = static_cast<QRadioButton *>(widget);
        button->setText(c->caption);
        // The record may leave every button of a group unselected (stored
        // ticks "0" for both); an exclusive group would refuse that.
        QButtonGroup *group = radioGroups_.value(c->name, nullptr);
        if (group)
            group->setExclusive(false);
        button->setChecked(c->value != 0);
        if (group)
            group->setExclusive(true);
        break;
    }
    case Kind::Label:
        static_cast<QLabel *>(widget)->setText(shownCaption(c->caption));
        break;
    case Kind::LinkLabel:
        static_cast<LinkLabel *>(widget)->Caption(c->caption);
        break;
    case Kind::Button:
        static_cast<QPushButton *>(widget)->setText(c->caption);
        break;
    case Kind::Line:
        break;
    }

    widget->setToolTip(c->toolTip);
    widget->setEnabled(c->enabled);
    outer_.value(c, widget)->setVisible(c->visible);
    applyColours(*c, widget);
    widget->setAccessibleName(spokenName(*c));
}

QString MainWindow::spokenName(const Control &c) const
{
    // A value box is named by the caption of its row.
    if (const auto row = rowCaption_.find(&c); row != rowCaption_.end())
        return spokenCaption(*row);
    if (c.name == QLatin1String("text1")) // its caption is the command line itself
        return spokenCaption(model_->control(QStringLiteral("Frame7")).caption);
    return spokenCaption(c.caption);
}

void MainWindow::applyColours(const Control &c, QWidget *widget)
{
    // Fixed colours keep their hue and are shown at a lightness that reads
    // on the palette in use; text on a fixed background gets a fixed colour.
    const QPalette style = QApplication::palette(widget);
    const QColor window = style.color(QPalette::Active, QPalette::Window);
    const QColor fore = shownColour(c.foreColor, style, window);
    QPalette pal = widget->palette();
    switch (c.kind) {
    case Kind::Frame:
        static_cast<FrameBox *>(widget)->setTitleColour(fore);
        return;
    case Kind::TextBox:
    case Kind::ComboBox: {
        // The back colour shows also while the box is disabled, the text
        // colour of a disabled box stays the style's grey.
        const QColor back = systemColor(c.backColor, style);
        const QColor text = isSystemColor(c.backColor) ? systemColor(c.foreColor, style) : textColourOn(back);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            pal.setColor(group, QPalette::Base, back);
        pal.setColor(QPalette::Active, QPalette::Text, text);
        pal.setColor(QPalette::Inactive, QPalette::Text, text);
        break;
    }
    case Kind::LinkLabel:
        applyLinkColours(static_cast<LinkLabel *>(widget));
        return;
    case Kind::CheckBox:
    case Kind::OptionButton:
    case Kind::Label:
        if (!c.hasForeColor)
            return;
        pal.setColor(QPalette::Active, QPalette::WindowText, fore);
        pal.setColor(QPalette::Inactive, QPalette::WindowText, fore);
        break;
    case Kind::Line:
    case Kind::Button:
        return;
    }
    widget->setPalette(pal);
}

void MainWindow::applyLinkColours(LinkLabel *link)
{
    const LinkColours stored = linkColours_.value(link);
    const QPalette style = QApplication::palette(link);
    link->BackColor(link->BackColor()); // the background follows the palette
    const QColor back = link->colorOf(link->BackColor());
    const auto shown = [&](quint32 value) {
        return isSystemColor(value) ? value : colorRef(readableOn(systemColor(value, style), back));
    };
    link->ForeColor(shown(stored.fore));
    link->LinkColor(shown(stored.link));
    // The shadow stays on the background's side: a light one on a light
    // background, the same at the other end of lightness on a dark one.
    QColor drop = systemColor(stored.drop, style);
    if (back.lightnessF() < 0.5f && drop.lightnessF() > back.lightnessF())
        drop = QColor::fromHslF(std::max(0.0f, drop.hslHueF()), drop.hslSaturationF(), 1.0f - drop.lightnessF());
    link->DropColor(colorRef(drop));
}

// --- Layout -----------------------------------------------------------------------

void MainWindow::buildLayout()
{
    auto *central = new QWidget;
    setCentralWidget(central);

    auto place = [this](QWidget *widget) {
        placed_.push_back(widget);
        return widget;
    };
    auto frame = [this](const char *name) {
        auto *box = static_cast<QGroupBox *>(w(name));
        auto *grid = new QGridLayout(box);
        grid->setColumnStretch(1, 1);
        return std::pair{box, grid};
    };
    // The caption that names a value box for screen readers: its row's.
    auto row = [this](const char *val, int valIndex, const QString &caption) {
        rowCaption_.insert(&model_->control(QLatin1String(val), valIndex), caption);
    };
    auto captionOf = [this](const char *name, int index = -1) { return model_->control(QLatin1String(name), index).caption; };
    // A switch with its value box over the blanks of its caption; the field
    // shows and hides with the switch.
    auto blankField = [this, &place, &row](const char *sw, int swIndex, const char *val, int valIndex) {
        Control &swControl = model_->control(QLatin1String(sw), swIndex);
        row(val, valIndex, swControl.caption);
        QWidget *button = w(sw, swIndex);
        QWidget *value = w(val, valIndex);
        auto *field = new BlankCaptionField(static_cast<QAbstractButton *>(button), value);
        outer_.insert(&swControl, field);
        place(button);
        place(value);
        return field;
    };
    auto narrow = [](QWidget *widget, int chars) {
        widget->setFixedWidth(boxWidth(widget, chars));
        return widget;
    };

    // Locations.
    auto [locations, loc] = frame("Frame1");
    {
        int r = 0;
        loc->addWidget(place(w("Label2")), r, 0);
        loc->addWidget(place(w("InputFile")), r++, 1, 1, 2);
        // The title of a disc, shown only for a disc.
        auto *titleCaption = new QLabel(QStringLiteral("Title"));
        titleCaption->setBuddy(title_);
        titleCaption_ = titleCaption;
        loc->addWidget(titleCaption, r, 0);
        loc->addWidget(place(title_), r++, 1, Qt::AlignLeft);
        // Shown only for a VOB input; its row takes no room while hidden.
        QWidget *substream = w("substream");
        substream->setMinimumWidth(substream->fontMetrics().horizontalAdvance(QStringLiteral("SubStream ID")) +
                                   substream->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 24);
        loc->addWidget(place(substream), r++, 1, Qt::AlignLeft);
        loc->addWidget(place(w("Label3")), r, 0);
        loc->addWidget(place(w("OutputFile")), r++, 1, 1, 2);
        loc->addWidget(w("Line3"), r++, 0, 1, 3);
        loc->addWidget(place(w("Label1")), r, 0);
        loc->addWidget(place(w("Tromvax")), r++, 1, 1, 2);
        // Kardune and TempFolder have no caption control of their own.
        auto *karduneCaption = new QLabel(QStringLiteral("Kardune.exe"));
        loc->addWidget(karduneCaption, r, 0);
        loc->addWidget(place(w("Kardune")), r++, 1, 1, 2);
        loc->addWidget(place(w("Label6")), r, 0);
        loc->addWidget(place(w("aacenc")), r++, 1, 1, 2);
        auto *tempCaption = new QLabel(QStringLiteral("Temporary Folder"));
        row("InputFile", -1, captionOf("Label2"));
        row("substream", -1, model_->designText(model_->control(QStringLiteral("substream"))));
        row("OutputFile", -1, captionOf("Label3"));
        row("Tromvax", -1, captionOf("Label1"));
        row("Kardune", -1, karduneCaption->text());
        row("aacenc", -1, captionOf("Label6"));
        row("TempFolder", -1, tempCaption->text());
        loc->addWidget(tempCaption, r, 0);
        loc->addWidget(place(w("TempFolder")), r++, 1, 1, 2);
        auto *links = new QHBoxLayout;
        links->addWidget(place(w("EtsLinkLabel2")));
        links->addStretch(1);
        links->addWidget(place(w("EtsLinkLabel1")));
        loc->addLayout(links, r++, 0, 1, 3);
    }

    // Log file options.
    auto [logBox, log] = frame("Frame6");
    log->addWidget(place(w("LOGFILE", 0)), 0, 0);
    log->addWidget(place(w("LOGFILEVAL", 0)), 0, 1);
    log->addWidget(place(w("LOGFILE", 1)), 1, 0, 1, 2);
    log->addWidget(place(w("LOGFILE", 2)), 2, 0, 1, 2);
    row("LOGFILEVAL", 0, captionOf("LOGFILE", 0));

    // General.
    auto [generalBox, general] = frame("Frame8");
    general->addWidget(place(w("general", 0)), 0, 0, 1, 2);
    general->addWidget(place(w("Label4")), 1, 0);
    general->addWidget(place(w("priority")), 1, 1);
    row("priority", -1, captionOf("Label4"));

    // Overall output configuration: gain and decoder, stream options, timing.
    auto [overallBox, overall] = frame("Frame3");
    {
        int r = 0;
        auto *gainMode = new QHBoxLayout;
        gainMode->addWidget(place(w("AzidG", 0)));
        gainMode->addWidget(place(w("AzidG", 1)));
        gainMode->addStretch(1);
        overall->addWidget(place(w("Azid", 7)), r, 0);
        overall->addLayout(gainMode, r, 1);
        overall->addWidget(place(narrow(w("AZIDVAL", 4), 6)), r++, 2);
        overall->addWidget(place(w("LoudnessLabel")), r, 0);
        overall->addWidget(place(w("LoudnessTarget")), r++, 1, 1, 2);
        overall->addWidget(place(w("Azid", 9)), r, 0);
        overall->addWidget(place(w("azidcmb", 9)), r++, 1, 1, 2);
        overall->addWidget(place(w("Azid", 8)), r, 0);
        overall->addWidget(place(w("azidcmb", 8)), r++, 1, 1, 2);
        row("AZIDVAL", 4, captionOf("AzidG", 0));
        row("LoudnessTarget", -1, captionOf("LoudnessLabel"));
        row("azidcmb", 9, captionOf("Azid", 9));
        row("azidcmb", 8, captionOf("Azid", 8));
        overall->addWidget(w("Line1"), r++, 0, 1, 3);
        overall->addWidget(place(w("Azid", 6)), r++, 0, 1, 3);
        overall->addWidget(place(w("addriff")), r++, 0, 1, 3);
        overall->addWidget(w("Line2"), r++, 0, 1, 3);
        auto *delay = new QHBoxLayout;
        delay->addWidget(blankField("OTA", 0, "OTAval", 0));
        delay->addSpacing(12);
        delay->addWidget(place(w("OTA", 3)));
        delay->addStretch(1);
        overall->addLayout(delay, r++, 0, 1, 3);
        auto *silence = new QHBoxLayout;
        silence->addWidget(blankField("OTA", 2, "OTAval", 2));
        silence->addStretch(1);
        overall->addLayout(silence, r++, 0, 1, 3);
        auto *rate = new QHBoxLayout;
        rate->addWidget(blankField("OTA", 1, "FRCVAL", 0));
        QWidget *to = w("FRCVAL", 1);
        row("FRCVAL", 1, captionOf("OTA", 1));
        to->setFixedWidth(boxWidth(to, 6));
        rate->addWidget(place(to));
        rate->addStretch(1);
        overall->addLayout(rate, r++, 0, 1, 3);
    }

    // Down-mix levels.
    auto [downmixBox, downmix] = frame("Frame2");
    for (int i = 0; i <= 3; ++i) {
        downmix->addWidget(place(w("Azid", i)), i, 0);
        downmix->addWidget(place(narrow(w("AZIDVAL", i), 6)), i, 1, Qt::AlignLeft);
        row("AZIDVAL", i, captionOf("Azid", i));
    }

    // AAC encoding.
    auto [aacBox, aac] = frame("Frame5");
    aac->addWidget(place(w("aac", 0)), 0, 0);
    aac->addWidget(place(w("aaccmb", 0)), 0, 1);
    aac->addWidget(place(w("aac", 1)), 1, 0);
    aac->addWidget(place(w("aaccmb", 1)), 1, 1);
    aac->addWidget(place(w("aacmore", 0)), 2, 0, 1, 2);
    aac->addWidget(place(w("info")), 3, 0, 1, 2);
    row("aaccmb", 0, captionOf("aac", 0));
    row("aaccmb", 1, captionOf("aac", 1));

    // Resampler.
    auto [ssrcBox, ssrc] = frame("Frame4");
    ssrc->addWidget(blankField("SSRC", 0, "ssrcv", 0), 0, 0, 1, 2);
    ssrc->addWidget(blankField("SSRC", 1, "SSRCVAL", 1), 1, 0, 1, 2);

    // Splitting.
    auto [splitBox, split] = frame("Frame9");
    split->addWidget(blankField("split", 0, "splitval", 0), 0, 0, 1, 2);
    split->addWidget(blankField("split", 1, "splitval", 1), 1, 0, 1, 2);

    // Plug-in.
    auto [pluginBox, plugin] = frame("Frame10");
    plugin->addWidget(place(w("plugin", 0)), 0, 0);
    plugin->addWidget(place(w("pluginval", 0)), 0, 1);
    plugin->addWidget(place(w("plugin", 1)), 1, 0);
    plugin->addWidget(place(w("pluginval", 1)), 1, 1);
    row("pluginval", 0, captionOf("plugin", 0));
    row("pluginval", 1, captionOf("plugin", 1));

    // Command line.
    auto *commandBox = static_cast<QGroupBox *>(w("Frame7"));
    auto *command = new QHBoxLayout(commandBox);
    command->addWidget(place(w("text1")), 1);
    auto *commandButtons = new QVBoxLayout;
    commandButtons->addWidget(place(w("Command3")));
    commandButtons->addStretch(1);
    command->addLayout(commandButtons);

    // Three columns of frames, then the command line, status and buttons.
    auto *columns = new QHBoxLayout;
    auto column = [&columns](std::initializer_list<QWidget *> boxes, int stretch) {
        auto *col = new QVBoxLayout;
        for (QWidget *b : boxes)
            col->addWidget(b);
        col->addStretch(1);
        columns->addLayout(col, stretch);
    };
    column({locations, logBox, generalBox}, 1);
    column({overallBox, downmixBox}, 0);
    column({aacBox, ssrcBox, splitBox, pluginBox}, 0);

    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("progress"));
    QSizePolicy keepRoom = progress_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    progress_->setSizePolicy(keepRoom);
    clearProgress();

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(place(w("Command1")));
    buttons->addWidget(place(w("Command5")));
    buttons->addStretch(1);
    // Value boxes without a switch of their own: never shown, kept here so
    // that a change of their visibility could not put them anywhere odd.
    for (int i : {5, 6, 7})
        buttons->addWidget(w("AZIDVAL", i));
    buttons->addWidget(place(w("Command2")));
    buttons->addWidget(place(w("Command4")));

    auto *main = new QVBoxLayout(central);
    main->addLayout(columns, 1);
    main->addWidget(commandBox);
    main->addWidget(place(w("Status")));
    main->addWidget(progress_);
    main->addLayout(buttons);

    setTabOrderFromLayout();
}

void MainWindow::setTabOrderFromLayout()
{
    QWidget *previous = nullptr;
    for (QWidget *widget : placed_) {
        QWidget *focus = widget;
        if (auto *combo = qobject_cast<QComboBox *>(widget); combo && combo->lineEdit())
            focus = combo->lineEdit();
        if (focus->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
}

// --- Progress ------------------------------------------------------------------------

void MainWindow::setProgress(int done, int total, const QString &step)
{
    if (total <= 0) {
        progress_->setRange(0, 0);
        progress_->setFormat(step);
    } else {
        progress_->setRange(0, total);
        progress_->setValue(std::clamp(done, 0, total));
        progress_->setFormat(step.isEmpty() ? tr("%1 of %2 steps").arg(done).arg(total)
                                            : tr("%1 (%2 of %3 steps)").arg(step).arg(done).arg(total));
    }
    progress_->setTextVisible(true);
    progress_->setVisible(true);
}

void MainWindow::clearProgress()
{
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setFormat(QString());
    progress_->setVisible(false);
}

// --- Window commands and events -----------------------------------------------------

void MainWindow::Command3_Click()
{
    Control &pane = model_->control(QStringLiteral("text1"));
    model_->setVisible(pane, !pane.visible);
}

void MainWindow::Command4_Click()
{
    saveOnClose_ = false;
    emit aboutToExit();
    if (exitHandler_)
        exitHandler_();
}

wsjob::JobResult MainWindow::Command2_Click()
{
    JobHost host(*this);
    wsjob::JobPipeline job(*model_, host);
    return job.run();
}

void MainWindow::openBatch(const QStringList &files)
{
    if (!batch_) {
        batchHost_ = std::make_unique<wsbatch::OptionBatchHost>(*model_, [this] { Command2_Click(); }, this);
        batch_ = std::make_unique<wsbatch::BatchWindow>(*batchHost_);
        batchVisible_ = [this] { return batch_ && batch_->isVisible(); };
    }
    batch_->addFiles(files);
    batchHost_->setMainEnabled(false);
    batch_->show();
    batch_->raise();
    batch_->activateWindow();
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!wsbatch::droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QStringList files = wsbatch::droppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    openBatch(files);
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        formflags::noteActivated();
    // A new desktop palette (a switch to a dark theme): the fixed colours
    // are fitted to it again.
    if (event->type() == QEvent::PaletteChange && !tearingDown_)
        for (const auto &c : model_->controls())
            if (QWidget *widget = widgets_.value(c.get()))
                applyColours(*c, widget);
    QMainWindow::changeEvent(event);
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    formflags::notePainted();
    QMainWindow::paintEvent(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (saveOnClose_) {
        const auto store = openUserSettings();
        model_->saveSettings(*store);
    }
    // Closing the main window ends the program, the batch window with it.
    if (batch_)
        batch_->hide();
    event->accept();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (tearingDown_)
        return QMainWindow::eventFilter(watched, event);
    Control *c = controlOf_.value(watched, nullptr);
    if (!c)
        return QMainWindow::eventFilter(watched, event);
    const QString &n = c->name;

    switch (event->type()) {
    case QEvent::MouseButtonRelease: {
        // A click: the left button released over the box it was pressed on.
        auto *me = static_cast<QMouseEvent *>(event);
        auto *widget = static_cast<QWidget *>(watched);
        if (me->button() != Qt::LeftButton || !widget->rect().contains(me->position().toPoint()))
            break;
        if (n == QLatin1String("InputFile"))
            emit inputFileClicked();
        else if (n == QLatin1String("Tromvax"))
            emit tromvaxClicked();
        else if (n == QLatin1String("Kardune"))
            emit karduneClicked();
        else if (n == QLatin1String("aacenc"))
            emit aacencClicked();
        break;
    }
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
            break;
        if (n == QLatin1String("OutputFile"))
            emit outputFileDoubleClicked();
        else if (n == QLatin1String("LOGFILEVAL"))
            emit logFileDoubleClicked();
        break;
    case QEvent::FocusOut: {
        // Focus that moves to another control, not a switch to another
        // application or a menu popping up.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (n == QLatin1String("TempFolder") && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason)
            model_->TempFolder_LostFocus();
        break;
    }
    case QEvent::KeyPress: {
        // Return in a combo's text: the combo would take a matching item as
        // picked; a typed text runs no click handler, so the pick is muted.
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (c->kind == Kind::ComboBox && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            const QScopedValueRollback<bool> muted(typedReturn_, true);
            watched->event(event);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace ws
