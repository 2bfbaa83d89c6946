// The workstation actions on disk that the HMI system's project manager starts with a /PAM
// switch: add, rename, copy and delete a workstation's settings files and data folder. Each
// returns true when it did its work (the program's exit status). Messages are Chinese in both
// languages.
#pragma once
#include <QString>
#include <QStringList>
#include <optional>

namespace WorkstationUtil {

// The project actions do nothing: the HMI system owns the project folders.
bool PamAddProject(const QString& project);
bool PamRenameProject(const QString& oldProject, const QString& newProject);
bool PamDeleteProject(const QString& project);

// An empty workstation file (an existing one is replaced after OK) and the data folder.
bool AddWorkstation(const QString& project, const QString& workstation);
// Rewrites the old cfg folder path in the workstation file and moves the data folder.
bool RenameWorkstation(const QString& project, const QString& oldName, const QString& newName);
// Copies the workstation file and its group files into the new cfg folder, each written once with
// the old cfg folder path rewritten. The source is never changed; a copy onto itself is refused.
bool CopyWorkstation(const QString& project, const QString& oldName, const QString& newName);
// Deletes the workstation file, its group files inside its cfg folder and (after OK) its data
// folder.
bool DeleteWorkstation(const QString& project, const QString& workstation);

// The group files the workstation file lists, read by the saver's rule.
QStringList ModuleListFiles(const QString& project, const QString& workstation);
// The group files first, the workstation file last and only when every group file was copied;
// each copy holds `find` replaced as ReplacePathBytes does (nothing for an empty `find`). False
// when the source workstation file is missing or a copy failed.
bool CopyWorkstationFiles(const QString& sourceProject, const QString& sourceWorkstation,
                          const QString& targetProject, const QString& targetWorkstation,
                          const QString& find = QString(), const QString& replacement = QString());
// False when a file could not be deleted; a missing workstation file deletes nothing.
bool DeleteWorkstationFiles(const QString& project, const QString& workstation);
// Asks (unless noAsk) and deletes the data folder; false when it could not be deleted.
bool DeleteWorkstationDataFolder(const QString& project, const QString& workstation, bool noAsk);

// Every occurrence of `find` (any letter case) that is a whole path component, followed by "\",
// "/", a line end or the end of the text, replaced by the replacement in upper case, in a file's
// bytes: the paths are matched in the file's own encoding (UTF-8, or Big5 when it is not valid
// UTF-8) and every other byte is kept. An empty `find` replaces nothing. Nothing, with `why`,
// when the encoding cannot hold the replacement.
std::optional<QByteArray> ReplacePathBytes(const QByteArray& bytes, const QString& find,
                                           const QString& replacement, QString* why = nullptr);
// ReplacePathBytes on a file, which is replaced whole or left as it was; false when the file is
// missing or cannot be written (the failure is reported when the action ends).
bool ReplaceInFile(const QString& file, const QString& find, const QString& replacement);
// True when the file is missing or was rewritten.
bool ReplaceInFileIfExists(const QString& file, const QString& find, const QString& replacement);

}  // namespace WorkstationUtil
