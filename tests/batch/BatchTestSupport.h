// Shared pieces of the batch window tests: a main window stand-in that records
// what the batch window asks of it, and synthesized drops and clicks.
#pragma once

#include "BatchHost.h"
#include "BatchItems.h"
#include "BatchWindow.h"
#include "TestSupport.h"
#include "FlatButton.h"

#include <QApplication>
#include <QDir>
#include <QHash>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>
#include <memory>

namespace wstest {

// What one job was given.
struct JobCall {
    QString input, output, substream;
    bool appendLog = false;
    int title = 0;
};

class FakeHost : public wsbatch::BatchHost {
public:
    void setInputFile(const QString &path) override { input = path; }
    void setOutputFile(const QString &path) override { output = path; }
    void setSubstream(const QString &id) override { substream = id; }
    void setTitle(int number) override { title = number; }
    wsbatch::Listing listInput(const QString &path) override { return listings.value(path); }
    void tickAppendLog() override
    {
        ++ticks;
        appendLog = true;
    }
    void runJob() override
    {
        running = true;
        jobs.append({input, output, substream, appendLog, title});
        title = 0;
        if (onJob)
            onJob(int(jobs.size()));
        running = false;
    }
    bool jobRunning() const override { return running || externalJob; }
    void stopTool() override
    {
        ++stops;
        BatchHost::stopTool();
    }
    void setMainEnabled(bool enabled) override { mainEnabled = enabled; }
    void showMain() override { mainVisible = true; }
    void hideMain() override { mainVisible = false; }

    QString input, output, substream = QStringLiteral("untouched");
    int title = 0;
    bool appendLog = false;
    int ticks = 0;
    int stops = 0;
    bool running = false;
    bool externalJob = false; // a job started from the main window
    bool mainEnabled = false;
    bool mainVisible = true;
    QList<JobCall> jobs;
    QHash<QString, wsbatch::Listing> listings; // what the transcoder would list, by path
    std::function<void(int)> onJob; // called with the job's number (from 1) while it runs
};

// A file of `size` bytes under `root`; folders are made as needed.
inline QString makeFile(const QString &root, const QString &relative, qint64 size = 16)
{
    const QString p = root + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(p).path());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly))
        f.resize(size);
    return p;
}

inline QMimeData *fileListData(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    data->setUrls(urls);
    return data;
}

// What the list made of one synthesized drag: whether it took the drag on
// entering and moving, and the drop's outcome.
struct DropOutcome {
    bool enterAccepted = false;
    bool moveAccepted = false;
    Qt::DropAction moveAction = Qt::IgnoreAction;
    bool dropAccepted = false;
    Qt::DropAction dropAction = Qt::IgnoreAction;
};

inline DropOutcome dragAndDrop(wsbatch::BatchWindow &w, QMimeData *data)
{
    std::unique_ptr<QMimeData> owned(data);
    QWidget *target = w.List1()->viewport();
    const QPoint at(10, 10);
    DropOutcome o;
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, data, Qt::NoButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(target, &enter);
    o.enterAccepted = enter.isAccepted();
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, data, Qt::NoButton, Qt::NoModifier);
    move.setAccepted(false);
    QApplication::sendEvent(target, &move);
    o.moveAccepted = move.isAccepted();
    o.moveAction = move.dropAction();
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, data, Qt::NoButton,
                    Qt::NoModifier);
    drop.setAccepted(false);
    QApplication::sendEvent(target, &drop);
    o.dropAccepted = drop.isAccepted();
    o.dropAction = drop.dropAction();
    return o;
}

inline DropOutcome dropFiles(wsbatch::BatchWindow &w, const QStringList &paths)
{
    return dragAndDrop(w, fileListData(paths));
}

inline void sendMouse(QWidget *target, QEvent::Type type, Qt::MouseButton button, QPoint at = QPoint(5, 5))
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
}

// A press and a release of the left button on a flat button, as a user's click.
inline void clickButton(ws::FlatButton *b)
{
    sendMouse(b, QEvent::MouseButtonPress, Qt::LeftButton);
    sendMouse(b, QEvent::MouseButtonRelease, Qt::LeftButton);
}

// A press of `button` on the list at the middle of row `row` (or at `at`).
inline void pressOnList(wsbatch::BatchWindow &w, Qt::MouseButton button, QPoint at)
{
    sendMouse(w.List1()->viewport(), QEvent::MouseButtonPress, button, at);
    sendMouse(w.List1()->viewport(), QEvent::MouseButtonRelease, button, at);
}

inline QPoint rowCentre(wsbatch::BatchWindow &w, int row)
{
    return w.List1()->visualItemRect(w.List1()->item(row)).center();
}

inline QStringList rowTexts(const QListWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

} // namespace wstest
