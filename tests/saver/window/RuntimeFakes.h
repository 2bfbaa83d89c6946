// Fakes of the runtime and writer procedures that the window calls.
#pragma once
#include <cstdint>
#include <vector>

namespace Fakes {
struct AppendCall {
    int16_t group;
    double recordTime;
};
extern std::vector<AppendCall> appendCalls;
extern int refreshCount;
extern int timerTicks;
void Reset();
}  // namespace Fakes
