#include "config/wizard/frmOfflineDBSetup4.h"

#include "common/ProgramHooks.h"
#include "config/wizard/DBSetupWizard.h"
#include "config/wizard/frmAddNewOfflineField.h"
#include "config/wizard/frmDBSetup1.h"
#include "config/wizard/frmOfflineDBSetup3.h"

namespace {

constexpr TextPair kExistsTitle{"Error-Add a new data field", "新增存檔欄位失敗"};
constexpr TextPair kExistsFailed{"Fail to add a new data field!", "新增存檔欄位失敗!"};
constexpr TextPair kExists{"The field name [%1] is exist!", "存檔欄位名稱[%1]已存在。"};
constexpr TextPair kExistsSpecify{"Please specify the field name.", "請重新輸入存檔欄位名稱!"};

}  // namespace

frmOfflineDBSetup4::frmOfflineDBSetup4(QWidget* parent) : WizardPage(parent) {
    setupUi(this);
    BindPage(*this, true);
    connect(cmdAddNewField, &QPushButton::clicked, this, &frmOfflineDBSetup4::AddNewField);
    connect(cmdEditField, &QPushButton::clicked, this, &frmOfflineDBSetup4::EditField);
    connect(cmdDeleteField, &QPushButton::clicked, this, &frmOfflineDBSetup4::DeleteField);
    connect(lvFields, &QTreeWidget::itemSelectionChanged, this, &frmOfflineDBSetup4::RefreshFormObj);
    connect(lvFields, &QTreeWidget::itemDoubleClicked, this, &frmOfflineDBSetup4::EditField);
}

bool frmOfflineDBSetup4::IsCSV() const {
    return mbSaveCSV || FormObj<frmDBSetup1>().mDBTypeName == QLatin1String("CSV");
}

void frmOfflineDBSetup4::LoadFormObj() {
    mFocusObj = nullptr;
    lvFields->clear();
    const frmDBSetup1& page1 = FormObj<frmDBSetup1>();
    const bool csvType = page1.mDBTypeName == QLatin1String("CSV");
    mbSaveCSV = page1.mbSaveCSV || csvType;
    SetFieldPageCaptions(*lvFields, false);
    ApplyCaptions(
        *this,
        {{"frmOfflineDBSetup4",
          csvType ? TextPair{"Database Wizard - Settings of database fields and Tags ",
                             "資料庫設定精靈 - 資料庫欄位與圖控 Tag 設定 "}
                  : TextPair{"Database Wizard - Step 4 of 4 Settings of database fields and Tags (Offline)",
                             "資料庫設定精靈 - 步驟 4 之 4 資料庫欄位與圖控 Tag 設定 (離線規畫)"}},
         {"cmdAddNewField", {"Add...", "新增..."}},
         {"cmdEditField", {"Edit...", "編輯..."}},
         {"cmdDeleteField", {"Delete...", "刪除"}}});
    RefreshFormObj();
}

void frmOfflineDBSetup4::AddNewField() {
    if (lvFields->topLevelItemCount() >= kMaxFields) {
        ShowFieldLimit();
        return;
    }
    const frmDBSetup1& page1 = FormObj<frmDBSetup1>();
    frmAddNewOfflineField& dlg = FormObj<frmAddNewOfflineField>();
    // The table typed on the table page; the CSV path has none.
    const QString table =
        page1.mDBTypeName == QLatin1String("CSV") ? QString() : FormObj<frmOfflineDBSetup3>().mTableName;
    // "Get Field..." connects with the answers so far: the group may not hold a database yet.
    xSvcSettings answers;
    DBSetupWizard::TakeConnectionAnswers(answers, page1.mDBTypeName);
    answers.dbTableName = table;
    dlg.LoadFormObj(true, IsCSV(), page1.mbFixDataLength, page1.mDBTypeName, QString(), table, QString(),
                    QString(), QString(), false, &answers);
    if (dlg.mString == kResultOK) {
        const QString name = dlg.mFieldName;
        for (const FieldRow& r : ReadFieldRows(*lvFields)) {
            if (r.FieldName.compare(name, Qt::CaseInsensitive) == 0) {
                MsgLines({Tx(kExistsFailed), Tx(kExists).arg(name), Tx(kExistsSpecify)},
                         MsgStyle::Critical | MsgStyle::OkOnly, Tx(kExistsTitle));
                return;
            }
        }
        FieldRow row = ResultRow(dlg.mTagName, dlg.mTagType, dlg.mMessageLength, dlg.mDecimalPlaces,
                                 dlg.mDatetimeFormat, dlg.mDataLength);
        row.FieldName = name;
        AddFieldRow(*lvFields, row);
    }
    RefreshFormObj();
}

void frmOfflineDBSetup4::EditField() {
    QTreeWidgetItem* row = lvFields->currentItem();
    if (!row || !row->isSelected()) return;
    EditFieldRow(*row, FormObj<frmOfflineDBSetup3>().mTableName, IsCSV());
    RefreshFormObj();
}

void frmOfflineDBSetup4::DeleteField() {
    QTreeWidgetItem* row = lvFields->currentItem();
    if (row && row->isSelected()) {
        delete row;
        lvFields->setCurrentItem(nullptr);  // no other row is chosen for the next Delete
    }
    RefreshFormObj();
}

void frmOfflineDBSetup4::RefreshFormObj() {
    const QTreeWidgetItem* row = lvFields->currentItem();
    const bool selected = row && row->isSelected();
    cmdAddNewField->setEnabled(true);
    cmdEditField->setEnabled(selected);
    cmdDeleteField->setEnabled(selected);
}

bool frmOfflineDBSetup4::ConfirmFinish() {
    return ConfirmDroppedFields(ReadFieldRows(*lvFields));
}

WizardPage* frmOfflineDBSetup4::PreviousPage() {
    KeepFieldRows(ReadFieldRows(*lvFields), true);
    if (FormObj<frmDBSetup1>().mDBTypeName == QLatin1String("CSV")) return &FormObj<frmDBSetup1>();
    return &FormObj<frmOfflineDBSetup3>();
}
