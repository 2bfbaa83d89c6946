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

    QString mServiceName;  // trimmed
    QString mUserName;
    QString mPassword;

    void LoadFormObj() override;
    // The service name is needed; on line the service must open and hold a table.
    bool CheckFormObj() override;
    void SaveFormObj() override;
};
