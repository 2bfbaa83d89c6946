// What a tag change means to the saver: enabling or disabling a save group, triggering a record,
// requesting a purge, stopping the saver.
#pragma once
#include <cstdint>

// Handles every role of bank entry `index` with the tag's current value.
void ProcessTagChange(int32_t& index);
