// Values that reach a tool as one argv word each: a word holding blanks and
// group marks is a bad value of its switch, never a switch or a group mark.
#include "AacEnc.h"
#include "Kardune.h"
#include "Tromvax.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

namespace {

using Tool = std::function<int(const std::vector<std::string> &, std::ostream &, std::ostream &)>;

struct Case {
    const char *tool;
    std::vector<std::string> words;
    std::string sw;  // the switch the error names
    std::string bad; // and the bad value
};

const std::string kInput = "0 ) -core( -input /etc/passwd";
const std::string kOutput = "0db ) -core( -output /tmp/x.wav";
const std::string kOpen = "-3db -core(";

std::vector<std::string> tromvaxLine(std::vector<std::string> group)
{
    std::vector<std::string> w{"-core(", "-input", "in.ac3", "-output", "out.wav", "-2ch", ")"};
    w.insert(w.end(), group.begin(), group.end());
    w.push_back(")");
    return w;
}

std::vector<std::string> karduneLine(std::vector<std::string> split, const std::string &type = "ac3")
{
    std::vector<std::string> w{"-core(", "-input", "in.ac3", "-prefix", "p/", "-type", type, ")", "-split("};
    w.insert(w.end(), split.begin(), split.end());
    w.push_back(")");
    return w;
}

} // namespace

TEST(ToolValues, WordsWithBlanksAndGroupMarksAreBadValuesOfTheirSwitch)
{
    const std::vector<Case> cases = {
        {"tromvax", tromvaxLine({"-azid(", "-L", kOpen}), "-L", kOpen},
        {"tromvax", tromvaxLine({"-azid(", "-l", kOutput}), "-l", kOutput},
        {"tromvax", tromvaxLine({"-azid(", "-C", kOpen}), "-C", kOpen},
        {"tromvax", tromvaxLine({"-azid(", "-S", kInput}), "-S", kInput},
        {"tromvax", tromvaxLine({"-azid(", "-f1", kInput}), "-f1", kInput},
        {"tromvax", tromvaxLine({"-azid(", "-c", "Light ) -core("}), "-c", "Light ) -core("},
        {"tromvax", tromvaxLine({"-azid(", "-s", "Stereo -core("}), "-s", "Stereo -core("},
        {"tromvax", tromvaxLine({"-ota(", "-d", "-40ms -core("}), "-d", "-40ms -core("},
        {"tromvax", tromvaxLine({"-ota(", "-g", kOutput}), "-g", kOutput},
        {"tromvax", tromvaxLine({"-ota(", "-sc", kInput}), "-sc", kInput},
        {"tromvax", tromvaxLine({"-ssrc(", "--rate", "44100 -core("}), "--rate", "44100 -core("},
        {"tromvax", tromvaxLine({"-ssrc(", "--att", kOpen}), "--att", kOpen},
        {"tromvax", tromvaxLine({"-boost(", "/b=2db ) -core("}), "/b", "2db ) -core("},
        {"tromvax", tromvaxLine({"-core(", "-substream", "0x80 ) -core("}), "-substream", "0x80 ) -core("},
        {"kardune", karduneLine({"256", kInput}), "-split(", kInput},
        {"kardune", karduneLine({"256"}, "AC3 ) -core("), "-type", "AC3 ) -core("},
        {"aacenc", {"-if", "in.wav", "-vbrhi", "-qvbr", "35 -of /tmp/x.aac", "-of", "o.aac"}, "-qvbr",
         "35 -of /tmp/x.aac"},
        {"aacenc", {"-if", "in.wav", "-threads", "2 ) -core(", "-normal", "-of", "o.aac"}, "-threads", "2 ) -core("},
    };
    const std::map<std::string, Tool> tools = {
        {"tromvax", tromvax::run}, {"kardune", kardune::run}, {"aacenc", aacenc::run}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.tool) + " " + c.sw + " \"" + c.bad + "\"");
        std::ostringstream out, err;
        EXPECT_EQ(tools.at(c.tool)(c.words, out, err), 2);
        EXPECT_NE(err.str().find(c.sw), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("\"" + c.bad + "\""), std::string::npos) << err.str();
    }
}
