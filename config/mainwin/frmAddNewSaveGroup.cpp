#include "config/mainwin/frmAddNewSaveGroup.h"

#include "common/ProgramHooks.h"
#include "common/SettingUtil.h"
#include "config/core/SaveGroupModel.h"
#include "config/forms/NameRules.h"

namespace {
constexpr TextPair kTitle{"Error-Add a new data group", "新增存檔群組失敗"};
constexpr TextPair kFailed{"Fail to add a new data group!", "新增存檔群組失敗!"};
constexpr TextPair kNameHead{"The group name[", "存檔群組名稱["};
constexpr TextPair kExists{"] exists.", "]已存在。"};
constexpr TextPair kSpecify{"Please specify the data group name.", "請重新輸入存檔群組名稱!"};
constexpr TextPair kGroupName{"The group name", "存檔群組名稱"};
}  // namespace

frmAddNewSaveGroup::frmAddNewSaveGroup(QWidget* parent) : ConfigDialog(parent) {
    setupUi(this);
    BindButtons(cmdOK, cmdCancel, cmdHelp);
}

void frmAddNewSaveGroup::LoadFormObj() {
    txtSaveGroupName->clear();
    mString.clear();
    ApplyCaptions(*this, {{"frmAddNewSaveGroup", {"Add a new data Group", "新增存檔群組"}},
                          {"Label4", {"Data Group Name", "存檔群組名稱"}},
                          {"cmdOK", kCaptionOK},
                          {"cmdCancel", kCaptionCancel},
                          {"cmdHelp", kCaptionHelp}});
    txtSaveGroupName->setFocus();
    exec();
}

bool frmAddNewSaveGroup::CheckFormObj() {
    mFocusObj = txtSaveGroupName;
    const QString name = SettingUtil::TrimSpaces(txtSaveGroupName->text());
    const int style = MsgStyle::Critical | MsgStyle::OkOnly;
    // The name becomes a file name and an item of the workstation file's module line.
    if (!NameRules::IsUsableName(name)) {
        MsgLines({Tx(kFailed), NameRules::UnusableNameLine(Tx(kGroupName), name), Tx(kSpecify)}, style,
                 Tx(kTitle));
        return false;
    }
    if (SaveGroupUtil::SaveGroupExists(name)) {
        MsgLines({Tx(kFailed), Tx(kNameHead) + name + Tx(kExists), Tx(kSpecify)}, style, Tx(kTitle));
        return false;
    }
    const QString file = NameRules::NewGroupFilePath(name);
    if (const int16_t owner = SaveGroupUtil::GroupUsingFile(file, -1); owner > 0) {
        MsgLines({Tx(kFailed), NameRules::SharedFileLine(name, file, owner), Tx(kSpecify)}, style,
                 Tx(kTitle));
        return false;
    }
    mFocusObj = nullptr;
    return true;
}
