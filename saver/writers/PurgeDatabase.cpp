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
ado::Task<bool> EnsureConnection(int16_t groupIndex, xRuntimeInfo& r) {
    if (WriterUtil::IsOpen(r.conn)) co_return true;
    co_await PrepareDBInTurn(groupIndex, false);
    co_return WriterUtil::IsOpen(r.conn);
}

}  // namespace

ado::Task<void> PurgeDatabase(int16_t groupIndex, int16_t keepDays) {
    SaveGroupRecord& g = State().Group(groupIndex);
    xSvcSettings& s = g.S();
    g.R();
    // The group's records stay while the purge waits for the server.
    const std::shared_ptr<xSvcSettings> settings = g.Settings;
    const std::shared_ptr<xRuntimeInfo> runState = g.RunState;
    xRuntimeInfo& r = *runState;

    // Dispersed files are never purged; CSV files have no table to purge.
    if (!s.dbSDataBaseRootDir.isEmpty()) co_return;
    if (s.dbDBTypeName == QLatin1String("CSV")) co_return;

    const ado::Turn::Holder turn = co_await r.TargetTurn.Take();
    ADOUtil::CommandResult result{false, QString(), 0};
    if (keepDays == -2 || keepDays >= 0) {
        const double cutOff = DateUtil::Today() - (keepDays == -2 ? 0 : keepDays);
        const RecordSql::PurgePlan plan = RecordSql::PurgeStatement(s, keepDays == -2, cutOff);
        switch (plan.run) {
            case RecordSql::PurgeRun::Execute:
                if (co_await EnsureConnection(groupIndex, r)) {
                    const std::shared_ptr<ado::Connection> conn = r.conn;
                    result = co_await ADOUtil::ExecuteSQLCommandAsync(*conn, plan.statement);
                } else {
                    result.errorText = kNoConnection;
                }
                break;
            case RecordSql::PurgeRun::PrepareThenDirect:
                co_await PrepareDBInTurn(groupIndex, false);
                if (const std::shared_ptr<ado::Connection> conn = r.conn; WriterUtil::IsOpen(conn))
                    result = co_await ADOUtil::ExecuteStatementsAsync(*conn, QStringList(plan.statement));
                else
                    result.errorText = kNoConnection;
                r.rs.reset();
                r.conn.reset();
                break;
            case RecordSql::PurgeRun::DirectThenCommit:
                if (co_await EnsureConnection(groupIndex, r)) {
                    const std::shared_ptr<ado::Connection> conn = r.conn;
                    const QStringList statements{plan.statement, QStringLiteral("Commit")};
                    result = co_await ADOUtil::ExecuteStatementsAsync(*conn, statements);
                } else {
                    result.errorText = kNoConnection;
                }
                break;
            case RecordSql::PurgeRun::Unknown:
                break;
        }
    }

    const QString now = WriterUtil::NowText();
    if (result.ok) {
        WriteLog(now + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName + QStringLiteral(" | ") +
                 QStringLiteral("Purge Action! PurgeKeepDays=") + QString::number(keepDays));
    } else {
        WriteLog(now + QStringLiteral(" | Error | Ledgrix.") + r.ModuleName + QStringLiteral(" | ") +
                 QStringLiteral("Purge Fail! PurgeKeepDays=") + QString::number(keepDays));
        WriteLog(QStringLiteral("Error Description = ") + result.errorText);
    }
}
