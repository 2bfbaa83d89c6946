#include "saver/writers/GroupWork.h"

#include "common/ProgramHooks.h"
#include "saver/writers/WriterUtil.h"
#include "saver/writers/Writers.h"

namespace {

// The group's records, made where they are missing.
SaveGroupRecord& Records(int16_t groupIndex) {
    SaveGroupRecord& g = State().Group(groupIndex);
    g.S();
    g.R();
    return g;
}

}  // namespace

GroupWork::Waiter::Waiter(int16_t groupIndex) : Waiter(groupIndex, Records(groupIndex)) {}

GroupWork::Waiter::Waiter(int16_t groupIndex, const SaveGroupRecord& records)
    : index_(groupIndex),
      settings_(records.Settings),
      runState_(records.RunState),
      turn_(runState_->TargetTurn.Take()) {}

std::optional<GroupWork> GroupWork::TakeIfFree(int16_t groupIndex) {
    SaveGroupRecord& g = Records(groupIndex);
    std::optional<ado::Turn::Holder> turn = g.RunState->TargetTurn.TakeIfFree();
    if (!turn) return std::nullopt;
    return GroupWork(groupIndex, g.Settings, g.RunState, std::move(*turn));
}

ado::Task<void> CloseTargetConnection(int16_t groupIndex) {
    const GroupWork work = co_await GroupWork::Take(groupIndex);
    WriterUtil::CloseDBConnection(groupIndex);
    WriteLog(WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + work.R().ModuleName +
             QStringLiteral(" | Close database connection."));
}

ado::Task<void> PrepareTargetAtStart(int16_t groupIndex, int16_t purgeDays) {
    GroupWork work = co_await GroupWork::Take(groupIndex);
    const xSvcSettings& s = work.S();
    if (s.dbSDataBaseRootDir.isEmpty() && s.dbDBTypeName != QLatin1String("CSV"))
        co_await PrepareDB(work, false);
    if (s.dbSCSVDataBaseRootDir.isEmpty() && (s.dbDBTypeName == QLatin1String("CSV") || s.dbSIsSaveCSV)) {
        int16_t index = groupIndex;
        PrepareCSVDB(index, -1, 0);
    }
    if (purgeDays == -2 || purgeDays >= 0) co_await PurgeDatabase(work, purgeDays);
}
