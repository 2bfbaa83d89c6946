#include "config/mainwin/frmOpenProj.h"

namespace {
constexpr PickerTexts kTexts{
    .caption = {"Select Project ...", "選擇專案 ..."},
    .nameLabel = {"Project name: ", "專案名稱："},
    .title = {"Error-Open a Hexvane project", "開啟圖控專案失敗"},
    .failed = {"Fail to open a Hexvane project!", "開啟圖控專案失敗!"},
    .noneChosen = {"User didnot select any Hexvane project!", "沒有選擇任何一個圖控專案。"},
    .chooseOne = {"Please specify a Hexvane project!", "請指定一個現有的圖控專案名稱!"},
};
}  // namespace

frmOpenProj::frmOpenProj(QWidget* parent) : FolderPicker(parent) {
    setupUi(this);
    Bind(kTexts, lvProjList, lblProjName, lblTotalProjNum, cmdOK, cmdCancel, cmdHelp);
}

void frmOpenProj::LoadFormObj() {
    LoadFolder(QStringLiteral("..\\Project\\"));
}
