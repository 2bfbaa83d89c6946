// Whole-file reads and replacements on Linux paths, shared by the file helpers and the registry
// stand-in. A file is replaced through a temporary file of its own beside it: every write is
// checked, the data is pushed to the disk, and only then is the temporary file renamed over the
// target, so the target holds either its old or its whole new content. Only regular files are
// read or replaced, and only files the user may write are replaced; what a path names is learnt
// without opening it, so a pipe never blocks a program.
#pragma once
#include <sys/types.h>

#include <QByteArray>
#include <QString>
#include <functional>

namespace FileIO {

enum class Kind { Missing, Regular, Folder, Device, Pipe, Socket };

// What the path names, links followed.
Kind KindOf(const QString& path);
// The refusal of a path that names no regular file ("... is a pipe, not a file"); empty for a
// regular or missing file.
QString KindRefusal(const QString& path);

// Reads a regular file whole. Empty on success, else why it failed; a missing file fails too.
QString ReadAll(const QString& path, QByteArray& bytes);
// Replaces the file (a link: the file it leads to) with the bytes. Empty on success, else why it
// failed; the target is then as it was. The replacement keeps the file's group and permissions,
// and its owner where the user may set it; it is refused when the group cannot be kept or the
// owner would lose access (a user replacing another's file becomes its owner), so a file that a
// team shares through its group stays writable by each of them.
QString Replace(const QString& path, const QByteArray& bytes);
// Copies a regular file onto the target in the same way, with the source's permissions and, where
// the user may set it, its group.
QString Copy(const QString& source, const QString& target);
// The same with `content` in place of the source's bytes.
QString Copy(const QString& source, const QString& target, const QByteArray& content);
// Makes a new file that another writer fills: `write` writes the temporary file whose path it is
// given (made empty, with the group and permissions of `like`); then the file is synced and
// takes the target's name, which must not exist. Empty on success, else why it failed.
QString PlaceNew(const QString& target, const QString& like,
                 const std::function<QString(const QString&)>& write);
// Creates an empty file when nothing is there; a regular file that exists, also one that another
// program has just made, is left as it is. Empty on success, else why it failed.
QString CreateIfMissing(const QString& path);

// A file as the file system knows it (device and inode), learnt with one stat, links followed;
// none for a missing file.
struct FileId {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};
FileId IdOf(const QByteArray& nativePath);
FileId IdOf(const QString& path);
// What a path names now, against the file that was opened by it: a file held open stays that
// file when it is moved, deleted or replaced, and its path then names no file or another one.
// The file itself may also have been cut short in place, below `written` bytes (an appended file
// emptied by a log rotation); -1 leaves its size unasked.
enum class AtPath { TheFile, NoFile, AnotherFile, CutShort };
AtPath WhatIsAt(const QByteArray& nativePath, const FileId& opened, off_t written = -1);

// A file that whole lines are appended to (CSV files, the log file). An append that fails part
// way has what it wrote cut off again, so the file is as it was before it. Where that cannot be
// done the failure says so, and the next append starts on a line of its own, as it does in a file
// whose last line another program left unfinished.
class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens the file for appending, or with `create` makes it (an existing one empty). Empty on
    // success, else why it failed.
    QString Open(const QString& path, bool create);
    // Appends the bytes in one piece, after `lineEnd` where the file's last line is unfinished.
    // Empty on success, else why it failed, and whether part of the bytes stays in the file.
    QString Append(const QByteArray& bytes, const QByteArray& lineEnd);
    // The last append failed and part of its bytes stays in the file.
    bool PartKept() const { return partKept_; }
    // What the path it was opened by names now (one stat): also the file itself, cut shorter than
    // the end of what was appended to it (a regular file only).
    AtPath PathNow() const { return WhatIsAt(path_, opened_, end_); }

  private:
    int fd_ = -1;
    QByteArray path_;
    FileId opened_;
    off_t end_ = -1;           // where the last append ended, as far as known; -1 for no regular file
    bool unfinished_ = false;  // the next append starts with a line end
    bool partKept_ = false;
};

// The system calls that write a replacement or an append, in one place so that a test can make
// one fail.
struct SystemCalls {
    ssize_t (*write)(int fd, const void* data, size_t size);
    int (*fsync)(int fd);
    int (*rename)(const char* from, const char* to);
    int (*ftruncate)(int fd, off_t length);
};
SystemCalls DefaultCalls();
// The calls in use (the defaults until a test puts others in place).
SystemCalls& Calls();

}  // namespace FileIO
