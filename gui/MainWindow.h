// The main window: one widget per control of the option record, grouped in
// the frames of the record. The record is the only holder of option state:
// widgets pass the user's edits in (typing, clicks, items picked from a
// list) and repaint themselves from the record's change signal, so a handler
// runs once per change whether the change came from the user or from code.
#pragma once

#include "JobPipeline.h"
#include "OptionModel.h"

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <vector>

class QButtonGroup;
class QComboBox;
class QTimer;
class QLabel;
class QProgressBar;

namespace ws {

class FileDialogs;
class LinkLabel;
class WindowCommands;
}
namespace wsbatch {
class BatchWindow;
class OptionBatchHost;
}
namespace ws {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Builds the widgets and loads the stored options (openUserSettings())
    // before the window is first shown.
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    OptionModel &model() { return *model_; }
    const OptionModel &model() const { return *model_; }

    // The widget that shows a control ("Azid", 7), or nullptr.
    QWidget *widget(const QString &name, int index = -1) const;

    // Progress of a running job under the status line: parts done of all
    // parts and the step in hand. A total of 0 or less shows a busy bar.
    void setProgress(int done, int total, const QString &step);
    // No job runs: the bar is hidden (its room is kept, nothing jumps).
    void clearProgress();

    // What "Exit" does after it has turned saving off and announced
    // aboutToExit(); by default it ends the process at once with code 0,
    // also from inside a running job (no event loop is left to unwind).
    // Tests replace it.
    void setExitHandler(std::function<void()> handler) { exitHandler_ = std::move(handler); }

    // Window commands that need no outside help.
    void Command3_Click(); // show or hide the command-line pane
    void Command4_Click(); // end at once, without saving the options

    // "Give me AAC!": converts InputFile into OutputFile and returns when the
    // job has ended (the window stays live meanwhile). The batch window
    // calls it for each of its items.
    wsjob::JobResult Command2_Click();
    // Tells the job whether the batch window is visible (no overwrite
    // question then).
    void setBatchVisibleQuery(std::function<bool()> query) { batchVisible_ = std::move(query); }
    // The file pickers and desktop commands of the window.
    WindowCommands &commands() { return *commands_; }

    // Shows the batch window with these files added to its list; the main
    // window is disabled until the batch window's "Close".
    void openBatch(const QStringList &files);
    // The batch window, once it has been opened (nullptr before).
    wsbatch::BatchWindow *batchWindow() const { return batch_.get(); }
    // The input's titles and tracks are still being read.
    bool listingPending() const;

signals:
    // Requests that the job and file-selection code answers.
    void runRequested();            // "Give me AAC!"
    void playRequested();           // "Play AAC"
    void batchModeRequested();      // "Enter Batch Mode"
    void inputFileClicked();        // click on InputFile
    void outputFileDoubleClicked(); // double-click on OutputFile
    void tromvaxClicked();          // click on Tromvax
    void karduneClicked();          // click on Kardune
    void aacencClicked();           // click on aacenc
    void logFileDoubleClicked();    // double-click on LOGFILEVAL(0)
    // "Exit" is about to end the process: the last moment to stop a tool
    // that still runs. The options are not saved.
    void aboutToExit();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *createWidget(Control &c);
    void buildLayout();
    void refresh(Control *c);
    void applyColours(const Control &c, QWidget *w);
    void applyLinkColours(LinkLabel *link);
    // The accessible name: the caption, or for a value box its row's caption.
    QString spokenName(const Control &c) const;
    void setTabOrderFromLayout();
    QWidget *w(const char *name, int index = -1) const;
    // The Title combo follows the model's disc title and listing; the
    // listing is read anew (after a pause in typing) when the input changes.
    void refreshTitle();
    void listInput();

    class JobHost;
    std::unique_ptr<OptionModel> model_;
    std::unique_ptr<FileDialogs> dialogs_;
    std::unique_ptr<WindowCommands> commands_;
    std::function<bool()> batchVisible_;
    std::unique_ptr<wsbatch::OptionBatchHost> batchHost_;
    std::unique_ptr<wsbatch::BatchWindow> batch_;
    QHash<const Control *, QWidget *> widgets_;
    QHash<const QObject *, Control *> controlOf_; // widget (or combo line edit) -> control
    QHash<const Control *, QWidget *> outer_;      // widget whose visibility follows the control
    QHash<QString, QButtonGroup *> radioGroups_;
    QHash<const Control *, QString> rowCaption_; // value box -> the caption of its row
    struct LinkColours {
        quint32 fore, link, drop; // as stored, before fitting them to the palette
    };
    QHash<LinkLabel *, LinkColours> linkColours_;
    QComboBox *title_ = nullptr;
    QWidget *titleCaption_ = nullptr;
    wsjob::DiscLister *lister_ = nullptr;
    QTimer *listTimer_ = nullptr;
    std::vector<QWidget *> placed_;               // in layout order, for the tab chain
    QProgressBar *progress_ = nullptr;
    std::function<void()> exitHandler_;
    bool saveOnClose_ = true;
    bool typedReturn_ = false; // Return in a combo's text: not an item pick
    bool tearingDown_ = false;
};

} // namespace ws
