#include "saver/writers/RecordSql.h"

#include <cmath>
#include <utility>

#include "common/DateUtil.h"
#include "common/Numbers.h"
#include "common/SettingUtil.h"
#include "saver/writers/WriterUtil.h"

namespace RecordSql {

namespace {

const QString kSqlDate = QStringLiteral("yyyy/MM/dd hh:mm:ss");
const QString kAmPmDate = QStringLiteral("yyyy/MM/dd hh:mm:ss AMPM");

bool IsToDate(const xSvcSettings& s) {
    return s.dbDateFunctionName.toUpper() == QLatin1String("TO_DATE");
}
bool IsMySQLType(const xSvcSettings& s) {
    return s.dbDBTypeName.toUpper() == QLatin1String("MYSQL");
}

QString ToDateLiteral(double t) {
    return QStringLiteral("to_date('") + DateUtil::Format(t, kSqlDate) +
           QStringLiteral("','yyyy/MM/dd hh24:mi:ss')");
}

// A quoted date literal; the morning and afternoon designators of a Chinese system become
// AM and PM unless the type's date function is exactly "to_date".
QString QuotedDate(const xSvcSettings& s, const QString& text) {
    QString t = text;
    if (s.dbDateFunctionName != QLatin1String("to_date")) {
        t.replace(QStringLiteral("上午"), QStringLiteral("AM"));
        t.replace(QStringLiteral("下午"), QStringLiteral("PM"));
    }
    return u'\'' + WriterUtil::SqlText(t) + u'\'';
}

// A quoted date literal of a date-time variant in a pattern.
QString QuotedVariantDate(const xSvcSettings& s, const QVariant& v, const QString& pattern) {
    return QuotedDate(s, WriterUtil::FormatVariantDate(v, pattern));
}

QString ValueLiteral(const xField& f) {
    const QVariant& v = f.TagValue;
    const auto number = WriterUtil::FieldNumber(v);
    const bool ok = number.has_value();
    const double d = number.value_or(0);
    // A value that is no number is written as a text literal, never as SQL.
    if (!ok) return u'\'' + WriterUtil::SqlText(v.toString()) + u'\'';
    // NaN and the infinities have no SQL literal: the column is written empty, and the group's
    // other fields are kept.
    if (!std::isfinite(d)) return QStringLiteral("NULL");
    if (f.DecimalPlaces < 0) return Numbers::NumberText(d);
    return Numbers::NumberText(Numbers::RoundHalfEven(d, f.DecimalPlaces));
}

QString MessageLiteral(const xField& f) {
    return u'\'' + WriterUtil::SqlText(MessageText(f)) + u'\'';
}

}  // namespace

QString MessageText(const xField& f) {
    if (f.TagMessageLength <= 0 || f.TagMessage.size() <= f.TagMessageLength) return f.TagMessage;
    // Half a character pair is no text: it would cost the record.
    const bool halfPair = f.TagMessage[f.TagMessageLength - 1].isHighSurrogate();
    return f.TagMessage.left(f.TagMessageLength - (halfPair ? 1 : 0));
}

// The field's own time when it holds one, else the run's reference time kept in its value,
// else the record time.
double OnceTime(const xField& f, double recordTime) {
    double t = 0;
    if (WriterUtil::VariantToDate(f.TagTime, t)) return t;
    if (WriterUtil::VariantToDate(f.TagValue, t)) return t;
    return recordTime;
}

FieldKind KindOf(const xField& f) {
    using SettingUtil::UpperEquals;
    static constexpr std::pair<QLatin1StringView, FieldKind> kTypes[] = {
        {QLatin1StringView("MSG"), FieldKind::Message},
        {QLatin1StringView("MESSAGE"), FieldKind::Message},
        {QLatin1StringView("DATETIME"), FieldKind::TagTime},
        {QLatin1StringView("VALUE"), FieldKind::Value},
        {QLatin1StringView("VAL"), FieldKind::Value}};
    if (UpperEquals(f.TagName, QLatin1StringView("^DATETIME"))) return FieldKind::RecordTime;
    for (const auto& [name, kind] : kTypes)
        if (UpperEquals(f.TagType, name)) return kind;
    return FieldKind::None;
}

Dialect DialectOf(const xSvcSettings& s) {
    const QString type = s.dbDBTypeName.toUpper();
    const QString driver = s.dbDriver.toUpper();
    if (type == QLatin1String("MYSQL") || driver.contains(QLatin1String("MYSQL"))) return Dialect::MySQL;
    if (type == QLatin1String("ORACLE") || s.dbProvider.toUpper() == QLatin1String("MSDAORA.1") ||
        driver.contains(QLatin1String("ORACLE")))
        return Dialect::Oracle;
    return Dialect::Generic;
}

RecordParts BuildRecordParts(SaveGroupRecord& g, double recordTime, const QString& msLiteral,
                             double msWholeSeconds, bool onceRun) {
    const xSvcSettings& s = g.S();
    const bool toDate = IsToDate(s);
    const bool mysql = IsMySQLType(s);
    const bool ms = !msLiteral.isEmpty();
    RecordParts p;
    for (int i = 1; i <= g.FieldCount; ++i) {
        const xField& f = g.F(i);
        const QString N = s.dbNoFieldNameDelimiter ? f.FieldName : u'[' + f.FieldName + u']';
        QString value, set;
        bool valueIsToDate = false;
        switch (KindOf(f)) {
            case FieldKind::Value:
                value = set = ValueLiteral(f);
                break;
            case FieldKind::Message:
                value = set = MessageLiteral(f);
                break;
            case FieldKind::TagTime:
                if (toDate) {
                    double t = 0;
                    WriterUtil::VariantToDate(f.TagTime, t);
                    value = ToDateLiteral(t);
                    set = u' ' + value;
                    valueIsToDate = true;
                } else if (mysql) {
                    value = set = QuotedVariantDate(s, f.TagTime, kSqlDate);
                } else if (!f.DatetimeFormatString.isEmpty()) {
                    value = set = QuotedVariantDate(s, f.TagTime, f.DatetimeFormatString);
                } else {
                    value = set = QuotedVariantDate(s, f.TagTime, kAmPmDate);
                }
                break;
            case FieldKind::RecordTime: {
                const double t = ms ? msWholeSeconds : recordTime;
                if (toDate)
                    set = ToDateLiteral(t);
                else if (mysql)
                    set = QuotedDate(s, DateUtil::Format(t, kSqlDate));
                else if (ms)
                    set = QuotedDate(s, msLiteral);
                else if (!f.DatetimeFormatString.isEmpty())
                    set = QuotedDate(s, DateUtil::Format(recordTime, f.DatetimeFormatString));
                else
                    set = QuotedDate(s, DateUtil::Format(recordTime, kAmPmDate));
                if (onceRun) {
                    const double once = OnceTime(f, recordTime);
                    if (toDate)
                        value = ToDateLiteral(once);
                    else if (f.DatetimeFormatString.isEmpty())
                        value = QuotedDate(s, DateUtil::DefaultText(once));
                    else
                        value = QuotedDate(s, DateUtil::Format(once, f.DatetimeFormatString));
                } else {
                    value = set;
                }
                valueIsToDate = toDate;
                break;
            }
            case FieldKind::None:
                break;
        }
        if (i > 1) {
            p.columns += QStringLiteral(", ");
            p.setList += QStringLiteral(", ");
            p.values += valueIsToDate ? QStringLiteral(", ") : QStringLiteral(",");
        }
        p.columns += N;
        p.setList += N + u'=' + set;
        p.values += value;
        if (p.key.isEmpty()) {
            const FieldKind k = KindOf(f);
            if (k == FieldKind::RecordTime || k == FieldKind::TagTime) p.key = N;
        }
    }
    return p;
}

QString TableRef(const xSvcSettings& s) {
    return s.dbNoTableNameDelimiter ? s.dbTableName : u'[' + s.dbTableName + u']';
}

QString InsertStatement(const xSvcSettings& s, const RecordParts& p) {
    return QStringLiteral("Insert Into ") + TableRef(s) + QStringLiteral(" (") + p.columns +
           QStringLiteral(") Values (") + p.values + QStringLiteral(" )");
}

QString UpdateStatement(const xSvcSettings& s, const RecordParts& p) {
    const QString T = TableRef(s);
    const QString& K = p.key;
    QString latest;
    switch (DialectOf(s)) {
        case Dialect::MySQL:
            // MySQL cannot read the updated table in the subquery itself: a derived table is
            // materialised first.
            latest = QStringLiteral("(SELECT ") + K + QStringLiteral(" From (SELECT ") + K +
                     QStringLiteral(" From ") + T + QStringLiteral(" ORDER BY ") + K +
                     QStringLiteral(" DESC LIMIT 1) AS x)");
            break;
        case Dialect::Oracle:
            latest = QStringLiteral("(SELECT MAX(") + K + QStringLiteral(") From ") + T + u')';
            break;
        case Dialect::Generic:
            latest = QStringLiteral("(SELECT Top 1 ") + K + QStringLiteral(" From ") + T +
                     QStringLiteral(" ORDER BY ") + K + QStringLiteral(" DESC)");
            break;
    }
    return QStringLiteral("Update ") + T + QStringLiteral(" SET ") + p.setList + QStringLiteral(" Where (") +
           K + QStringLiteral(" = ") + latest + u')';
}

QString ClearStatement(const xSvcSettings& s) {
    return QStringLiteral("Delete  From ") + TableRef(s);
}

QString ProbeStatement(const xSvcSettings& s) {
    const QString T = TableRef(s);
    switch (DialectOf(s)) {
        case Dialect::MySQL:
            return QStringLiteral("Select * From ") + T + QStringLiteral(" LIMIT 1");
        case Dialect::Oracle:
            return QStringLiteral("Select * From ") + T + QStringLiteral(" Where rownum=1");
        case Dialect::Generic:
            break;
    }
    return QStringLiteral("Select Top 1 * From ") + T +
           (s.dbNoTableNameDelimiter ? QString() : QStringLiteral(" "));
}

PurgePlan PurgeStatement(const xSvcSettings& s, bool deleteAll, double cutOff) {
    const QString provider = s.dbProvider.toUpper();
    const QString type = s.dbDBTypeName.toUpper();
    const QString& T = s.dbTableName;
    const QString& C = s.dbSPurgeFieldName;
    // Fixed, unambiguous date texts: the cut-off never depends on the system's date format.
    const QString Dt = DateUtil::Format(cutOff, QStringLiteral("yyyy/MM/dd"));
    const QString Df = DateUtil::Format(cutOff, kSqlDate);

    const QString bracketAll = QStringLiteral("Delete From [") + T + u']';
    const QString bracketHash =
        bracketAll + QStringLiteral(" Where (((") + C + QStringLiteral(") < #") + Dt + QStringLiteral("#))");
    const QString plainAll = QStringLiteral("Delete From ") + T;

    PurgePlan plan;
    if (provider == QLatin1String("MICROSOFT.JET.OLEDB.4.0")) {
        plan = {deleteAll ? bracketAll : bracketHash, PurgeRun::Execute};
    } else if (provider == QLatin1String("MICROSOFT.ACE.OLEDB.12.0")) {
        const bool excel = type == QLatin1String("EXCEL") || type == QLatin1String("EXCEL2007");
        plan = {deleteAll ? bracketAll : bracketHash,
                excel ? PurgeRun::PrepareThenDirect : PurgeRun::Execute};
    } else if (provider == QLatin1String("SQLOLEDB.1")) {
        plan = {deleteAll ? bracketAll
                          : bracketAll + QStringLiteral(" Where (((") + C + QStringLiteral(") < '") + Dt +
                                QStringLiteral("'))"),
                PurgeRun::Execute};
    } else if (provider == QLatin1String("MSDAORA.1")) {
        plan = {deleteAll ? plainAll
                          : plainAll + QStringLiteral(" Where (((") + C + QStringLiteral(") < to_date('") +
                                Df + QStringLiteral("', 'yyyy/MM/dd hh24:mi:ss')))"),
                PurgeRun::DirectThenCommit};
    } else if (provider == QLatin1String("MSDASQL.1")) {
        if (type == QLatin1String("EXCEL"))
            plan = {deleteAll ? bracketAll : bracketHash, PurgeRun::PrepareThenDirect};
        else
            plan = {deleteAll ? plainAll
                              : plainAll + QStringLiteral(" Where (((") + C + QStringLiteral(") < '") + Df +
                                    QStringLiteral("'))"),
                    PurgeRun::Execute};
    }
    return plan;
}

}  // namespace RecordSql
