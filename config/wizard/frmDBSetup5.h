// The last on-line page: every chosen field becomes a row bound to its data source (a tag and
// its part, or the system date-time) and formats through the field dialog; Finish ends the
// wizard with "完成".
#pragma once
#include "config/wizard/WizardPage.h"
#include "ui_frmDBSetup5.h"

class frmDBSetup5 : public WizardPage, public Ui::frmDBSetup5 {
    Q_OBJECT
  public:
    explicit frmDBSetup5(QWidget* parent = nullptr);

    // mString: "完成" after Finish; the wizard's harvest empties it before a run.

    // One row per selected field of the field page, with the tag kept for it across a Previous
    // (the caller shows the page).
    void LoadFormObj();
    // Edits the highlighted row in the field dialog.
    void lvFields_DblClick();

  protected:
    WizardPage* PreviousPage() override;
    bool ConfirmFinish() override;
};
