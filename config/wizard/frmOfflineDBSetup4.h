// The off-line field list, the last page of the off-line and CSV paths: fields are added in the
// off-line field dialog, edited in the field dialog and deleted (at most 255); Finish ends the
// wizard with "完成".
#pragma once
#include "config/wizard/WizardPage.h"
#include "ui_frmOfflineDBSetup4.h"

class frmOfflineDBSetup4 : public WizardPage, public Ui::frmOfflineDBSetup4 {
    Q_OBJECT
  public:
    explicit frmOfflineDBSetup4(QWidget* parent = nullptr);

    // mString: "完成" after Finish; the wizard's harvest empties it before a run.
    bool mbSaveCSV = false;  // the group writes CSV (a CSV copy or the CSV type)

    // Starts with an empty list (the caller shows the page).
    void LoadFormObj();
    // Adds a field through the off-line field dialog; names differing only in letter case clash.
    void AddNewField();
    // Edits the selected row in the field dialog; its name stays.
    void EditField();
    // Removes the selected row.
    void DeleteField();
    // Edit and Delete need a selected row.
    void RefreshFormObj();

  protected:
    WizardPage* PreviousPage() override;
    bool ConfirmFinish() override;

  private:
    bool IsCSV() const;
};
