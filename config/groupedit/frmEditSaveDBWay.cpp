#include "config/groupedit/frmEditSaveDBWay.h"

// Not built yet: the dialog returns at once, as if cancelled.
frmEditSaveDBWay::frmEditSaveDBWay(QWidget* parent) : ConfigDialog(parent) {}

void frmEditSaveDBWay::LoadFormObj(bool tmpIsSaveCSV, bool tmpbFromDBSettingWizard, bool&) {
    mIsSaveCSV = tmpIsSaveCSV;
    mbFromDBSettingWizard = tmpbFromDBSettingWizard;
    mString.clear();
}

bool frmEditSaveDBWay::CheckFormObj() {
    return true;
}

void frmEditSaveDBWay::SaveFormObj() {}
