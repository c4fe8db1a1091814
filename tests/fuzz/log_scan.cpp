// The transcoder's preparation log as the front end scans it: the input is
// the log. What the scan finds goes into the first part's decode command; its
// argument vector must still read as the tool's switch groups, with the
// gain value inside the -ota( group (no log text turns into a group mark).
#include "CommandLine.h"
#include "FuzzSupport.h"
#include "JobCommands.h"
#include "LogScan.h"

#include <QBuffer>
#include <QByteArray>

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer log(&bytes);
    FUZZ_CHECK(log.open(QIODevice::ReadOnly | QIODevice::Text));
    wsjob::ToolLogValues values;
    wsjob::scanToolLog(log, values);
    FUZZ_CHECK(values.substream.size() <= 4);

    const QString gain = wsjob::gainValue(values.gainLine);
    const QString gainSwitch = wsjob::gainSwitch(values.gainLine);
    FUZZ_CHECK(gain.isEmpty() ? gainSwitch.isEmpty() : gainSwitch == QStringLiteral(" -g ") + gain);
    FUZZ_CHECK(gain.isEmpty() || gain.endsWith(QLatin1String("dB")));

    wsjob::JobSettings s;
    s.tromvax = QStringLiteral("tromvax");
    s.input = QStringLiteral("/in/film.vob");
    s.autoDelay = true;
    s.substream = values.substream;
    const wsjob::JobFiles files{QStringLiteral("/tmp/wavesmithy-x/")};
    const std::optional<QString> g = gain.isEmpty() ? std::nullopt : std::optional<QString>(gain);
    const wsjob::ToolCommand c = wsjob::decodeCommand(s, files, 1, QStringLiteral("ac3"), g, values.delay);
    (void)wsjob::extractCommand(s, files);

    std::vector<std::string> words;
    for (const QString &a : c.arguments)
        words.push_back(a.toStdString());
    const std::vector<wstool::Group> groups = wstool::parseGroups(words);
    FUZZ_CHECK(!groups.empty() && groups.back().name == "ota");
    if (const QString v = gain.trimmed(); !v.isEmpty()) {
        const std::vector<std::string> &ota = groups.back().words;
        FUZZ_CHECK(ota.size() >= 2 && ota[ota.size() - 2] == "-g" && ota.back() == v.toStdString());
    }
    return 0;
}
