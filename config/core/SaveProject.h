// Validation and writing of the settings files: the workstation file and one file per save
// group, in the layout the saver's readers read.
#pragma once
#include <QString>

#include "common/Settings.h"

namespace SettingWriter {

// Writes every group file and then the workstation file, each through a temporary file renamed
// into place, when the settings were modified: asks first unless `noAsk`, validates, shows
// "Project saved!" when `showDone`. A refused question, a failed check or a failed write leaves
// IsModified set; a project that is not loaded whole is never written. True when the files hold
// the settings in memory afterwards.
bool SaveProject(bool noAsk, bool showDone);
// The first group whose settings cannot be saved: false with the message naming it.
bool CheckSaveGroups(QString& message);
// Writes the workstation file SvlFilePath; raises Failure when it cannot be written.
void SaveSvlFile();

// Shows that a settings file could not be written (`title` empty: "Save Project").
void ReportWriteFailure(const QString& path, const QString& why, const QString& title);

// The file location of a group as it is written: a group in the project's data folder needs a
// plain file name, a group with a full path no file name (changes the group in memory).
void NormaliseFileLocation(xSvcSettings& s);
// The texts of a group file and of the workstation file, as written.
QString GroupFileText(SaveGroupRecord& group);
QString SvlFileText();

}  // namespace SettingWriter
