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
    ~AppendingGuard() {
        r_->IsDBAppending = false;
        r_->RecordWithServer.clear();
    }
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

// One statement on the record's connection: inside the record's own transaction when one is
// open, else through the shared executor (which adds the Jet transaction itself).
ado::Task<ADOUtil::CommandResult> RunStatement(std::shared_ptr<ado::Connection> conn, QString sql,
                                               bool inTransaction) {
    if (!conn) co_return ADOUtil::CommandResult{false, kNoConnection, 0};
    if (!inTransaction) co_return co_await ADOUtil::ExecuteSQLCommandAsync(*conn, sql);
    co_return co_await ADOUtil::ExecuteStatementsAsync(*conn, QStringList(sql));
}

ado::Task<bool> BeginTransaction(std::shared_ptr<ado::Connection> conn) {
    if (!WriterUtil::IsOpen(conn)) co_return false;
    try {
        co_await conn->BeginTransAsync();
    } catch (const ado::Error&) {
        co_return false;  // the provider has no transactions: statements run one by one
    }
    co_return true;
}

ado::Task<void> Rollback(std::shared_ptr<ado::Connection> conn) {
    try {
        if (conn) co_await conn->RollbackTransAsync();
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

// The record's slot (the sentinel) or time, with a fast group's milliseconds.
DatetimeWithMilliSeconds RecordMoment(const xRuntimeInfo& r, double recordTime) {
    DatetimeWithMilliSeconds t;
    if (!IsRecordTimeSentinel(recordTime))
        t.SetTo(recordTime, Numbers::Fixed4{});
    else if (r.IsHighSpeedSaver)
        t.CopyFrom(r.TargetSaveTimeWithMilliSeconds);
    else
        t.SetTo(r.TargetSaveTime, Numbers::Fixed4{});
    return t;
}

}  // namespace

ado::Task<void> DBAppend(int16_t groupIndex, double recordTime) {
    SaveGroupRecord& g = State().Group(groupIndex);
    xSvcSettings& s = g.S();
    g.R();
    // The group's records stay while the record waits for the server.
    const std::shared_ptr<xSvcSettings> settings = g.Settings;
    const std::shared_ptr<xRuntimeInfo> runState = g.RunState;
    xRuntimeInfo& r = *runState;

    if (g.FieldCount == 0) WriterUtil::NoFieldsExit();

    if (!s.dbSEnableTag.Name.isEmpty() && r.IsDisableDBAppend) {
        WriteLog(TimeOfRecord(r, recordTime).text + QStringLiteral("  | Message | Ledgrix.") + r.ModuleName +
                 QStringLiteral(" | ") + QStringLiteral(" Action!") + QStringLiteral("(dbEnableTag = ") +
                 s.dbSEnableTag.Name + QStringLiteral(" = ") + QStringLiteral("0") + QStringLiteral("), "));
        co_return;
    }

    // A write entered while the group's target is busy (another write of the group, or a
    // preparation or purge waiting for its server, or window messages processed during a write)
    // drops its record and counts it as an overrun, before it can touch the connection or the
    // table of the work under way.
    if (r.IsTargetBusy()) {
        r.CountLostRecord(RecordMoment(r, recordTime));
        co_return;
    }
    const ado::Turn::Holder turn = co_await r.TargetTurn.Take();
    AppendingGuard appending(runState);
    r.RecordUnderWay = RecordMoment(r, recordTime);

    const xTag& duringSaving = State().DuringSavingTag;
    if (duringSaving.IsDefined()) WriterUtil::WriteStatusTag(duringSaving.UserParm, 1);

    // A CSV record takes its time and texts in the CSV writer.
    if (s.dbDBTypeName == QLatin1String("CSV")) {
        SaveRecordToCSV(groupIndex, true, true, recordTime);
        // The CSV writer sets the during-saving tag but never clears it.
        if (duringSaving.IsDefined()) WriterUtil::WriteStatusTag(duringSaving.UserParm, 0);
        co_return;
    }
    const RecordTime time = TimeOfRecord(r, recordTime);
    const QString& timeText = time.text;

    WriterUtil::GetFieldValues(groupIndex);

    const bool excel = WriterUtil::IsExcelTarget(s);
    if (!s.dbSDataBaseRootDir.isEmpty()) {
        co_await PrepareRootDir(groupIndex);
    } else {
        if (excel && s.dbSKeepConnectionAliveAfterSaveDataForExcel != 1)
            co_await PrepareDBInTurn(groupIndex, false);
        if (!WriterUtil::IsOpen(r.conn)) co_await PrepareDBInTurn(groupIndex, false);
    }
    // The connection of this record, whatever happens to the group's meanwhile.
    const std::shared_ptr<ado::Connection> conn = r.conn;

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
        inTransaction = co_await BeginTransaction(conn);
        const ADOUtil::CommandResult cleared = co_await RunStatement(conn, clear, inTransaction);
        if (excel) WriteLog(prefix + QStringLiteral("After Exec Delete SQLCommand."));
        if (!cleared.ok) {
            if (inTransaction) co_await Rollback(conn);
            WriteLog(timeText + QStringLiteral(" | Error | Ledgrix.") + r.ModuleName + QStringLiteral(" | ") +
                     QStringLiteral(" Fail!! Clear Database, SQL Command:") + clear + mode);
            WriteLog(QStringLiteral("Error Description = ") + cleared.errorText);
            CloseIfOpen(conn);
            if (excel) {
                r.rs.reset();
                r.conn.reset();
            }
            co_return;
        }
        WriteLog(prefix + QStringLiteral("Clear Database, SQL Command:") + clear + mode);
    }

    bool isUpdate = false;
    ADOUtil::CommandResult outcome;
    QString statement;
    if (s.dbSWriteMode == 0 || s.dbSWriteMode == 1) {
        statement = RecordSql::InsertStatement(s, parts);
    } else {
        const QString probe = RecordSql::ProbeStatement(s);
        std::shared_ptr<ado::Recordset> rs;
        if (WriterUtil::IsOpen(conn)) rs = co_await ADOUtil::OpenRecordsetAsync(*conn, probe);
        if (!rs) {
            // The table cannot be read: the record fails like a failed update.
            isUpdate = true;
            statement = probe;
            outcome = {false,
                       WriterUtil::IsOpen(conn) ? QStringLiteral("Can not read the table: ") + s.dbTableName
                                                : kNoConnection,
                       0};
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

    const QString failureLine = timeText + QStringLiteral(" | Error | Ledgrix. ") + r.ModuleName +
                                QStringLiteral(" | ") +
                                (isUpdate ? QStringLiteral("Fail!! Update Database, SQL Command:")
                                          : QStringLiteral("Fail!! Append to Database, SQL Command:")) +
                                statement + mode;
    if (outcome.ok) {
        SqlBox(statement);
        if (excel)
            WriteLog(prefix + QStringLiteral("Before Exec Insert SQLCommand. (SQL Command=") + statement +
                     u')');
        r.RecordWithServer = failureLine;
        outcome = co_await RunStatement(conn, statement, inTransaction);
        if (inTransaction) {
            if (outcome.ok) {
                try {
                    co_await conn->CommitTransAsync();
                } catch (const ado::Error& e) {
                    outcome = {false, e.Description, e.Number};
                }
                if (!outcome.ok) co_await Rollback(conn);
            } else {
                co_await Rollback(conn);
            }
        }
        r.RecordWithServer.clear();
        if (excel) WriteLog(prefix + QStringLiteral("After Exec Insert SQLCommand."));
    }

    if (outcome.ok) {
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
        // A statement given up after its timeout may still be carried out by the server.
        WriteLog(failureLine +
                 (outcome.errorNumber == ado::adErrTimeout ? WriterUtil::OutcomeUnknownNote() : QString()));
        WriteLog(QStringLiteral("Error Description = ") + outcome.errorText);
        CloseIfOpen(conn);
    }

    if (s.dbSIsSaveCSV) SaveRecordToCSV(groupIndex, false, false, recordTime);
    if (duringSaving.IsDefined()) WriterUtil::WriteStatusTag(duringSaving.UserParm, 0);
    if (excel && s.dbSKeepConnectionAliveAfterSaveDataForExcel != 1)
        WriterUtil::CloseDBConnection(groupIndex);
    if (State().DebugLevel >= 1)
        MsgBox(QStringLiteral("Ledgrix存檔完畢!"), MsgStyle::Information, QStringLiteral("Ledgrix存檔完畢"));
}
