#include "Options.h"

namespace tromvax {

std::string helpText()
{
    return R"HELP(tromvax - audio transcoder of The Wavesmithy

usage: tromvax -core( SWITCHES ) [-azid( ... )] [-ota( ... )] [-ssrc( ... )]
               [-boost( ... )] [-plugin( ... )] [-profile( TEXT )]
       tromvax -list( -input DISC|VOB )
       tromvax --help
       tromvax --version

A group is its name with an opening parenthesis, its switches, and a lone
")". Only a word made of a dash, letters or digits and "(" (like -core()
opens a group and only the word ")" closes one; any other word, such as
"0db ) -core(", is a value. A group left open at the end of the line ends
there. The whole command
line may also be given as one argument. Levels are written like -3db, 0db or
+3.2dB (the unit in any case); numbers like 44100.

Three kinds of run, and a disc's list:
  extraction   -core( -input VOB|DISC [-title N] -payload -logfile LOG
                      [-substream 0xNN] -output TARGET [-2chnothing|-6chnothing] )
                      [-ota( -g max|lufs:T )]
               Copies one audio substream of a VOB (MPEG program stream), or
               of a disc's title, to
               TARGET: AC3, DTS and MPEG audio frames unchanged, DVD LPCM as
               a WAV file. Logs "Substream ID: " and "A/V Delay found : " (first
               audio presentation time minus first video presentation time,
               like -40ms; 0ms without video). With -g max or -g lufs:T it
               also measures the gain, as below.
  measurement  -core( -input SRC -output WAV -logfile LOG -2chnothing|-6chnothing )
                      -ota( -g max|lufs:T ) [-azid( ... )]
               Decodes SRC through the decoder stage (stages 1 to 4 below),
               writes no file, and logs "Overall Track Gain: +3.2dB".
               With -g max: the gain that brings the sample peak to full
               scale, rounded down to 0.1 dB so that it never clips; silence
               or a peak below -40 dBFS gives +40.0dB.
               With -g lufs:T: the gain that brings the integrated loudness
               (EBU R128, ITU-R BS.1770) to T LUFS, rounded to 0.1 dB, and
               lowered (rounded down) where the true peak would pass
               -1 dBTP; no limiter or compressor is applied. It also logs
               the lines "Loudness: integrated -27.31 LUFS, true peak
               -9.86 dBTP (EBU R128)", "Loudness target: -16.0 LUFS needs a
               gain of +11.3dB" and "True-peak ceiling -1.0 dBTP: " with
               "not reached (...)" or "lowers the gain to +8.8dB (...)".
               Silence, or audio shorter than 0.4 s, has nothing above the
               -70 LUFS gate and gives +0.0dB. The gain is at most +40.0dB.
  list         -list( -input DISC|VOB )
               Prints the disc's titles, chapters and audio tracks, one per
               line, words separated by one blank:
                 title N SECONDS CHAPTERS TRACKS
                 chapter N C START          (C from 1; START in seconds)
                 audio N 0xNN FORMAT CHANNELS LANGUAGE ROLE
               FORMAT is ac3, dts, lpcm or mpeg; LANGUAGE the disc's
               two-letter code or "-"; ROLE "commentary" (the director's
               comments) or "-". Titles and tracks in the disc's order.
               For a VOB (or any other file): one "title 0" with the audio
               streams present, in the order of the automatic choice (the
               first is the one taken without -substream). A VOB named
               VTS_NN_M.VOB (M from 1) with its title set's VTS_NN_0.IFO,
               or VTS_NN_0.BUP, beside it lists first the IFO's tracks that
               it holds, in the disc's order with the IFO's format,
               channels, language and role (the first is taken without
               -substream), then its other streams with "- -".
  decode       -core( -input SRC -output WAV -logfile|-logfilea LOG -2ch|-6chwav )
                      [-azid( ... )] [-ssrc( ... )] [-boost( ... )]
                      [-plugin( ... )] [-profile( ... )] [-ota( ... )]
               Decodes SRC (AC3, DTS, MPEG audio, WAV, or a VOB) to a 16-bit PCM
               WAV file. Logs "Total Gain: " with the gain applied.

-core( switches
  -input FILE      the source; its content decides the format (the extension
                   only helps when the first bytes are damaged). A DISC is a
                   DVD-Video disc read through libdvdread: a VIDEO_TS folder,
                   the folder holding one, or an image (.iso)
  -title N         the disc's title (from 1); without it the longest. Its
                   cells (angle 1) are read in play order as one stream,
                   across VOB files; without -substream its first audio
                   track is taken. A sector that cannot be read (a damaged
                   disc, or an encrypted one with no libdvdcss) fails
  -output FILE     the WAV file or extraction target; written under a
                   temporary name and renamed when complete
  -logfile LOG     write a new log;  -logfilea LOG  append to the log
                   (a path given without quote marks may hold blanks: the
                   words after it that are not switches belong to it)
  -payload         extraction run
  -substream 0xNN  the substream to extract or decode: 0x80-0x87 AC3,
                   0x88-0x8F DTS, 0xA0-0xA7 LPCM, 0xC0-0xC7 MPEG audio;
                   without it the DVD's audio stream number 0 (the low three
                   bits of the ID), else the lowest number present, AC3
                   before DTS, LPCM and MPEG audio of the same number (never
                   the stream whose packet comes first); a disc title, or a
                   VTS_NN_M.VOB with its IFO beside it, takes the title's
                   first audio track (the first the VOB holds)
  -2ch             decode to a stereo WAV (the default)
  -6chwav          decode to a six-channel WAV in the standard 5.1 order
                   FL FR FC LFE SL SR
  -2chnothing, -6chnothing
                   measurement with stereo or six-channel mixing; no WAV

-azid( switches (the channel mix applies to every source; -c to AC3 only)
  -L LEVEL   LFE mixed into left and right at LEVEL (stereo output; without
             -L the LFE is left out of a stereo mix)
  -l LEVEL   level of the LFE channel in six-channel output
  -C LEVEL   centre level in the down-mix
  -S LEVEL   surround level in the down-mix
             (without -C or -S: the levels coded in the AC3 stream, else -3db)
  -f1 [HZ]   low-pass on the surround channels before the mix: 2-pole
             Butterworth, corner 7000 Hz unless HZ is given (the band limit
             of a Dolby Surround channel)
  -c MODE    AC3 dynamic range control: light (half the coded compression),
             normal (as coded), heavy (the decoder's heavy profile), inverse
             (none: full dynamic range); without -c as coded
  -s MODE    down-mix to stereo: stereo (plain Lo/Ro), surround (Lt/Rt,
             Dolby Surround compatible), surround2 (Pro Logic II compatible)

-ota( switches
  -d MS      delay: a positive MS puts that much silence first, a negative
             MS cuts that much from the start
  -d auto    the delay from a "DELAY" mark in the input file name (the number
             that starts one character after it, as in "movie DELAY -40ms.ac3"),
             else 0; a number given with -d on the same line takes precedence
  -g LEVEL   gain after the channel mix
  -g max     measure first, then decode with the gain that brings the peak to
             full scale (two passes); with -2chnothing/-6chnothing or
             -payload, measure only
  -g lufs:T  the same for a loudness target of T LUFS, from -70 to 0 (such
             as lufs:-23 for broadcast, lufs:-16 or lufs:-14 for portable
             players), with a true-peak ceiling of -1 dBTP; measured on the
             decoder stage's output, as -g max is
  -sc N      accepted for compatibility; it has no effect

-ssrc( switches
  --rate HZ  resample to HZ with the SoX resampler
  --att DB   attenuate by DB (applied together with -g in the gain stage)

-boost( switches (dynamic compression for sources that skip the AC3 decoder)
  /b=LEVEL   compressor, LEVEL from 0db to 30db: levels below -2*LEVEL dBFS
             rise by LEVEL, above it the slope is 1:2, so full scale stays at
             full scale (peak detection, channels linked, 20 ms attack,
             250 ms release); /b=0db does nothing
  /b=F       expander for a factor F below 1 (such as 0.5): below -20 dBFS
             each dB becomes 1/F dB, at most 20 dB down

-plugin( switches
  -name LIB  a LADSPA library, searched as LADSPA does (LADSPA_PATH, then
             ~/.ladspa, /usr/local/lib/ladspa, /usr/lib/ladspa); a trailing
             .so or .dll is ignored; a path with a "/" is used as it is
  -func LBL  the plug-in's label in that library; its controls keep their
             default values. A missing library or label is an error.

-profile( TEXT )  free text, written to the log

Stages of a decode run, always in this order:
  1 demultiplex and decode (damaged frames are counted and replaced by
    silence of the same length)
  2 cut the start (negative -d)
  3 surround low-pass (-f1)
  4 channel mix to stereo or 5.1 (-L -l -C -S -s)
  5 gain (-g, --att)
  6 silence first (positive -d)
  7 resample (--rate)
  8 dynamic compression or expansion (-boost)
  9 LADSPA plug-in (-plugin)
 10 16-bit PCM WAV (samples beyond full scale are clipped and counted)
When the source changes its channels or rate in mid-stream the stages are
set up again and the output keeps its first layout and rate.

Log: every line begins "[hh:mm:ss:mmm] |  " (time since the start); the lines
"Substream ID: ", "A/V Delay found : ", "Overall Track Gain: " and
"Total Gain: " are stamped "[00:00:00:000]".

Output: written as an unnamed file in the output's folder and put in place
only when complete (where the file system has no unnamed files, as
OUTPUT.part<pid>). An output that is a symbolic link is written through (the
link stays); one that is a device, FIFO, socket or directory is refused.

Exit status: 0 when the output (or the measurement) is complete, 1 when the
run failed (one line on standard error and in the log; no output file is
left behind; a source that cannot be read to its end fails, naming the byte
where reading stopped), 2 for a wrong command line, 129, 130 or 143 when
ended by SIGHUP, SIGINT or SIGTERM (its partial files are removed).
)HELP";
}

} // namespace tromvax
