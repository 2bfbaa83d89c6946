#include "config/mainwin/frmRename.h"

#include <QPushButton>
#include <algorithm>

#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/core/SaveGroupModel.h"
#include "config/forms/NameRules.h"

namespace {
// C is the form's caption, N the new name's label.
constexpr TextPair kFailed{"Fail to %1!", "%1失敗!"};
constexpr TextPair kTitle{"Error-%1", "%1失敗"};
constexpr TextPair kBlank{" cannot be blank!", "不得為空白。"};
constexpr TextPair kExists{" is exist!", "已存在。"};
}  // namespace

frmRename::frmRename(QWidget* parent) : ConfigDialog(parent) {
    setupUi(this);
    BindButtons(cmdOK, cmdCancel, nullptr);
}

void frmRename::LoadFormObj() {
    mString.clear();
    exec();
}

QString frmRename::NewName() const {
    return SettingUtil::TrimSpaces(txtNewName->text());
}

QString frmRename::RetryLine() const {
    return QStringLiteral("請重新輸入!");
}

void frmRename::Refuse(const QString& why) {
    const QString C = windowTitle();
    mFocusObj = txtNewName;
    const QString retry = State().LanguageIndex == 0
                              ? QStringLiteral("Please specify the ") + lblNewCaption->text()
                              : RetryLine();
    MsgLines({Tx(kFailed).arg(C), why, retry}, MsgStyle::Critical | MsgStyle::OkOnly, Tx(kTitle).arg(C));
}

bool frmRename::CheckFormObj() {
    mFocusObj = nullptr;
    const QString name = NewName();
    const QString N = lblNewCaption->text();
    // A name of blanks would become the empty name, which ends the workstation file's group list.
    if (name.isEmpty()) {
        Refuse(N + Tx(kBlank));
        return false;
    }
    if (!NameRules::IsUsableName(name)) {
        Refuse(NameRules::UnusableNameLine(N, name));
        return false;
    }
    return true;
}

void frmRename::showEvent(QShowEvent* event) {
    ConfigDialog::showEvent(event);
    txtNewName->setFocus();
    txtNewName->selectAll();
}

frmRenameField::frmRenameField(QWidget* parent) : frmRename(parent) {
    setObjectName(QStringLiteral("frmRenameField"));
}

void frmRenameField::LoadFormObj(const QString& groupName, int16_t groupIndex, const QString& oldFieldName) {
    mString.clear();
    groupName_ = groupName;
    groupIndex_ = groupIndex;
    txtNewName->setText(oldFieldName);
    exec();
}

QString frmRenameField::RetryLine() const {
    return QStringLiteral("請重新輸入存檔欄位名稱!");
}

void frmRenameField::cmdOK_Click() {
    if (NewName() == lblOldName->text()) {
        hide();
        return;
    }
    ConfigDialog::cmdOK_Click();
}

bool frmRenameField::CheckFormObj() {
    if (!frmRename::CheckFormObj()) return false;
    ProgramState& st = State();
    if (groupIndex_ < 1 || groupIndex_ > std::min<int>(st.SaveGroupCount, kMaxSaveGroups)) return true;
    SaveGroupRecord& g = st.Group(groupIndex_);
    // A field name is taken by the letter-case rule of the group's type; a rename that changes only
    // the letter case of the field's own name takes nothing.
    const QString type = g.S().dbDBTypeName;
    if (SaveGroupUtil::IsSameFieldName(NewName(), lblOldName->text(), type) ||
        !SaveGroupUtil::FieldNameTaken(g, NewName(), type))
        return true;
    Refuse(lblNewCaption->text() + Tx(kExists));
    return false;
}
