#include "platform/fileio/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace FileIO {
namespace {

constexpr char kTempSuffix[] = ".ledgrix-tmp";

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
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? LastError() : QStringLiteral("nothing written");
        data += n;
        size -= n;
    }
    return QString();
}

// The temporary file of one replacement: removed unless it was renamed over the target.
class TemporaryFile {
  public:
    explicit TemporaryFile(const QString& target) : target_(target), temp_(TemporaryPathFor(target)) {}
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!renamed_) ::unlink(Native(temp_).constData());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates the temporary file; `like` (when given) lends it its permissions, and its owner
    // with `keepOwner`.
    QString Open(const struct stat* like, bool keepOwner) {
        ::unlink(Native(temp_).constData());  // left by a killed program
        fd_ = ::open(Native(temp_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                     like ? 0600 : 0666);
        if (fd_ < 0) return LastError();
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
    // Pushes the data to the disk and renames the file over the target.
    QString Commit() {
        if (::fsync(fd_) != 0) return LastError();
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) return LastError();
        if (::rename(Native(temp_).constData(), Native(target_).constData()) != 0) return LastError();
        renamed_ = true;
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
    QString temp_;
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

QString TemporaryPathFor(const QString& target) {
    const QFileInfo info(target);
    QString name = info.fileName();
    // A name near the length limit gets a shorter one of its own.
    if (Native(name).size() + static_cast<qsizetype>(sizeof kTempSuffix) > 255)
        name = QString::fromLatin1(QCryptographicHash::hash(Native(name), QCryptographicHash::Sha1).toHex());
    return info.absolutePath() + QStringLiteral("/.") + name + QLatin1String(kTempSuffix);
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

}  // namespace FileIO
