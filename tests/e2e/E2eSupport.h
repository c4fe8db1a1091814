// Helpers for the end-to-end tests: a private sandbox (settings, data and
// temporary folders) per conversion through the built `wavesmithy --convert`,
// fixtures and reference decodes made with the ffmpeg program, and the
// numeric comparison of a converted file with its reference.
#pragma once

#include "AudioCheck.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <vector>

class QProcess;

namespace ws {
class OptionModel;
}

namespace e2e {

using audiocheck::decode;
using audiocheck::Pcm;

// ffprobe's value of one entry (e.g. "stream=codec_name") of the first audio stream; empty when unreadable.
QString probe(const QString &path, const QString &entry);

struct RunResult {
    int code = -1; // -2: the program crashed or timed out
    QString out;
    QString err;
    QString all() const { return out + err; }
};

class Sandbox {
public:
    Sandbox();
    bool valid() const { return root_.isValid(); }
    // A file name in the work folder (sources and outputs).
    QString path(const QString &name) const;
    // The temporary folder prefix handed to the job (ends with "/").
    QString temp() const { return temp_; }
    // Writes the stored options: design defaults, TempFolder = temp(), then `edit`.
    void store(const std::function<void(ws::OptionModel &)> &edit = {});
    void setTemp(const QString &prefix) { temp_ = prefix; }
    RunResult convert(const QString &input, const QString &output, bool overwrite = true) const;
    // One conversion (with --overwrite) with more of the program's options.
    RunResult convert(const QString &input, const QString &output, const QStringList &more) const;
    // Starts one conversion (with --overwrite) and returns at once.
    void start(QProcess &p, const QString &input, const QString &output) const;
    // Several conversions at once (input, output pairs), with these settings.
    std::vector<RunResult> convertTogether(const std::vector<std::pair<QString, QString>> &jobs,
                                           bool overwrite = true) const;
    // Files left in a folder (the temporary folder by default).
    QStringList leftovers(const QString &folder = {}) const;

private:
    QStringList convertArguments(const QString &input, const QString &output, bool overwrite) const;
    void prepare(QProcess &p) const;
    QTemporaryDir root_;
    QString temp_;
};

// Makes a fixture with the ffmpeg program from lavfi inputs: `inputs` are the
// lavfi graphs, `tail` the codec and format arguments; true when made.
bool makeFixture(const QStringList &inputs, const QStringList &tail, const QString &output);

// Chirps, one distinct sweep per channel (non-periodic, so the alignment by
// cross-correlation has a single clear peak), as an aevalsrc graph.
QString chirps(int channels, double seconds, int rate = 48000);

// How a converted file matches its reference. The parts are encoded one by
// one, so each part is aligned on its own (a join may shift the rest by the
// encoder's priming); `guard` seconds on each side of a join stay out of the
// figures, which the join benchmark reports separately.
struct Match {
    bool ok = false;
    QString why;
    double snrDb = 0;        // after the best overall gain
    double gainDb = 0;       // that gain: output level over reference level
    std::vector<int> lags;   // output frames behind the reference, per part
    // At each join: the SNR over 50 ms around it (each side aligned with its
    // own part), to hold against snrDb away from the joins.
    std::vector<double> joinSnrDb;
};
Match compare(const Pcm &ref, const Pcm &out, double partSeconds, double guardSeconds = 0.05);

// The gain the job's "maximal gain" pass should find for `ref`: the gain that
// brings its peak to full scale, rounded down to 0.1 dB.
double expectedMaxGainDb(const Pcm &ref);

bool isRoot();
// Runs a program (no shell) and returns its exit code.
int run(const QString &program, const QStringList &args, QString *err = nullptr);

} // namespace e2e
