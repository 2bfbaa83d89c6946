#include "config/core/ConfigState.h"

#include "platform/ado/Ado.h"

namespace {
std::unique_ptr<ConfigState> g_config = std::make_unique<ConfigState>();
}

ConfigState& Config() {
    return *g_config;
}

void ResetConfigState() {
    g_config = std::make_unique<ConfigState>();
}
