#include "config/forms/NameRules.h"

#include <algorithm>

#include "common/ProgramState.h"
#include "common/Texts.h"
#include "config/core/OpenProject.h"

namespace NameRules {
namespace {

constexpr TextPair kUnusable{
    "] cannot be used: a name must not be empty, \".\" or \"..\", nor hold \\ / : * ? \" < > | , or "
    "control characters.",
    "]無法使用: 名稱不得為空白、\".\" 或 \"..\"，也不得含有 \\ / : * ? \" < > | , 或控制字元。"};
// %1 the name, %2 the file, %3 the group that has the file.
constexpr TextPair kShared{"The settings file [%2] of the group name[%1] belongs to the data group[%3].",
                           "存檔群組名稱[%1]的設定檔[%2]已屬於存檔群組[%3]。"};

}  // namespace

bool IsUsableName(const QString& name) {
    // A project's name rule, and further none of the characters a file name or a settings line
    // cannot hold.
    static const QString kRefused = QStringLiteral("*?\"<>|,");
    return ProjectUtil::IsValidName(name) &&
           std::none_of(name.begin(), name.end(), [](QChar c) { return kRefused.contains(c); });
}

QString UnusableNameLine(const QString& what, const QString& name) {
    return what + u'[' + name + Tx(kUnusable);
}

QString NewGroupFilePath(const QString& name) {
    const ProgramState& st = State();
    return st.ProjectFolder + QStringLiteral("\\cfg\\") + st.WorkstationName + u'\\' + name +
           QStringLiteral(".svc");
}

QString SharedFileLine(const QString& name, const QString& path, int owner) {
    return Tx(kShared).arg(name, path, State().Group(owner).S().SaveGroupName);
}

}  // namespace NameRules
