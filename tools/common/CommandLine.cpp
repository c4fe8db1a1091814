#include "CommandLine.h"

#include <cctype>

namespace wstool {

std::vector<std::string> splitCommandLine(const std::string &line)
{
    std::vector<std::string> out;
    std::string cur;
    bool inWord = false;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord)
                out.push_back(cur);
            cur.clear();
            inWord = false;
        } else {
            cur.push_back(c);
            inWord = true;
        }
    }
    if (inWord)
        out.push_back(cur);
    return out;
}

std::vector<std::string> wordsFromArgv(int argc, char **argv)
{
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i)
        words.emplace_back(argv[i]);
    if (words.size() == 1 && words[0].find(' ') != std::string::npos)
        return splitCommandLine(words[0]);
    return words;
}

namespace {

// "-name(": a dash, letters and digits, an opening parenthesis; nothing else.
bool opensGroup(const std::string &w)
{
    if (w.size() < 3 || w.front() != '-' || w.back() != '(')
        return false;
    for (size_t i = 1; i + 1 < w.size(); ++i) {
        const char c = w[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

} // namespace

std::vector<Group> parseGroups(const std::vector<std::string> &words)
{
    std::vector<Group> groups;
    Group loose;
    Group *open = nullptr;
    for (const std::string &w : words) {
        if (opensGroup(w)) {
            groups.push_back(Group{w.substr(1, w.size() - 2), {}});
            open = &groups.back();
        } else if (w == ")") {
            if (!open)
                throw UsageError("unexpected \")\" outside a switch group");
            open = nullptr;
        } else if (open) {
            open->words.push_back(w);
        } else {
            loose.words.push_back(w);
        }
    }
    if (!loose.words.empty())
        groups.insert(groups.begin(), std::move(loose));
    return groups;
}

const std::string &SwitchReader::value(const std::string &sw)
{
    if (atEnd())
        throw UsageError("switch " + sw + " in -" + g_.name + "( needs a value");
    return next();
}

std::optional<std::string> SwitchReader::optionalValue()
{
    if (atEnd())
        return std::nullopt;
    const std::string &w = g_.words[pos_];
    if (w.size() > 1 && w[0] == '-' && std::isalpha(static_cast<unsigned char>(w[1])))
        return std::nullopt;
    return next();
}

std::string joinWords(const std::vector<std::string> &words)
{
    std::string s;
    for (const auto &w : words) {
        if (!s.empty())
            s += ' ';
        s += w;
    }
    return s;
}

std::string versionText(const std::string &tool) { return tool + " " WAVESMITHY_VERSION; }

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace wstool
