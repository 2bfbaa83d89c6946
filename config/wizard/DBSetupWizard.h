// The database setup wizard: its pages run one after another from one loop, each ending with
// its choice (Next, Previous, Cancel, Finish), and the answers stay in the pages' public fields.
#pragma once
#include "common/Settings.h"

namespace DBSetupWizard {

// Runs the wizard from its first page (frmDBSetup1.LoadFormObj with the off-line argument)
// until it ends with Finish or Cancel. Applies nothing.
void RunDBSetupWizard(bool tmpIsOfflineConfigDB);

// The connection that the answers so far give a group of the type: the type template's keys
// and what its connection page holds (the file, or the server and database, and the login).
void TakeConnectionAnswers(xSvcSettings& s, const QString& typeName);

}  // namespace DBSetupWizard

// Runs the wizard for the group open in the save-group editor and, when it ended with Finish,
// copies its answers into the group: the type template's keys, the file usage, the connection,
// the table and the fields with a tag (at most 255). The CSV file usage and options change only
// when the file-layout dialog was confirmed in this run. Cancel leaves the group as it was.
void ApplyDBSetupWizard(SaveGroupRecord& group);
