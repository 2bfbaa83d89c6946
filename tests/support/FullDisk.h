// A small file system that the test fills: a tmpfs mounted over a folder of the test. Mounting
// needs root (the CI runs as root); elsewhere the test is skipped and says why.
#pragma once
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/fileio/FileIO.h"

class FullDisk {
  public:
    FullDisk() = default;
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
    ~FullDisk() {
        if (!folder_.isEmpty()) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
    }

    // Mounts an empty tmpfs of `kib` KiB (and `inodes` files and folders, when given) over the
    // folder (made when missing). Empty when done, else why not.
    QString Mount(const QString& folder, int kib = 256, int inodes = 0) {
        if (::geteuid() != 0) return QStringLiteral("mounting a small tmpfs needs root");
        QDir().mkpath(folder);
        QByteArray options = "size=" + QByteArray::number(kib) + "k";
        if (inodes > 0) options += ",nr_inodes=" + QByteArray::number(inodes);
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) != 0)
            return QStringLiteral("cannot mount a tmpfs here: ") +
                   QString::fromLocal8Bit(std::strerror(errno));
        folder_ = folder;
        return QString();
    }

    // Fills the file system: from now on every write that needs room fails.
    void Fill() const {
        const QByteArray path = QFile::encodeName(folder_ + QStringLiteral("/.filler"));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const QByteArray block(4096, 'x');
        for (qsizetype size = block.size(); fd >= 0 && size > 0;) {
            if (::write(fd, block.constData(), static_cast<size_t>(size)) < 0) size /= 2;
        }
        if (fd >= 0) ::close(fd);
    }

    // Frees what Fill took.
    void Free() const { ::unlink(QFile::encodeName(folder_ + QStringLiteral("/.filler")).constData()); }

    // Uses up the file system's inodes with empty files in a folder ".inodes": from now on no
    // file or folder can be made.
    void UseUpInodes() const {
        const QString dir = folder_ + QStringLiteral("/.inodes");
        QDir().mkpath(dir);
        for (int n = 0;; ++n) {
            const int fd = ::open(QFile::encodeName(dir + u'/' + QString::number(n)).constData(),
                                  O_WRONLY | O_CREAT | O_EXCL, 0600);
            if (fd < 0) break;
            ::close(fd);
        }
    }

  private:
    QString folder_;
};

// A disk that takes `part` bytes of each append and then refuses the rest as full; with `cutFails`,
// what it took cannot be cut off again. In place until `FileCallsRestored` ends.
inline void TakePartOfEachAppend(size_t part, bool cutFails) {
    static size_t taken;
    static bool cutFailing, tookPart;
    taken = part;
    cutFailing = cutFails;
    tookPart = false;
    FileIO::Calls().write = [](int fd, const void* data, size_t size) -> ssize_t {
        if (std::exchange(tookPart, !tookPart)) return errno = ENOSPC, -1;
        return ::write(fd, data, std::min(size, taken));
    };
    FileIO::Calls().ftruncate = [](int fd, off_t length) {
        return cutFailing ? (errno = EIO, -1) : ::ftruncate(fd, length);
    };
}

// Puts the file helpers' own system calls back when it ends.
struct FileCallsRestored {
    FileCallsRestored() = default;
    FileCallsRestored(const FileCallsRestored&) = delete;
    FileCallsRestored& operator=(const FileCallsRestored&) = delete;
    ~FileCallsRestored() { Restore(); }
    static void Restore() { FileIO::Calls() = FileIO::DefaultCalls(); }
};
