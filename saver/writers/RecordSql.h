// The SQL text of one record and the per-database-type statement forms.
#pragma once
#include <QString>
#include <cstdint>

#include "common/Settings.h"

namespace RecordSql {

// How a field takes part in a record: the record time ("^DATETIME"), a message, the tag's
// time, a value ("VALUE", also "VAL"), or none of these.
enum class FieldKind { RecordTime, Message, TagTime, Value, None };
FieldKind KindOf(const xField& f);

// A message field's text, cut to its first TagMessageLength characters when that is above 0;
// a cut never keeps half of a character pair.
QString MessageText(const xField& f);

// The time an "ONCE" record carries in a record-time column.
double OnceTime(const xField& f, double recordTime);

enum class Dialect { Generic, MySQL, Oracle };
// MySQL and Oracle targets by type name, driver or provider; everything else takes the Jet /
// SQL Server forms.
Dialect DialectOf(const xSvcSettings& s);

struct RecordParts {
    QString columns;  // "[A], [B]"
    QString values;   // "1,'x'"
    QString setList;  // "[A]=1, [B]='x'"
    QString key;      // column of the first record-time or tag-time field
};

// Builds the lists of one record from the group's fields. `recordTime` is already resolved;
// `msLiteral` is the millisecond text when the record is the sentinel on the millisecond
// schedule (empty otherwise), `msWholeSeconds` then the whole-second time of that slot.
RecordParts BuildRecordParts(SaveGroupRecord& g, double recordTime, const QString& msLiteral,
                             double msWholeSeconds, bool onceRun);

QString TableRef(const xSvcSettings& s);  // T or [T]
QString InsertStatement(const xSvcSettings& s, const RecordParts& p);
QString UpdateStatement(const xSvcSettings& s, const RecordParts& p);
QString ClearStatement(const xSvcSettings& s);
// One-row probe of the table (does the table hold a record?).
QString ProbeStatement(const xSvcSettings& s);

// Purge statement for the group's provider; `ok` false when the provider is unknown.
// `deleteAll` for keep days -2; otherwise rows older than `cutOff` (a date value at midnight).
enum class PurgeRun { Execute, PrepareThenDirect, DirectThenCommit, Unknown };
struct PurgePlan {
    QString statement;
    PurgeRun run = PurgeRun::Unknown;
};
PurgePlan PurgeStatement(const xSvcSettings& s, bool deleteAll, double cutOff);

}  // namespace RecordSql
