#include "config/wizard/frmDBSetup3.h"

#include "common/ProgramHooks.h"
#include "config/core/ConfigState.h"
#include "config/core/DBProbe.h"
#include "config/wizard/frmDBSetup1.h"
#include "config/wizard/frmDBSetup4.h"

namespace {

constexpr TextPair kTitleTable{"Database Wizard - Step 3 of 5 please specify the table name",
                               "資料庫設定精靈 - 步驟 5 之 3  選擇資料表"};
constexpr TextPair kTitleSheet{"Database Wizard - Step 3 of 5 please specify the sheet name",
                               "資料庫設定精靈 - 步驟 5 之 3  選擇工作表"};

constexpr TextPair kFailTitle{"Error-List fields", "列舉資料表欄位失敗"};
constexpr TextPair kFailTitleSheet{"Error-List fields", "列舉工作表欄位失敗"};
constexpr TextPair kFailed{"Fail to list field name!", "列舉資料表欄位失敗!"};
constexpr TextPair kFailedSheet{"Fail to list field name!", "列舉工作表欄位失敗!"};
constexpr TextPair kNoField{"The data table[%1] contains no usable data field.",
                            "該資料表[%1]中並無可用的欄位。"};
constexpr TextPair kNoFieldSheet{"The data sheet[%1] contains no usable data field.",
                                 "該工作表[%1]中並無可用的欄位。"};
constexpr TextPair kSpecify{"Please specify data table!", "請重新設定資料表名稱!"};
constexpr TextPair kSpecifySheet{"Please specify data sheet!", "請重新設定工作表名稱!"};

}  // namespace

frmDBSetup3::frmDBSetup3(QWidget* parent) : WizardPage(parent) {
    setupUi(this);
    BindPage(*this, false);
}

void frmDBSetup3::LoadFormObj() {
    mFocusObj = nullptr;
    const bool sheet = IsSheetDBType(FormObj<frmDBSetup1>().mDBTypeName);
    mTableName.clear();
    SetPageButtonCaptions();
    if (sheet)
        ApplyCaptions(*this,
                      {{"frmDBSetup3", kTitleSheet},
                       {"Frame1", {"Please specify the sheet name", "選擇工作表"}},
                       {"Label5", {"Sheet name", "工作表名稱"}},
                       {"lblDsc", {"1. Please enter target sheet name.", "1. 請輸入欲存檔的工作表名稱。"}}});
    else
        ApplyCaptions(*this,
                      {{"frmDBSetup3", kTitleTable},
                       {"Frame1", {"Please specify the table name", "選擇資料表"}},
                       {"Label5", {"Table name", "資料表名稱"}},
                       {"lblDsc", {"1. Please enter target table name.", "1. 請輸入欲存檔的資料表名稱。"}}});
    const ConfigState& cf = Config();
    if (cf.TableNameCount == 0) return;
    cmbTableName->clear();
    for (int i = 1; i <= cf.TableNameCount && i <= kMaxTableNames; ++i)
        cmbTableName->addItem(cf.TableNames[static_cast<size_t>(i)]);
    cmbTableName->setCurrentIndex(0);
}

bool frmDBSetup3::CheckFormObj() {
    const QString table = cmbTableName->currentText();
    const QString type = FormObj<frmDBSetup1>().mDBTypeName;
    mFocusObj = nullptr;
    ConfigState& cf = Config();
    DBProbeUtil::ListTableFields(WizardConnection(), table, type, cf.TableFieldCount, cf.TableFields);
    if (cf.TableFieldCount != 0) return true;
    const bool sheet = IsSheetDBType(type);
    MsgLines({Tx(sheet ? kFailedSheet : kFailed), Tx(sheet ? kNoFieldSheet : kNoField).arg(table),
              Tx(sheet ? kSpecifySheet : kSpecify)},
             MsgStyle::Critical | MsgStyle::OkOnly, Tx(sheet ? kFailTitleSheet : kFailTitle));
    return false;
}

void frmDBSetup3::SaveFormObj() {
    mTableName = cmbTableName->currentText();
}

WizardPage* frmDBSetup3::LoadNextPage() {
    FormObj<frmDBSetup4>().LoadFormObj();
    return &FormObj<frmDBSetup4>();
}

WizardPage* frmDBSetup3::PreviousPage() {
    return ConnectionPage(FormObj<frmDBSetup1>().mDBTypeName);
}
