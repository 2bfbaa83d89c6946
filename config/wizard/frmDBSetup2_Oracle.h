// The connection page of Oracle: service name, user name and password. On line the check opens
// the service and lists its tables; off line nothing is opened.
#pragma once
#include <QString>

#include "config/wizard/WizardPage.h"
#include "ui_frmDBSetup2_Oracle.h"

class frmDBSetup2_Oracle : public WizardConnectionPage, public Ui::frmDBSetup2_Oracle {
    Q_OBJECT
  public:
    explicit frmDBSetup2_Oracle(QWidget* parent = nullptr);

    QString mServiceName;   // trimmed
    QString mDataBaseName;  // emptied by loading, never set
    QString mUserName;
    QString mPassword;

    // Prepares the page (the caller shows it).
    void LoadFormObj();
    // The service name is needed; on line the service must open and hold a table.
    bool CheckFormObj() override;
    void SaveFormObj() override;

  protected:
    bool IsOffline() const override { return chkOffLineConfigDB->isChecked(); }
};
