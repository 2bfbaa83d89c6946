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

// Whether a word of the command line is "--help" or "-h", the help switches of Linux programs:
// the program then prints its usage on standard output and ends with 0, before its application
// object is made (so without a display) and without a box.
bool AsksForUsage(int argc, const char* const* argv);
// The text of "help.txt" in the program's own folder (empty when it is missing), read before the
// application object exists.
QString ProgramHelpText();
// Prints the usage on standard output with the line ends of a terminal; the status to end with.
int PrintUsage(const QString& text);
// A switch word that asks for the command-line help: "/HELP", "/H" or "/?" in any letter case.
bool IsHelpSwitch(const QString& word);

// The start date and time as "Short Date" and "Long Time" text: the reference date-time that
// the switches "/D:<date>" and "/T:<time>" change.
QString ReferenceDateTimeNow();
// The reference date-time after a "/D:..." (date part replaced) or "/T:..." (time part
// replaced) switch, as typed; any other switch leaves it unchanged.
QString ApplyDateTimeSwitch(const QString& referenceDateTime, const QString& typedSwitch);

}  // namespace CommandLineUtil
