#include "config/groupedit/frmEditDBContent.h"

#include <array>

#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/core/ConfigState.h"
#include "config/core/ProjectTags.h"
#include "config/groupedit/TypedText.h"
#include "config/groupedit/frmGroupConfig.h"
#include "config/wizard/WizardPage.h"

namespace {

constexpr TextPair kFilePath{"Database File Path", "資料庫路徑"};
constexpr TextPair kWorkbook{"Workbook Path", "活頁簿路徑"};
constexpr TextPair kServer{"Server Name", "伺服器名稱"};
constexpr TextPair kService{"Service Name", "服務名稱"};
constexpr TextPair kDatabase{"DataBase Name", "資料庫名稱"};
constexpr TextPair kTable{"Table Name", "資料表名稱"};
constexpr TextPair kSheet{"Sheet Name", "工作表名稱"};
constexpr TextPair kUser{"User Name", "使用者帳號"};
constexpr TextPair kPassword{"Password", "使用者密碼"};
constexpr TextPair kNone{"", ""};

const QString kTitle = QStringLiteral("資料庫內容");

}  // namespace

std::array<TextPair, 5> ConnectionRowNames(const QString& t) {
    if (t == QLatin1String("SQLSERVER") || t == QLatin1String("MYSQL"))
        return {kServer, kDatabase, kTable, kUser, kPassword};
    if (t == QLatin1String("ORACLE")) return {kService, kTable, kUser, kPassword, kNone};
    if (IsSheetDBType(t)) return {kWorkbook, kSheet, kUser, kPassword, kNone};
    if (IsFileDBType(t)) return {kFilePath, kTable, kUser, kPassword, kNone};
    if (t == QLatin1String("POSTGRESQL")) return {kNone, kNone, kNone, kNone, kNone};
    return {TextPair{"資料庫路徑", "資料庫路徑"}, TextPair{"資料表名稱", "資料表名稱"},
            TextPair{"使用者帳號", "使用者帳號"}, TextPair{"使用者密碼", "使用者密碼"}, kNone};
}

frmEditDBContent::frmEditDBContent(QWidget* parent) : ConfigDialog(parent) {
    setupUi(this);
    connect(cmdOK, &QPushButton::clicked, this, &ConfigDialog::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &ConfigDialog::cmdCancel_Click);
    connect(cmdSelectFile, &QPushButton::clicked, this, &frmEditDBContent::cmdSelectFile_Click);
    if (layout()) layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void frmEditDBContent::LoadFormObj(frmGroupConfig& frm) {
    mString.clear();
    const QString dsc = frm.lblDBTypeName->text();
    const auto t = SettingUtil::FindDBSettingsByTypeDsc(dsc);
    mDBType = t ? t->DBTypeName : QString();
    mDBTypeDsc = t ? t->DBTypeDsc : QString();
    mDBFilter = t ? t->DBFilter : QString();
    mdbIsDefaultFilePath = frm.mdbIsDefaultFilePath;
    lblDBTypeName->setText(dsc);
    cmdSelectFile->setVisible(false);
    chkKeepConnectionAliveAfterSaveDataForExcel->setVisible(false);
    ApplyCaptions(
        *this,
        {{"frmEditDBContent", {"資料庫內容", "資料庫內容"}},
         {"Label15", {"資料庫種類", "資料庫種類"}},
         {"chkKeepConnectionAliveAfterSaveDataForExcel",
          {"每次存檔結束後，本程式就關閉與資料庫的連結", "每次存檔結束後，本程式就關閉與資料庫的連結"}},
         {"cmdSelectFile", {"...", "..."}},
         {"cmdOK", {"確定", "確定"}},
         {"cmdCancel", {"取消", "取消"}}});

    const QString& type = mDBType;
    const std::array<TextPair, 5> names = ConnectionRowNames(type);
    int rows = 4;
    bool load = true;
    if (IsSheetDBType(type)) {
        // The workbook row is named in Chinese in both languages, by where the workbook lies.
        lblDBName1->setText(Config().WorkingGroup.S().dbIsDefaultFilePath == 1
                                ? QStringLiteral("活頁簿名稱")
                                : QStringLiteral("活頁簿路徑"));
    } else if (type == QLatin1String("SQLSERVER") || type == QLatin1String("MYSQL")) {
        rows = 5;
    } else if (type == QLatin1String("POSTGRESQL")) {
        rows = 5;
        load = false;
    }
    QLabel* const editorValues[] = {frm.lblDBSetting1, frm.lblDBSetting2, frm.lblDBSetting3,
                                    frm.lblDBSetting4, frm.lblDBSetting5};
    QLabel* const rowNames[] = {lblDBName1, lblDBName2, lblDBName3, lblDBName4, lblDBName5};
    QLineEdit* const boxes[] = {txtDBSetting1, txtDBSetting2, txtDBSetting3, txtDBSetting4, txtDBSetting5};
    for (int i = 0; i < 5; ++i) {
        if (load && i < rows) boxes[i]->setText(editorValues[i]->text());
        if (!(IsSheetDBType(type) && i == 0)) rowNames[i]->setText(Tx(names[static_cast<size_t>(i)]));
    }
    lblDBName5->setVisible(rows == 5);
    txtDBSetting5->setVisible(rows == 5);

    if (IsSheetDBType(type)) {
        chkKeepConnectionAliveAfterSaveDataForExcel->setVisible(true);
        chkKeepConnectionAliveAfterSaveDataForExcel->setChecked(
            frm.chkKeepConnectionAliveAfterSaveDataForExcel->isChecked());
        cmdSelectFile->setVisible(true);
        mDBFilePath = frm.lblDBSetting1->text().trimmed();
    } else if (IsFileDBType(type)) {
        cmdSelectFile->setVisible(true);
        mDBFilePath = txtDBSetting1->text().trimmed();
        if (State().LanguageIndex == 0) setWindowTitle(QStringLiteral("Database Settings"));
    }
    if (layout()) layout()->activate();
    adjustSize();
}

void frmEditDBContent::cmdSelectFile_Click() {
    const QString chosen = TagListUtil::ShowOpenFileDialog(mDBType, mDBTypeDsc, mDBFilter);
    if (!chosen.isEmpty()) txtDBSetting1->setText(chosen);
}

bool frmEditDBContent::CheckFormObj() {
    mFocusObj = nullptr;
    checkedFilePath_.clear();
    QLabel* const rowNames[] = {lblDBName1, lblDBName2, lblDBName3, lblDBName4, lblDBName5};
    QLineEdit* const boxes[] = {txtDBSetting1, txtDBSetting2, txtDBSetting3, txtDBSetting4, txtDBSetting5};
    for (int i = 0; i < 5; ++i) {
        if (!boxes[i]->isVisibleTo(this)) continue;
        if (const auto fault = FindTextFault(boxes[i]->text(), false, false)) {
            const QString what = rowNames[i]->text().isEmpty() ? QString::number(i + 1) : rowNames[i]->text();
            ShowTextFault(what, boxes[i]->text().trimmed(), *fault);
            mFocusObj = boxes[i];
            return false;
        }
    }
    const QString type = mDBType.toUpper();
    if (IsSheetDBType(type)) {
        const QString f = FileUtil::GetAbsolutePathName(txtDBSetting1->text().trimmed());
        if (FileUtil::FileExists(f)) return true;
        const QString last = State().LanguageIndex == 0 ? QStringLiteral("請重新設定活頁簿檔案!")
                                                        : QStringLiteral("請重新設定活頁簿檔案路徑!");
        MsgLines({QStringLiteral("活頁簿檔案路徑不存在!"), QStringLiteral("活頁簿檔案路徑: ") + f, last},
                 MsgStyle::Critical | MsgStyle::OkOnly, kTitle);
        mFocusObj = txtDBSetting1;
        return false;
    }
    if (!IsFileDBType(type)) return true;
    QString p = txtDBSetting1->text().trimmed();
    if (p != mDBFilePath) {
        if (p.startsWith(QLatin1String("..")))
            mdbIsDefaultFilePath = 1;
        else if (!SettingUtil::IsFullPath(p) && mdbIsDefaultFilePath == 1)
            p = SettingUtil::DataFilePath(State().ProjectName, p);
    }
    const QString f = FileUtil::GetAbsolutePathName(p);
    if (!FileUtil::FileExists(f)) {
        MsgLines({QStringLiteral("資料庫檔案路徑不存在!"), QStringLiteral("資料庫檔案路徑: ") + f,
                  QStringLiteral("請重新設定資料庫檔案路徑!")},
                 MsgStyle::Critical | MsgStyle::OkOnly, kTitle);
        mFocusObj = txtDBSetting1;
        return false;
    }
    checkedFilePath_ = p;
    return true;
}

void frmEditDBContent::SaveFormObj() {
    // The file is read later from the path that passed the check, not from the name as typed.
    if (!checkedFilePath_.isEmpty()) txtDBSetting1->setText(checkedFilePath_);
}
