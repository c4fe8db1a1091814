// fake_tool: a test-only stand-in for the three companion tools (tromvax,
// kardune, aacenc). One program plays all three: it tells from its words which
// run it is asked for, records the run and leaves the files the job relies on,
// with made-up contents. Tests point the job's tool paths at it (or at links
// to it) to check command lines and the job's handling of the outcomes.
//
// Run kinds, told apart by the words (first match wins):
//   encode   "-if" and "-of"        reads the WAV after -if, writes the AAC part after -of
//   split    "-split("              reads -input, writes parts -prefix + NN + "." + -type,
//                                   NN = 01, 02, ... 09, 10, ...; one part per entry of
//                                   the split list behind "-split( 0", or WS_FAKE_PARTS
//   join     "-join" or "-addriff"  reads the list file after -input (one path a line)
//                                   and writes the listed files one after another to the
//                                   file after -prefix (join) or -output (addriff, with
//                                   a "RIFF" header in front)
//   extract  "-payload"             reads -input, writes the stream to -output and log
//                                   lines: delay, substream, and with "-g max" a gain line
//   gain     "-g" "max"             writes a gain line to the log
//   decode   "-input" and "-output" reads the part after -input, writes a WAV to -output
//   other    anything else          only records; exits with WS_FAKE_EXIT (default 0)
// A run whose input file is missing exits 1 without output, as a real tool would.
// The log named after -logfile is started afresh, after -logfilea appended to.
//
// Environment:
//   WS_FAKE_RECORD      file that gets one JSON line per run, appended before the
//                       run acts: {"kind","argv0","args":[...],"nice","cwd","pid","env"}
//   WS_FAKE_ECHO_ENV    name of a variable whose value is recorded as "env"
//   WS_FAKE_DELAY       extract: text behind "A/V Delay found : " (no line when unset)
//   WS_FAKE_SUBSTREAM   extract: text behind "Substream ID: " (no line when unset)
//   WS_FAKE_GAIN        text behind "Overall Track Gain: " ("+3.2dB" when unset; no
//                       gain line when set but empty)
//   WS_FAKE_GAIN_KIND   "total" writes a "Total Gain: " line instead
//   WS_FAKE_PARTS       split: number of parts to write
//   WS_FAKE_FAIL        kinds that exit 1 without output: a comma-separated list of
//                       KIND or KIND@N (N: only for part N of a decode or encode)
//   WS_FAKE_EMPTY       same form: the run writes its outputs empty
//   WS_FAKE_CRASH       same form: the run aborts (ends through a signal)
//   WS_FAKE_SLEEP_MS    milliseconds to sleep before acting
//   WS_FAKE_SLEEP_KIND  sleep only in runs of this kind
//   WS_FAKE_EXIT        exit code of "other" runs
//   WS_FAKE_STDERR      text a failing run (exit code not 0, or a crash) writes on
//                       standard error as it is, before it ends
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Words = std::vector<std::string>;

std::string env(const char *name, const std::string &fallback = {})
{
    const char *v = std::getenv(name);
    return v ? std::string(v) : fallback;
}

bool hasEnv(const char *name) { return std::getenv(name) != nullptr; }

bool has(const Words &w, const std::string &word)
{
    for (const auto &x : w)
        if (x == word)
            return true;
    return false;
}

// The word after `sw`, or empty.
std::string after(const Words &w, const std::string &sw)
{
    for (size_t i = 0; i + 1 < w.size(); ++i)
        if (w[i] == sw)
            return w[i + 1];
    return {};
}

bool measuresGain(const Words &w)
{
    for (size_t i = 0; i + 1 < w.size(); ++i)
        if (w[i] == "-g" && w[i + 1] == "max")
            return true;
    return false;
}

std::string kindOf(const Words &w)
{
    if (has(w, "-if") && has(w, "-of"))
        return "encode";
    if (has(w, "-split("))
        return "split";
    if (has(w, "-join") || has(w, "-addriff"))
        return "join";
    if (has(w, "-payload"))
        return "extract";
    if (measuresGain(w))
        return "gain";
    if (has(w, "-input") && has(w, "-output"))
        return "decode";
    return "other";
}

// Leading digits of a file's name: the part number of "07.ac3" or "07.aac".
int partOf(const std::string &path)
{
    const std::string name = fs::path(path).filename().string();
    size_t n = 0;
    while (n < name.size() && name[n] >= '0' && name[n] <= '9')
        ++n;
    return n ? std::atoi(name.substr(0, n).c_str()) : -1;
}

// True when the comma-separated list in `var` names this run: "kind" or "kind@part".
bool listed(const char *var, const std::string &kind, int part)
{
    std::stringstream list(env(var));
    std::string item;
    while (std::getline(list, item, ',')) {
        const auto at = item.find('@');
        if (item.substr(0, at) != kind)
            continue;
        if (at == std::string::npos || std::atoi(item.c_str() + at + 1) == part)
            return true;
    }
    return false;
}

std::string json(const std::string &s)
{
    std::string out = "\"";
    for (const unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

void record(const std::string &kind, const char *argv0, const Words &w)
{
    const std::string path = env("WS_FAKE_RECORD");
    if (path.empty())
        return;
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    std::error_code ec;
    std::string line = "{\"kind\":" + json(kind) + ",\"argv0\":" + json(argv0) + ",\"args\":[";
    for (size_t i = 0; i < w.size(); ++i)
        line += (i ? "," : "") + json(w[i]);
    line += "],\"nice\":" + std::to_string(nice) + ",\"cwd\":" + json(fs::current_path(ec).string())
            + ",\"pid\":" + std::to_string(::getpid());
    const std::string echo = env("WS_FAKE_ECHO_ENV");
    if (!echo.empty())
        line += ",\"env\":" + json(env(echo.c_str()));
    line += "}\n";
    // One write on a file opened for appending, so runs never interleave.
    if (std::FILE *f = std::fopen(path.c_str(), "ab")) {
        std::fwrite(line.data(), 1, line.size(), f);
        std::fclose(f);
    }
}

void writeFile(const std::string &path, const std::string &content, bool empty)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!empty)
        out << content;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeLog(const Words &w, const std::vector<std::string> &lines)
{
    std::string path = after(w, "-logfile");
    bool append = false;
    if (path.empty()) {
        path = after(w, "-logfilea");
        append = true;
    }
    if (path.empty())
        return;
    std::ofstream log(path, append ? std::ios::app : std::ios::trunc);
    for (const auto &l : lines)
        log << l << '\n';
}

std::string gainLine()
{
    const char *prefix = env("WS_FAKE_GAIN_KIND") == "total" ? "[00:00:00:000] |  Total Gain: "
                                                             : "[00:00:00:000] |  Overall Track Gain: ";
    if (!hasEnv("WS_FAKE_GAIN"))
        return prefix + std::string("+3.2dB");
    if (env("WS_FAKE_GAIN").empty())
        return {};
    return prefix + env("WS_FAKE_GAIN");
}

std::string partName(const std::string &prefix, int i, const std::string &type)
{
    char nn[16];
    std::snprintf(nn, sizeof nn, "%02d", i);
    return prefix + nn + "." + type;
}

// A WAV header followed by a little made-up audio naming its source.
std::string wavFrom(const std::string &source)
{
    const std::string data = "decoded " + source + "\n";
    auto le32 = [](uint32_t v) {
        return std::string{char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff),
                           char((v >> 24) & 0xff)};
    };
    return "RIFF" + le32(uint32_t(36 + data.size())) + "WAVEfmt " + le32(16)
           + std::string("\x01\x00\x02\x00\x80\xbb\x00\x00\x00\xee\x02\x00\x04\x00\x10\x00", 16)
           + "data" + le32(uint32_t(data.size())) + data;
}

int act(const std::string &kind, const Words &w, bool empty)
{
    const std::string stamp = "[00:00:00:010] |  ";
    if (kind == "encode") {
        const std::string wav = after(w, "-if");
        if (!fs::exists(wav))
            return 1;
        writeFile(after(w, "-of"), "AAC of " + readFile(wav), empty);
        return 0;
    }
    if (kind == "split") {
        const std::string input = after(w, "-input");
        if (!fs::exists(input))
            return 1;
        int parts = 0;
        bool inList = false;
        for (const auto &x : w) {
            if (x == "-split(")
                inList = true;
            else if (inList && x == ")")
                break;
            else if (inList)
                ++parts;
        }
        parts = parts > 0 ? parts - 1 : 0; // the leading "0" is not a segment
        if (hasEnv("WS_FAKE_PARTS"))
            parts = std::atoi(env("WS_FAKE_PARTS").c_str());
        const std::string prefix = after(w, "-prefix");
        const std::string type = after(w, "-type");
        for (int i = 1; i <= parts; ++i)
            writeFile(partName(prefix, i, type), "part " + std::to_string(i) + " of " + input + "\n",
                      empty);
        writeLog(w, {stamp + "Split " + input + " into " + std::to_string(parts) + " parts"});
        return 0;
    }
    if (kind == "join") {
        std::ifstream list(after(w, "-input"));
        if (!list)
            return 1;
        std::string joined, line;
        int parts = 0;
        while (std::getline(list, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.empty())
                continue;
            if (!fs::exists(line))
                return 1;
            joined += readFile(line);
            ++parts;
        }
        if (parts == 0)
            return 1;
        const bool riff = has(w, "-addriff");
        if (riff)
            joined = "RIFF" + joined;
        writeFile(after(w, riff ? "-output" : "-prefix"), joined, empty);
        writeLog(w, {stamp + "Joined " + std::to_string(parts) + " parts"});
        return 0;
    }
    if (kind == "extract" || kind == "gain" || kind == "decode") {
        const std::string input = after(w, "-input");
        if (!fs::exists(input))
            return 1;
        std::vector<std::string> log{stamp + "Reading " + input};
        if (kind == "extract") {
            writeFile(after(w, "-output"), "stream of " + readFile(input), empty);
            if (hasEnv("WS_FAKE_DELAY"))
                log.push_back("[00:00:00:000] |  A/V Delay found : " + env("WS_FAKE_DELAY"));
            if (hasEnv("WS_FAKE_SUBSTREAM"))
                log.push_back("[00:00:00:000] |  Substream ID: " + env("WS_FAKE_SUBSTREAM"));
        }
        if (kind == "decode")
            writeFile(after(w, "-output"), wavFrom(input), empty);
        if (kind == "gain" || (kind == "extract" && measuresGain(w))) {
            const std::string g = gainLine();
            if (!g.empty())
                log.push_back(g);
        }
        log.push_back("[00:00:00:020] |  Done.");
        writeLog(w, log);
        return 0;
    }
    return std::atoi(env("WS_FAKE_EXIT", "0").c_str());
}

} // namespace

int main(int argc, char **argv)
{
    const Words w(argv + 1, argv + argc);
    const std::string kind = kindOf(w);
    int part = -1;
    if (kind == "decode")
        part = partOf(after(w, "-input"));
    else if (kind == "encode")
        part = partOf(after(w, "-of"));

    record(kind, argv[0], w);

    const int sleepMs = std::atoi(env("WS_FAKE_SLEEP_MS", "0").c_str());
    if (sleepMs > 0 && (!hasEnv("WS_FAKE_SLEEP_KIND") || env("WS_FAKE_SLEEP_KIND") == kind))
        std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));

    // A failing run's last words on standard error, as a real tool leaves them.
    const auto fail = [](int code) {
        const std::string text = env("WS_FAKE_STDERR");
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
        return code;
    };
    if (listed("WS_FAKE_CRASH", kind, part)) {
        fail(0);
        std::abort();
    }
    if (listed("WS_FAKE_FAIL", kind, part))
        return fail(1);
    try {
        const int code = act(kind, w, listed("WS_FAKE_EMPTY", kind, part));
        return code != 0 ? fail(code) : 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "fake_tool: %s\n", e.what());
        return 1;
    }
}
