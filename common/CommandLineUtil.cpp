#include "common/CommandLineUtil.h"

#include <QStringList>

#include "common/Failure.h"

namespace CommandLineUtil {

void ParseCommandLine(const QString& commandLine, std::vector<QString>& arguments, int16_t& argumentCount,
                      std::vector<QString>& switches, int16_t& switchCount) {
    argumentCount = 0;
    switchCount = 0;
    if (commandLine.isEmpty()) return;
    const QStringList words = commandLine.split(u' ');
    for (const QString& word : words) {
        const bool isSwitch = word.startsWith(u'/');
        std::vector<QString>& table = isSwitch ? switches : arguments;
        int16_t& count = isSwitch ? switchCount : argumentCount;
        if (count == 32767) throw Failure(FailureNumber::Overflow, QStringLiteral("Overflow"));
        const int next = count + 1;
        if (next >= static_cast<int>(table.size())) table.resize(static_cast<size_t>(next) + 1);
        count = static_cast<int16_t>(next);
        table[static_cast<size_t>(next)] = word;
    }
}

}  // namespace CommandLineUtil
