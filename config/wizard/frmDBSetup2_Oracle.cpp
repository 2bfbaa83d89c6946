#include "config/wizard/frmDBSetup2_Oracle.h"

#include "common/ProgramHooks.h"
#include "config/wizard/frmDBSetup1.h"

namespace {

constexpr TextPair kSettingsTitle{"Error-Oracle Settings", "Oracle 內容設定錯誤"};
constexpr TextPair kSettingsError{"Oracle Settings error!", "Oracle 內容設定錯誤!"};
constexpr TextPair kServiceBlank{"The service name cannot be blank.", "服務名稱不得為空白。"};
constexpr TextPair kServiceSpecify{"Please specify the Service name!", "請重新輸入服務名稱!"};
constexpr TextPair kConnectCheck{"Please make sure Oracle settings and Database is correct!",
                                 "請檢查Oracle設定內容正確或資料庫是否正確!"};
constexpr TextPair kListTitle{"Error-List tables", "列舉資料表失敗"};
constexpr TextPair kListFailed{"Fail to list tables!", "列舉資料表失敗!"};
constexpr TextPair kListNoTable{"The database contains no usable data table.",
                                "目前資料庫中並無可用的資料表。"};
constexpr TextPair kListSpecify{"Please specify database name again!", "請重新設定資料庫名稱!"};

}  // namespace

frmDBSetup2_Oracle::frmDBSetup2_Oracle(QWidget* parent) : WizardConnectionPage(parent) {
    setupUi(this);
    BindConnectionPage(*this);
}

void frmDBSetup2_Oracle::LoadFormObj() {
    StartLoading();
    mServiceName.clear();
    mUserName.clear();
    mPassword.clear();
    txtServiceName->setText(mServiceName);
    txtUserName->setText(mUserName);
    txtPassword->setText(mPassword);
    ApplyCaptions(*this,
                  {{"frmDBSetup2_Oracle",
                    {"Database Wizard - Step 2 of 5 Settings of Oracle",
                     "資料庫設定精靈 - 步驟 5 之 2  Oracle 內容設定"}},
                   {"Frame1", {"Settings of Oracle", "Oracle 內容設定"}},
                   {"Label11",
                    {"1. Please specify Oracle database Service name. Enter user name and password of the",
                     "1. 請指定 Oracle 資料庫的服務名稱，並輸入該資料庫服務的使用者名稱及"}},
                   {"Label2", {"database service if necessary.", "密碼 (如有需要)。"}},
                   {"Label4", {"Service name", "服務名稱"}},
                   {"Label3", {"User Name", "使用者名稱"}},
                   {"Label6", {"Password", "密碼"}},
                   {"chkOffLineConfigDB", {"Offline config", "離線規劃"}}});
}

bool frmDBSetup2_Oracle::CheckFormObj() {
    mFocusObj = nullptr;
    const QString service = txtServiceName->text().trimmed();
    if (service.isEmpty()) {
        MsgLines({Tx(kSettingsError), Tx(kServiceBlank), Tx(kServiceSpecify)},
                 MsgStyle::Critical | MsgStyle::OkOnly, Tx(kSettingsTitle));
        return false;
    }
    return IsOffline() ||
           OpenAndListTables(
               FormObj<frmDBSetup1>().mDBTypeName, QString(), QString(), service, QString(),
               txtUserName->text().trimmed(), txtPassword->text().trimmed(),
               {Tx(kConnectCheck), Tx(kListTitle), {Tx(kListFailed), Tx(kListNoTable), Tx(kListSpecify)}});
}

void frmDBSetup2_Oracle::SaveFormObj() {
    mServiceName = txtServiceName->text().trimmed();
    mUserName = txtUserName->text().trimmed();
    mPassword = txtPassword->text().trimmed();
}
