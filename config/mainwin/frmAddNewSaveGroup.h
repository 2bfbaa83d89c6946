// The name dialog of a new save group. OK refuses a name that cannot name a group or that a
// group of the workstation has already (also in another letter case, or through its settings
// file); the caller reads the trimmed name from txtSaveGroupName.
#pragma once
#include "config/forms/FormSupport.h"
#include "ui_frmAddNewSaveGroup.h"

class frmAddNewSaveGroup : public ConfigDialog, public Ui::frmAddNewSaveGroup {
    Q_OBJECT
  public:
    explicit frmAddNewSaveGroup(QWidget* parent = nullptr);

    // Empties the name and the result, sets the captions and shows the dialog modally.
    void LoadFormObj();
    bool CheckFormObj() override;
    void SaveFormObj() override {}
};
