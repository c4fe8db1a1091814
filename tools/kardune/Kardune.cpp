#include "Kardune.h"

#include "Join.h"
#include "KarduneOptions.h"
#include "Split.h"
#include "ToolLog.h"

#include <cstdio>

namespace kardune {

std::string usage()
{
    return R"(kardune - splits audio sources into parts and joins AAC parts

Split:
  kardune -core( -input SRC -prefix PREFIX -logfile|-logfilea LOG -type TYPE [-r] [-ending] )
          -split( L1 L2 ... ) -profile( NAME )
    Cuts SRC into parts named PREFIX + "01", "02", ... "09", "10", "11", ...
    (two digits below 10, plain digits from 10 on), numbered without gaps.
    L1 L2 ... are part lengths in seconds; a 0 makes no part. Whatever follows
    the last listed length goes into one more, final part: no audio is dropped.
    TYPE  ac3 (also E-AC3): parts are whole AC3 frames, byte for byte, so the
                            parts put together give back SRC exactly;
          mpa, mp1, mp2, mp3: the same for MPEG audio frames (tags stay with
                            the first and the last part);
          dts:              the same for DTS frames (core frames as DVDs
                            carry them);
          wav, pcm:         SRC is a PCM WAV file; parts are WAV files cut at
                            the sample nearest to each part end.
    AC3, MPEG audio and DTS parts end at the frame boundary nearest to each part
    end; each part gets a span note (NAME.span) for seamless decoding.
    A source that ends inside a frame (or a WAV inside a sample frame) gives
    parts of all its whole frames; the bytes cut short go into no part, and
    the log and standard error say how many.
    -r       replace: parts may overwrite existing files of the same name;
             without it an existing file is an error and nothing is left made.
    -ending  part names end in "." + TYPE ("01.ac3"); without it they end in the
             number ("01").

Join:
  kardune -core( -input LIST -join -type aac -prefix OUTPUT -logfile|-logfilea LOG
                 [-title TEXT] [-language CODE] [-chapters FILE] )
  kardune -core( -input LIST -addriff -type aac -output OUTPUT -logfile|-logfilea LOG )
    Joins the AAC parts named in LIST (one path per line, LF or CR LF) into
    OUTPUT, in line order. ADTS parts are passed through frame by frame; ADIF
    parts become one ADIF stream with one header. -addriff puts the ADTS stream
    in a RIFF WAVE file (format tag 0x1600, AAC in ADTS). A missing or damaged
    part is an error.
    An OUTPUT whose name ends in ".m4a" (any case) is MPEG-4 audio: one AAC
    track, the index (moov) at the front, the encoder's priming and the end
    padding signalled by an edit list and the iTunSMPB comment, so that the
    file plays exactly the samples of the source. The exact length comes from
    the length note beside each part (PART.length, written by aacenc); a part
    without one counts in whole frames. A join that succeeds removes the
    notes. ADTS parts only; -addriff cannot write .m4a.
    -title TEXT     the title tag (one word; quote it in a single-string
                    command line)
    -language CODE  the track's language, ISO 639-2 (eng, deu, fra, ...)
    -chapters FILE  chapters from an FFmpeg metadata file (";FFMETADATA1",
                    [CHAPTER] sections with TIMEBASE, START, END, title=),
                    times on the output's timeline: sorted by start, a start
                    below 0 made 0, each ending where the next starts and
                    the last at the end; one starting at or past the end, or
                    at the same time as a later one, is left out. A file that
                    cannot be read or is malformed fails the join. Written
                    as a QuickTime chapter track and a Nero chpl box.
    The encoder tag is "Wavesmithy" and the version. Other outputs have no tags
    and no chapters (-title, -language and -chapters give a note in the log).

  kardune --help | --version

Parts and OUTPUT appear under their names only when complete: they are
written as unnamed files in their folder (where the file system has none, as
NAME.part<pid>). A name that is a symbolic link is written through (the link
stays); one that is a device, FIFO, socket or directory is refused.

Every part made or joined gets a log line with its length in seconds and its
size in bytes. -profile( ... ) names the caller and is ignored. Exit status:
0 done, 1 failed (one line on standard error says why; a source or part that
cannot be read to its end fails, naming the byte where reading stopped), 2
unusable command line, 129, 130 or 143 ended by SIGHUP, SIGINT or SIGTERM
(what the run made is removed).
)";
}

int run(const std::vector<std::string> &words, std::ostream &out, std::ostream &err)
{
    Options o;
    try {
        o = parseOptions(words);
    } catch (const wstool::UsageError &e) {
        err << "kardune: " << e.what() << " (kardune --help shows the usage)\n";
        return 2;
    }
    if (o.mode == Mode::Help) {
        out << usage();
        return 0;
    }
    if (o.mode == Mode::Version) {
        out << wstool::versionText("kardune") << "\n";
        return 0;
    }
    wstool::ToolLog log;
    if (!o.logPath.empty() && !log.open(o.logPath, o.logAppend))
        err << "kardune: cannot open the log " << o.logPath << "; going on without it\n";
    try {
        if (o.mode == Mode::Split) {
            log.line("Kardune: splitting " + o.input + " (" + o.type + ") into parts named " +
                     partName(o, 1) + " ...");
            const SplitResult r = split(o, log);
            char line[160];
            std::snprintf(line, sizeof line, "%d parts, %.3f s, %llu bytes", r.parts, r.seconds,
                          static_cast<unsigned long long>(r.bytes));
            log.line(std::string("Split done: ") + line);
            out << "kardune: " << line << "\n";
            if (!r.note.empty())
                err << "kardune: " << o.input << ": " << r.note << "\n";
        } else {
            log.line("Kardune: joining the parts listed in " + o.input + " into " + o.prefix +
                     (o.addRiff ? " (with a wave header)" : ""));
            const JoinResult r = join(o, log);
            char line[160];
            std::snprintf(line, sizeof line, "joined %d parts, %.3f s, %llu bytes", r.parts, r.seconds,
                          static_cast<unsigned long long>(r.bytes));
            out << "kardune: " << line << "\n";
        }
    } catch (const std::exception &e) {
        log.line(std::string("Error: ") + e.what());
        err << "kardune: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace kardune
