#include "Options.h"

#include "CommandLine.h"
#include "Levels.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

using wstool::Group;
using wstool::SwitchReader;
using wstool::UsageError;
using wstool::lower;

namespace tromvax {

Mode Options::mode() const
{
    if (list)
        return Mode::List;
    if (payload)
        return Mode::Extract;
    return writeWav ? Mode::Decode : Mode::Measure;
}

namespace {

// The loudness targets -g lufs:T takes, in LUFS: -70 is the gate below
// which EBU R128 measures nothing.
constexpr double kLowestLoudnessTarget = -70.0;
constexpr double kHighestLoudnessTarget = 0.0;

// A path value. Words that follow it and are not switches belong to it: the
// front end writes some paths without quote marks, and a blank in such a
// path splits it into several words.
std::string pathValue(SwitchReader &r, const std::string &sw)
{
    std::string path = r.value(sw);
    if (path.empty())
        throw UsageError("switch " + sw + " needs a file name");
    while (const std::string *more = r.peek()) {
        if (more->empty() || (*more)[0] == '-')
            break;
        path += " " + r.next();
    }
    return path;
}

double level(SwitchReader &r, const std::string &sw, double lo, double hi)
{
    const std::string &v = r.value(sw);
    const auto db = wstool::parseDb(v);
    if (!db)
        throw UsageError("switch " + sw + ": \"" + v + "\" is not a level such as -3db");
    if (*db < lo || *db > hi)
        throw UsageError("switch " + sw + ": level " + v + " is out of range");
    return *db;
}

double number(SwitchReader &r, const std::string &sw, double lo, double hi, const char *unit = "")
{
    std::string v = r.value(sw);
    std::string t = v;
    const std::string u = unit;
    if (!u.empty() && t.size() > u.size() && lower(t.substr(t.size() - u.size())) == u)
        t.resize(t.size() - u.size());
    const auto n = wstool::parseNumber(t);
    if (!n)
        throw UsageError("switch " + sw + ": \"" + v + "\" is not a number");
    if (*n < lo || *n > hi)
        throw UsageError("switch " + sw + ": " + v + " is out of range");
    return *n;
}

int substreamId(SwitchReader &r, const std::string &sw)
{
    const std::string &v = r.value(sw);
    std::string digits = v;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 3)
        throw UsageError("switch " + sw + ": \"" + v + "\" is not a substream ID such as 0x80");
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            throw UsageError("switch " + sw + ": \"" + v + "\" is not a substream ID such as 0x80");
    const long id = std::strtol(digits.c_str(), nullptr, 16);
    if (id > 0x1FF)
        throw UsageError("switch " + sw + ": \"" + v + "\" is not a substream ID such as 0x80");
    return static_cast<int>(id);
}

[[noreturn]] void unknown(const std::string &sw, const Group &g)
{
    throw UsageError("unknown switch " + sw + " in -" + g.name + "(");
}

void readCore(const Group &g, Options &o)
{
    SwitchReader r(g);
    while (!r.atEnd()) {
        const std::string sw = r.next();
        if (sw == "-input") {
            o.input = pathValue(r, sw);
        } else if (sw == "-output") {
            o.output = pathValue(r, sw);
        } else if (sw == "-logfile" || sw == "-logfilea") {
            o.logPath = pathValue(r, sw);
            o.logAppend = sw == "-logfilea";
        } else if (sw == "-payload") {
            o.payload = true;
        } else if (sw == "-substream") {
            o.substream = substreamId(r, sw);
        } else if (sw == "-title") {
            const double t = number(r, sw, 1, 99);
            if (t != std::floor(t))
                throw UsageError("switch -title: a title is a whole number from 1 to 99");
            o.title = static_cast<int>(t);
        } else if (sw == "-2ch" || sw == "-6chwav" || sw == "-2chnothing" || sw == "-6chnothing") {
            o.channels = sw[1] == '6' ? 6 : 2;
            o.writeWav = sw.find("nothing") == std::string::npos;
        } else {
            unknown(sw, g);
        }
    }
}

void readList(const Group &g, Options &o)
{
    SwitchReader r(g);
    while (!r.atEnd()) {
        const std::string sw = r.next();
        if (sw == "-input")
            o.input = pathValue(r, sw);
        else
            unknown(sw, g);
    }
    o.list = true;
}

void readAzid(const Group &g, Options &o)
{
    SwitchReader r(g);
    while (!r.atEnd()) {
        const std::string sw = r.next();
        if (sw == "-L") {
            o.lfeToFrontDb = level(r, sw, -100, 20);
        } else if (sw == "-l") {
            o.lfeDb = level(r, sw, -100, 20);
        } else if (sw == "-C") {
            o.centreDb = level(r, sw, -100, 20);
        } else if (sw == "-S") {
            o.surroundDb = level(r, sw, -100, 20);
        } else if (sw == "-f1") {
            o.surroundLowpassHz = 7000.0;
            if (const std::string *hz = r.peek(); hz && !hz->empty() && (*hz)[0] != '-') {
                const auto n = wstool::parseNumber(r.next());
                if (!n || *n < 100 || *n > 20000)
                    throw UsageError("switch -f1: \"" + *hz + "\" is not a corner frequency (100 to 20000 Hz)");
                o.surroundLowpassHz = *n;
            }
        } else if (sw == "-c") {
            const std::string &given = r.value(sw);
            const std::string v = lower(given);
            if (v == "light")
                o.dynamicRange = DynamicRange::Light;
            else if (v == "normal")
                o.dynamicRange = DynamicRange::Normal;
            else if (v == "heavy")
                o.dynamicRange = DynamicRange::Heavy;
            else if (v == "inverse")
                o.dynamicRange = DynamicRange::Inverse;
            else
                throw UsageError("switch -c: \"" + given + "\" is not light, normal, heavy or inverse");
        } else if (sw == "-s") {
            const std::string &given = r.value(sw);
            const std::string v = lower(given);
            if (v == "stereo")
                o.downmix = Downmix::Stereo;
            else if (v == "surround")
                o.downmix = Downmix::Surround;
            else if (v == "surround2")
                o.downmix = Downmix::Surround2;
            else
                throw UsageError("switch -s: \"" + given + "\" is not stereo, surround or surround2");
        } else {
            unknown(sw, g);
        }
    }
}

void readOta(const Group &g, Options &o)
{
    SwitchReader r(g);
    while (!r.atEnd()) {
        const std::string sw = r.next();
        if (sw == "-d") {
            // "auto" never replaces a number given on the same line: the
            // front end puts the delay it found before its own "-d auto".
            const std::string v = r.value(sw);
            if (lower(v) == "auto") {
                o.delayAuto = true;
            } else {
                std::string t = v;
                if (t.size() > 2 && lower(t.substr(t.size() - 2)) == "ms")
                    t.resize(t.size() - 2);
                const auto ms = wstool::parseNumber(t);
                if (!ms)
                    throw UsageError("switch -d: \"" + v + "\" is not a delay in milliseconds or auto");
                if (std::fabs(*ms) > 24.0 * 3600 * 1000)
                    throw UsageError("switch -d: delay " + v + " is out of range");
                o.delayMs = *ms;
            }
        } else if (sw == "-g") {
            // The last -g on the line decides: a level, max or a loudness target.
            const std::string v = r.value(sw);
            o.gainDb.reset();
            o.gainMax = false;
            o.loudnessTarget.reset();
            if (lower(v) == "max") {
                o.gainMax = true;
            } else if (lower(v).rfind("lufs:", 0) == 0) {
                const auto lufs = wstool::parseNumber(v.substr(5));
                if (!lufs)
                    throw UsageError("switch -g: \"" + v + "\" is not a loudness target such as lufs:-16");
                if (*lufs < kLowestLoudnessTarget || *lufs > kHighestLoudnessTarget)
                    throw UsageError("switch -g: loudness target " + v + " is out of range (lufs:-70 to lufs:0)");
                o.loudnessTarget = *lufs;
            } else {
                const auto db = wstool::parseDb(v);
                if (!db)
                    throw UsageError("switch -g: \"" + v + "\" is not a level such as +3.2dB, max or lufs:-16");
                if (*db < -100 || *db > 60)
                    throw UsageError("switch -g: level " + v + " is out of range");
                o.gainDb = *db;
            }
        } else if (sw == "-sc") {
            o.sc = number(r, sw, 0, 1e9);
        } else {
            unknown(sw, g);
        }
    }
}

void readSsrc(const Group &g, Options &o)
{
    SwitchReader r(g);
    while (!r.atEnd()) {
        const std::string sw = r.next();
        if (sw == "--rate")
            o.rate = static_cast<int>(std::lround(number(r, sw, 1000, 384000, "hz")));
        else if (sw == "--att")
            o.attDb = level(r, sw, -60, 100);
        else
            unknown(sw, g);
    }
}

void readBoost(const Group &g, Options &o)
{
    for (const std::string &w : g.words) {
        if (w.size() < 4 || lower(w.substr(0, 3)) != "/b=")
            unknown(w, g);
        const std::string v = w.substr(3);
        const std::string lv = lower(v);
        Boost b;
        if (lv.size() > 2 && lv.substr(lv.size() - 2) == "db") {
            const auto db = wstool::parseDb(v);
            if (!db || *db < 0 || *db > 30)
                throw UsageError("switch /b: \"" + v + "\" is not a make-up gain from 0db to 30db");
            b.makeupDb = *db;
        } else {
            const auto f = wstool::parseNumber(v);
            if (!f || *f < 0.05 || *f >= 1)
                throw UsageError("switch /b: \"" + v +
                                 "\" is neither a level such as 2db nor an expansion factor below 1 such as 0.5");
            b.expand = true;
            b.factor = *f;
        }
        o.boost = b;
    }
}

void readPlugin(const Group &g, Options &o)
{
    SwitchReader r(g);
    while (!r.atEnd()) {
        const std::string sw = r.next();
        if (sw == "-name")
            o.pluginLib = r.value(sw);
        else if (sw == "-func")
            o.pluginLabel = r.value(sw);
        else
            unknown(sw, g);
    }
    if (!g.words.empty() && o.pluginLib.empty())
        throw UsageError("-plugin( needs -name LIBRARY");
    if (!o.pluginLib.empty() && o.pluginLabel.empty())
        throw UsageError("-plugin( needs -func LABEL");
}

} // namespace

Options parseOptions(const std::vector<std::string> &words)
{
    Options o;
    if (words.size() == 1 && (words[0] == "--help" || words[0] == "-h" || words[0] == "-help" ||
                              words[0] == "/?")) {
        o.help = true;
        return o;
    }
    if (words.size() == 1 && words[0] == "--version") {
        o.version = true;
        return o;
    }
    for (const Group &g : wstool::parseGroups(words)) {
        if (g.name.empty())
            throw UsageError("unexpected \"" + g.words.front() + "\" outside a switch group");
        if (g.name == "core")
            readCore(g, o);
        else if (g.name == "azid")
            readAzid(g, o);
        else if (g.name == "ota")
            readOta(g, o);
        else if (g.name == "ssrc")
            readSsrc(g, o);
        else if (g.name == "boost")
            readBoost(g, o);
        else if (g.name == "plugin")
            readPlugin(g, o);
        else if (g.name == "list")
            readList(g, o);
        else if (g.name == "profile")
            o.profile = wstool::joinWords(g.words);
        else
            throw UsageError("unknown switch group -" + g.name + "(");
    }
    if (o.list && o.input.empty())
        throw UsageError("no disc: -list( -input DISC ) is required");
    if (o.input.empty())
        throw UsageError("no input file: -core( -input FILE ) is required");
    if (o.mode() != Mode::Measure && o.mode() != Mode::List && o.output.empty())
        throw UsageError("no output file: -core( -output FILE ) is required");
    return o;
}

double delayFromFileName(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t p = name.find("DELAY");
    if (p == std::string::npos || p + 6 >= name.size())
        return 0.0;
    // The leading decimal part only: sign, digits, one decimal point.
    size_t i = p + 6;
    std::string num;
    if (name[i] == '-' || name[i] == '+')
        num += name[i++];
    bool digits = false, point = false;
    for (; i < name.size() && num.size() < 16; ++i) {
        const char c = name[i];
        if (std::isdigit(static_cast<unsigned char>(c)))
            digits = true;
        else if (c == '.' && !point)
            point = true;
        else
            break;
        num += c;
    }
    if (!digits)
        return 0.0;
    const double v = std::strtod(num.c_str(), nullptr);
    return std::fabs(v) > 24.0 * 3600 * 1000 ? 0.0 : v;
}

} // namespace tromvax
