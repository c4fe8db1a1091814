// Reading switch values as the front end writes them.
#pragma once

#include <optional>
#include <string>

namespace wstool {

// A level in decibels: "-3db", "0db", "+3.2dB" (the unit is case-insensitive
// and may be missing). Returns nothing for text that is not such a level.
std::optional<double> parseDb(const std::string &text);

// A plain decimal number ("44100", "0.5", "-40"); nothing when the whole text
// is not a number.
std::optional<double> parseNumber(const std::string &text);

double dbToGain(double db);
double gainToDb(double gain);

} // namespace wstool
