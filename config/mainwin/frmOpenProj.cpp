#include "config/mainwin/frmOpenProj.h"

#include "common/ProgramHooks.h"
#include "config/mainwin/FormSupport.h"

namespace {
constexpr TextPair kFailed{"Fail to open a Hexvane project!", "開啟圖控專案失敗!"};
constexpr TextPair kNoneChosen{"User didnot select any Hexvane project!", "沒有選擇任何一個圖控專案。"};
constexpr TextPair kChooseOne{"Please specify a Hexvane project!", "請指定一個現有的圖控專案名稱!"};
constexpr TextPair kTitle{"Error-Open a Hexvane project", "開啟圖控專案失敗"};
}  // namespace

frmOpenProj::frmOpenProj(QWidget* parent) : FolderPicker(parent) {
    setupUi(this);
    Bind(lvProjList, lblProjName, lblTotalProjNum, cmdOK, cmdCancel, cmdHelp);
}

void frmOpenProj::LoadFormObj() {
    ApplyCaptions(*this, {{"frmOpenProj", {"Select Project ...", "選擇專案 ..."}},
                          {"Label1", {"Project name: ", "專案名稱："}},
                          {"Label2", {"Total: ", "總數："}},
                          {"cmdOK", kCaptionOK},
                          {"cmdCancel", kCaptionCancel},
                          {"cmdHelp", kCaptionHelp}});
    LoadFolder(QStringLiteral("..\\Project\\"));
}

void frmOpenProj::ShowNoChoiceMessage() {
    MsgLines({Tx(kFailed), Tx(kNoneChosen), Tx(kChooseOne)}, MsgStyle::Critical, Tx(kTitle));
}
