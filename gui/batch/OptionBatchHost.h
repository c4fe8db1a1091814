// The batch window's link to the real main window: the option record for the
// three fields and "Append to Log File", the conversion job's running state,
// and the main window widget for showing, hiding and enabling.
#pragma once

#include "BatchHost.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace ws {
class OptionModel;
}

namespace wsbatch {

class OptionBatchHost : public BatchHost {
public:
    // `runJob` runs one conversion as "Give me AAC!" does and returns when it
    // has ended. `mainWindow` may be null (nothing to show, hide or enable).
    OptionBatchHost(ws::OptionModel &options, std::function<void()> runJob, QWidget *mainWindow = nullptr);

    void setInputFile(const QString &path) override;
    void setOutputFile(const QString &path) override;
    void setSubstream(const QString &id) override;
    void setTitle(int number) override;
    Listing listInput(const QString &path) override;
    void tickAppendLog() override;
    void runJob() override;
    bool jobRunning() const override;
    void setMainEnabled(bool enabled) override;
    void showMain() override;
    void hideMain() override;

private:
    ws::OptionModel &options_;
    std::function<void()> runJob_;
    QPointer<QWidget> main_;
};

} // namespace wsbatch
