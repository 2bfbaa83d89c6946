// The on-line table page: the table (for workbooks, the sheet) is chosen from the listed names,
// or typed; the check lists its fields for the next page.
#pragma once
#include <QString>

#include "config/wizard/WizardPage.h"
#include "ui_frmDBSetup3.h"

class frmDBSetup3 : public WizardPage, public Ui::frmDBSetup3 {
    Q_OBJECT
  public:
    explicit frmDBSetup3(QWidget* parent = nullptr);

    QString mTableName;  // the chosen table or sheet, as shown in the box

    // Offers the tables that the connection page listed (the caller shows the page).
    void LoadFormObj();
    // The table must have fields; they are listed for the next page.
    bool CheckFormObj() override;
    void SaveFormObj() override;

  protected:
    WizardPage* LoadNextPage() override;
    WizardPage* PreviousPage() override;
};
