#include "config/wizard/DBSetupWizard.h"

// Not built yet: the wizard shows nothing and applies nothing.
namespace DBSetupWizard {

void RunDBSetupWizard(bool) {}

}  // namespace DBSetupWizard

void ApplyDBSetupWizard(SaveGroupRecord&) {}
