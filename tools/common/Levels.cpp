#include "Levels.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace wstool {

std::optional<double> parseNumber(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    const char *begin = text.c_str();
    char *end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin || *end != '\0' || !std::isfinite(v))
        return std::nullopt;
    // strtod also takes hexadecimal, "inf" and "nan": accept decimal only.
    for (const char *p = begin; p < end; ++p)
        if (!(std::isdigit(static_cast<unsigned char>(*p)) || *p == '.' || *p == '+' || *p == '-' ||
              *p == 'e' || *p == 'E'))
            return std::nullopt;
    return v;
}

std::optional<double> parseDb(const std::string &text)
{
    std::string t = text;
    if (t.size() >= 2) {
        const char a = static_cast<char>(std::tolower(static_cast<unsigned char>(t[t.size() - 2])));
        const char b = static_cast<char>(std::tolower(static_cast<unsigned char>(t[t.size() - 1])));
        if (a == 'd' && b == 'b')
            t.resize(t.size() - 2);
    }
    return parseNumber(t);
}

double dbToGain(double db) { return std::pow(10.0, db / 20.0); }

double gainToDb(double gain) { return 20.0 * std::log10(gain); }

} // namespace wstool
