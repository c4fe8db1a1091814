// The stored options ([Wavesmithy] version_split, boxes_split, values_split,
// LoudnessTarget) as the window and --convert load them, then everything a
// conversion reads from them: the job's settings snapshot, its list of
// segments and the command of every step. Finally the options are saved and
// loaded again into a fresh record.
//
// Input: one byte of choices, then the data. Choice bit 0: the data is the
// settings file itself (INI text). Otherwise the data holds the values of
// boxes_split, values_split, LoudnessTarget and version_split, in that order,
// separated by NUL bytes; without a fourth field, bit 1 stores the current
// version "0.51" (else none).
#include "FuzzSupport.h"
#include "JobCommands.h"
#include "JobSettings.h"
#include "OptionModel.h"

#include <QFile>
#include <QSettings>

#include <cmath>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

void runJob(const ws::OptionModel &m)
{
    const wsjob::JobSettings s = wsjob::readJobSettings(m);
    QString error;
    const QStringList segments = s.segments(&error);
    FUZZ_CHECK(segments.size() <= 9999);
    FUZZ_CHECK(segments.isEmpty() || error.isEmpty());
    const wsjob::JobFiles f{QStringLiteral("/tmp/wavesmithy-x/")};
    (void)wsjob::extractCommand(s, f);
    (void)wsjob::gainCommand(s, f, s.input);
    (void)wsjob::splitCommand(s, f, s.input, QStringLiteral("ac3"), segments);
    for (int i : {1, 2})
        (void)wsjob::decodeCommand(s, f, i, QStringLiteral("ac3"), s.fixedGain, -40);
    (void)wsjob::encodeCommand(s, f, 1);
    (void)wsjob::joinCommand(s, f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t choice = data[0];
    ++data;
    --size;
    const std::string path = wsfuzz::scratchDir() + "/settings.ini";
    const std::string saved = wsfuzz::scratchDir() + "/saved.ini";
    // QSettings keeps parsed files in a cache, which it reads again when
    // the file's size or time stamp changed: every input gets a time stamp
    // of its own, so that none is taken for the one before.
    static time_t stamp = 1000000000;
    const struct timespec times[2] = {{++stamp, 0}, {stamp, 0}};
    {
        wsfuzz::writeFile(path, data, (choice & 1) ? size : 0);
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        QSettings store(QString::fromStdString(path), QSettings::IniFormat);
        if (!(choice & 1)) {
            std::vector<QString> fields;
            const char *p = reinterpret_cast<const char *>(data);
            size_t from = 0;
            for (size_t i = 0; i <= size; ++i)
                if (i == size || p[i] == '\0') {
                    fields.push_back(QString::fromUtf8(p + from, qsizetype(i - from)));
                    from = i + 1;
                }
            static const char *const keys[] = {"Wavesmithy/boxes_split", "Wavesmithy/values_split",
                                               "Wavesmithy/LoudnessTarget", "Wavesmithy/version_split"};
            for (size_t k = 0; k < fields.size() && k < 4; ++k)
                store.setValue(QLatin1String(keys[k]), fields[k]);
            if (fields.size() < 4 && (choice & 2))
                store.setValue(QLatin1String(keys[3]), QStringLiteral("0.51"));
        }
        ws::OptionModel m;
        m.loadSettings(store);
        runJob(m);

        QSettings out(QString::fromStdString(saved), QSettings::IniFormat);
        m.saveSettings(out);
        ws::OptionModel again;
        again.loadSettings(out);
        runJob(again);
    }
    QFile::remove(QString::fromStdString(path));
    QFile::remove(QString::fromStdString(saved));
    return 0;
}
