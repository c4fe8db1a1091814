#include "HeadlessJob.h"

#include "JobPipeline.h"
#include "OptionModel.h"

#include <QFileInfo>
#include <QSettings>
#include <QTextStream>

namespace wsjob {

namespace {

class HeadlessHost : public JobHost {
public:
    explicit HeadlessHost(bool overwrite) : overwrite_(overwrite) {}
    bool confirmOverwrite(const QString &) override
    {
        asked = true;
        return overwrite_;
    }
    bool asked = false;

private:
    bool overwrite_;
};

} // namespace

int runHeadless(const HeadlessRequest &request, QTextStream &out, QTextStream &err)
{
    const QFileInfo input(request.input);
    if (!input.isFile()) {
        err << "wavesmithy: the input file " << request.input << " does not exist." << Qt::endl;
        return 2;
    }

    ws::OptionModel options;
    auto store = ws::openUserSettings();
    options.loadSettings(*store);

    QObject::connect(&options, &ws::OptionModel::controlChanged, [&out](ws::Control *c) {
        if ((c->name == QLatin1String("Status") || c->name == QLatin1String("text1")) && !c->caption.isEmpty())
            out << c->caption << Qt::endl;
    });
    options.setText(options.control(QStringLiteral("InputFile")), input.absoluteFilePath());
    // The input-name rules reset the substream of a VOB, so it is set after them.
    if (!request.substream.isEmpty())
        options.setText(options.control(QStringLiteral("substream")), request.substream);
    if (!request.output.isEmpty())
        options.setText(options.control(QStringLiteral("OutputFile")), QFileInfo(request.output).absoluteFilePath());

    HeadlessHost host(request.overwrite);
    JobPipeline job(options, host);
    const JobResult result = job.run();
    if (result.completed()) {
        out << "Output: " << options.text(QStringLiteral("OutputFile")) << Qt::endl;
        return 0;
    }
    if (result.outcome == JobResult::Outcome::Cancelled)
        err << "wavesmithy: " << options.text(QStringLiteral("OutputFile"))
            << " already exists; give --overwrite to replace it." << Qt::endl;
    else
        err << "wavesmithy: " << result.message << Qt::endl;
    return 1;
}

} // namespace wsjob
