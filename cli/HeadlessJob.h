// The conversion job without a window, for scripts: `wavesmithy --convert`.
#pragma once

#include <QString>

class QTextStream;

namespace wsjob {

struct HeadlessRequest {
    QString input;
    QString output;         // empty: the name derived from the input
    bool overwrite = false; // answer the overwrite question "Yes"
    QString substream;      // VOB or disc substream such as "0x81"; empty: the job chooses
    int title = 0;          // a disc's title (--title N, from 1); 0: the longest
};

// Loads the stored options as the window does at start, sets the input (so
// the input-name rules run), the title and the output when given, and runs
// the job. The input may be a disc: a VIDEO_TS folder, the folder holding
// one, or an image (.iso).
// Prints every status text and command line on its own line to `out`; the
// options are never saved. Returns 0 only when the job completed; 1 when it
// failed, was refused or would overwrite without leave; 2 for a missing input
// or a substream the window does not offer; 128 + the signal's number (130,
// 143, 129) when SIGINT, SIGTERM or SIGHUP stopped it. The reason goes to
// `err`.
int runHeadless(const HeadlessRequest &request, QTextStream &out, QTextStream &err);

} // namespace wsjob
