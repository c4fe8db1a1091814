#include "AacEnc.h"

#include "CommandLine.h"
#include "EncoderSettings.h"
#include "WavEncoder.h"

#include <cstdio>

namespace aacenc {

std::string usage()
{
    return R"(aacenc - encodes a PCM WAV file to AAC-LC with FFmpeg's native AAC encoder

  aacenc -if WAV -PRESET [-adif] [-lfe] [-threads N] -of AAC
  aacenc -if WAV -vbrhi -qvbr QUALITY [-adif] [-lfe] [-threads N] -of AAC
  aacenc --help | --version

  -PRESET       one of -tape -radio -internet -streaming -normal -extreme
                -archive -ultra: an average bit rate and a cut-off frequency
                (below); -normal when neither a preset nor a quality is given.
  -qvbr QUALITY quality in hundredths, 5 ... 100 (35 means 0.35): an average
                bit rate of 16 + 144 * quality kbit/s for every full-range
                channel (LFE not counted), rising steadily with the quality:
                0.05 -> 23, 0.20 -> 45, 0.50 -> 88, 1.00 -> 160 kbit/s per
                channel (stereo 46, 90, 176, 320); the encoder picks the
                cut-off. -vbrhi may precede -qvbr and changes nothing.
  -adif         write an ADIF stream (one header, then raw data blocks)
                instead of ADTS frames.
  -lfe          keep the LFE channel of six-channel input. Without it,
                six-channel (5.1) input is encoded as 5.0 (the LFE is left out).
  -threads N    encode on N worker threads (1 ... 64); by default one per
                processor core. A long input is cut into overlapping chunks
                that are encoded side by side and spliced without gap or
                click; the output is the same for the same N. -threads 1
                encodes in one go.

  WAV: 8/16/24/32-bit PCM or 32/64-bit float, 1 to 6 channels, one of the AAC
  sample rates (8000 ... 96000 Hz). The output appears under its name only
  when complete: it is written as an unnamed file in its folder (where the
  file system has none, as AAC.part<pid>). An AAC that is a symbolic link is
  written through (the link stays); one that is a device, FIFO, socket or
  directory is refused.

  Exit status: 0 done, 1 failed (one line on standard error says why; a WAV
  that cannot be read to its end fails, naming the byte where reading
  stopped), 2 unusable command line, 129, 130 or 143 ended by SIGHUP, SIGINT
  or SIGTERM (the partial output is removed).

  A WAV whose comment is a part note ("wavesmithy part lead L keep K", from
  tromvax) is a part of a split source: only the frames of its own samples
  are kept, and AAC.length beside the output gives their exact number for
  kardune's .m4a join.

  Presets: target average bit rates (kbit/s; the 5.1 column for input of more
  than two channels, the other for one or two) and what the encoder achieved on
  the test signal of bench/aacenc_bitrates.sh (pink noise and a tone, 48 kHz,
  30 s; ADTS headers included; 5.1 input coded as 5.0):

  preset      cut-off   target   achieved   target 5.1   achieved 5.1
  tape        13000 Hz      64       67.0          165          167.9
  radio       14000 Hz      83       85.8          210          212.9
  internet    15000 Hz     100      102.9          255          257.8
  streaming   18500 Hz     130      132.9          330          332.7
  normal      20500 Hz     170      172.9          440          442.8
  extreme     20500 Hz     210      212.9          535          536.8
  archive     20500 Hz     270      273.1          600          603.1
  ultra       20500 Hz     310      313.2          700          702.7

  The same signal at qualities 0.05 / 0.20 / 0.50 / 1.00 gave 49.2 / 92.4 /
  179.0 / 323.1 kbit/s in stereo and 118.5 / 226.8 / 442.9 / 803.1 kbit/s for
  six-channel input coded as 5.0.
)";
}

int run(const std::vector<std::string> &words, std::ostream &out, std::ostream &err)
{
    Request r;
    try {
        r = parseRequest(words);
    } catch (const wstool::UsageError &e) {
        err << "aacenc: " << e.what() << " (aacenc --help shows the usage)\n";
        return 2;
    }
    if (r.help) {
        out << usage();
        return 0;
    }
    if (r.version) {
        out << wstool::versionText("aacenc") << "\n";
        return 0;
    }
    try {
        const EncodeResult res = encode(r);
        char line[512];
        std::snprintf(line, sizeof line,
                      "aacenc: %s: %.3f s, %d channels at %d Hz, %.1f kbit/s (target %lld kbit/s, %s, %d %s)\n",
                      r.output.c_str(), res.seconds(), res.channels, res.sampleRate, res.kbps(),
                      static_cast<long long>(res.rate.bitRate / 1000), r.adif ? "ADIF" : "ADTS", res.chunks,
                      res.chunks == 1 ? "chunk" : "chunks");
        out << line;
    } catch (const std::exception &e) {
        err << "aacenc: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace aacenc
