#include "JobPipeline.h"

#include "LenientNumber.h"
#include "LogScan.h"
#include "NumberText.h"
#include "OptionModel.h"
#include "Platform.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace wsjob {

using ProcessRunner::ToolOutcome;

namespace {

bool g_running = false;

const QChar Q = QLatin1Char('"');
constexpr int kShowNormal = 1;
constexpr int kShowMinimised = 6;
constexpr int kMaxParts = 9999;

QString quoted(const QString &s) { return Q + s + Q; }

bool nonEmptyFile(const QString &path)
{
    const QFileInfo fi(path);
    return fi.isFile() && fi.size() > 0;
}

} // namespace

// A step that failed: ends the job with its message as the status.
class JobPipeline::Failure {
public:
    Failure(JobResult::Outcome outcome, QString message) : outcome(outcome), message(std::move(message)) {}
    JobResult::Outcome outcome;
    QString message;
};

JobPipeline::JobPipeline(ws::OptionModel &options, JobHost &host)
    : options_(options), host_(host),
      runner_([](const QString &command, int show, quint32 priority) {
          ToolOutcome outcome;
          ProcessRunner::SuperShell(command, QString(), 0, show, qint32(priority), &outcome);
          return outcome;
      })
{
}

bool JobPipeline::isRunning() { return g_running; }

QString JobPipeline::partNumber(int i)
{
    return i < 10 ? QStringLiteral("0%1").arg(i) : QString::number(i);
}

QString JobPipeline::logPath() const
{
    return quoted(wsplatform::userDataFolder() + wsplatform::pathSeparator() +
                  options_.text(QStringLiteral("LOGFILEVAL"), 0));
}

quint32 JobPipeline::priorityClass() const
{
    const QString p = options_.text(QStringLiteral("priority"));
    if (p == QLatin1String("Idle"))
        return wsplatform::IdlePriorityClass;
    if (p == QLatin1String("RealTime"))
        return wsplatform::RealTimePriorityClass;
    if (p == QLatin1String("High"))
        return wsplatform::HighPriorityClass;
    return wsplatform::NormalPriorityClass;
}

QString JobPipeline::splitList(QString *error) const
{
    // The track length in seconds and the segment size, without the 16-bit
    // limit of the counters, so long sources work.
    const double length = roundHalfEven(lenientValue(options_.text(QStringLiteral("splitval"), 1)) * 60.0);
    const QString segmentText = options_.text(QStringLiteral("splitval"), 0);
    const double segment = roundHalfEven(lenientValue(segmentText));
    if (length <= 0)
        return {};
    if (segment <= 0) {
        if (error)
            *error = QStringLiteral("Refused: the segment size \"%1\" must be at least one second.").arg(segmentText);
        return {};
    }
    const double count = std::ceil(length / segment);
    if (count > kMaxParts) {
        if (error)
            *error = QStringLiteral("Refused: the track length and segment size give more than %1 parts.")
                         .arg(kMaxParts);
        return {};
    }
    QString list;
    for (int i = 0; i < int(count); ++i)
        list += segmentText + QLatin1Char(' ');
    return list;
}

void JobPipeline::setStatus(const QString &text)
{
    options_.setCaption(options_.control(QStringLiteral("Status")), text);
    // Once the parts are known, every new step also moves the progress.
    if (total_ > 0)
        host_.progress(done_, total_);
}

void JobPipeline::setCommand(const QString &text)
{
    options_.setCaption(options_.control(QStringLiteral("text1")), text);
}

ToolOutcome JobPipeline::runCommand(const QString &command, int show)
{
    setCommand(command);
    return runner_(command, show, priority_);
}

void JobPipeline::checkTool(const ToolOutcome &o, const QString &step, const QString &toolName)
{
    if (o.stopped)
        throw Failure(JobResult::Outcome::Stopped, QStringLiteral("Stopped: %1 was ended by the user.").arg(step));
    if (!o.started)
        throw Failure(JobResult::Outcome::Failed,
                      QStringLiteral("Failed: %1: the tool %2 could not be started%3.")
                          .arg(step, toolName, o.error.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(o.error)));
    if (o.crashed)
        throw Failure(JobResult::Outcome::Failed, QStringLiteral("Failed: %1: %2 crashed.").arg(step, toolName));
    if (o.exitCode != 0)
        throw Failure(JobResult::Outcome::Failed, QStringLiteral("Failed: %1: %2 reported an error (exit code %3).")
                                                      .arg(step, toolName)
                                                      .arg(o.exitCode));
}

void JobPipeline::checkFile(const QString &path, const QString &step)
{
    if (!nonEmptyFile(path))
        throw Failure(JobResult::Outcome::Failed,
                      QStringLiteral("Failed: %1 left no output in %2.").arg(step, path));
}

void JobPipeline::cleanUp()
{
    QFile::remove(temp_ + QStringLiteral("Aactempfile1"));
    QFile::remove(temp_ + QStringLiteral("wavesmithy"));
    if (!ext_.isEmpty())
        QFile::remove(temp_ + QStringLiteral("wavesmithy.") + ext_);
    QFile::remove(temp_ + QStringLiteral("wavesmithy.wav"));
    QFile::remove(temp_ + QStringLiteral("Kardune.lst"));
    // Parts already handled are gone, so walk every part the split made.
    for (int i = 1;; ++i) {
        bool any = false;
        if (!ext_.isEmpty()) {
            any |= QFile::remove(temp_ + partNumber(i) + QLatin1Char('.') + ext_);
            // The splitter's note beside a part, left when its decode never ran.
            any |= QFile::remove(temp_ + partNumber(i) + QLatin1Char('.') + ext_ + QStringLiteral(".span"));
        }
        any |= QFile::remove(temp_ + partNumber(i) + QStringLiteral(".aac"));
        if (!any && i > parts_)
            break;
    }
}

JobResult JobPipeline::run()
{
    if (g_running)
        return {JobResult::Outcome::Busy, QStringLiteral("A conversion is already running.")};
    g_running = true;
    host_.jobStarted();
    JobResult result;
    try {
        result = runSteps();
    } catch (const Failure &f) {
        cleanUp();
        setStatus(f.message);
        result = {f.outcome, f.message};
    }
    host_.progress(0, -1); // idle
    g_running = false;
    host_.jobFinished();
    return result;
}

JobResult JobPipeline::runSteps()
{
    using ws::OptionModel;
    const QString T = options_.text(QStringLiteral("TempFolder"));
    temp_ = T;
    ext_.clear();
    vob_ = false;
    done_ = 0;
    total_ = 0;
    parts_ = 0;

    // 1. Set-up and overwrite check.
    const QString LOG = logPath();
    const QString input = options_.text(QStringLiteral("InputFile"));
    const QString output = options_.text(QStringLiteral("OutputFile"));
    const QString tromvax = options_.text(QStringLiteral("Tromvax"));
    const QString kardune = options_.text(QStringLiteral("Kardune"));
    const QString aacenc = options_.text(QStringLiteral("aacenc"));
    qint16 delay = 0;
    QString sub = QStringLiteral("0x80");

    if (!host_.batchVisible() && QFileInfo::exists(output) && !host_.confirmOverwrite(output))
        return {JobResult::Outcome::Cancelled, {}};

    // A path holding a quote mark cannot be written on a command line.
    const struct {
        const QString &text;
        const char *what;
    } paths[] = {{input, "input file"},       {output, "output file"}, {T, "temporary folder"},
                 {tromvax, "Tromvax path"},   {kardune, "Kardune path"}, {aacenc, "AacEnc path"},
                 {LOG, "log file name"}};
    for (const auto &p : paths) {
        const bool bad = &p.text == &LOG ? LOG.count(Q) != 2 : p.text.contains(Q);
        if (bad)
            throw Failure(JobResult::Outcome::Refused,
                          QStringLiteral("Refused: the %1 holds a quote mark (\"), which cannot be passed to the tools.")
                              .arg(QLatin1String(p.what)));
    }
    QString splitError;
    const QString segments = splitList(&splitError);
    if (!splitError.isEmpty())
        throw Failure(JobResult::Outcome::Refused, splitError);

    // 2. Priority.
    priority_ = priorityClass();

    const bool autoGain = options_.check(QStringLiteral("Azid"), 7);
    const QString nothing = options_.text(QStringLiteral("azidcmb"), 8) == QLatin1String("5.1")
                                ? QStringLiteral(" -6chnothing ) -ota( -g max )")
                                : QStringLiteral(" -2chnothing ) -ota( -g max )");

    // 3. Source type.
    vob_ = input.right(4).toLower() == QLatin1String(".vob");
    host_.progress(0, 0);

    if (vob_) {
        // 4. Preparation pass of a VOB: extract the substream.
        source_ = T + QStringLiteral("wavesmithy");
        const QString chosen = options_.text(QStringLiteral("substream"));
        const bool hasId = chosen.left(2) == QLatin1String("0x");
        const QString id = chosen.left(4);
        setStatus(hasId ? QStringLiteral("Extracting substream ") + id + QStringLiteral("...")
                        : QStringLiteral("Extracting substream.. (automatic selection)"));
        QString cmd = quoted(tromvax) + QStringLiteral(" -core( -input ") + quoted(input) +
                      QStringLiteral(" -payload -logfile ") + quoted(T + QStringLiteral("Aactempfile1"));
        if (hasId)
            cmd += QStringLiteral(" -substream ") + id;
        cmd += QStringLiteral(" -output ") + quoted(T + QStringLiteral("wavesmithy"));
        if (autoGain) {
            cmd += nothing;
            const QString azid = options_.azidGroup();
            if (!azid.isEmpty())
                cmd += QStringLiteral(" -azid( ") + azid + QStringLiteral(" )");
        }
        QFile::remove(source_);
        const QString step = QStringLiteral("extracting the substream");
        checkTool(runCommand(cmd, kShowNormal), step, tromvax);
        checkFile(source_, step);
    } else {
        // 5. Preparation pass of other sources: only to find the maximal gain.
        source_ = input;
        ext_ = input.right(3).toLower();
        if (autoGain) {
            setStatus(QStringLiteral("Finding maximal track gain..."));
            QString cmd = quoted(tromvax) + QStringLiteral(" -core( -input ") + quoted(source_) +
                          QStringLiteral(" -output ") + quoted(T + QStringLiteral("wavesmithy.wav")) +
                          QStringLiteral(" -logfile ") + quoted(T + QStringLiteral("Aactempfile1")) + nothing;
            const QString azid = options_.azidGroup();
            if (!azid.isEmpty())
                cmd += QStringLiteral(" -azid( ") + azid + QStringLiteral(" )");
            checkTool(runCommand(cmd, kShowNormal), QStringLiteral("finding the maximal track gain"), tromvax);
        }
    }

    // 6. Log scan and the gain switch.
    ToolLogValues scanned;
    scanToolLog(T + QStringLiteral("Aactempfile1"), scanned);
    delay = scanned.delay;
    sub = scanned.substream;
    const QString gainOption = autoGain ? gainSwitch(scanned.gainLine)
                                        : QStringLiteral(" -g ") + options_.text(QStringLiteral("AZIDVAL"), 4);

    // 7. Split.
    if (vob_) {
        const QChar kind = sub.size() > 2 ? sub.at(2) : QChar();
        ext_ = kind == QLatin1Char('8')   ? QStringLiteral("ac3")
               : kind == QLatin1Char('C') ? QStringLiteral("mpa")
               : kind == QLatin1Char('A') ? QStringLiteral("pcm")
                                          : QString();
        const QString renamed = T + QStringLiteral("wavesmithy.") + ext_;
        QFile::remove(renamed);
        if (!QFile::rename(source_, renamed))
            throw Failure(JobResult::Outcome::Failed,
                          QStringLiteral("Failed: the extracted stream %1 could not be renamed to %2.").arg(source_, renamed));
        source_ = renamed;
    }
    // Parts left behind by an earlier job must not pass for this job's parts.
    for (int i = 1; QFile::remove(T + partNumber(i) + QLatin1Char('.') + ext_); ++i) {
    }
    setStatus(QStringLiteral("Splitting source file with Kardune.."));
    {
        const QString cmd = quoted(kardune) + QStringLiteral(" -core( -input ") + quoted(source_) +
                            QStringLiteral(" -prefix ") + quoted(T) +
                            (options_.check(QStringLiteral("LOGFILE"), 1) ? QStringLiteral(" -logfilea ")
                                                                          : QStringLiteral(" -logfile ")) +
                            LOG + QStringLiteral(" -type ") + ext_ + QStringLiteral(" -r -ending )") +
                            QStringLiteral(" -split( 0 ") + segments + QStringLiteral(") -profile( Wavesmithy v0.51 )");
        const ToolOutcome o = runCommand(cmd, kShowNormal);
        if (vob_)
            QFile::remove(source_);
        const QString step = QStringLiteral("splitting the source");
        checkTool(o, step, kardune);
        checkFile(T + partNumber(1) + QLatin1Char('.') + ext_, step);
    }
    while (QFileInfo::exists(T + partNumber(parts_ + 1) + QLatin1Char('.') + ext_))
        ++parts_;
    total_ = 2 * parts_ + 1;
    host_.progress(done_, total_);

    // 8. Decode tail.
    const bool sixChannels = options_.check(QStringLiteral("Azid"), 8) &&
                             options_.text(QStringLiteral("azidcmb"), 8) == QLatin1String("5.1");
    QString dtail = QStringLiteral(" -output ") + quoted(T + QStringLiteral("wavesmithy.wav")) +
                    QStringLiteral(" -logfilea ") + LOG +
                    (sixChannels ? QStringLiteral(" -6chwav") : QStringLiteral(" -2ch")) + QStringLiteral(" )");
    const auto group = [&dtail](const char *name, const QString &body) {
        const QString t = body.trimmed();
        if (!t.isEmpty())
            dtail += QStringLiteral(" -%1( ").arg(QLatin1String(name)) + t + QStringLiteral(" )");
    };
    group("azid", options_.azidGroup());
    group("ssrc", options_.resamplerGroup());
    group("boost", options_.boostGroup());
    group("plugin", options_.pluginGroup());
    dtail += QStringLiteral(" -profile( The Wavesmithy v0.51 )");

    // 9. Encode head.
    QString ehead = quoted(aacenc) + QStringLiteral(" -if ") + quoted(T + QStringLiteral("wavesmithy.wav")) +
                    QLatin1Char(' ');
    if (options_.value(QStringLiteral("aac"), 0) != 0)
        ehead += options_.control(QStringLiteral("aac"), 0).tag + options_.text(QStringLiteral("aaccmb"), 0);
    else
        ehead += options_.control(QStringLiteral("aac"), 1).tag +
                 ws::numberText(lenientValue(options_.text(QStringLiteral("aaccmb"), 1)) * 100.0);
    if (options_.value(QStringLiteral("aacmore"), 0) != 0)
        ehead += QLatin1Char(' ') + options_.control(QStringLiteral("aacmore"), 0).tag;
    if (sixChannels)
        ehead += QStringLiteral(" -lfe");

    // 10. Per-part loop.
    const QString listPath = T + QStringLiteral("Kardune.lst");
    QFile list(listPath);
    if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Failure(JobResult::Outcome::Failed,
                      QStringLiteral("Failed: the part list %1 could not be written.").arg(listPath));
    const QString wav = T + QStringLiteral("wavesmithy.wav");
    const QString packOta = options_.delayGroup().trimmed();
    for (int i = 1;; ++i) {
        const QString nn = partNumber(i);
        const QString part = T + nn + QLatin1Char('.') + ext_;
        if (!QFileInfo::exists(part))
            break;
        setStatus(QStringLiteral("Decoding part") + ws::numberText(i) + QStringLiteral("..."));
        QString ota;
        if (i == 1) {
            if (delay != 0 && options_.check(QStringLiteral("OTA"), 3))
                ota = QStringLiteral(" -ota( -d ") + ws::numberText(delay) + QLatin1Char(' ') + packOta + gainOption +
                      QStringLiteral(" )");
            else
                ota = QStringLiteral(" -ota( ") + packOta + gainOption + QStringLiteral(" )");
        } else {
            ota = QStringLiteral(" -ota( ") + gainOption + QStringLiteral(" )");
        }
        // A failed decode must never let the previous part's audio be encoded again.
        QFile::remove(wav);
        const ToolOutcome decoded =
            runCommand(quoted(tromvax) + QStringLiteral(" -core( -input ") + quoted(part) + dtail + ota, kShowMinimised);
        QFile::remove(part);
        const QString decodeStep = QStringLiteral("decoding part %1").arg(i);
        checkTool(decoded, decodeStep, tromvax);
        checkFile(wav, decodeStep);
        ++done_;

        setStatus(QStringLiteral("Encoding part") + ws::numberText(i) + QStringLiteral("..."));
        const QString aac = T + nn + QStringLiteral(".aac");
        QFile::remove(aac);
        const QString encodeStep = QStringLiteral("encoding part %1").arg(i);
        checkTool(runCommand(ehead + QStringLiteral(" -of ") + quoted(aac), kShowMinimised), encodeStep, aacenc);
        checkFile(aac, encodeStep);
        list.write((aac + QStringLiteral("\r\n")).toLocal8Bit());
        ++done_;
    }
    list.close();
    QFile::remove(wav);

    // 11. Join.
    setStatus(QStringLiteral("Joining all parts together.."));
    {
        const QFileInfo before(output);
        const QDateTime beforeTime = before.exists() ? before.lastModified() : QDateTime();
        const QString cmd = quoted(kardune) + QStringLiteral(" -core( -input ") + quoted(listPath) +
                            (options_.check(QStringLiteral("addriff")) ? QStringLiteral(" -addriff -type aac -output ")
                                                                       : QStringLiteral(" -join -type aac -prefix ")) +
                            quoted(output) + QStringLiteral("  -logfilea ") + LOG +
                            QStringLiteral(" ) -profile( Wavesmithy v0.51 )");
        const ToolOutcome o = runCommand(cmd, kShowNormal);
        QFile::remove(listPath);
        setCommand(QString());
        const QString step = QStringLiteral("joining the parts");
        checkTool(o, step, kardune);
        checkFile(output, step);
        if (beforeTime.isValid() && QFileInfo(output).lastModified() == beforeTime)
            throw Failure(JobResult::Outcome::Failed,
                          QStringLiteral("Failed: joining the parts did not write %1.").arg(output));
        host_.progress(++done_, total_);
    }

    // 12. Clean-up of the AAC parts.
    setStatus(QStringLiteral("Deleting splitted AAC files.."));
    for (int i = 1; QFile::remove(T + partNumber(i) + QStringLiteral(".aac")); ++i) {
    }

    // 13. End.
    const QString done = QStringLiteral("Task Complete !");
    setStatus(done);
    if (options_.check(QStringLiteral("LOGFILE"), 2))
        host_.openLog(wsplatform::userDataFolder() + wsplatform::pathSeparator() +
                      options_.text(QStringLiteral("LOGFILEVAL"), 0));
    return {JobResult::Outcome::Completed, done};
}

} // namespace wsjob
