// Writing one record of a save group into its database table (or its CSV file).
#include "common/ADOUtil.h"
#include "common/DateUtil.h"
#include "common/DatetimeWithMilliSeconds.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/Texts.h"
#include "saver/SaverState.h"
#include "saver/writers/RecordSql.h"
#include "saver/writers/WriterUtil.h"
#include "saver/writers/Writers.h"

namespace {

const QString kNoConnection = QStringLiteral("The database connection is not open.");
const TextPair kStillHeld{"The file is held until its write-ahead log is folded back into it: ",
                          "檔案在其預寫日誌併回前仍被保留: "};

// The record under way in the group's run state, for the whole write: its time, fixed when it
// starts (the write-in-progress state, xRuntimeInfo::IsDBAppending).
class RecordUnderWay {
  public:
    RecordUnderWay(xRuntimeInfo& r, const DatetimeWithMilliSeconds& moment) : r_(r) {
        r_.RecordUnderWay = moment;
    }
    ~RecordUnderWay() {
        r_.RecordUnderWay.reset();
        r_.RecordWithServer.clear();
    }
    RecordUnderWay(const RecordUnderWay&) = delete;
    RecordUnderWay& operator=(const RecordUnderWay&) = delete;

  private:
    xRuntimeInfo& r_;
};

// The during-saving tag of the saver: 1 at the start of each record, 0 where a record ends while
// no other record, of any group, is under way.
class SavingMark {
  public:
    SavingMark() {
        ++Saver().RecordsUnderWay;
        Write(1);
    }
    ~SavingMark() { --Saver().RecordsUnderWay; }
    SavingMark(const SavingMark&) = delete;
    SavingMark& operator=(const SavingMark&) = delete;
    void Clear() const {
        if (Saver().RecordsUnderWay == 1) Write(0);
    }

  private:
    static void Write(double value) {
        const xTag& tag = State().DuringSavingTag;
        if (tag.IsDefined()) WriterUtil::WriteStatusTag(tag.UserParm, value);
    }
};

// The debug box before a statement; Cancel ends the program at once.
void SqlBox(const QString& statement) {
    if (State().DebugLevel <= 0) return;
    const int answer = MsgBox(QStringLiteral("SQLCommand:\r\n") + statement,
                              MsgStyle::OkCancel | MsgStyle::Information, QStringLiteral("SQL Command"));
    if (answer == MsgAnswer::Cancel) EndProcessNow(0);
}

// One statement on the record's connection: inside the record's own transaction when one is
// open, else through the shared executor (which adds the Jet transaction itself). Without a
// connection it fails with `noConnection`.
ado::Task<ADOUtil::CommandResult> ExecuteInRecord(std::shared_ptr<ado::Connection> conn, QString sql,
                                                  bool inTransaction, QString noConnection) {
    if (!conn) co_return ADOUtil::CommandResult{false, noConnection, 0};
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

// A database file that the group holds and that has left its path (moved, deleted or replaced)
// is let go, with one log line, so that the preparation opens what the path names now. Empty, or
// why the record cannot be written: the file is still held.
QString LetGoOfFileThatLeft(const xSvcSettings& s, xRuntimeInfo& r) {
    if (!WriterUtil::IsOpen(r.conn)) return QString();
    const ado::FileChange change = r.conn->LetGoIfFileChanged();
    if (!change.changed) return QString();
    const QString& path = s.dbSDataBaseRootDir.isEmpty() ? s.dbFullPath : r.LastdbSFullPath;
    // Told once for each change; while another program holds the file, later records find it again.
    if (!change.toldBefore)
        WriteLog(
            WriterUtil::FileLeftLine(r.ModuleName, WriterUtil::HeldFile::Database, path, change.missing));
    return change.refusal.isEmpty() ? QString() : Tx(kStillHeld) + change.refusal;
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
    xRuntimeInfo& r = g.R();

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
    // The record's time is fixed here: nothing of it reads the schedule once it has waited.
    const DatetimeWithMilliSeconds moment = RecordMoment(r, recordTime);
    std::optional<GroupWork> work = GroupWork::TakeIfFree(groupIndex);
    if (!work) {
        r.CountLostRecord(moment);
        co_return;
    }
    const RecordUnderWay underWay(r, moment);
    const SavingMark saving;
    // A fast group's slot, for its CSV copy.
    const DatetimeWithMilliSeconds* slot =
        IsRecordTimeSentinel(recordTime) && r.IsHighSpeedSaver ? &moment : nullptr;

    // A CSV record takes its time and texts in the CSV writer.
    if (s.dbDBTypeName == QLatin1String("CSV")) {
        SaveRecordToCSV(groupIndex, true, true, recordTime);
        // The CSV writer sets the during-saving tag but never clears it.
        saving.Clear();
        co_return;
    }
    const RecordTime time = TimeOfRecord(r, recordTime);
    const QString& timeText = time.text;

    WriterUtil::GetFieldValues(groupIndex);

    const bool excel = WriterUtil::IsExcelTarget(s);
    // A file still held after it has left its path fails the record, without a connection, and
    // so does a target that cannot be prepared: each with its cause.
    const QString heldWhy = LetGoOfFileThatLeft(s, r);
    const bool held = !heldWhy.isEmpty();
    QString unprepared = heldWhy;
    if (!held) {
        if (!s.dbSDataBaseRootDir.isEmpty()) {
            co_await PrepareRootDir(*work, &unprepared);
        } else {
            if (excel && s.dbSKeepConnectionAliveAfterSaveDataForExcel != 1)
                co_await PrepareDB(*work, false, &unprepared);
            if (!WriterUtil::IsOpen(r.conn)) co_await PrepareDB(*work, false, &unprepared);
        }
        // A connection left open by a failed check is not used: the next record prepares again.
        if (!unprepared.isEmpty()) CloseIfOpen(r.conn);
    }
    // The connection of this record, whatever happens to the group's meanwhile.
    const std::shared_ptr<ado::Connection> conn = unprepared.isEmpty() ? r.conn : nullptr;
    const QString noConnection = unprepared.isEmpty() ? kNoConnection : unprepared;

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
        const ADOUtil::CommandResult cleared =
            co_await ExecuteInRecord(conn, clear, inTransaction, noConnection);
        if (excel) WriteLog(prefix + QStringLiteral("After Exec Delete SQLCommand."));
        if (!cleared.ok) {
            if (inTransaction) co_await Rollback(conn);
            WriteLog(timeText + QStringLiteral(" | Error | Ledgrix.") + r.ModuleName + QStringLiteral(" | ") +
                     QStringLiteral(" Fail!! Clear Database, SQL Command:") + clear + mode);
            WriteLog(QStringLiteral("Error Description = ") + cleared.errorText);
            CloseIfOpen(conn);
            if (excel && !held) {
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
                                                : noConnection,
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
        outcome = co_await ExecuteInRecord(conn, statement, inTransaction, noConnection);
        if (inTransaction) {
            if (outcome.ok) {
                try {
                    co_await conn->CommitTransAsync();
                } catch (const ado::Error& e) {
                    outcome = ADOUtil::CommandResult::Failed(e);
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
        // A statement that was with the server when it failed may still be carried out.
        WriteLog(failureLine + (outcome.outcomeUnknown ? WriterUtil::OutcomeUnknownNote() : QString()));
        WriteLog(QStringLiteral("Error Description = ") + outcome.errorText);
        CloseIfOpen(conn);
    }

    if (s.dbSIsSaveCSV) SaveRecordToCSV(groupIndex, false, false, recordTime, slot);
    saving.Clear();
    if (excel && s.dbSKeepConnectionAliveAfterSaveDataForExcel != 1)
        WriterUtil::CloseDBConnection(groupIndex);
    if (State().DebugLevel >= 1)
        MsgBox(QStringLiteral("Ledgrix存檔完畢!"), MsgStyle::Information, QStringLiteral("Ledgrix存檔完畢"));
}
