// Quoting and splitting of CSV items, and their widths.
#pragma once
#include <QString>
#include <QStringView>

namespace CSVText {

// The item as written: quoted (inner quotes doubled) only when it holds the delimiter, a quote
// or a line break, so plain items stay as they are.
QString Field(const QString& text, const QString& delimiter);
// The number of items of a line (quoted items may hold the delimiter); 0 for an empty line.
int CountItems(const QString& line, const QString& delimiter);
// A text's width in characters: a character outside the Basic Multilingual Plane (a pair of
// UTF-16 units) counts once.
qsizetype Width(QStringView text);
// The text's last `width` characters, never half a pair.
QString LastCharacters(const QString& text, qsizetype width);

}  // namespace CSVText
