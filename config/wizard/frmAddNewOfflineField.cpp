#include "config/wizard/frmAddNewOfflineField.h"

// Not built yet: the dialog returns at once, as if cancelled.
frmAddNewOfflineField::frmAddNewOfflineField(QWidget* parent) : ConfigDialog(parent) {}

void frmAddNewOfflineField::LoadFormObj(bool, bool, bool, const QString&, const QString&, const QString&,
                                        const QString&, const QString&, const QString&, bool) {
    mString.clear();
}

bool frmAddNewOfflineField::CheckFormObj() {
    return true;
}

void frmAddNewOfflineField::SaveFormObj() {}
