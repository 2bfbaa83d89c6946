#include "platform/fileio/FileIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace FileIO {
namespace {

constexpr char kTempSuffix[] = ".ledgrix-tmp";
// A temporary file without a program's number was written by an older build; once it has not
// been written for this long, no replacement is still at work on it.
constexpr time_t kOldFormLeftOverSeconds = 60;

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

QString LastError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A link is replaced where it leads, as an editor would.
QString FollowLinks(const QString& path) {
    const QFileInfo info(path);
    if (!info.isSymLink()) return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

// Writes every byte, a write cut short going on with the rest, so a failure is the system's reason
// (a full disk first takes part of a write, then refuses the rest); `written` counts what went in.
QString WriteAll(int fd, const char* data, qsizetype size, qsizetype* written = nullptr) {
    qsizetype done = 0;
    QString why;
    while (done < size) {
        const ssize_t n = Calls().write(fd, data + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = n < 0 ? LastError() : QStringLiteral("nothing written");
            break;
        }
        done += n;
    }
    if (written) *written = done;
    return why;
}

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// An existing target is replaced only when the user may write it, as a direct write would be.
QString RefuseUnwritable(const QString& target) {
    if (::faccessat(AT_FDCWD, Native(target).constData(), W_OK, AT_EACCESS) == 0 || errno == ENOENT)
        return QString();
    return LastError();
}

bool ProcessEnded(long pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// The temporary files of one target: ".<name>.<process>.<serial>.ledgrix-tmp" beside it, each
// replacement with a file of its own (a name near the length limit gets a shorter one).
class TemporaryNames {
  public:
    explicit TemporaryNames(const QString& target) {
        const QFileInfo info(target);
        folder_ = Native(info.absolutePath());
        QByteArray name = Native(info.fileName());
        if (name.size() > 200) name = QCryptographicHash::hash(name, QCryptographicHash::Sha1).toHex();
        prefix_ = '.' + name + '.';
    }
    QByteArray Path(quint32 serial) const {
        return folder_ + '/' + prefix_ + QByteArray::number(::getpid()) + '.' + QByteArray::number(serial) +
               kTempSuffix;
    }

    // Removes the temporary files of earlier replacements that no running program is writing:
    // the program that made one has ended and nobody holds its lock.
    void RemoveLeftOvers() const {
        DIR* dir = ::opendir(folder_.constData());
        if (!dir) return;
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (!name.startsWith(prefix_) || !name.endsWith(kTempSuffix)) continue;
            const QByteArray middle =
                name.mid(prefix_.size(),
                         name.size() - prefix_.size() - static_cast<qsizetype>(sizeof kTempSuffix - 1));
            const QList<QByteArray> numbers = middle.split('.');
            bool isPid = false, isSerial = false;
            const long pid = numbers.size() == 2 ? numbers[0].toLong(&isPid) : 0;
            if (numbers.size() == 2) numbers[1].toUInt(&isSerial);
            const bool oldForm = name == prefix_.chopped(1) + kTempSuffix;
            if ((isPid && isSerial && ProcessEnded(pid)) || oldForm)
                RemoveIfUnused(folder_ + '/' + name, oldForm);
        }
        ::closedir(dir);
    }

  private:
    static void RemoveIfUnused(const QByteArray& path, bool oldForm) {
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) return;
        struct stat st;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            (!oldForm || std::time(nullptr) - st.st_mtime >= kOldFormLeftOverSeconds))
            ::unlink(path.constData());
        ::close(fd);
    }

    QByteArray folder_;
    QByteArray prefix_;
};

std::atomic<quint32> g_serial{0};

QString UserName(uid_t uid) {
    struct passwd pw, *found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &pw, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(pw.pw_name);
    return QString::number(uid);
}

QString GroupName(gid_t gid) {
    struct group gr, *found = nullptr;
    char buffer[4096];
    if (::getgrgid_r(gid, &gr, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(gr.gr_name);
    return QString::number(gid);
}

bool IsMember(uid_t uid, gid_t gid) {
    struct passwd pw, *found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &pw, buffer, sizeof buffer, &found) != 0 || !found) return false;
    if (pw.pw_gid == gid) return true;
    std::vector<gid_t> groups(64);
    for (;;) {
        int count = static_cast<int>(groups.size());
        const int listed = ::getgrouplist(pw.pw_name, pw.pw_gid, groups.data(), &count);
        if (listed >= 0)
            return std::find(groups.begin(), groups.begin() + listed, gid) != groups.begin() + listed;
        if (count <= static_cast<int>(groups.size())) return false;
        groups.resize(static_cast<size_t>(count));
    }
}

// Whether the owner of a file that another user replaces (and then owns) may still read and write
// what he could: through the group, which the replacement keeps, or as anybody may.
bool KeepsAccess(const struct stat& old) {
    const mode_t owner = (old.st_mode >> 6) & 07;
    const mode_t after = IsMember(old.st_uid, old.st_gid) ? (old.st_mode >> 3) & 07 : old.st_mode & 07;
    return (owner & ~after & 06) == 0;
}

// The temporary file of one replacement: locked while it is written, removed unless it was
// renamed over the target.
class TemporaryFile {
  public:
    explicit TemporaryFile(const QString& target) : target_(target) {}
    ~TemporaryFile() {
        if (!renamed_ && !temp_.isEmpty()) ::unlink(temp_.constData());
        if (fd_ >= 0) ::close(fd_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates the temporary file: 0600 when it is to adopt the permissions of another file, else
    // with those a new file gets.
    QString Open(bool adopting) {
        const TemporaryNames names(target_);
        names.RemoveLeftOvers();
        for (int attempt = 0; fd_ < 0; ++attempt) {
            temp_ = names.Path(g_serial++);
            fd_ = ::open(temp_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                         adopting ? 0600 : 0666);
            // A name of an ended program that this one now carries: the next serial.
            if (fd_ < 0 && (errno != EEXIST || attempt >= 100)) {
                temp_.clear();
                return LastError();
            }
        }
        // Shows the other programs that this file is being written.
        ::flock(fd_, LOCK_EX | LOCK_NB);
        return QString();
    }
    // Gives the file the group and permissions of the file it replaces, and its owner where the
    // user may (a user cannot give a file away). Refused when the replacement would change who
    // may use the file: its group cannot be kept, or its owner would lose access.
    QString AdoptFrom(const struct stat& old) {
        if (!SetOwner(old.st_uid, old.st_gid)) {
            if (!SetOwner(static_cast<uid_t>(-1), old.st_gid))
                return QStringLiteral("its group %1 cannot be kept").arg(GroupName(old.st_gid));
            if (old.st_uid != 0 && !KeepsAccess(old))
                return QStringLiteral("its owner %1 would lose access").arg(UserName(old.st_uid));
        }
        return SetMode(old.st_mode);
    }
    // Gives a copy the permissions of its source, and its group where the user may set it.
    QString AdoptCopyOf(const struct stat& source) {
        // Where the user is no member of the source's group, the copy keeps the user's.
        SetOwner(static_cast<uid_t>(-1), source.st_gid);
        return SetMode(source.st_mode);
    }
    QString Write(const char* data, qsizetype size) { return WriteAll(fd_, data, size); }
    QString Path() const { return QFile::decodeName(temp_); }
    // Pushes the data to the disk, then renames the file over the target (or, without `replace`,
    // onto a target that must not exist).
    QString Commit(bool replace = true) {
        if (Calls().fsync(fd_) != 0) return LastError();
        if (replace ? Calls().rename(temp_.constData(), Native(target_).constData()) != 0
                    : ::renameat2(AT_FDCWD, temp_.constData(), AT_FDCWD, Native(target_).constData(),
                                  RENAME_NOREPLACE) != 0)
            return LastError();
        renamed_ = true;
        ::close(fd_);
        fd_ = -1;
        // The rename itself reaches the disk with the folder.
        const int dir =
            ::open(Native(QFileInfo(target_).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        return QString();
    }

  private:
    // True when the file has the owner (-1: any) and group, also where the file system has no
    // owners to change but gives the file these.
    bool SetOwner(uid_t uid, gid_t gid) {
        struct stat st;
        if (::fchown(fd_, uid, gid) == 0) return true;
        return ::fstat(fd_, &st) == 0 && st.st_gid == gid &&
               (uid == static_cast<uid_t>(-1) || st.st_uid == uid);
    }
    // After the owner and group, which would clear the set-id bits. A file system with fixed
    // permissions passes when it gives the file these.
    QString SetMode(mode_t mode) {
        if (::fchmod(fd_, mode & 07777) == 0) return QString();
        const QString why = LastError();
        struct stat st;
        return ::fstat(fd_, &st) == 0 && (st.st_mode & 07777) == (mode & 07777) ? QString() : why;
    }

    QString target_;
    QByteArray temp_;
    int fd_ = -1;
    bool renamed_ = false;
};

// Opens a regular file for reading; a pipe put in its place meanwhile is not waited for.
int OpenRegular(const QString& path, QString& why) {
    why = KindRefusal(path);
    if (!why.isEmpty()) return -1;
    const int fd = ::open(Native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = LastError();
        return -1;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = QStringLiteral("not a regular file");
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

SystemCalls DefaultCalls() {
    return SystemCalls{::write, ::fsync, ::rename, ::ftruncate};
}

SystemCalls& Calls() {
    static SystemCalls calls = DefaultCalls();
    return calls;
}

Kind KindOf(const QString& path) {
    struct stat st;
    if (::stat(Native(path).constData(), &st) != 0)
        // Any other failure is left to the open, which reports it.
        return errno == ENOENT || errno == ENOTDIR ? Kind::Missing : Kind::Regular;
    if (S_ISREG(st.st_mode)) return Kind::Regular;
    if (S_ISDIR(st.st_mode)) return Kind::Folder;
    if (S_ISFIFO(st.st_mode)) return Kind::Pipe;
    if (S_ISSOCK(st.st_mode)) return Kind::Socket;
    return Kind::Device;
}

QString KindRefusal(const QString& path) {
    switch (KindOf(path)) {
        case Kind::Missing:
        case Kind::Regular:
            return QString();
        case Kind::Folder:
            return QStringLiteral("a folder, not a file");
        case Kind::Device:
            return QStringLiteral("a device, not a file");
        case Kind::Pipe:
            return QStringLiteral("a pipe, not a file");
        case Kind::Socket:
            return QStringLiteral("a socket, not a file");
    }
    return QString();
}

QString ReadAll(const QString& path, QByteArray& bytes) {
    bytes.clear();
    if (KindOf(path) == Kind::Missing) return QString::fromLocal8Bit(std::strerror(ENOENT));
    QString why;
    const int fd = OpenRegular(path, why);
    if (fd < 0) return why;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = LastError();
            break;
        }
        if (n == 0) break;
        bytes.append(buffer, n);
    }
    ::close(fd);
    if (!why.isEmpty()) bytes.clear();
    return why;
}

QString Replace(const QString& path, const QByteArray& bytes) {
    const QString target = FollowLinks(path);
    if (QString refusal = KindRefusal(target); !refusal.isEmpty()) return refusal;
    if (QString refusal = RefuseUnwritable(target); !refusal.isEmpty()) return refusal;
    struct stat old;
    const bool existed = ::stat(Native(target).constData(), &old) == 0;
    TemporaryFile temp(target);
    QString why = temp.Open(existed);
    if (why.isEmpty() && existed) why = temp.AdoptFrom(old);
    if (why.isEmpty()) why = temp.Write(bytes.constData(), bytes.size());
    if (why.isEmpty()) why = temp.Commit();
    return why;
}

namespace {

// A copy of the source onto the target: the source's bytes, or `content` in their place.
QString CopyWith(const QString& source, const QString& target, const QByteArray* content) {
    if (KindOf(source) == Kind::Missing) return QString::fromLocal8Bit(std::strerror(ENOENT));
    const QString to = FollowLinks(target);
    if (QString refusal = KindRefusal(to); !refusal.isEmpty()) return refusal;
    if (QString refusal = RefuseUnwritable(to); !refusal.isEmpty()) return refusal;
    QString why;
    const int in = OpenRegular(source, why);
    if (in < 0) return why;
    struct stat from;
    ::fstat(in, &from);
    TemporaryFile temp(to);
    why = temp.Open(true);
    if (why.isEmpty()) why = temp.AdoptCopyOf(from);
    if (why.isEmpty() && content) why = temp.Write(content->constData(), content->size());
    char buffer[65536];
    while (why.isEmpty() && !content) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) why = LastError();
        if (n <= 0) break;
        why = temp.Write(buffer, n);
    }
    ::close(in);
    if (why.isEmpty()) why = temp.Commit();
    return why;
}

}  // namespace

QString Copy(const QString& source, const QString& target) {
    return CopyWith(source, target, nullptr);
}

QString Copy(const QString& source, const QString& target, const QByteArray& content) {
    return CopyWith(source, target, &content);
}

QString PlaceNew(const QString& target, const QString& like,
                 const std::function<QString(const QString&)>& write) {
    struct stat from;
    if (::stat(Native(like).constData(), &from) != 0) return LastError();
    TemporaryFile temp(target);
    QString why = temp.Open(true);
    if (why.isEmpty()) why = temp.AdoptCopyOf(from);
    if (why.isEmpty()) why = write(temp.Path());
    if (why.isEmpty()) why = temp.Commit(false);
    return why;
}

QString CreateIfMissing(const QString& path) {
    if (KindOf(path) != Kind::Missing) return KindRefusal(path);
    const QByteArray native = Native(path);
    int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0 && errno == EEXIST) {
        // Made by another program meanwhile; or a link that leads nowhere yet, whose file is made.
        if (KindOf(path) != Kind::Missing) return KindRefusal(path);
        fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    }
    if (fd < 0) return LastError();
    ::close(fd);
    return QString();
}

FileId IdOf(const QByteArray& nativePath) {
    struct stat st;
    if (::stat(nativePath.constData(), &st) != 0) return FileId{};
    return FileId{true, st.st_dev, st.st_ino};
}

FileId IdOf(const QString& path) {
    return IdOf(Native(path));
}

AtPath WhatIsAt(const QByteArray& nativePath, const FileId& opened, off_t written) {
    struct stat st;
    if (::stat(nativePath.constData(), &st) != 0) return AtPath::NoFile;
    if (FileId{true, st.st_dev, st.st_ino} != opened) return AtPath::AnotherFile;
    return st.st_size < written ? AtPath::CutShort : AtPath::TheFile;
}

AppendFile::~AppendFile() {
    if (fd_ >= 0) ::close(fd_);
}

QString AppendFile::Open(const QString& path, bool create) {
    const QByteArray native = Native(path);
    const int flags = O_APPEND | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0);
    fd_ = ::open(native.constData(), O_RDWR | flags, 0666);
    // A file the user may write but not read: its last line is taken as finished.
    if (fd_ < 0 && errno == EACCES) fd_ = ::open(native.constData(), O_WRONLY | flags, 0666);
    if (fd_ < 0) return LastError();
    path_ = native;
    struct stat st;
    char tail[3];
    const bool known = ::fstat(fd_, &st) == 0;
    if (known) opened_ = FileId{true, st.st_dev, st.st_ino};
    if (known && S_ISREG(st.st_mode)) end_ = st.st_size;
    if (known && S_ISREG(st.st_mode) && st.st_size > 0) {
        const off_t size = std::min<off_t>(st.st_size, sizeof tail);
        const ssize_t n = ::pread(fd_, tail, static_cast<size_t>(size), st.st_size - size);
        // A byte-order mark alone begins the first line.
        const bool markOnly = st.st_size == 3 && n == 3 && std::memcmp(tail, "\xEF\xBB\xBF", 3) == 0;
        unfinished_ = n == size && !markOnly && !IsLineEnd(tail[n - 1]);
    }
    return QString();
}

QString AppendFile::Append(const QByteArray& bytes, const QByteArray& lineEnd) {
    const QByteArray out = unfinished_ ? lineEnd + bytes : bytes;
    partKept_ = false;
    qsizetype written = 0;
    const QString why = WriteAll(fd_, out.constData(), out.size(), &written);
    // Another program may append too: the end known is at least this far.
    if (end_ >= 0) end_ += written;
    if (why.isEmpty() || written == 0) {
        if (why.isEmpty() && !out.isEmpty()) unfinished_ = !IsLineEnd(out.back());
        return why;
    }
    // The part written is cut off again, unless the file has grown past it meanwhile. Each write
    // of an append goes to the end, and the file's position follows it: the part ends there.
    QString kept;
    struct stat st;
    const off_t end = ::lseek(fd_, 0, SEEK_CUR);
    if (::fstat(fd_, &st) != 0 || end < 0)
        kept = LastError();
    else if (!S_ISREG(st.st_mode))
        kept = QStringLiteral("not a regular file");
    else if (st.st_size != end)
        kept = QStringLiteral("the file grew meanwhile");
    else if (Calls().ftruncate(fd_, end - written) != 0)
        kept = LastError();
    if (kept.isEmpty()) {
        if (end_ >= 0) end_ -= written;
        return why;
    }
    partKept_ = true;
    unfinished_ = !IsLineEnd(out[written - 1]);
    return QStringLiteral(
               "%1; the %2 bytes written could not be removed: %3; the next line starts on a "
               "line of its own")
        .arg(why, QString::number(written), kept);
}

}  // namespace FileIO
