// Purge of a save group's expired records.
#include "common/ADOUtil.h"
#include "common/DateUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "saver/writers/RecordSql.h"
#include "saver/writers/WriterUtil.h"
#include "saver/writers/Writers.h"

namespace {

const QString kNoConnection = QStringLiteral("The database connection is not open.");

// The group's connection, opened first when it was closed or released.
bool EnsureConnection(int16_t groupIndex, xRuntimeInfo& r) {
    if (WriterUtil::IsOpen(r.conn)) return true;
    int16_t index = groupIndex;
    PrepareDB(index, false);
    return WriterUtil::IsOpen(r.conn);
}

bool RunDirect(ado::Connection& conn, const QStringList& statements, QString& errorText) {
    try {
        for (const QString& sql : statements) conn.Execute(sql, -1);
        return true;
    } catch (const ado::Error& e) {
        errorText = e.Description;
        return false;
    }
}

}  // namespace

void PurgeDatabase(int16_t groupIndex, int16_t keepDays) {
    SaveGroupRecord& g = State().Group(groupIndex);
    xSvcSettings& s = g.S();
    xRuntimeInfo& r = g.R();

    // Dispersed files are never purged; CSV files have no table to purge.
    if (!s.dbSDataBaseRootDir.isEmpty()) return;
    if (s.dbDBTypeName == QLatin1String("CSV")) return;

    bool success = false;
    QString error;
    if (keepDays == -2 || keepDays >= 0) {
        const double cutOff = DateUtil::Today() - (keepDays == -2 ? 0 : keepDays);
        const RecordSql::PurgePlan plan = RecordSql::PurgeStatement(s, keepDays == -2, cutOff);
        switch (plan.run) {
            case RecordSql::PurgeRun::Execute:
                if (EnsureConnection(groupIndex, r))
                    success = ADOUtil::ExecuteSQLCommand(r.conn, plan.statement, error);
                else
                    error = kNoConnection;
                break;
            case RecordSql::PurgeRun::PrepareThenDirect: {
                int16_t index = groupIndex;
                PrepareDB(index, false);
                if (WriterUtil::IsOpen(r.conn))
                    success = RunDirect(*r.conn, {plan.statement}, error);
                else
                    error = kNoConnection;
                r.rs.reset();
                r.conn.reset();
                break;
            }
            case RecordSql::PurgeRun::DirectThenCommit:
                if (EnsureConnection(groupIndex, r))
                    success = RunDirect(*r.conn, {plan.statement, QStringLiteral("Commit")}, error);
                else
                    error = kNoConnection;
                break;
            case RecordSql::PurgeRun::Unknown:
                break;
        }
    }

    const QString now = WriterUtil::NowText();
    if (success) {
        WriteLog(now + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName + QStringLiteral(" | ") +
                 QStringLiteral("Purge Action! PurgeKeepDays=") + QString::number(keepDays));
    } else {
        WriteLog(now + QStringLiteral(" | Error | Ledgrix.") + r.ModuleName + QStringLiteral(" | ") +
                 QStringLiteral("Purge Fail! PurgeKeepDays=") + QString::number(keepDays));
        WriteLog(QStringLiteral("Error Description = ") + error);
    }
}
