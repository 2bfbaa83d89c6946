#include "platform/fileio/FileIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

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

QString WriteAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = Calls().write(fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? LastError() : QStringLiteral("nothing written");
        data += n;
        size -= n;
    }
    return QString();
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

    // Creates the temporary file; `like` (when given) lends it its permissions, and its owner
    // with `keepOwner`.
    QString Open(const struct stat* like, bool keepOwner) {
        const TemporaryNames names(target_);
        names.RemoveLeftOvers();
        for (int attempt = 0; fd_ < 0; ++attempt) {
            temp_ = names.Path(g_serial++);
            fd_ = ::open(temp_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                         like ? 0600 : 0666);
            // A name of an ended program that this one now carries: the next serial.
            if (fd_ < 0 && (errno != EEXIST || attempt >= 100)) {
                temp_.clear();
                return LastError();
            }
        }
        // Shows the other programs that this file is being written.
        ::flock(fd_, LOCK_EX | LOCK_NB);
        if (like) {
            // Best effort, as the file being replaced had them.
            if (keepOwner && ::fchown(fd_, like->st_uid, like->st_gid) != 0) {
            }
            if (::fchmod(fd_, like->st_mode & 07777) != 0) {
            }
        }
        return QString();
    }
    QString Write(const char* data, qsizetype size) { return WriteAll(fd_, data, size); }
    // Pushes the data to the disk, then renames the file over the target.
    QString Commit() {
        if (Calls().fsync(fd_) != 0) return LastError();
        if (Calls().rename(temp_.constData(), Native(target_).constData()) != 0) return LastError();
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
    return SystemCalls{::write, ::fsync, ::rename};
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
    QString why = temp.Open(existed ? &old : nullptr, true);
    if (why.isEmpty()) why = temp.Write(bytes.constData(), bytes.size());
    if (why.isEmpty()) why = temp.Commit();
    return why;
}

QString Copy(const QString& source, const QString& target) {
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
    why = temp.Open(&from, false);
    char buffer[65536];
    while (why.isEmpty()) {
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

}  // namespace FileIO
