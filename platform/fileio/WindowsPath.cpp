#include "platform/fileio/WindowsPath.h"

#include <QDir>
#include <filesystem>

namespace fs = std::filesystem;

namespace WindowsPath {

bool IsDriveRooted(const QString& p) {
    return p.size() >= 2 && p[1] == u':' && p[0].isLetter() && p[0].unicode() < 128;
}

// Lexical absolute form: "/" separators, "." and ".." applied, no trailing "/".
QStringList AbsoluteParts(const QString& path) {
    QString p = path;
    p.replace(u'\\', u'/');
    if (IsDriveRooted(p)) p = p.mid(2);
    if (!p.startsWith(u'/')) p = QDir::currentPath() + u'/' + p;
    QStringList out;
    for (const QString& part : p.split(u'/', Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) {
            if (!out.isEmpty()) out.removeLast();
            continue;
        }
        out.append(part);
    }
    return out;
}

QString Resolve(const QString& path) {
    const QStringList parts = AbsoluteParts(path);
    QString current;
    bool exists = true;
    for (const QString& part : parts) {
        const QString exact = current + u'/' + part;
        if (!exists) {
            current = exact;
            continue;
        }
        std::error_code ec;
        if (fs::exists(fs::path(exact.toStdString()), ec)) {
            current = exact;
            continue;
        }
        // The first entry, in name order, that matches without regard to letter case.
        QDir dir(current.isEmpty() ? QStringLiteral("/") : current);
        const QStringList entries =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        QString match;
        for (const QString& e : entries) {
            if (e.compare(part, Qt::CaseInsensitive) == 0) {
                match = e;
                break;
            }
        }
        if (match.isEmpty()) {
            exists = false;
            current = exact;
        } else {
            current += u'/' + match;
        }
    }
    return current.isEmpty() ? QStringLiteral("/") : current;
}

}  // namespace WindowsPath
