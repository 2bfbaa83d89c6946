// Opening an HMI project and one of its workstations: the pickers, the project paths, missing
// settings files created, every save group loaded, and projects of an older layout or format
// upgraded after asking.
#pragma once
#include <QString>

#include "common/SettingUtil.h"

namespace ProjectUtil {

// Opens the project (the picker asks when the name is empty) and a workstation (the picker asks
// when none is set). True when a project and workstation are open afterwards; false when none was
// chosen, a name was refused, or the upgrade was declined or failed. A missing project folder
// and a missing group file end the program.
bool OpenProject(const QString& projName, bool reopen);
// Checks and loads the group files of the workstation (an old-format file is upgraded after
// asking). False when the upgrade's save could not write a file (and was reported): the project
// is then not loaded.
bool LoadProject();
// Creates a missing workstation file, reads it, settles the log file and creates missing group
// files.
void CreateMissingSettingFiles();
// True when no group file lies outside the workstation's cfg folder, or after an agreed upgrade
// whose copies were made.
bool CheckProjectUpgrade();
// Copies group files into the workstation's cfg folder and saves; false when a copy failed (the
// save's own failure is reported by its box and still opens the project).
bool UpgradeProjectFiles();
// Loads an old-format project whole (taking the group files' texts already read) and saves it in
// the current format; false when a file could not be written. A group that the save refuses is
// named in its box, and the project opens.
bool UpgradeAndSaveProject(const SettingUtil::GroupFileTexts& texts = {});
// The configuration program's check of the log file path: settles it like the saver's, but
// reports a bad path instead of ending the program.
bool CheckLogFilePath();

// Why the open project may not be saved (settings of its files that were not loaded, which a
// save would drop), or empty.
QString NotSavedMessage();

// A project or workstation name that may be used in a path: not empty, ".", or "..", and free
// of \ / : * ? " < > | and control characters.
bool IsValidName(const QString& name);
// The message line that refuses such a name, in the given language.
QString InvalidNameLine(const QString& name, int languageIndex);

}  // namespace ProjectUtil
