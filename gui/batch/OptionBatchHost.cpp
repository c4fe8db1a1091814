#include "OptionBatchHost.h"

#include "JobPipeline.h"
#include "OptionModel.h"

namespace wsbatch {

OptionBatchHost::OptionBatchHost(ws::OptionModel &options, std::function<void()> runJob, QWidget *mainWindow)
    : options_(options), runJob_(std::move(runJob)), main_(mainWindow)
{
}

void OptionBatchHost::setInputFile(const QString &path)
{
    options_.setText(options_.control(QStringLiteral("InputFile")), path);
}

void OptionBatchHost::setOutputFile(const QString &path)
{
    options_.setText(options_.control(QStringLiteral("OutputFile")), path);
}

void OptionBatchHost::setSubstream(const QString &id)
{
    options_.setText(options_.control(QStringLiteral("substream")), id);
}

void OptionBatchHost::tickAppendLog()
{
    options_.setValue(options_.control(QStringLiteral("LOGFILE"), 1), 1);
}

void OptionBatchHost::runJob()
{
    if (runJob_)
        runJob_();
}

bool OptionBatchHost::jobRunning() const
{
    return wsjob::JobPipeline::isRunning();
}

void OptionBatchHost::setMainEnabled(bool enabled)
{
    if (main_)
        main_->setEnabled(enabled);
}

void OptionBatchHost::showMain()
{
    if (main_)
        main_->show();
}

void OptionBatchHost::hideMain()
{
    if (main_)
        main_->hide();
}

} // namespace wsbatch
