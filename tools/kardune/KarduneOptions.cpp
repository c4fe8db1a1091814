#include "KarduneOptions.h"

#include "Levels.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <set>

namespace kardune {

using wstool::UsageError;
using wstool::lower;

namespace {

const std::set<std::string> kCoreSwitches = {"-input", "-prefix", "-output", "-logfile", "-logfilea", "-type",
                                             "-r",     "-ending", "-join",   "-addriff", "-title",    "-language",
                                             "-chapters"};

// A path: the words up to the next switch of the group, joined by blanks, so
// an unquoted folder name with blanks still arrives whole.
std::string pathValue(const std::vector<std::string> &w, size_t &i, const std::string &sw)
{
    std::string v;
    bool any = false;
    while (i + 1 < w.size() && !kCoreSwitches.count(w[i + 1])) {
        if (any)
            v += ' ';
        v += w[++i];
        any = true;
    }
    if (!any || v.empty())
        throw UsageError("switch " + sw + " needs a value");
    return v;
}

// The kind of part a -type value names (in lower case).
std::optional<PartType> typeFor(const std::string &t)
{
    if (t == "ac3" || t == "eac3")
        return PartType::Ac3;
    if (t == "mpa" || t == "mp1" || t == "mp2" || t == "mp3")
        return PartType::MpegAudio;
    if (t == "dts")
        return PartType::Dts;
    if (t == "wav" || t == "pcm")
        return PartType::Wav;
    if (t == "aac")
        return PartType::Aac;
    return std::nullopt;
}

void readCore(const std::vector<std::string> &w, Options &o, bool &join)
{
    for (size_t i = 0; i < w.size(); ++i) {
        const std::string &sw = w[i];
        if (sw == "-input")
            o.input = pathValue(w, i, sw);
        else if (sw == "-prefix" || sw == "-output")
            o.prefix = pathValue(w, i, sw);
        else if (sw == "-logfile" || sw == "-logfilea") {
            o.logPath = pathValue(w, i, sw);
            o.logAppend = sw == "-logfilea";
        } else if (sw == "-type") {
            if (i + 1 >= w.size() || kCoreSwitches.count(w[i + 1]) || w[i + 1].empty())
                throw UsageError("switch -type needs a value");
            const std::string &given = w[++i];
            o.type = lower(given);
            if (!typeFor(o.type))
                throw UsageError("switch -type: unknown part type \"" + given +
                                 "\" (known: ac3, mpa, mp1, mp2, mp3, wav, pcm, aac)");
        } else if (sw == "-title") {
            // One word, whatever it holds: a title may look like a switch.
            if (i + 1 >= w.size())
                throw UsageError("switch -title needs a value");
            o.title = w[++i];
        } else if (sw == "-language") {
            const std::string code = i + 1 < w.size() ? lower(w[i + 1]) : std::string();
            if (code.size() != 3 || !std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
                throw UsageError("switch -language needs a three-letter ISO 639-2 code such as eng");
            o.language = code;
            ++i;
        } else if (sw == "-chapters") {
            o.chapters = pathValue(w, i, sw);
        } else if (sw == "-r")
            o.replace = true;
        else if (sw == "-ending")
            o.ending = true;
        else if (sw == "-join")
            join = true;
        else if (sw == "-addriff")
            join = o.addRiff = true;
        else
            throw UsageError("unknown switch " + sw + " in -core(");
    }
}

} // namespace

Options parseOptions(const std::vector<std::string> &words)
{
    Options o;
    bool join = false, sawSplit = false;
    for (const wstool::Group &g : wstool::parseGroups(words)) {
        if (g.name.empty()) {
            for (const std::string &w : g.words) {
                if (w == "--help" || w == "-help" || w == "-h" || w == "-?")
                    o.mode = Mode::Help;
                else if (w == "--version")
                    o.mode = Mode::Version;
                else
                    throw UsageError("unexpected word \"" + w + "\" outside the switch groups");
            }
        } else if (g.name == "core") {
            readCore(g.words, o, join);
        } else if (g.name == "split") {
            sawSplit = true;
            for (const std::string &w : g.words) {
                const auto v = wstool::parseNumber(w);
                if (!v || *v < 0)
                    throw UsageError("part length \"" + w + "\" in -split( is not a number of seconds");
                if (*v > 0)
                    o.lengths.push_back(*v);
            }
        } else if (g.name == "profile") {
            // The caller's name for itself; nothing to do.
        } else {
            throw UsageError("unknown switch group -" + g.name + "(");
        }
    }
    if (o.mode == Mode::Help || o.mode == Mode::Version)
        return o;
    if (join)
        o.mode = Mode::Join;
    if (o.input.empty())
        throw UsageError(join ? "no list of parts (-input) given" : "no source (-input) given");
    if (o.prefix.empty())
        throw UsageError(join ? "no output file (-prefix or -output) given"
                              : "no prefix for the part names (-prefix) given");
    if (!join && (!o.title.empty() || !o.language.empty() || !o.chapters.empty()))
        throw UsageError("-title, -language and -chapters belong to a joined .m4a file, not to a split");
    if (o.addRiff && isM4a(o.prefix))
        throw UsageError("-addriff writes a RIFF WAVE file, not MPEG-4 audio: join into " + o.prefix +
                         " with -join -prefix");
    if (join) {
        if (sawSplit)
            throw UsageError("-split( cannot be combined with -join or -addriff");
        if (o.type.empty())
            o.type = "aac";
        if (typeFor(o.type) != PartType::Aac)
            throw UsageError("only AAC parts can be joined (-type aac)");
        o.partType = PartType::Aac;
    } else {
        if (o.type.empty())
            throw UsageError("no part type (-type) given");
        o.partType = *typeFor(o.type);
        if (o.partType == PartType::Aac)
            throw UsageError("AAC streams are joined (-join), not split");
    }
    return o;
}

bool isM4a(const std::string &path)
{
    return path.size() >= 4 && lower(path.substr(path.size() - 4)) == ".m4a";
}

std::string partNumber(int n)
{
    return (n < 10 ? "0" : "") + std::to_string(n);
}

std::string partName(const Options &o, int n)
{
    return o.prefix + partNumber(n) + (o.ending ? "." + o.type : std::string());
}

} // namespace kardune
