// The connection page of SQL Server and MySQL: server, database, user name and password. On line
// the check opens the database and lists its tables; off line nothing is opened.
#pragma once
#include <QString>

#include "config/wizard/WizardPage.h"
#include "ui_frmDBSetup2_SQLServer.h"

class frmDBSetup2_SQLServer : public WizardConnectionPage, public Ui::frmDBSetup2_SQLServer {
    Q_OBJECT
  public:
    explicit frmDBSetup2_SQLServer(QWidget* parent = nullptr);

    QString mPCName;  // the server, trimmed
    QString mDataBaseName;
    QString mUserName;
    QString mPassword;
    QString mDBTypeName;      // "SQLSERVER" or "MYSQL", from the first page
    QString mShowDBTypeName;  // "SQL Server" or "MySQL"

    void LoadFormObj() override;
    // Server and database are needed; on line the database must open and hold a table.
    bool CheckFormObj() override;
    void SaveFormObj() override;
};
