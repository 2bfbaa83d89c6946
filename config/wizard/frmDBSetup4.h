// The on-line field choice: the fields of the chosen table that the group will write are moved
// from the available list to the selected list (at most 255).
#pragma once
#include "config/wizard/WizardPage.h"
#include "ui_frmDBSetup4.h"

class frmDBSetup4 : public WizardPage, public Ui::frmDBSetup4 {
    Q_OBJECT
  public:
    explicit frmDBSetup4(QWidget* parent = nullptr);

    // Offers the listed fields; the selected list starts empty (the caller shows the page).
    void LoadFormObj();

    // Highlighted fields, or all, move to the end of the other list; a group holds at most 255.
    void cmdMove2Right_Click();
    void cmdAllMove2Right_Click();
    void cmdMove2Left_Click();
    void cmdAllMove2Left_Click();
    void lvFields_DblClick();
    void lvSelectedFields_DblClick();

  protected:
    WizardPage* LoadNextPage() override;
    WizardPage* PreviousPage() override;
};
