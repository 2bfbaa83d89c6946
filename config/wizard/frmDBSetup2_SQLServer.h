// The connection page of SQL Server and MySQL: server, database, user name and password. On line
// the check opens the database and lists its tables; off line nothing is opened.
#pragma once
#include <QString>

#include "config/wizard/WizardPage.h"
#include "ui_frmDBSetup2_SQLServer.h"

namespace ado {
class Connection;
}

class frmDBSetup2_SQLServer : public WizardConnectionPage, public Ui::frmDBSetup2_SQLServer {
    Q_OBJECT
  public:
    explicit frmDBSetup2_SQLServer(QWidget* parent = nullptr);

    QString mPCName;  // the server, trimmed
    QString mDataBaseName;
    QString mUserName;
    QString mPassword;
    ado::Connection* mConn = nullptr;  // not used
    QString mDBTypeName;               // "SQLSERVER" or "MYSQL", from the first page
    QString mShowDBTypeName;           // "SQL Server" or "MySQL"

    // Prepares the page for the type of the first page (the caller shows it).
    void LoadFormObj();
    // Server and database are needed; on line the database must open and hold a table.
    bool CheckFormObj() override;
    void SaveFormObj() override;

  protected:
    bool IsOffline() const override { return chkOffLineConfigDB->isChecked(); }
};
