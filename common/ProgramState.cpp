#include "common/ProgramState.h"

namespace {
std::unique_ptr<ProgramState> g_state = std::make_unique<ProgramState>();
}

ProgramState& State() {
    return *g_state;
}

void ResetState() {
    g_state = std::make_unique<ProgramState>();
}
