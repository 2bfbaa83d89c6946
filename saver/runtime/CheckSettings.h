// The saver's checks of the save-group settings at start: reads every group's file, resolves
// the tag handles, completes a few settings and refuses what the saver cannot run.
#pragma once

void CheckSaveGroupSettings();
