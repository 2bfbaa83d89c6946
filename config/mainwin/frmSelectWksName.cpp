#include "config/mainwin/frmSelectWksName.h"

namespace {
constexpr PickerTexts kTexts{
    .caption = {"Select workstation...", "選擇工作站..."},
    .nameLabel = {"Workstation name: ", "工作站名稱："},
    .title = {"Error-Open a workstation", "開啟工作站失敗"},
    .failed = {"Fail to open a workstation!", "開啟工作站失敗!"},
    .noneChosen = {"User didnot select any workstation!", "使用者未挑選工作站名稱。"},
    .chooseOne = {"Please specify a workstation!", "請指定一個現有的工作站名稱!"},
};
}  // namespace

frmSelectWksName::frmSelectWksName(QWidget* parent) : FolderPicker(parent) {
    setupUi(this);
    Bind(kTexts, lvDBList, lblDBName, lblTotalDBNum, cmdOK, cmdCancel, cmdHelp);
}

void frmSelectWksName::LoadFormObj(const QString& projectName) {
    LoadFolder(QStringLiteral("..\\Project\\") + projectName + QStringLiteral("\\CFG"));
}
