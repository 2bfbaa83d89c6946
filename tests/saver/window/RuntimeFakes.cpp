#include "tests/saver/window/RuntimeFakes.h"

#include "saver/runtime/FieldValues.h"
#include "saver/runtime/LedgrixMain.h"
#include "saver/runtime/LedgrixRuntimeUtil.h"
#include "saver/writers/Writers.h"

namespace Fakes {
std::vector<AppendCall> appendCalls;
int refreshCount = 0;
int timerTicks = 0;
void Reset() {
    appendCalls.clear();
    refreshCount = 0;
    timerTicks = 0;
}
}  // namespace Fakes

void LedgrixMain::MarkOrderlyEnd() {}

void RefreshTagView() {
    ++Fakes::refreshCount;
}

void tmrLedgrix_Timer() {
    ++Fakes::timerTicks;
}

ado::Task<void> DBAppend(int16_t groupIndex, double recordTime) {
    Fakes::appendCalls.push_back({groupIndex, recordTime});
    co_return;
}
