// Two services of the dialogs: the HMI project's tag names for a combo box, and the one
// file-open dialog of the program, which always gives the program folder back as the current
// folder.
#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

class TagListBox;

namespace TagListUtil {

// Fills the box with the tag names of the workstation's tag database ("<workstation>.pam.mir",
// else "<workstation>.pam", in the project folder), in name order; tags of class "SYSTEM" only
// with `includeSystem`. Returns the number of names added; a missing or unreadable tag database
// gives 0 and leaves the box untouched.
int16_t LoadProjectTagList(const QString& project, const QString& workstation, TagListBox& box,
                           bool includeSystem);
// Every tag name of the workstation's tag database (as above, all classes), in name order; nothing
// when the tag database is missing or cannot be read.
std::optional<QStringList> ProjectTagNames(const QString& project, const QString& workstation);
// The file-open dialog in the project's data folder with one filter, repeated until a file that
// exists is chosen or the dialog is cancelled: that file's full path, or empty. The type word is
// not used.
QString ShowOpenFileDialog(const QString& typeWord, const QString& description, const QString& pattern);
// Makes the program folder the current folder again.
void RestoreProgramFolder();

}  // namespace TagListUtil
