// What an MPEG-4 output of a disc title carries beyond its audio: the title's
// chapter marks, moved into the output's timeline, and the track's language.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace wsjob {

struct JobSettings;

// The milliseconds by which the output's audio starts later than the disc's
// title, given the A/V delay found in the title (the first audio against the
// first video): the extracted audio starts that much into the title, and the
// first part's delay stage moves it back by the delay it applies (the last
// number among the found delay, when applied, and the user's own "-d").
double chapterShiftMs(const JobSettings &s, int foundDelayMs);

// An FFmpeg metadata file (";FFMETADATA1") with one chapter per start, in
// milliseconds, each named "Chapter N" after its place on the disc. Starts
// are moved back by `shiftMs`; one that falls before the output begins
// starts at 0 (only the last of those is kept), and one at or past the
// title's end is left out. Empty when no chapter is left.
QByteArray chapterMetadata(const QList<double> &startSeconds, double titleSeconds, double shiftMs);

// The ISO 639-2 code an MPEG-4 file stores for a disc's ISO 639-1 language
// ("en" gives "eng", "de" gives "deu"); empty when the code is not known.
QString mpeg4Language(const QString &discLanguage);

} // namespace wsjob
