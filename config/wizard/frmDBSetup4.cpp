#include "config/wizard/frmDBSetup4.h"

#include "config/core/ConfigState.h"
#include "config/wizard/frmDBSetup3.h"
#include "config/wizard/frmDBSetup5.h"

namespace {

constexpr TextPair kFieldName{"Field Name", "欄位名稱"};

// Moves the items to the end of the target list, in list order; the selected list takes at most
// 255 fields, and a move that would pass that moves nothing.
void Move(QTreeWidget& from, QTreeWidget& to, const QList<QTreeWidgetItem*>& items, bool limited) {
    if (items.isEmpty()) return;
    if (limited && to.topLevelItemCount() + items.size() > kMaxFields) {
        ShowFieldLimit();
        return;
    }
    for (QTreeWidgetItem* item : items) {
        to.addTopLevelItem(from.takeTopLevelItem(from.indexOfTopLevelItem(item)));
        item->setSelected(false);
    }
}

QList<QTreeWidgetItem*> Highlighted(const QTreeWidget& list) {
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        if (list.topLevelItem(i)->isSelected()) items << list.topLevelItem(i);
    return items;
}

QList<QTreeWidgetItem*> All(const QTreeWidget& list) {
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < list.topLevelItemCount(); ++i) items << list.topLevelItem(i);
    return items;
}

QList<QTreeWidgetItem*> Current(const QTreeWidget& list) {
    QTreeWidgetItem* item = list.currentItem();
    if (item && item->isSelected()) return {item};
    return {};
}

}  // namespace

frmDBSetup4::frmDBSetup4(QWidget* parent) : WizardPage(parent) {
    setupUi(this);
    BindPage(*this, false);
    connect(cmdMove2Right, &QPushButton::clicked, this, &frmDBSetup4::cmdMove2Right_Click);
    connect(cmdAllMove2Right, &QPushButton::clicked, this, &frmDBSetup4::cmdAllMove2Right_Click);
    connect(cmdMove2Left, &QPushButton::clicked, this, &frmDBSetup4::cmdMove2Left_Click);
    connect(cmdAllMove2Left, &QPushButton::clicked, this, &frmDBSetup4::cmdAllMove2Left_Click);
    connect(lvFields, &QTreeWidget::itemDoubleClicked, this, &frmDBSetup4::lvFields_DblClick);
    connect(lvSelectedFields, &QTreeWidget::itemDoubleClicked, this, &frmDBSetup4::lvSelectedFields_DblClick);
}

void frmDBSetup4::LoadFormObj() {
    mFocusObj = nullptr;
    lvFields->clear();
    lvSelectedFields->clear();
    const ConfigState& cf = Config();
    for (int i = 1; i <= cf.TableFieldCount && i <= kMaxTableFields; ++i)
        new QTreeWidgetItem(lvFields, {cf.TableFields[static_cast<size_t>(i)].Name});
    SetPageButtonCaptions();
    ApplyCaptions(
        *this, {{"frmDBSetup4",
                 {"Database Wizard - Step 4 of 5 Please select target fields",
                  "資料庫設定精靈 - 步驟 5 之 4  選擇資料庫儲存欄位"}},
                {"Frame1", {"Select target fields", "資料庫欄位與圖控 Tag 設定"}},
                {"Label1", {"Available fields", "可選用的欄位"}},
                {"Label3", {"Selected fields", "已選取的欄位"}},
                {"cmdMove2Right", {">", ">"}},
                {"cmdAllMove2Right", {">>", ">>"}},
                {"cmdMove2Left", {"<", "<"}},
                {"cmdAllMove2Left", {"<<", "<<"}},
                {"Label2",
                 {"1. Please select the fields to be used from the list on the left and add them to the list",
                  "1. 請從左邊的清單中選擇要使用的欄位，並將它們加入右邊的"}},
                {"Label4", {"on the right.", "清單中。"}}});
    SetHeaders(*lvFields, {kFieldName});
    SetHeaders(*lvSelectedFields, {kFieldName});
}

void frmDBSetup4::cmdMove2Right_Click() {
    Move(*lvFields, *lvSelectedFields, Highlighted(*lvFields), true);
}

void frmDBSetup4::cmdAllMove2Right_Click() {
    Move(*lvFields, *lvSelectedFields, All(*lvFields), true);
}

void frmDBSetup4::cmdMove2Left_Click() {
    Move(*lvSelectedFields, *lvFields, Highlighted(*lvSelectedFields), false);
}

void frmDBSetup4::cmdAllMove2Left_Click() {
    Move(*lvSelectedFields, *lvFields, All(*lvSelectedFields), false);
}

void frmDBSetup4::lvFields_DblClick() {
    Move(*lvFields, *lvSelectedFields, Current(*lvFields), true);
}

void frmDBSetup4::lvSelectedFields_DblClick() {
    Move(*lvSelectedFields, *lvFields, Current(*lvSelectedFields), false);
}

WizardPage* frmDBSetup4::LoadNextPage() {
    FormObj<frmDBSetup5>().LoadFormObj();
    return &FormObj<frmDBSetup5>();
}

WizardPage* frmDBSetup4::PreviousPage() {
    return &FormObj<frmDBSetup3>();
}
