// Windows-form paths on the Linux file system. Settings and messages keep paths as the engineer
// wrote them ("..\Project\P\cfg\W\g.svc"); "\" stands for "/", a drive prefix "C:" for the root,
// and each existing component is found without regard to letter case when the exact spelling does
// not exist, so one folder written in two spellings is one folder.
#pragma once
#include <QString>
#include <QStringList>

namespace WindowsPath {

// True when the path begins with a drive ("C:").
bool IsDriveRooted(const QString& path);
// The components of the absolute form of the path: "/" separators, the drive taken as the root,
// a relative path taken in the current folder, "." and ".." applied.
QStringList AbsoluteParts(const QString& path);
// The Linux path: absolute, "." and ".." applied, existing components matched without regard to
// letter case (the first match in name order); the parts that do not exist keep their spelling.
QString Resolve(const QString& path);

}  // namespace WindowsPath
