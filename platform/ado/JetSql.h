// Jet SQL on the SQLite engine: the few places where the two dialects differ are rewritten,
// everything else passes through unchanged.
//   TOP n                       -> LIMIT n at the end of that SELECT
//   #date#                      -> 'yyyy-MM-dd HH:mm:ss'
//   date texts written into, or compared with, date-typed columns -> the same ISO text
#pragma once
#include <QHash>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

namespace ado::jet {

// Declared types of a table's columns, keyed by the upper-cased column name.
using ColumnTypes = std::function<QHash<QString, QString>(const QString& table)>;

QString Translate(const QString& sql, const ColumnTypes& columnTypes);

// The upper-cased names of a table's date-typed columns.
using DateColumns = std::function<QSet<QString>(const QString& table)>;
// Translate with the date columns given directly (a caller that keeps them per table).
QString TranslateWithDateColumns(const QString& sql, const DateColumns& dateColumns);

// A date-time text of the system's forms ("2024/03/05 02:07:09 PM", "2024/3/5",
// "2024/03/05 14:07:09.250", with AM/PM or 上午/下午) as 'yyyy-MM-dd HH:mm:ss[.zzz]'.
// With monthFirst, "3/1/2024" (month/day/year) is read as well.
std::optional<QString> IsoDateText(const QString& text, bool monthFirst = false);

// True for declared types that hold dates (DATE, DATETIME, TIMESTAMP ...).
bool IsDateType(const QString& declaredType);
// The names of the date-typed columns among a table's declared types.
QSet<QString> DateColumnsOf(const QHash<QString, QString>& declaredTypes);

}  // namespace ado::jet
