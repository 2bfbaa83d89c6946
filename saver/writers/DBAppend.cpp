// Writing one record of a save group into its database table (or its CSV file).
#include "common/ADOUtil.h"
#include "common/DateUtil.h"
#include "common/DatetimeWithMilliSeconds.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "saver/SaverState.h"
#include "saver/writers/RecordSql.h"
#include "saver/writers/WriterUtil.h"
#include "saver/writers/Writers.h"

namespace {

const QString kNoConnection = QStringLiteral("The database connection is not open.");

// Holds the group's write-in-progress flag for the whole write.
class AppendingGuard {
  public:
    explicit AppendingGuard(std::shared_ptr<xRuntimeInfo> r) : r_(std::move(r)) { r_->IsDBAppending = true; }
    ~AppendingGuard() { r_->IsDBAppending = false; }
    AppendingGuard(const AppendingGuard&) = delete;
    AppendingGuard& operator=(const AppendingGuard&) = delete;

  private:
    std::shared_ptr<xRuntimeInfo> r_;
};

// The debug box before a statement; Cancel ends the program at once.
void SqlBox(const QString& statement) {
    if (State().DebugLevel <= 0) return;
    const int answer = MsgBox(QStringLiteral("SQLCommand:\r\n") + statement,
                              MsgStyle::OkCancel | MsgStyle::Information, QStringLiteral("SQL Command"));
    if (answer == MsgAnswer::Cancel) EndProcessNow(0);
}

// One statement on the group's connection: inside the record's own transaction when one is
// open, else through the shared executor (which adds the Jet transaction itself).
bool RunStatement(std::shared_ptr<ado::Connection>& conn, const QString& sql, QString& errorText,
                  bool inTransaction) {
    if (!conn) {
        errorText = kNoConnection;
        return false;
    }
    if (!inTransaction) return ADOUtil::ExecuteSQLCommand(conn, sql, errorText);
    try {
        conn->Execute(sql, -1);
        return true;
    } catch (const ado::Error& e) {
        errorText = e.Description;
        return false;
    }
}

bool BeginTransaction(const std::shared_ptr<ado::Connection>& conn) {
    if (!WriterUtil::IsOpen(conn)) return false;
    try {
        conn->BeginTrans();
        return true;
    } catch (const ado::Error&) {
        return false;  // the provider has no transactions: statements run one by one
    }
}

void Rollback(const std::shared_ptr<ado::Connection>& conn) {
    try {
        if (conn) conn->RollbackTrans();
    } catch (const ado::Error&) {
    }
}

void CloseIfOpen(const std::shared_ptr<ado::Connection>& conn) {
    if (!WriterUtil::IsOpen(conn)) return;
    try {
        conn->Close();
    } catch (const ado::Error&) {
    }
}

// The time of a database record and its text; every log line of the record starts with it. A
// fast group's slot keeps its milliseconds; any other time becomes the whole second its text
// reads back as.
struct RecordTime {
    QString text;
    QString msLiteral;  // the slot's text, for the record-time fields of a fast group
    double msWholeSeconds = 0;
};

RecordTime TimeOfRecord(const xRuntimeInfo& r, double& recordTime) {
    RecordTime t;
    const bool sentinel = IsRecordTimeSentinel(recordTime);
    if (sentinel && r.IsHighSpeedSaver) {
        DatetimeWithMilliSeconds slot;
        slot.CopyFrom(r.TargetSaveTimeWithMilliSeconds);
        t.text = slot.FormatString(QStringLiteral("yyyy/MM/dd HH:mm:ss.ms AMPM"));
        t.msLiteral = t.text;
        t.msWholeSeconds = slot.DateTime();
    } else {
        const double base = sentinel ? r.TargetSaveTime : recordTime;
        t.text = WriterUtil::LogTime(base);
        // A whole second reads back from its text as itself.
        recordTime = DateUtil::IsWholeSecond(base) ? base : DateUtil::Parse(t.text).value_or(base);
    }
    return t;
}

}  // namespace

void DBAppend(int16_t groupIndex, double& recordTime) {
    SaveGroupRecord& g = State().Group(groupIndex);
    xSvcSettings& s = g.S();
    g.R();
    const std::shared_ptr<xRuntimeInfo> runState = g.RunState;
    xRuntimeInfo& r = *runState;

    if (g.FieldCount == 0) WriterUtil::NoFieldsExit();

    if (!s.dbSEnableTag.Name.isEmpty() && r.IsDisableDBAppend) {
        WriteLog(TimeOfRecord(r, recordTime).text + QStringLiteral("  | Message | Ledgrix.") + r.ModuleName +
                 QStringLiteral(" | ") + QStringLiteral(" Action!") + QStringLiteral("(dbEnableTag = ") +
                 s.dbSEnableTag.Name + QStringLiteral(" = ") + QStringLiteral("0") + QStringLiteral("), "));
        return;
    }

    // A write entered while another write of the group is under way (window messages are
    // processed during a write) drops its record and counts it as an overrun, before it can
    // touch the connection or the table of the outer write.
    if (r.IsDBAppending) {
        if (r.CountinuousOverrunCount < INT16_MAX) ++r.CountinuousOverrunCount;
        return;
    }
    AppendingGuard appending(runState);

    const xTag& duringSaving = State().DuringSavingTag;
    if (duringSaving.IsDefined()) WriterUtil::WriteStatusTag(duringSaving.UserParm, 1);

    // A CSV record takes its time and texts in the CSV writer.
    if (s.dbDBTypeName == QLatin1String("CSV")) {
        SaveRecordToCSV(groupIndex, true, true, recordTime);
        // The CSV writer sets the during-saving tag but never clears it.
        if (duringSaving.IsDefined()) WriterUtil::WriteStatusTag(duringSaving.UserParm, 0);
        return;
    }
    const RecordTime time = TimeOfRecord(r, recordTime);
    const QString& timeText = time.text;

    WriterUtil::GetFieldValues(groupIndex);

    const bool excel = WriterUtil::IsExcelTarget(s);
    if (!s.dbSDataBaseRootDir.isEmpty()) {
        PrepareRootDir(groupIndex);
    } else {
        int16_t index = groupIndex;
        if (excel && s.dbSKeepConnectionAliveAfterSaveDataForExcel != 1) PrepareDB(index, false);
        if (!WriterUtil::IsOpen(r.conn)) PrepareDB(index, false);
    }

    const RecordSql::RecordParts parts = RecordSql::BuildRecordParts(
        g, recordTime, time.msLiteral, time.msWholeSeconds, Saver().RunMode == QLatin1String("ONCE"));
    const QString prefix =
        timeText + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName + QStringLiteral(" | ");
    const QString mode = u'(' + QString::number(s.dbSWriteMode) + u')';

    // Write mode 1: the clear and the insert form one transaction, so a failed insert leaves
    // the previous record in place.
    bool inTransaction = false;
    if (s.dbSWriteMode == 1) {
        const QString clear = RecordSql::ClearStatement(s);
        SqlBox(clear);
        if (excel) {
            WriteLog(prefix + QStringLiteral("SQLCommand: ") + clear);
            WriteLog(prefix + QStringLiteral("Before Exec Delete SQLCommand."));
        }
        inTransaction = BeginTransaction(r.conn);
        QString error;
        const bool ok = RunStatement(r.conn, clear, error, inTransaction);
        if (excel) WriteLog(prefix + QStringLiteral("After Exec Delete SQLCommand."));
        if (!ok) {
            if (inTransaction) Rollback(r.conn);
            WriteLog(timeText + QStringLiteral(" | Error | Ledgrix.") + r.ModuleName + QStringLiteral(" | ") +
                     QStringLiteral(" Fail!! Clear Database, SQL Command:") + clear + mode);
            WriteLog(QStringLiteral("Error Description = ") + error);
            CloseIfOpen(r.conn);
            if (excel) {
                r.rs.reset();
                r.conn.reset();
            }
            return;
        }
        WriteLog(prefix + QStringLiteral("Clear Database, SQL Command:") + clear + mode);
    }

    bool isUpdate = false;
    bool ok = true;
    QString error;
    QString statement;
    if (s.dbSWriteMode == 0 || s.dbSWriteMode == 1) {
        statement = RecordSql::InsertStatement(s, parts);
    } else {
        const QString probe = RecordSql::ProbeStatement(s);
        std::shared_ptr<ado::Recordset> rs;
        if (WriterUtil::IsOpen(r.conn)) rs = ADOUtil::OpenRecordset(r.conn, probe);
        if (!rs) {
            // The table cannot be read: the record fails like a failed update.
            isUpdate = true;
            ok = false;
            statement = probe;
            error = WriterUtil::IsOpen(r.conn) ? QStringLiteral("Can not read the table: ") + s.dbTableName
                                               : kNoConnection;
        } else {
            isUpdate = rs->RecordCount() > 0;
            try {
                rs->Close();
            } catch (const ado::Error&) {
            }
            statement =
                isUpdate ? RecordSql::UpdateStatement(s, parts) : RecordSql::InsertStatement(s, parts);
        }
    }

    if (ok) {
        SqlBox(statement);
        if (excel)
            WriteLog(prefix + QStringLiteral("Before Exec Insert SQLCommand. (SQL Command=") + statement +
                     u')');
        ok = RunStatement(r.conn, statement, error, inTransaction);
        if (inTransaction) {
            if (ok) {
                try {
                    r.conn->CommitTrans();
                } catch (const ado::Error& e) {
                    ok = false;
                    error = e.Description;
                    Rollback(r.conn);
                }
            } else {
                Rollback(r.conn);
            }
        }
        if (excel) WriteLog(prefix + QStringLiteral("After Exec Insert SQLCommand."));
    }

    if (ok) {
        r.NumRecordsSaved += 1;
        WriterUtil::ShowRecordCount(groupIndex);
        QString countPrefix = prefix;
        const xTag& countTag = s.dbSNumRecordsSavedTag;
        if (countTag.IsDefined()) {
            WriterUtil::WriteStatusTag(countTag.UserParm, r.NumRecordsSaved);
            countPrefix += countTag.Name + QStringLiteral(" = ") + Numbers::NumberText(r.NumRecordsSaved) +
                           QStringLiteral(", ");
        }
        WriteLog(countPrefix +
                 (isUpdate ? QStringLiteral("Update Database, SQL Command:")
                           : QStringLiteral("Append to Database, SQL Command:")) +
                 statement + mode);
    } else {
        WriteLog(timeText + QStringLiteral(" | Error | Ledgrix. ") + r.ModuleName + QStringLiteral(" | ") +
                 (isUpdate ? QStringLiteral("Fail!! Update Database, SQL Command:")
                           : QStringLiteral("Fail!! Append to Database, SQL Command:")) +
                 statement + mode);
        WriteLog(QStringLiteral("Error Description = ") + error);
        CloseIfOpen(r.conn);
    }

    if (s.dbSIsSaveCSV) SaveRecordToCSV(groupIndex, false, false, recordTime);
    if (duringSaving.IsDefined()) WriterUtil::WriteStatusTag(duringSaving.UserParm, 0);
    if (excel && s.dbSKeepConnectionAliveAfterSaveDataForExcel != 1)
        WriterUtil::CloseDBConnection(groupIndex);
    if (State().DebugLevel >= 1)
        MsgBox(QStringLiteral("Ledgrix存檔完畢!"), MsgStyle::Information, QStringLiteral("Ledgrix存檔完畢"));
}
