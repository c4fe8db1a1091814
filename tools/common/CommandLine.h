// Command-line grammar shared by the companion tools.
//
// A command line is a list of words. A word made of a dash, a name of letters
// and digits and "(" (such as "-core(") opens a switch group named without
// the dash and parenthesis ("core"); the word ")" closes it. Any other word,
// such as "-3db -core(" or "x ) -core(", is an ordinary word, so a value
// handed over as one word never opens or closes a group. A group left open at the end of the line ends there. Words
// outside any group are kept in an unnamed group. The tools interpret the
// switches of each group themselves.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace wstool {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Group {
    std::string name;               // "core", "azid", ... ("" for words outside groups)
    std::vector<std::string> words; // the words inside the group, in order
};

// Splits one command-line string into words: blanks separate words, a quote
// mark opens or closes a quoted stretch in which blanks are kept; quote marks
// are removed; an empty quoted stretch gives an empty word.
std::vector<std::string> splitCommandLine(const std::string &line);

// argv (without the program name) as the tool received it. When it holds a
// single word that contains blanks, it is taken as a whole command line and
// split first.
std::vector<std::string> wordsFromArgv(int argc, char **argv);

std::vector<Group> parseGroups(const std::vector<std::string> &words);

// Walks the words of one group, switch by switch.
class SwitchReader {
public:
    explicit SwitchReader(const Group &g) : g_(g) {}
    bool atEnd() const { return pos_ >= g_.words.size(); }
    const std::string &next() { return g_.words.at(pos_++); }
    // The word that next() would return, without consuming it; nullptr at the end.
    const std::string *peek() const { return atEnd() ? nullptr : &g_.words[pos_]; }
    // The value that follows switch `sw`; throws UsageError when missing.
    const std::string &value(const std::string &sw);
    // The value when present and not itself a switch (starts with '-' followed
    // by a letter); otherwise nothing is consumed.
    std::optional<std::string> optionalValue();
    const Group &group() const { return g_; }

private:
    const Group &g_;
    size_t pos_ = 0;
};

std::string joinWords(const std::vector<std::string> &words);

// "tromvax 0.51": the tool's name and the version of the build.
std::string versionText(const std::string &tool);

// The text in lower case (ASCII letters only).
std::string lower(std::string s);

} // namespace wstool
