// Reading the transcoder's temporary log after its preparation pass: the A/V
// delay it found in a VOB, the substream it extracted and its gain line, and
// turning that gain line into the gain switch of the per-part decodes.
#pragma once

#include <QString>
#include <QtGlobal>

class QIODevice;

namespace wsjob {

// The values the scan sets. Callers start from the job's defaults (delay 0,
// substream "0x80", empty gain line); the scan changes only what it finds.
struct ToolLogValues {
    qint16 delay = 0;                        // A/V delay in milliseconds
    QString substream = QStringLiteral("0x80"); // 4-character substream ID
    QString gainLine;                        // the gain line, else the last line read
    bool gainLineFound = false;              // gainLine is a real gain line
};

// The four line kinds, recognised as exact substrings anywhere in a line.
inline constexpr char kDelayPrefix[] = "[00:00:00:000] |  A/V Delay found : ";
inline constexpr char kSubstreamPrefix[] = "[00:00:00:000] |  Substream ID: ";
inline constexpr char kOverallGainPrefix[] = "[00:00:00:000] |  Overall Track Gain: ";
inline constexpr char kTotalGainPrefix[] = "[00:00:00:000] |  Total Gain: ";

// Reads the log at `logPath` line by line, updating `values`, then deletes the
// log. For every line, in this order:
//  - a delay line: the line from character 36 on (counting from 1 at the start
//    of the line, wherever the prefix stands), read leniently and rounded
//    halves-to-even, becomes the delay; a value outside 16 bits is ignored;
//  - a substream line: the four characters from character 33 (fewer when the
//    line is shorter) become the substream;
//  - an overall-gain or total-gain line ends the scan; later lines are not read.
// gainLine ends as the gain line, else the last line, else as it was (a missing,
// unreadable or empty log reads no lines). A later delay or substream line
// overrides an earlier one.
void scanToolLog(const QString &logPath, ToolLogValues &values);
// The same scan over an open log, read from its current position; the log is
// left as it is.
void scanToolLog(QIODevice &log, ToolLogValues &values);

// The transcoder's gain switch from a gain line: " -g " followed by the text
// behind "Gain:" and the one character after it, up to and including the first
// "dB" (" -g +3.2dB" for "... Overall Track Gain: +3.2dB"). Empty when the line
// is empty, holds no "Gain:" or holds no "dB" behind it.
QString gainSwitch(const QString &gainLine);
// The value of that switch alone ("+3.2dB"); empty in the same cases.
QString gainValue(const QString &gainLine);

} // namespace wsjob
