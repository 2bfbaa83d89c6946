// File and folder procedures. Paths in settings files and messages stay in Windows form
// ("..\Project\P\cfg\W\g.svc"); every procedure maps "\" to "/" and resolves each component of
// the path case-insensitively when the exact spelling does not exist, so one folder written in
// two spellings is one folder. A new file or folder reuses the spelling of the part that exists.
#pragma once
#include <QFile>
#include <QString>
#include <memory>

#include "platform/fileio/FileIO.h"

namespace FileUtil {

// The Linux path of a Windows-form path: absolute, "." and ".." applied, existing components
// matched without regard to letter case. A drive prefix "C:" stands for the root.
QString ResolvePath(const QString& path);

bool RecreateFolder(const QString& path);
// True when the folder is there afterwards; `why` tells why a missing level could not be made.
bool MakeFullDir(const QString& path, QString* why = nullptr);
bool DeleteFileIfExists(const QString& path);
bool DeleteFolderIfExists(const QString& path);
bool DeleteFolderAndWait(const QString& path, int16_t timeoutSeconds);
bool DeleteFileWait(const QString& path, int16_t timeoutSeconds);
bool FileExists(const QString& path);
bool FolderExists(const QString& path);
bool IsValidPath(const QString& path);
// The whole text of a file (UTF-8, a BOM skipped, or Big5 when it is not valid UTF-8); empty when
// the file is missing or empty.
QString ReadTextFile(const QString& path);
// The same, false when the path names something other than a regular file, or a file that
// cannot be opened or read.
bool ReadTextFile(const QString& path, QString& text);
// The bytes of a file by the same rule (a missing file gives none); `why` tells a failure.
bool ReadFileBytes(const QString& path, QByteArray& bytes, QString* why = nullptr);
// Creates or replaces the file with the text, as ReplaceTextFile; returns the number of characters
// written.
int32_t CreateTextFile(const QString& text, const QString& path);
// Replaces a regular (or missing) file with the text, in the encoding of the file it replaces (a
// new file is UTF-8; a UTF-8 file keeps its byte-order mark): through a temporary file of its own
// beside it, every write checked and pushed to the disk before the rename, so the target holds
// either its old or its whole new text. Raises Failure naming the file when it is no regular
// file, the user may not write it, a write fails, or its Big5 text cannot hold a character of the
// text (bytes of the file that are no Big5 character: naming their line).
void ReplaceTextFile(const QString& text, const QString& path);
// The same for bytes written as they are.
void ReplaceFileBytes(const QByteArray& bytes, const QString& path);
// Creates an empty file when none is there; an existing regular file, also one another program
// has just made, is kept as it is. False, with `why`, when it cannot be made.
bool CreateFileIfMissing(const QString& path, QString* why = nullptr);
// True when two paths name one file or folder (both resolved, letters compared as they are).
bool IsSamePath(const QString& a, const QString& b);
// True when both paths name an existing file and it is the same one (a link or another spelling
// of a path names the file it leads to).
bool IsSameFile(const QString& a, const QString& b);
QString GetFileName(const QString& path);
QString GetBaseName(const QString& path);
QString GetExtensionName(const QString& path);
QString GetParentFolderName(const QString& path);
QString GetAbsolutePathName(const QString& path);
// Copies replace the target whole through a temporary file beside it, so a copy cut short never
// takes its place; `why` tells a failure.
bool CopyFileOverwrite(const QString& source, const QString& target, int16_t timeoutSeconds, bool overwrite,
                       QString* why = nullptr);
bool CopyFileToFolder(const QString& source, const QString& target, int16_t timeoutSeconds,
                      QString* why = nullptr);
// A copy of the source made as CopyFileToFolder makes it, holding `bytes` in place of the source's.
bool CopyFileWithBytes(const QString& source, const QString& target, const QByteArray& bytes,
                       QString* why = nullptr);
bool CopyFolderTo(const QString& source, const QString& target, int16_t timeoutSeconds);
bool DirExists(const QString& path);

}  // namespace FileUtil

// An open text file that whole lines are appended to: created (replacing), or opened for
// appending. Closed when released.
class TextFileStream {
  public:
    enum class Mode { Create, Append };
    // Raises Failure when the file cannot be opened; Append never creates a missing file. The
    // file's lines end with `lineEnd`.
    TextFileStream(const QString& path, Mode mode, const QString& lineEnd = QStringLiteral("\r\n"));
    // Writes the text in one write. A write that fails leaves the file as it was and raises
    // Failure with the system's reason; where the part written cannot be removed again, the
    // failure says so and the next text starts on a line of its own.
    void Write(const QString& text);
    QString Path() const { return path_; }
    // A failed write left part of its text in the file.
    bool KeepsPartOfALine() const { return file_.PartKept(); }
    // What the path names now: the file this stream writes, no file (it was moved or deleted),
    // another file (it was replaced), or this file cut shorter than the stream left it. One stat.
    FileIO::AtPath PathNow() const { return file_.PathNow(); }

  private:
    QString path_;
    QByteArray lineEnd_;
    FileIO::AppendFile file_;
};

namespace FileUtil {
// The first line of a text file (without its line end); raises Failure when it cannot be read
// or the file is empty.
QString ReadFirstLine(const QString& path);
}  // namespace FileUtil
