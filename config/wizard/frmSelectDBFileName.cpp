#include "config/wizard/frmSelectDBFileName.h"

#include <QDir>
#include <QListWidget>

#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"

namespace {
constexpr TextPair kFailed{"Fail to select the database file!", "選擇資料庫檔案失敗!"};
constexpr TextPair kNoFile{"No database file is selected.", "沒有選擇任何資料庫檔案。"};
constexpr TextPair kChooseOne{"Please select a database file!", "請選擇資料庫檔案!"};
constexpr TextPair kTitle{"Error-Select database filepath", "選擇資料庫檔案失敗"};
}  // namespace

frmSelectDBFileName::frmSelectDBFileName(QWidget* parent) : ConfigDialog(parent) {
    setupUi(this);
    BindButtons(cmdOK, cmdCancel, cmdHelp);
}

void frmSelectDBFileName::LoadFormObj(const QString& tmpDBTypeName, const QString& tmpPattern) {
    Q_UNUSED(tmpDBTypeName);
    mFocusObj = nullptr;
    mString.clear();
    mDBFilePath.clear();
    folder_ = FileUtil::GetAbsolutePathName(State().DataFolder);
    if (!FileUtil::DirExists(folder_)) FileUtil::MakeFullDir(folder_);
    QStringList patterns = tmpPattern.split(u';', Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    if (patterns.isEmpty()) patterns << QStringLiteral("*");
    QStringList files = QDir(folder_).entryList(patterns, QDir::Files);
    SortIgnoringCase(files);
    lstFile->clear();
    lstFile->addItems(files);
    ApplyCaptions(*this, {{"frmSelectDBFileName", {"Select database filepath", "選擇資料庫檔案"}},
                          {"Frame1", {"Database filepath", "請選擇資料庫檔案"}},
                          {"cmdOK", kCaptionOK},
                          {"cmdCancel", kCaptionCancel},
                          {"cmdHelp", kCaptionHelp}});
    exec();
}

bool frmSelectDBFileName::CheckFormObj() {
    mFocusObj = nullptr;
    if (!lstFile->selectedItems().isEmpty()) return true;
    mFocusObj = lstFile;
    MsgLines({Tx(kFailed), Tx(kNoFile), Tx(kChooseOne)}, MsgStyle::Critical, Tx(kTitle));
    return false;
}

void frmSelectDBFileName::SaveFormObj() {
    mDBFilePath = folder_ + u'\\' + lstFile->selectedItems().first()->text();
}
