#include "common/CommandLineUtil.h"

#include <QStringList>

#include "common/DateUtil.h"
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

QString WithHelpSwitches(const QString& commandLine) {
    QStringList words = commandLine.split(u' ');
    for (QString& word : words)
        if (word == QLatin1String("--help") || word == QLatin1String("-h")) word = QStringLiteral("/HELP");
    return words.join(u' ');
}

bool IsHelpSwitch(const QString& word) {
    const QString s = word.toUpper();
    return s == QLatin1String("/HELP") || s == QLatin1String("/H") || s == QLatin1String("/?");
}

QString ReferenceDateTimeNow() {
    const double now = DateUtil::Now();
    return DateUtil::Format(now, QStringLiteral("Short Date")) + u' ' +
           DateUtil::Format(now, QStringLiteral("Long Time"));
}

QString ApplyDateTimeSwitch(const QString& referenceDateTime, const QString& typedSwitch) {
    const QString key = typedSwitch.section(u':', 0, 0).toUpper();
    const QStringList parts = referenceDateTime.split(u' ');
    if (key == QLatin1String("/D")) return typedSwitch.mid(3) + u' ' + parts.value(1);
    if (key == QLatin1String("/T")) return parts.value(0) + u' ' + typedSwitch.mid(3);
    return referenceDateTime;
}

}  // namespace CommandLineUtil
