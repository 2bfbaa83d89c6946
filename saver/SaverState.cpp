#include "saver/SaverState.h"

#include <cstring>

namespace {
std::unique_ptr<SaverState> g_saver = std::make_unique<SaverState>();
}

SaverState& Saver() {
    return *g_saver;
}
void ResetSaverState() {
    g_saver = std::make_unique<SaverState>();
}

bool IsRecordTimeSentinel(double recordTime) {
    const double sentinel = kRecordTimeSentinel;
    return std::memcmp(&recordTime, &sentinel, sizeof(double)) == 0;
}
