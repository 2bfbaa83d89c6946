#include "config/wizard/frmDBSetup2_SQLServer.h"

#include "common/ProgramHooks.h"
#include "config/wizard/frmDBSetup1.h"

namespace {

// "%1" stands for the type's display name (the database name in the no-table line).
constexpr TextPair kTitle{"Database Wizard - Step 2 of 5 Settings of %1",
                          "資料庫設定精靈 - 步驟 5 之 2  %1 內容設定"};
constexpr TextPair kFrame1{"Settings of %1", "%1 內容設定"};
constexpr TextPair kLabelDsc{"1. Please specify Server name and Database name of the %1. Enter user",
                             "1. 請指定 %1 的電腦主機及資料庫名稱，並輸入該資料庫的使用"};
constexpr TextPair kSettingsTitle{"Error-%1 Settings", "%1 內容設定錯誤"};
constexpr TextPair kSettingsError{"%1 settings error!", "%1 內容設定錯誤!"};
constexpr TextPair kServerBlank{"The Server name cannot be blank.", "電腦主機名稱不得為空白。"};
constexpr TextPair kServerSpecify{"Please specify the Server name!", "請重新輸入電腦主機名稱!"};
constexpr TextPair kDatabaseBlank{"The Database name cannot be blank.", "資料庫名稱不得為空白。"};
constexpr TextPair kDatabaseSpecify{"Please specify the Database name!", "請重新輸入資料庫名稱!"};
constexpr TextPair kConnectCheck{"Please make sure %1 settings and Database is correct!",
                                 "請檢查%1設定內容正確或資料庫是否正確!"};
constexpr TextPair kListTitle{"Error-List tables", "列舉資料表失敗"};
constexpr TextPair kListFailed{"Fail to list tables!", "列舉資料表失敗!"};
constexpr TextPair kListNoTable{"The database[%1] contains no usable data table.",
                                "目前資料庫[%1]中並無可用的資料表。"};
constexpr TextPair kListSpecify{"Please specify database name again!", "請重新設定資料庫名稱!"};

}  // namespace

frmDBSetup2_SQLServer::frmDBSetup2_SQLServer(QWidget* parent) : WizardConnectionPage(parent) {
    setupUi(this);
    BindConnectionPage(*this);
}

void frmDBSetup2_SQLServer::LoadFormObj() {
    StartLoading();
    mPCName.clear();
    mDataBaseName.clear();
    mUserName.clear();
    mPassword.clear();
    mDBTypeName = FormObj<frmDBSetup1>().mDBTypeName;
    if (mDBTypeName == QLatin1String("SQLSERVER"))
        mShowDBTypeName = QStringLiteral("SQL Server");
    else if (mDBTypeName == QLatin1String("MYSQL"))
        mShowDBTypeName = QStringLiteral("MySQL");
    txtPCName->setText(mPCName);
    txtDataBaseName->setText(mDataBaseName);
    txtUserName->setText(mUserName);
    txtPassword->setText(mPassword);
    ApplyCaptions(
        *this, {{"Label2", {"name and password of the database if necessary.", "者名稱及密碼 (如有需要)。"}},
                {"Label4", {"Server name", "電腦主機名稱"}},
                {"Label5", {"Database name", "資料庫名稱"}},
                {"Label3", {"User Name", "使用者名稱"}},
                {"Label6", {"Password", "密碼"}},
                {"chkOffLineConfigDB", {"Offline config", "離線規劃"}}});
    const QString& s = mShowDBTypeName;
    Frame1->setTitle(Tx(kFrame1).arg(s));
    LabelDsc->setText(Tx(kLabelDsc).arg(s));
    setWindowTitle(Tx(kTitle).arg(s));
}

bool frmDBSetup2_SQLServer::CheckFormObj() {
    mFocusObj = nullptr;
    for (QLineEdit* box : {txtPCName, txtDataBaseName, txtUserName, txtPassword})
        box->setText(box->text().trimmed());
    const QString server = txtPCName->text();
    const QString database = txtDataBaseName->text();
    const QString& s = mShowDBTypeName;
    const auto settingsError = [&](const TextPair& why, const TextPair& what) {
        MsgLines({Tx(kSettingsError).arg(s), Tx(why), Tx(what)}, MsgStyle::Critical | MsgStyle::OkOnly,
                 Tx(kSettingsTitle).arg(s));
        return false;
    };
    if (server.isEmpty()) return settingsError(kServerBlank, kServerSpecify);
    if (database.isEmpty()) return settingsError(kDatabaseBlank, kDatabaseSpecify);
    return IsOffline() ||
           OpenAndListTables(mDBTypeName, QString(), server, QString(), database, txtUserName->text(),
                             txtPassword->text(),
                             {Tx(kConnectCheck).arg(s),
                              Tx(kListTitle),
                              {Tx(kListFailed), Tx(kListNoTable).arg(database), Tx(kListSpecify)}});
}

void frmDBSetup2_SQLServer::SaveFormObj() {
    mPCName = txtPCName->text().trimmed();
    mDataBaseName = txtDataBaseName->text().trimmed();
    mUserName = txtUserName->text().trimmed();
    mPassword = txtPassword->text().trimmed();
}
