#include "HeadlessJob.h"

#include "JobPipeline.h"
#include "JobSettings.h"
#include "OptionModel.h"
#include "TerminationSignals.h"

#include <QCoreApplication>
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
    if (!input.isFile() && !input.isDir()) {
        err << "wavesmithy: the input file " << request.input << " does not exist." << Qt::endl;
        return 2;
    }
    if (request.title < 0 || request.title > 99) {
        err << "wavesmithy: --title takes a title number from 1 to 99, not " << request.title << "." << Qt::endl;
        return 2;
    }
    if (request.title > 0 && !isDiscInput(input.absoluteFilePath())) {
        err << "wavesmithy: --title applies to a disc (a VIDEO_TS folder or an .iso image), not to "
            << request.input << "." << Qt::endl;
        return 2;
    }

    ws::OptionModel options;
    // Only the IDs the window offers ("0x80" ... "0xC7"), in any case.
    QString substream;
    if (!request.substream.isEmpty()) {
        QStringList ids;
        for (const QString &item : options.control(QStringLiteral("substream")).items) {
            ids << item.left(4);
            if (item.left(4).compare(request.substream, Qt::CaseInsensitive) == 0)
                substream = item.left(4);
        }
        if (substream.isEmpty()) {
            err << "wavesmithy: --substream takes one of " << ids.join(QLatin1Char(' ')) << ", not \""
                << request.substream << "\"." << Qt::endl;
            return 2;
        }
    }

    auto store = ws::openUserSettings();
    options.loadSettings(*store);

    QObject::connect(&options, &ws::OptionModel::controlChanged, [&out](ws::Control *c) {
        if ((c->name == QLatin1String("Status") || c->name == QLatin1String("text1")) && !c->caption.isEmpty())
            out << c->caption << Qt::endl;
    });
    options.setText(options.control(QStringLiteral("InputFile")), input.absoluteFilePath());
    // The input-name rules reset the substream of a VOB, so it is set after them.
    if (!substream.isEmpty())
        options.setText(options.control(QStringLiteral("substream")), substream);
    // Without --title the longest title, whatever the window chose last.
    options.setDiscTitle(request.title > 0 ? QString::number(request.title) : QString());
    if (!request.output.isEmpty())
        options.setText(options.control(QStringLiteral("OutputFile")), QFileInfo(request.output).absoluteFilePath());

    // SIGINT, SIGTERM and SIGHUP stop the conversion as Stop does: the tool
    // is ended, the workspace goes, an existing output stays as it was.
    wsplatform::TerminationSignals stopSignals;
    QObject::connect(&stopSignals, &wsplatform::TerminationSignals::received, [](int number) {
        ProcessRunner::stopCurrent();
        QCoreApplication::exit(wsplatform::TerminationSignals::exitCode(number));
    });

    HeadlessHost host(request.overwrite);
    JobPipeline job(options, host);
    const JobResult result = job.run();
    if (const int number = wsplatform::TerminationSignals::first(); number != 0 && !result.completed()) {
        err << "wavesmithy: interrupted by " << wsplatform::TerminationSignals::name(number)
            << "; the conversion was stopped and its output not written." << Qt::endl;
        return wsplatform::TerminationSignals::exitCode(number);
    }
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
