#include "platform/captions/Captions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <cerrno>

// Open-file-description locks: owned by the open file, not the process, so two holders in one
// process are two holders, and testing for a holder places no lock of its own.

RuntimeFolderState MakeRuntimeFolder() {
    const std::string dir = LedgrixRuntimeFolderPath();
    // A folder that is there costs one lstat (every caption test asks).
    const RuntimeFolderState state = CheckRuntimeFolder(dir);
    if (state.fault != RuntimeFolderFault::Unavailable || state.error != ENOENT) return state;
    // Missing parents get the usual mode, the folder itself is for the owner only.
    if (::mkdir(dir.c_str(), 0700) != 0 && errno == ENOENT &&
        QDir().mkpath(QFileInfo(QDir::cleanPath(QString::fromStdString(dir))).path()))
        ::mkdir(dir.c_str(), 0700);
    return CheckRuntimeFolder(dir);
}

QString RuntimeFolder() {
    if (!MakeRuntimeFolder().Usable()) return {};
    return QString::fromStdString(LedgrixRuntimeFolderPath());
}

namespace {

// Letters, digits, '_' and '-' stay; every other byte of the UTF-8 text becomes %XX.
QString LockFileName(const QString& caption) {
    QByteArray name = caption.toUtf8().toPercentEncoding(QByteArray(), QByteArrayLiteral(".~"));
    if (name.size() > 200)
        name = "long-" + QCryptographicHash::hash(caption.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QString::fromLatin1(name) + QStringLiteral(".caption");
}

// Whether some open file holds a lock on the caption's file.
bool IsCarried(const QString& lockPath) {
    const QByteArray path = QFile::encodeName(lockPath);
    if (path.isEmpty()) return false;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;  // never carried
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    const bool held = ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

}  // namespace

QString CaptionLockPath(const QString& caption) {
    const QString folder = RuntimeFolder();
    if (folder.isEmpty()) return {};
    return folder + u'/' + LockFileName(caption);
}

bool WindowCaptionExists(const QString& caption) {
    return !caption.isEmpty() && IsCarried(CaptionLockPath(caption));
}

CaptionLookup LookUpCaption(const QString& caption) {
    const std::string dir = LedgrixRuntimeFolderPath();
    CaptionLookup look;
    look.folder = CheckRuntimeFolder(dir);
    look.exists = look.folder.Usable() && !caption.isEmpty() &&
                  IsCarried(QString::fromStdString(dir) + u'/' + LockFileName(caption));
    return look;
}

bool CaptionHold::Acquire(const QString& caption) {
    Release();
    if (caption.isEmpty()) return false;
    const QByteArray path = QFile::encodeName(CaptionLockPath(caption));
    if (path.isEmpty()) return false;
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    int rc;
    do {
        rc = ::fcntl(fd, F_OFD_SETLKW, &lock);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    caption_ = caption;
    return true;
}

void CaptionHold::Release() {
    if (fd_ >= 0) ::close(fd_);  // closing the file ends its lock
    fd_ = -1;
    caption_.clear();
}
