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
ado::Task<bool> EnsureConnection(GroupWork& work) {
    if (WriterUtil::IsOpen(work.R().conn)) co_return true;
    co_await PrepareDB(work, false);
    co_return WriterUtil::IsOpen(work.R().conn);
}

}  // namespace

ado::Task<void> PurgeDatabase(int16_t groupIndex, int16_t keepDays) {
    GroupWork work = co_await GroupWork::Take(groupIndex);
    co_await PurgeDatabase(work, keepDays);
}

ado::Task<void> PurgeDatabase(GroupWork& work, int16_t keepDays) {
    xSvcSettings& s = work.S();
    xRuntimeInfo& r = work.R();
    // Dispersed files are never purged; CSV files have no table to purge.
    if (!s.dbSDataBaseRootDir.isEmpty()) co_return;
    if (s.dbDBTypeName == QLatin1String("CSV")) co_return;

    ADOUtil::CommandResult result{false, QString(), 0};
    if (keepDays == -2 || keepDays >= 0) {
        const double cutOff = DateUtil::Today() - (keepDays == -2 ? 0 : keepDays);
        const RecordSql::PurgePlan plan = RecordSql::PurgeStatement(s, keepDays == -2, cutOff);
        switch (plan.run) {
            case RecordSql::PurgeRun::Execute:
                if (co_await EnsureConnection(work)) {
                    const std::shared_ptr<ado::Connection> conn = r.conn;
                    result = co_await ADOUtil::ExecuteSQLCommandAsync(*conn, plan.statement);
                } else {
                    result.errorText = kNoConnection;
                }
                break;
            case RecordSql::PurgeRun::PrepareThenDirect:
                co_await PrepareDB(work, false);
                if (const std::shared_ptr<ado::Connection> conn = r.conn; WriterUtil::IsOpen(conn))
                    result = co_await ADOUtil::ExecuteStatementsAsync(*conn, QStringList(plan.statement));
                else
                    result.errorText = kNoConnection;
                r.rs.reset();
                r.conn.reset();
                break;
            case RecordSql::PurgeRun::DirectThenCommit:
                if (co_await EnsureConnection(work)) {
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
