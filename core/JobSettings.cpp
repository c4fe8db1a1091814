#include "JobSettings.h"

#include "LenientNumber.h"
#include "OptionModel.h"
#include "Platform.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

namespace wsjob {

namespace {

constexpr int kMaxParts = 9999;
// The highest output rate the transcoder's resampler takes (--rate).
constexpr double kMaxResampleRate = 384000;

} // namespace

bool isMpeg4Name(const QString &output) { return output.endsWith(QLatin1String(".m4a"), Qt::CaseInsensitive); }

bool JobSettings::mpeg4Output() const { return isMpeg4Name(output); }

bool JobSettings::vobSource() const { return input.right(4).toLower() == QLatin1String(".vob"); }

bool JobSettings::discSource() const { return isDiscInput(input); }

bool isDiscInput(const QString &input)
{
    return !input.isEmpty() && (QFileInfo(input).isDir() || input.right(4).toLower() == QLatin1String(".iso"));
}

int titleNumber(const QString &text)
{
    const QString first = text.trimmed().section(QLatin1Char(' '), 0, 0);
    bool ok = false;
    const int n = first.toInt(&ok);
    return ok && n >= 1 && n <= 99 ? n : 0;
}

QString discOutputBase(const QString &disc)
{
    QString path = QDir::cleanPath(disc);
    if (QFileInfo(path).fileName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0)
        path = QFileInfo(path).path();
    if (path.endsWith(QLatin1String(".iso"), Qt::CaseInsensitive))
        path.chop(4);
    return path;
}

QString discName(const QString &disc) { return QFileInfo(discOutputBase(disc)).fileName(); }

QStringList JobSettings::segments(QString *error) const
{
    if (trackSeconds <= 0)
        return {};
    if (segmentSeconds <= 0) {
        if (error)
            *error = QStringLiteral("Refused: the segment size \"%1\" must be at least one second.").arg(segmentText);
        return {};
    }
    // Lengths too long to read as numbers are infinite, and two of them give
    // no count at all (NaN): refused like too many parts.
    const double count = std::ceil(trackSeconds / segmentSeconds);
    if (!(count <= kMaxParts)) {
        if (error)
            *error = QStringLiteral("Refused: the track length and segment size give more than %1 parts.")
                         .arg(kMaxParts);
        return {};
    }
    return QStringList(int(count), segmentText);
}

quint32 priorityClassFor(const QString &p)
{
    if (p == QLatin1String("Idle"))
        return wsplatform::IdlePriorityClass;
    if (p == QLatin1String("RealTime"))
        return wsplatform::RealTimePriorityClass;
    if (p == QLatin1String("High"))
        return wsplatform::HighPriorityClass;
    return wsplatform::NormalPriorityClass;
}

JobSettings readJobSettings(const ws::OptionModel &o)
{
    const auto text = [&o](const char *name, int index = -1) { return o.text(QLatin1String(name), index); };
    const auto check = [&o](const char *name, int index = -1) { return o.check(QLatin1String(name), index); };

    JobSettings s;
    s.input = text("InputFile");
    s.output = text("OutputFile");
    s.tempFolder = text("TempFolder");
    s.tromvax = text("Tromvax");
    s.kardune = text("Kardune");
    s.aacenc = text("aacenc");
    s.substream = text("substream");
    s.title = titleNumber(o.discTitle());
    s.priorityClass = priorityClassFor(text("priority"));

    s.measureGain = check("Azid", 7);
    s.fixedGain = text("AZIDVAL", 4);
    // "-16 LUFS" asks the transcoder for "lufs:-16"; "peak" for "max".
    const QString target = text("LoudnessTarget");
    if (target.endsWith(QLatin1String(" LUFS")))
        s.gainTarget = QStringLiteral("lufs:") + target.chopped(5);
    s.sixChannels = check("Azid", 8) && text("azidcmb", 8) == QLatin1String("5.1");

    s.segmentText = text("splitval", 0);
    s.segmentSeconds = roundHalfEven(lenientValue(s.segmentText));
    s.trackSeconds = roundHalfEven(lenientValue(text("splitval", 1)) * 60.0);

    s.downmix = o.azidGroup();
    s.resampler = o.resamplerGroup();
    s.boost = o.boostGroup();
    s.plugin = o.pluginGroup();
    s.delayStage = o.delayGroup();
    s.autoDelay = check("OTA", 3);
    if (check("SSRC", 0)) {
        // A rate the transcoder cannot take (it refuses it with its own
        // message) counts as none here, where it only sizes the disk check.
        const double rate = lenientValue(text("ssrcv", 0));
        s.resampleRate = rate >= 1 && rate <= kMaxResampleRate ? int(rate) : 0;
    }

    s.encoder.usePreset = o.value(QStringLiteral("aac"), 0) != 0;
    s.encoder.presetSwitch = o.control(QStringLiteral("aac"), 0).tag;
    s.encoder.preset = text("aaccmb", 0);
    s.encoder.qualitySwitches = o.control(QStringLiteral("aac"), 1).tag;
    s.encoder.quality = text("aaccmb", 1);
    s.encoder.adif = o.value(QStringLiteral("aacmore"), 0) != 0;
    s.encoder.adifSwitch = o.control(QStringLiteral("aacmore"), 0).tag;
    s.wavHeader = check("addriff");
    s.wavHeaderTicked = o.value(QStringLiteral("addriff")) != 0;

    s.logPath = wsplatform::userDataFolder() + wsplatform::pathSeparator() + text("LOGFILEVAL", 0);
    s.appendLog = check("LOGFILE", 1);
    s.openLogWhenDone = check("LOGFILE", 2);
    return s;
}

} // namespace wsjob
