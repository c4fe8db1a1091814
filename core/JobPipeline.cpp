#include "JobPipeline.h"

#include "DiscList.h"
#include "DiscTags.h"

#include "JobCommands.h"
#include "LogRotation.h"
#include "LogScan.h"
#include "NumberText.h"
#include "OptionModel.h"
#include "Platform.h"
#include "Workspace.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace wsjob {

using ProcessRunner::ToolOutcome;

namespace {

bool g_running = false;

bool nonEmptyFile(const QString &path)
{
    const QFileInfo fi(path);
    return fi.isFile() && fi.size() > 0;
}

// The part type of an extracted VOB substream, from its ID: 0x80-0x87 AC3,
// 0x88-0x8F DTS, 0xA0-0xA7 LPCM, 0xC0-0xC7 MPEG audio.
QString vobPartType(const QString &substream)
{
    const QChar kind = substream.size() > 2 ? substream.at(2) : QChar();
    const bool upper = substream.size() > 3 && substream.at(3).toLatin1() >= '8';
    return kind == QLatin1Char('8')   ? (upper ? QStringLiteral("dts") : QStringLiteral("ac3"))
           : kind == QLatin1Char('C') ? QStringLiteral("mpa")
           : kind == QLatin1Char('A') ? QStringLiteral("pcm")
                                      : QString();
}

QString megabytes(qint64 bytes) { return QString::number((bytes + 999999) / 1000000); }

} // namespace

// A step that failed: ends the job with its message as the status.
class JobPipeline::Failure {
public:
    Failure(JobResult::Outcome outcome, QString message) : outcome(outcome), message(std::move(message)) {}
    JobResult::Outcome outcome;
    QString message;
};

JobPipeline::JobPipeline(ws::OptionModel &options, JobHost &host)
    : options_(options), host_(host), runner_([](const ToolCommand &command, quint32 priority) {
          return ProcessRunner::runTool(command.program, command.arguments, QString(), priority);
      })
{
}

bool JobPipeline::isRunning() { return g_running; }

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

ToolOutcome JobPipeline::runCommand(const ToolCommand &command)
{
    setCommand(command.shown);
    return runner_(command, settings_.priorityClass);
}

void JobPipeline::checkTool(const ToolOutcome &o, const QString &step, const QString &toolName)
{
    if (o.stopped)
        throw Failure(JobResult::Outcome::Stopped, QStringLiteral("Stopped: %1 was ended by the user.").arg(step));
    if (!o.started)
        throw Failure(JobResult::Outcome::Failed,
                      QStringLiteral("Failed: %1: the tool %2 could not be started%3.")
                          .arg(step, toolName, o.error.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(o.error)));
    // The tool's own last word on standard error says why it failed.
    const QString why = o.lastErrorLine;
    if (o.crashed)
        throw Failure(JobResult::Outcome::Failed,
                      why.isEmpty() ? QStringLiteral("Failed: %1: %2 crashed.").arg(step, toolName)
                                    : QStringLiteral("Failed: %1: %2 (%3 crashed)").arg(step, why, toolName));
    if (o.exitCode != 0)
        throw Failure(JobResult::Outcome::Failed,
                      why.isEmpty() ? QStringLiteral("Failed: %1: %2 reported an error (exit code %3).")
                                          .arg(step, toolName)
                                          .arg(o.exitCode)
                                    : QStringLiteral("Failed: %1: %2 (exit code %3)").arg(step, why).arg(o.exitCode));
}

void JobPipeline::checkFile(const QString &path, const QString &step)
{
    if (!nonEmptyFile(path))
        throw Failure(JobResult::Outcome::Failed,
                      QStringLiteral("Failed: %1 left no output in %2.").arg(step, path));
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
    // The options, once: edits made while the job runs apply to the next job.
    settings_ = readJobSettings(options_);
    const JobSettings &s = settings_;
    done_ = 0;
    total_ = 0;

    // 1. Refusals before any tool runs, and the overwrite question.
    QString splitError;
    const QStringList segments = s.segments(&splitError);
    if (!splitError.isEmpty())
        throw Failure(JobResult::Outcome::Refused, splitError);
    if (s.mpeg4Output() && (s.wavHeaderTicked || s.encoder.adif))
        throw Failure(JobResult::Outcome::Refused,
                      QStringLiteral("Refused: \"Add Wave header to output\" and \"Use ADIF header\" do not apply to "
                                     "an MPEG-4 audio (.m4a) output; untick them or choose an .aac output."));
    if (wsplatform::sameFile(s.input, s.output))
        throw Failure(JobResult::Outcome::Refused,
                      QStringLiteral("Refused: the output file %1 is the input file; choose another output name.")
                          .arg(s.output));
    // A link is written through; a device, FIFO, socket or folder is never
    // replaced.
    if (const QFileInfo target(s.output); target.exists() && !target.isFile())
        throw Failure(JobResult::Outcome::Refused,
                      QStringLiteral("Refused: the output %1 is not a regular file (a folder, device, FIFO or socket); "
                                     "choose a file name.")
                          .arg(s.output));
    const std::pair<QString, const char *> tools[] = {
        {s.tromvax, "tromvax"}, {s.kardune, "kardune"}, {s.aacenc, "aacenc"}};
    for (const auto &[path, name] : tools)
        if (path.trimmed().isEmpty())
            throw Failure(JobResult::Outcome::Refused,
                          QStringLiteral("Refused: no path set for %1 in Locations.").arg(QLatin1String(name)));
    if (!host_.batchVisible() && QFileInfo::exists(s.output) && !host_.confirmOverwrite(s.output))
        return {JobResult::Outcome::Cancelled, {}};

    // A log that has grown past its limit is moved aside before this job's
    // tools write to it.
    if (QString why; !rotateLog(s.logPath, &why))
        throw Failure(JobResult::Outcome::Failed, QStringLiteral("Failed: the log passed 10 MB and %1.").arg(why));

    // 2. The job's private workspace; removed whole when the job ends.
    if (!QFileInfo(s.tempFolder).isDir())
        throw Failure(JobResult::Outcome::Failed,
                      QStringLiteral("Failed: the temporary folder %1 does not exist.").arg(s.tempFolder));
    const Workspace workspace(s.tempFolder);
    if (!workspace.isValid())
        throw Failure(JobResult::Outcome::Failed,
                      QStringLiteral("Failed: no workspace could be made in the temporary folder %1 (%2).")
                          .arg(s.tempFolder, workspace.error()));
    const JobFiles files{workspace.path()};

    // A disc's title is extracted as a VOB's substream is.
    const bool vob = s.vobSource() || s.discSource();
    host_.progress(0, 0);

    // 3. Preparation pass: extract a VOB's substream, or measure the gain.
    QString source = s.input;
    QString type;
    if (vob) {
        const bool hasId = s.substream.left(2) == QLatin1String("0x");
        setStatus(hasId ? QStringLiteral("Extracting substream ") + s.substream.left(4) + QStringLiteral("...")
                        : QStringLiteral("Extracting substream.. (automatic selection)"));
        const QString step = QStringLiteral("extracting the substream");
        checkTool(runCommand(extractCommand(s, files)), step, s.tromvax);
        checkFile(files.extracted(), step);
        source = files.extracted();
    } else {
        type = s.input.right(3).toLower();
        if (s.measureGain) {
            const bool loudness = s.gainTarget != QLatin1String("max");
            setStatus(loudness ? QStringLiteral("Measuring track loudness...")
                               : QStringLiteral("Finding maximal track gain..."));
            checkTool(runCommand(gainCommand(s, files, source)),
                      loudness ? QStringLiteral("measuring the track loudness")
                               : QStringLiteral("finding the maximal track gain"),
                      s.tromvax);
        }
    }

    // 4. Log scan: the delay and substream of a VOB, and the gain. The pass's
    // own lines (the measured peak or loudness) go on to the user's log.
    QByteArray preparationLines;
    {
        QFile pass(files.preparationLog());
        if (pass.open(QIODevice::ReadOnly))
            preparationLines = pass.readAll();
    }
    ToolLogValues scanned;
    scanToolLog(files.preparationLog(), scanned);
    std::optional<QString> gain;
    if (!s.measureGain)
        gain = s.fixedGain;
    else if (const QString measured = gainValue(scanned.gainLine); !measured.isEmpty())
        gain = measured;

    // A disc title's MPEG-4 output gets its chapters and its track's language.
    DiscTagFiles discTags;
    QString discNote;
    if (s.discSource() && s.mpeg4Output())
        discTags = writeDiscTags(files, scanned, &discNote);

    // 5. Split.
    if (vob) {
        type = vobPartType(scanned.substream);
        const QString renamed = files.workspace + QStringLiteral("wavesmithy.") + type;
        if (!QFile::rename(source, renamed))
            throw Failure(JobResult::Outcome::Failed,
                          QStringLiteral("Failed: the extracted stream %1 could not be renamed to %2.").arg(source, renamed));
        source = renamed;
    }
    checkRoom(source, workspace.bytesAvailable());
    setStatus(QStringLiteral("Splitting source file with Kardune.."));
    {
        const ToolOutcome o = runCommand(splitCommand(s, files, source, type, segments));
        if (vob)
            QFile::remove(source);
        const QString step = QStringLiteral("splitting the source");
        checkTool(o, step, s.kardune);
        checkFile(files.part(1, type), step);
    }
    // After the split, which starts the log afresh unless it appends.
    if (!discNote.isEmpty())
        preparationLines += discNote.toUtf8() + '\n';
    if (!preparationLines.isEmpty()) {
        QFile userLog(s.logPath);
        if (userLog.open(QIODevice::Append))
            userLog.write(preparationLines);
    }
    int parts = 0;
    while (QFileInfo::exists(files.part(parts + 1, type)))
        ++parts;
    total_ = 2 * parts + 1;
    host_.progress(done_, total_);

    // 6. Decode and encode every part.
    QFile list(files.partList());
    if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Failure(JobResult::Outcome::Failed,
                      QStringLiteral("Failed: the part list %1 could not be written.").arg(files.partList()));
    for (int i = 1; i <= parts; ++i) {
        setStatus(QStringLiteral("Decoding part") + ws::numberText(i) + QStringLiteral("..."));
        // A failed decode must never let the previous part's audio be encoded again.
        QFile::remove(files.wav());
        const ToolOutcome decoded = runCommand(decodeCommand(s, files, i, type, gain, scanned.delay));
        QFile::remove(files.part(i, type));
        const QString decodeStep = QStringLiteral("decoding part %1").arg(i);
        checkTool(decoded, decodeStep, s.tromvax);
        checkFile(files.wav(), decodeStep);
        ++done_;

        setStatus(QStringLiteral("Encoding part") + ws::numberText(i) + QStringLiteral("..."));
        const QString encodeStep = QStringLiteral("encoding part %1").arg(i);
        checkTool(runCommand(encodeCommand(s, files, i)), encodeStep, s.aacenc);
        checkFile(files.aacPart(i), encodeStep);
        list.write((files.aacPart(i) + QStringLiteral("\r\n")).toLocal8Bit());
        ++done_;
    }
    list.close();
    QFile::remove(files.wav());

    // 7. Join into the output.
    setStatus(QStringLiteral("Joining all parts together.."));
    {
        const QFileInfo before(s.output);
        const QDateTime beforeTime = before.exists() ? before.lastModified() : QDateTime();
        const ToolOutcome o = runCommand(joinCommand(s, files, discTags));
        setCommand(QString());
        // A joiner ended while it replaced the output may leave its partial
        // file under the name it uses beside the output.
        if (!o.succeeded() && o.pid > 0)
            QFile::remove(s.output + QStringLiteral(".part") + QString::number(o.pid));
        const QString step = QStringLiteral("joining the parts");
        checkTool(o, step, s.kardune);
        checkFile(s.output, step);
        if (beforeTime.isValid() && QFileInfo(s.output).lastModified() == beforeTime)
            throw Failure(JobResult::Outcome::Failed,
                          QStringLiteral("Failed: joining the parts did not write %1.").arg(s.output));
        host_.progress(++done_, total_);
    }

    // 8. The AAC parts go with the workspace.
    setStatus(QStringLiteral("Deleting splitted AAC files.."));

    const QString done = QStringLiteral("Task Complete !");
    setStatus(done);
    if (s.openLogWhenDone)
        host_.openLog(s.logPath);
    return {JobResult::Outcome::Completed, done};
}

DiscTagFiles JobPipeline::writeDiscTags(const JobFiles &files, const ToolLogValues &scanned, QString *note)
{
    const JobSettings &s = settings_;
    QString error;
    const auto titles = listDisc(s.tromvax, s.input, &error);
    if (!titles || titles->isEmpty()) {
        *note = QStringLiteral("Chapters and language: the disc could not be listed (%1).").arg(error);
        return {};
    }
    const DiscTitleInfo &t = chosenTitle(*titles, s.title);
    DiscTagFiles tags;
    for (const DiscTrack &track : t.tracks)
        if (track.id.compare(scanned.substream, Qt::CaseInsensitive) == 0)
            tags.language = mpeg4Language(track.language);
    const QByteArray chapters = chapterMetadata(t.chapterStarts, t.seconds, chapterShiftMs(s, scanned.delay));
    QFile file(files.chapters());
    if (!chapters.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(chapters) == chapters.size() &&
        file.flush())
        tags.chapters = files.chapters();
    *note = QStringLiteral("Chapters: %1 of title %2; language: %3")
                .arg(tags.chapters.isEmpty() ? QStringLiteral("none") : QString::number(chapters.count("[CHAPTER]")))
                .arg(t.number)
                .arg(tags.language.isEmpty() ? QStringLiteral("not set") : tags.language);
    return tags;
}

void JobPipeline::checkRoom(const QString &source, qint64 available)
{
    // The split writes about the source's size in parts, and each decode
    // writes one part's WAV beside them (the AAC parts are far smaller).
    if (available < 0)
        return;
    // Reckoned in floating point: a segment size typed as a long digit run
    // is finite but far beyond any integer. A part is never longer than the
    // track.
    const int rate = settings_.resampleRate > 0 ? settings_.resampleRate : 48000;
    const double partSeconds = settings_.trackSeconds > 0
                                   ? std::min(settings_.segmentSeconds, settings_.trackSeconds)
                                   : settings_.segmentSeconds;
    const double partWav = partSeconds * rate * (settings_.sixChannels ? 6 : 2) * 2;
    const double needed = double(QFileInfo(source).size()) + 2 * partWav;
    if (double(available) < needed)
        throw Failure(JobResult::Outcome::Failed,
                      QStringLiteral("Failed: the temporary folder %1 has %2 MB free; the conversion needs about %3 MB "
                                     "(the source and two parts' WAV files).")
                          .arg(settings_.tempFolder, megabytes(available), megabytes(qint64(std::min(needed, 9e18)))));
}

} // namespace wsjob
