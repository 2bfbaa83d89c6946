// The command-line splitter both programs use: words that begin with "/" are switches, all
// others positional arguments.
#pragma once
#include <QString>
#include <cstdint>
#include <vector>

namespace CommandLineUtil {

// Splits at every single blank (consecutive blanks give empty words). Entries are stored from
// index 1; a table too small for its words grows, so no word is lost. More than 32767 words of
// one kind raise an overflow failure, keeping the entries stored before it.
void ParseCommandLine(const QString& commandLine, std::vector<QString>& arguments, int16_t& argumentCount,
                      std::vector<QString>& switches, int16_t& switchCount);

}  // namespace CommandLineUtil
