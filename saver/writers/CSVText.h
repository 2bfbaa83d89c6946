// Quoting and splitting of CSV items.
#pragma once
#include <QString>

namespace CSVText {

// The item as written: quoted (inner quotes doubled) only when it holds the delimiter, a quote
// or a line break, so plain items stay as they are.
QString Field(const QString& text, const QString& delimiter);
// The number of items of a line (quoted items may hold the delimiter); 0 for an empty line.
int CountItems(const QString& line, const QString& delimiter);

}  // namespace CSVText
