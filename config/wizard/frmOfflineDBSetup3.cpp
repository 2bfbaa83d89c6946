#include "config/wizard/frmOfflineDBSetup3.h"

#include "common/ProgramHooks.h"
#include "config/wizard/frmDBSetup1.h"
#include "config/wizard/frmOfflineDBSetup4.h"

namespace {

constexpr TextPair kTableTitle{"Error-keyin table name", "資料表名稱輸入錯誤"};
constexpr TextPair kTableError{"The table name error!", "資料表名稱輸入錯誤!"};
constexpr TextPair kTableBlank{"The table name cannot be blank!", "資料表名稱不得為空白。"};
constexpr TextPair kTableSpecify{"Please specify the table name.", "請重新輸入資料表名稱輸入錯誤"};
constexpr TextPair kSheetTitle{"Error-keyin sheet name", "工作表名稱輸入錯誤"};
constexpr TextPair kSheetError{"The sheet name error!", "工作表名稱輸入錯誤!"};
constexpr TextPair kSheetBlank{"The sheet name cannot be blank!", "工作表名稱不得為空白。"};
constexpr TextPair kSheetSpecify{"Please specify the sheet name.", "請重新輸入工作表名稱!"};

}  // namespace

frmOfflineDBSetup3::frmOfflineDBSetup3(QWidget* parent) : WizardPage(parent) {
    setupUi(this);
    BindPage(*this, false);
}

void frmOfflineDBSetup3::LoadFormObj() {
    mFocusObj = nullptr;
    mTableName.clear();
    SetPageButtonCaptions();
    if (IsSheetDBType(FormObj<frmDBSetup1>().mDBTypeName))
        ApplyCaptions(*this,
                      {{"frmOfflineDBSetup3",
                        {"Database Wizard - Step 3 of 4 please enter the sheet name (Offline)",
                         "資料庫設定精靈 - 步驟 4 之 3  輸入工作表 (離線規畫)"}},
                       {"Frame1", {"Please enter the sheet name", "輸入工作表"}},
                       {"Label5", {"Sheet name", "工作表名稱"}},
                       {"lblDsc", {"1. Please enter target sheet name.", "1. 請輸入欲存檔的工作表名稱。"}}});
    else
        ApplyCaptions(*this,
                      {{"frmOfflineDBSetup3",
                        {"Database Wizard - Step 3 of 4 please enter the table name (Offline)",
                         "資料庫設定精靈 - 步驟 4 之 3  輸入資料表 (離線規畫)"}},
                       {"Frame1", {"Please enter the table name", "輸入資料表"}},
                       {"Label5", {"Table name", "資料表名稱"}},
                       {"lblDsc", {"1. Please enter target table name.", "1. 請輸入欲存檔的資料表名稱。"}}});
    txtTableName->clear();
}

bool frmOfflineDBSetup3::CheckFormObj() {
    mFocusObj = nullptr;
    txtTableName->setText(txtTableName->text().trimmed());
    if (!txtTableName->text().isEmpty()) return true;
    if (IsSheetDBType(FormObj<frmDBSetup1>().mDBTypeName))
        MsgLines({Tx(kSheetError), Tx(kSheetBlank), Tx(kSheetSpecify)}, MsgStyle::Critical | MsgStyle::OkOnly,
                 Tx(kSheetTitle));
    else
        MsgLines({Tx(kTableError), Tx(kTableBlank), Tx(kTableSpecify)}, MsgStyle::Critical | MsgStyle::OkOnly,
                 Tx(kTableTitle));
    mFocusObj = txtTableName;
    return false;
}

void frmOfflineDBSetup3::SaveFormObj() {
    mTableName = txtTableName->text();
}

WizardPage* frmOfflineDBSetup3::LoadNextPage() {
    FormObj<frmOfflineDBSetup4>().LoadFormObj();
    return &FormObj<frmOfflineDBSetup4>();
}

WizardPage* frmOfflineDBSetup3::PreviousPage() {
    return ConnectionPage(FormObj<frmDBSetup1>().mDBTypeName);
}
