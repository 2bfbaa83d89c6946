#include "common/CommandLineUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "common/DateUtil.h"
#include "common/Failure.h"
#include "common/FileUtil.h"

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

bool AsksForUsage(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

QString ProgramHelpText() {
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return FileUtil::ReadTextFile(QFileInfo(program).dir().filePath(QStringLiteral("help.txt")));
}

int PrintUsage(const QString& text) {
    QByteArray bytes = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8();
    if (!bytes.isEmpty() && !bytes.endsWith('\n')) bytes += '\n';
    const bool written = std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) ==
                         static_cast<size_t>(bytes.size());
    return written && std::fflush(stdout) == 0 ? 0 : 1;
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
