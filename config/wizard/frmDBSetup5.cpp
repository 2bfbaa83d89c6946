#include "config/wizard/frmDBSetup5.h"

#include "config/wizard/frmDBSetup1.h"
#include "config/wizard/frmDBSetup3.h"
#include "config/wizard/frmDBSetup4.h"

frmDBSetup5::frmDBSetup5(QWidget* parent) : WizardPage(parent) {
    setupUi(this);
    BindPage(*this, true);
    connect(lvFields, &QTreeWidget::itemDoubleClicked, this, &frmDBSetup5::lvFields_DblClick);
}

void frmDBSetup5::LoadFormObj() {
    mFocusObj = nullptr;
    lvFields->clear();
    SetPageButtonCaptions();
    ApplyCaptions(*this,
                  {{"frmDBSetup5",
                    {"Database Wizard - Step 5 of 5 Settings of database fields and Tags",
                     "資料庫設定精靈 - 步驟 5 之 5 資料庫欄位與圖控 Tag 設定"}},
                   {"Frame1", {"Mapping of database fields and Hexvane Tags", "資料庫欄位與圖控 Tag 設定"}},
                   {"lblDsc1",
                    {"1. Please specify the source of the database fields.",
                     "1. 請指定資料庫欄位的儲存資料來源內容。"}},
                   {"lblDsc2",
                    {"2. Data source can be either Tag data or system time. If the source is from Tag data,",
                     "2. 資料來源內容有圖控 Tag 及系統日期時間兩種。若資料來源為圖控 Tag"}},
                   {"lblDsc3",
                    {"please note that Tag name cannot contain more than 8 characters and is case sensitive.",
                     "時，須注意 Tag 名稱有區分大小寫及長度為8字元的限制。"}}});
    SetHeaders(*lvFields, {{"Field Name", "欄位名稱"},
                           {"Tag Name", "Tag 名稱"},
                           {"Tag Field", "Tag 屬性"},
                           {"Message Length", "字串長度"},
                           {"DecimalPlaces", "小數位數"},
                           {"Datetime format", "日期時間資料格式"},
                           {"Data Length (for CSV)", "資料長度 (for CSV)"}});
    const QTreeWidget& selected = *FormObj<frmDBSetup4>().lvSelectedFields;
    const WizardFieldRecords& kept = WizardFields();
    for (int i = 0; i < selected.topLevelItemCount(); ++i) {
        FieldRow row{selected.topLevelItem(i)->text(0), {}, {}, {}, {}, {}, {}};
        for (int k = 1; k <= kept.WizardFieldCount && k <= kMaxFields; ++k) {
            const WizardField& f = kept.aWizardFields[static_cast<size_t>(k)];
            if (f.FieldName == row.FieldName) {
                row.TagName = f.TagName;
                row.TagField = f.TagField;
                break;
            }
        }
        AddFieldRow(*lvFields, row);
    }
}

void frmDBSetup5::lvFields_DblClick() {
    QTreeWidgetItem* row = lvFields->currentItem();
    if (!row || !row->isSelected()) return;
    EditFieldRow(*row, FormObj<frmDBSetup3>().mTableName, FormObj<frmDBSetup1>().mbSaveCSV);
}

bool frmDBSetup5::ConfirmFinish() {
    return ConfirmDroppedFields(ReadFieldRows(*lvFields));
}

WizardPage* frmDBSetup5::PreviousPage() {
    KeepFieldRows(ReadFieldRows(*lvFields), false);
    return &FormObj<frmDBSetup4>();
}
