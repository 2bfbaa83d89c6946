// The off-line table page: the table (for workbooks, the sheet) name is typed.
#pragma once
#include <QString>

#include "config/wizard/WizardPage.h"
#include "ui_frmOfflineDBSetup3.h"

class frmOfflineDBSetup3 : public WizardPage, public Ui::frmOfflineDBSetup3 {
    Q_OBJECT
  public:
    explicit frmOfflineDBSetup3(QWidget* parent = nullptr);

    QString mTableName;  // trimmed

    // Empties the name (the caller shows the page).
    void LoadFormObj();
    // The name must not be blank; the box shows it trimmed.
    bool CheckFormObj() override;
    void SaveFormObj() override;

  protected:
    WizardPage* LoadNextPage() override;
    WizardPage* PreviousPage() override;
};
