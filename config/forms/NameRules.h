// The names of save groups and fields. A group's name becomes its settings file's name, and both
// names stand in node tags and in comma-separated settings lines, so each must be one plain name.
#pragma once
#include <QString>
#include <cstdint>

namespace NameRules {

// True for a trimmed name that can name a settings file and stand in a tag: not empty, "." or
// "..", and free of \ / : * ? " < > | , and control characters.
bool IsUsableName(const QString& name);
// The message line that refuses such a name; `what` names it ("The group name", "新欄位名稱").
QString UnusableNameLine(const QString& what, const QString& name);

// The settings file of a new group of that name, in the open workstation's cfg folder.
QString NewGroupFilePath(const QString& name);
// The message line that refuses a group name whose settings file is the file of group `owner`.
QString SharedFileLine(const QString& name, const QString& path, int owner);

}  // namespace NameRules
