#include "OptionBatchHost.h"

#include "JobPipeline.h"
#include "JobSettings.h"
#include "OptionModel.h"

using ws::Control;

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
    // The batch makes the kind of file the main window's output names:
    // MPEG-4 audio when that ends in ".m4a", else ADTS.
    Control &output = options_.control(QStringLiteral("OutputFile"));
    QString name = path;
    if (wsjob::isMpeg4Name(output.text) && name.endsWith(QLatin1String(".aac"), Qt::CaseInsensitive))
        name = name.chopped(3) + QStringLiteral("m4a");
    options_.setText(output, name);
}

void OptionBatchHost::setSubstream(const QString &id)
{
    Control &substream = options_.control(QStringLiteral("substream"));
    options_.setText(substream, id.isEmpty() ? options_.designText(substream) : id);
}

void OptionBatchHost::setTitle(int number)
{
    options_.setDiscTitle(number > 0 ? QString::number(number) : QString());
}

Listing OptionBatchHost::listInput(const QString &path)
{
    return wsjob::listDisc(options_.text(QStringLiteral("Tromvax")), path);
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
