#include "config/mainwin/frmSelectWksName.h"

#include "common/ProgramHooks.h"
#include "config/mainwin/FormSupport.h"

namespace {
constexpr TextPair kFailed{"Fail to open a workstation!", "開啟工作站失敗!"};
constexpr TextPair kNoneChosen{"User didnot select any workstation!", "使用者未挑選工作站名稱。"};
constexpr TextPair kChooseOne{"Please specify a workstation!", "請指定一個現有的工作站名稱!"};
constexpr TextPair kTitle{"Error-Open a workstation", "開啟工作站失敗"};
}  // namespace

frmSelectWksName::frmSelectWksName(QWidget* parent) : FolderPicker(parent) {
    setupUi(this);
    Bind(lvDBList, lblDBName, lblTotalDBNum, cmdOK, cmdCancel, cmdHelp);
}

void frmSelectWksName::LoadFormObj(const QString& projectName) {
    ApplyCaptions(*this, {{"frmSelectWksName", {"Select workstation...", "選擇工作站..."}},
                          {"Label1", {"Workstation name: ", "工作站名稱："}},
                          {"Label2", {"Total: ", "總數："}},
                          {"cmdOK", kCaptionOK},
                          {"cmdCancel", kCaptionCancel},
                          {"cmdHelp", kCaptionHelp}});
    LoadFolder(QStringLiteral("..\\Project\\") + projectName + QStringLiteral("\\CFG"));
}

void frmSelectWksName::ShowNoChoiceMessage() {
    MsgLines({Tx(kFailed), Tx(kNoneChosen), Tx(kChooseOne)}, MsgStyle::Critical, Tx(kTitle));
}
