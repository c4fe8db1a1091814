#include "JobCommands.h"

#include "LenientNumber.h"
#include "NumberText.h"

#include <QFileInfo>

namespace wsjob {

namespace {

const QStringList kProfile = {QStringLiteral("-profile("), QStringLiteral("Wavesmithy"), QStringLiteral("v0.51"),
                              QStringLiteral(")")};

// The gain pass's end of the -core( group and its -ota( group.
void gainPass(ToolCommand &c, const JobSettings &s)
{
    c.word(s.sixChannels ? QStringLiteral("-6chnothing") : QStringLiteral("-2chnothing"))
        .words({QStringLiteral(")"), QStringLiteral("-ota("), QStringLiteral("-g"), s.gainTarget, QStringLiteral(")")});
}

// " -name( body )" for a group with a body. The decode's pane text shows
// the body without blanks at its ends; the preparation pass's never did.
enum class Body { Trimmed, AsBuilt };
void group(ToolCommand &c, const char *name, const SwitchList &body, Body shown = Body::Trimmed)
{
    if (groupText(body).trimmed().isEmpty())
        return;
    const QString text = shown == Body::Trimmed ? groupText(body).trimmed() : groupText(body);
    ToolCommand inner(QString{});
    inner.switches(body);
    c.arguments << QStringLiteral("-%1(").arg(QLatin1String(name)) << inner.arguments << QStringLiteral(")");
    c.shown += QStringLiteral(" -%1( ").arg(QLatin1String(name)) + text + QStringLiteral(" )");
}

} // namespace

QString partNumber(int i) { return i < 10 ? QStringLiteral("0%1").arg(i) : QString::number(i); }

QString JobFiles::part(int i, const QString &type) const { return workspace + partNumber(i) + QLatin1Char('.') + type; }

QString JobFiles::aacPart(int i) const { return workspace + partNumber(i) + QStringLiteral(".aac"); }

ToolCommand extractCommand(const JobSettings &s, const JobFiles &f)
{
    ToolCommand c(s.tromvax);
    c.words({QStringLiteral("-core("), QStringLiteral("-input")}).path(s.input);
    if (s.discSource() && s.title > 0)
        c.word(QStringLiteral("-title")).word(QString::number(s.title));
    c.word(QStringLiteral("-payload")).word(QStringLiteral("-logfile")).path(f.preparationLog());
    if (s.substream.left(2) == QLatin1String("0x"))
        c.word(QStringLiteral("-substream")).word(s.substream.left(4));
    c.word(QStringLiteral("-output")).path(f.extracted());
    if (s.measureGain) {
        gainPass(c, s);
        group(c, "azid", s.downmix, Body::AsBuilt);
    }
    return c;
}

ToolCommand gainCommand(const JobSettings &s, const JobFiles &f, const QString &source)
{
    ToolCommand c(s.tromvax);
    c.words({QStringLiteral("-core("), QStringLiteral("-input")}).path(source);
    c.word(QStringLiteral("-output")).path(f.wav());
    c.word(QStringLiteral("-logfile")).path(f.preparationLog());
    gainPass(c, s);
    group(c, "azid", s.downmix, Body::AsBuilt);
    return c;
}

ToolCommand splitCommand(const JobSettings &s, const JobFiles &f, const QString &source, const QString &type,
                         const QStringList &segments)
{
    ToolCommand c(s.kardune);
    c.words({QStringLiteral("-core("), QStringLiteral("-input")}).path(source);
    c.word(QStringLiteral("-prefix")).path(f.workspace);
    c.word(s.appendLog ? QStringLiteral("-logfilea") : QStringLiteral("-logfile")).path(s.logPath);
    c.word(QStringLiteral("-type")).word(type).words({QStringLiteral("-r"), QStringLiteral("-ending"), QStringLiteral(")")});
    c.words({QStringLiteral("-split("), QStringLiteral("0")});
    for (const QString &segment : segments)
        c.value(segment);
    c.word(QStringLiteral(")")).words(kProfile);
    return c;
}

ToolCommand decodeCommand(const JobSettings &s, const JobFiles &f, int i, const QString &type,
                          const std::optional<QString> &gain, int delay)
{
    ToolCommand c(s.tromvax);
    c.words({QStringLiteral("-core("), QStringLiteral("-input")}).path(f.part(i, type));
    c.word(QStringLiteral("-output")).path(f.wav());
    c.word(QStringLiteral("-logfilea")).path(s.logPath);
    c.word(s.sixChannels ? QStringLiteral("-6chwav") : QStringLiteral("-2ch")).word(QStringLiteral(")"));
    group(c, "azid", s.downmix);
    group(c, "ssrc", s.resampler);
    if (!s.boost.trimmed().isEmpty())
        c.word(QStringLiteral("-boost(")).value(s.boost).word(QStringLiteral(")"));
    group(c, "plugin", s.plugin);
    c.word(QStringLiteral("-profile(")).words({QStringLiteral("The"), QStringLiteral("Wavesmithy"), QStringLiteral("v0.51"),
                                               QStringLiteral(")")});

    // The first part carries the delay stage (and the A/V delay of a VOB);
    // every part carries the gain. The pane has always shown a double blank
    // where a leading stage is missing or a number has its sign blank.
    c.word(QStringLiteral("-ota("));
    if (i == 1) {
        if (delay != 0 && s.autoDelay) {
            const QString ms = ws::numberText(delay);
            c.word(QStringLiteral("-d")).show(QStringLiteral(" ")).show(ms);
            c.arguments << ms.trimmed();
        }
        c.switches(s.delayStage);
    } else {
        c.show(QStringLiteral(" "));
    }
    if (gain)
        c.word(QStringLiteral("-g")).value(*gain);
    return c.word(QStringLiteral(")"));
}

ToolCommand encodeCommand(const JobSettings &s, const JobFiles &f, int i)
{
    ToolCommand c(s.aacenc);
    c.word(QStringLiteral("-if")).path(f.wav()).show(QStringLiteral(" "));
    const EncoderSettings &e = s.encoder;
    if (e.usePreset) {
        // The preset is one word, its switch prefix glued to the name.
        const QString preset = e.presetSwitch + e.preset;
        c.arguments << preset.trimmed();
        c.shown += preset;
    } else {
        // "-vbrhi -qvbr " and the quality in hundredths, with its sign blank.
        const QString quality = ws::numberText(lenientValue(e.quality) * 100.0);
        c.arguments << e.qualitySwitches.split(QLatin1Char(' '), Qt::SkipEmptyParts) << quality.trimmed();
        c.shown += e.qualitySwitches + quality;
    }
    if (e.adif)
        c.word(e.adifSwitch);
    if (s.sixChannels)
        c.word(QStringLiteral("-lfe"));
    return c.word(QStringLiteral("-of")).path(f.aacPart(i));
}

ToolCommand joinCommand(const JobSettings &s, const JobFiles &f, const DiscTagFiles &disc)
{
    ToolCommand c(s.kardune);
    c.words({QStringLiteral("-core("), QStringLiteral("-input")}).path(f.partList());
    if (s.wavHeader)
        c.words({QStringLiteral("-addriff"), QStringLiteral("-type"), QStringLiteral("aac"), QStringLiteral("-output")});
    else
        c.words({QStringLiteral("-join"), QStringLiteral("-type"), QStringLiteral("aac"), QStringLiteral("-prefix")});
    c.path(s.output).show(QStringLiteral(" "));
    c.word(QStringLiteral("-logfilea")).path(s.logPath);
    if (s.mpeg4Output()) {
        // Tagged with the source's name (a disc's), unless the name would
        // read as a group mark.
        const QString title = s.discSource() ? discName(s.input) : QFileInfo(s.input).completeBaseName();
        if (title != QLatin1String(")") && !(title.startsWith(QLatin1Char('-')) && title.endsWith(QLatin1Char('('))))
            c.word(QStringLiteral("-title")).path(title);
        if (!disc.chapters.isEmpty())
            c.word(QStringLiteral("-chapters")).path(disc.chapters);
        if (!disc.language.isEmpty())
            c.word(QStringLiteral("-language")).word(disc.language);
    }
    return c.word(QStringLiteral(")")).words(kProfile);
}

} // namespace wsjob
