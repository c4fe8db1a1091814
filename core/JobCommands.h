// The command of every step of a conversion, built from the job's settings
// and its workspace paths alone (pure functions). Each gives the argument
// vector the tool receives and the line the command-line pane shows.
#pragma once

#include "JobSettings.h"
#include "ToolCommand.h"

#include <optional>

namespace wsjob {

// Where a job keeps its files: its private workspace (ending with the path
// separator), and the names the steps use inside it.
struct JobFiles {
    QString workspace;
    QString preparationLog() const { return workspace + QStringLiteral("Aactempfile1"); }
    QString extracted() const { return workspace + QStringLiteral("wavesmithy"); }
    QString chapters() const { return workspace + QStringLiteral("chapters.txt"); }
    QString wav() const { return workspace + QStringLiteral("wavesmithy.wav"); }
    QString partList() const { return workspace + QStringLiteral("Kardune.lst"); }
    // Part i of the split, "01.ac3", and its encoded form "01.aac".
    QString part(int i, const QString &type) const;
    QString aacPart(int i) const;
};

QString partNumber(int i); // "01" ... "09", "10", ...

// The preparation pass of a VOB: extract the substream (and measure the gain).
ToolCommand extractCommand(const JobSettings &s, const JobFiles &f);
// The preparation pass of other sources: measure the gain.
ToolCommand gainCommand(const JobSettings &s, const JobFiles &f, const QString &source);
ToolCommand splitCommand(const JobSettings &s, const JobFiles &f, const QString &source, const QString &type,
                         const QStringList &segments);
// Decoding part `i`. `gain` is the gain switch's value (none: no gain
// switch); `delay` the A/V delay in milliseconds found in a VOB.
ToolCommand decodeCommand(const JobSettings &s, const JobFiles &f, int i, const QString &type,
                          const std::optional<QString> &gain, int delay);
ToolCommand encodeCommand(const JobSettings &s, const JobFiles &f, int i);
// What a disc title's MPEG-4 output is tagged with besides its name.
struct DiscTagFiles {
    QString chapters; // the FFmpeg metadata file of the title's chapters; empty: none
    QString language; // ISO 639-2; empty: none
};
ToolCommand joinCommand(const JobSettings &s, const JobFiles &f, const DiscTagFiles &disc = {});

} // namespace wsjob
