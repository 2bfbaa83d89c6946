#include "config/groupedit/frmGroupConfig.h"

// Not built yet: the editor opens nothing.
frmGroupConfig::frmGroupConfig(QWidget* parent) : ConfigDialog(parent) {}

void frmGroupConfig::LoadFormObj(const QString&, bool) {
    mString.clear();
}

bool frmGroupConfig::CheckFormObj() {
    return true;
}

void frmGroupConfig::SaveFormObj() {}
