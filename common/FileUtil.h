// File and folder procedures. Paths in settings files and messages stay in Windows form
// ("..\Project\P\cfg\W\g.svc"); every procedure maps "\" to "/" and resolves each component of
// the path case-insensitively when the exact spelling does not exist, so one folder written in
// two spellings is one folder. A new file or folder reuses the spelling of the part that exists.
#pragma once
#include <QFile>
#include <QString>
#include <memory>

namespace FileUtil {

// The Linux path of a Windows-form path: absolute, "." and ".." applied, existing components
// matched without regard to letter case. A drive prefix "C:" stands for the root.
QString ResolvePath(const QString& path);

bool RecreateFolder(const QString& path);
bool MakeFullDir(const QString& path);
bool DeleteFileIfExists(const QString& path);
bool DeleteFolderIfExists(const QString& path);
bool DeleteFolderAndWait(const QString& path, int16_t timeoutSeconds);
bool DeleteFileWait(const QString& path, int16_t timeoutSeconds);
bool FileExists(const QString& path);
bool FolderExists(const QString& path);
bool IsValidPath(const QString& path);
// The whole text of a file (UTF-8, a BOM skipped); empty when the file is missing or empty.
QString ReadTextFile(const QString& path);
// The same, false when the file exists but cannot be opened or read.
bool ReadTextFile(const QString& path, QString& text);
// Creates or replaces the file with the text; returns the number of characters written.
// Raises Failure when the file cannot be written.
int32_t CreateTextFile(const QString& text, const QString& path);
// Writes the text to a new file beside the target, pushes it to the disk and renames it into
// place, so the target holds either its old or its whole new text. Raises Failure.
void ReplaceTextFile(const QString& text, const QString& path);
// True when two paths name one file or folder (both resolved, letters compared as they are).
bool IsSamePath(const QString& a, const QString& b);
QString GetFileName(const QString& path);
QString GetBaseName(const QString& path);
QString GetExtensionName(const QString& path);
QString GetParentFolderName(const QString& path);
QString GetAbsolutePathName(const QString& path);
bool CopyFileOverwrite(const QString& source, const QString& target, int16_t timeoutSeconds, bool overwrite);
bool CopyFileToFolder(const QString& source, const QString& target, int16_t timeoutSeconds);
bool CopyFolderTo(const QString& source, const QString& target, int16_t timeoutSeconds);
bool DirExists(const QString& path);

}  // namespace FileUtil

// An open text file: created (replacing), or opened for appending. Closed when released.
class TextFileStream {
  public:
    enum class Mode { Create, Append };
    // Raises Failure when the file cannot be opened; Append never creates a missing file.
    TextFileStream(const QString& path, Mode mode);
    // Writes the text in one write and pushes it to the file; raises Failure on error.
    void Write(const QString& text);
    QString Path() const { return path_; }

  private:
    QString path_;
    QFile file_;
};

namespace FileUtil {
// The first line of a text file (without its line end); raises Failure when it cannot be read
// or the file is empty.
QString ReadFirstLine(const QString& path);
}  // namespace FileUtil
