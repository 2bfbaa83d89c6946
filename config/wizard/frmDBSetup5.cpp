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
    SetFieldPageCaptions(*lvFields, true);
    ApplyCaptions(*this, {{"frmDBSetup5",
                           {"Database Wizard - Step 5 of 5 Settings of database fields and Tags",
                            "資料庫設定精靈 - 步驟 5 之 5 資料庫欄位與圖控 Tag 設定"}}});
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
