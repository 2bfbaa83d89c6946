// The programs' start-up test of the runtime folder, which holds the caption locks and the HMI
// runtime's socket: a folder another user may write to could carry a false runtime.
#pragma once
#include <QString>

#include "platform/captions/RuntimeFolder.h"

// "The runtime folder [<path>] cannot be used: <what is wrong>", in the program's language.
QString RuntimeFolderFaultText(const RuntimeFolderState& state);

// Makes the runtime folder when missing; when it is not usable, a critical box names the folder
// and what is wrong with it, and the program ends through its orderly exit with -1.
void RefuseUnusableRuntimeFolder();
