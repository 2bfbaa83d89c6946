#include "config/wizard/frmDBSetup1.h"

#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/groupedit/frmEditSaveDBWay.h"
#include "config/wizard/frmOfflineDBSetup4.h"
#include "config/wizard/frmSelectDataBaseRootDir.h"

namespace {

constexpr TextPair kTitleOnline{"Database Wizard - Step 1 of 5 Select Database type and Database File Usage",
                                "資料庫設定精靈 - 步驟 5 之 1  選擇資料庫種類及檔案切割方式"};
constexpr TextPair kTitleOffline{
    "Database Wizard - Step 1 of 4 Select Database type and Database File Usage (Offline)",
    "資料庫設定精靈 - 步驟 4 之 1  選擇資料庫種類及檔案切割方式 (離線規畫)"};

constexpr TextPair kRootTitle{"Database File Usage Error", "檔案切割方式設定錯誤"};
constexpr TextPair kRootLine1{"Since [Multiple Database] is selected in Database File Usage,",
                              "因為您所選擇的檔案切割方式為 [分散資料檔]!"};
constexpr TextPair kRootLine2{"Root Folder setting cannot be blank. Please enter again!",
                              "所以分散資料檔的根目錄設定不得為空白, 請重新輸入!"};

// The line end as its characters; the words of the settings files are taken as well.
QString LineEndCharacters(const QString& lineEnd) {
    if (lineEnd == QLatin1String("CRLF")) return QStringLiteral("\r\n");
    if (lineEnd == QLatin1String("LF")) return QStringLiteral("\n");
    if (lineEnd == QLatin1String("CR")) return QStringLiteral("\r");
    return lineEnd;
}

QString TagPart(const QString& name, bool value) {
    if (name.isEmpty()) return QString();
    return value ? QStringLiteral("VALUE") : QStringLiteral("MESSAGE");
}

}  // namespace

frmDBSetup1::frmDBSetup1(QWidget* parent) : WizardPage(parent) {
    setupUi(this);
    BindPage(*this, false);
    cmdPrevious->setEnabled(false);
    // Each pair of options is a choice of its own, also where one pair lies inside the other's frame.
    PairOptions(
        *this,
        {{optSingle, optDspersed}, {optDirTagMsg, optDirTagValue}, {optFileNameTagMsg, OptFileNameTagValue}});
    connect(cmbDBTypeName, &QComboBox::activated, this, &frmDBSetup1::cmbDBTypeName_Click);
    connect(chkSaveCSV, &QCheckBox::toggled, this, &frmDBSetup1::chkSaveCSV_Click);
    connect(optSingle, &QRadioButton::toggled, this, &frmDBSetup1::optSingle_Click);
    connect(optDspersed, &QRadioButton::toggled, this, &frmDBSetup1::optSingle_Click);
    connect(cmdSelectDir, &QPushButton::clicked, this, &frmDBSetup1::cmdSelectDir_Click);
    connect(cmdSelectCSVDB, &QPushButton::clicked, this, &frmDBSetup1::cmdSelectCSVDB_Click);
}

void frmDBSetup1::SetCaptions() {
    SetPageButtonCaptions();
    ApplyCaptions(
        *this,
        {{"frmDBSetup1", mIsOfflineConfigDB ? kTitleOffline : kTitleOnline},
         {"Frame3", {"Please select a database type", "請選擇資料庫種類"}},
         {"chkSaveCSV", {"同時儲存 CSV 檔案", "同時儲存 CSV 檔案"}},
         {"cmdSelectCSVDB", {"CSV 資料檔案的切割方式設定", "CSV 資料檔案的切割方式設定"}},
         {"Frame1", {"Please select database file usage", "請選擇資料庫檔案的切割方式"}},
         {"optSingle",
          {"Single Database - Data will always be stored in the same single database",
           "單一資料庫--所有資料皆集中記錄在一個資料庫"}},
         {"optDspersed",
          {"Multiple Database - Data will always be stored in database selected at runtime",
           "分散資料檔--資料將分散記錄於多個資料檔案（僅適用於Excel及Access）"}},
         {"Label18",
          {"Multiple database file names are composed of three parts",
           "分散資料檔的檔案路徑，由三部份組合而成"}},
         {"Label11", {"(1) Root Folder", "(1) 根目錄"}},
         {"cmdSelectDir", {"...", "..."}},
         {"Label12", {"(2) Subfolder - Decided by Tag", "(2) 次目錄 --  由圖控的Tag決定"}},
         {"Label14", {"(3) File - Decided by Tag", "(3) 檔名 --  由圖控的Tag決定"}},
         {"Label19", {"Tag Name", "Tag 名稱"}},
         {"Label20", {"Tag Name", "Tag 名稱"}},
         {"optDirTagMsg", {"Message", "訊息"}},
         {"optDirTagValue", {"Value", "數值"}},
         {"optFileNameTagMsg", {"Message", "訊息"}},
         {"OptFileNameTagValue", {"Value", "數值"}},
         {"Label2",
          {"1. Please select the type of database used and how database file will ba used at runtime.",
           "1. 請選擇使用的資料庫種類，及執行時資料庫檔案的切割方式。"}},
         {"Label1",
          {"2. Database file usage depends on database type used. Multiple databases can only be ",
           "2. 資料庫檔案的切割方式依資料庫種類而定，分散資料檔只適用於"}},
         {"Label3", {"applied to Excel and Access.", "Excel 及 Access。"}},
         {"Label4",
          {"3. 若資料庫種類為CSV時，有關資料庫檔案切割方式請點選",
           "3. 若資料庫種類為CSV時，有關資料庫檔案切割方式請點選"}},
         {"Label5", {"「CSV 資料檔案的切割方式設定」按鈕。", "「CSV 資料檔案的切割方式設定」按鈕。"}}});
}

void frmDBSetup1::LoadFormObj(bool tmpIsOfflineConfigDB) {
    mFocusObj = nullptr;
    mIsOfflineConfigDB = tmpIsOfflineConfigDB;
    optSingle->setChecked(true);
    SetDspersedContent(false);
    mDBTypeName.clear();
    mDBTypeDsc.clear();
    mDBFilter.clear();
    mDataBaseRootDir.clear();
    mDirTagName.clear();
    mDirTagType.clear();
    mFileNameTagName.clear();
    mFileNameTagType.clear();
    mIsDBSingle = true;
    mLoadDefaultCSVSetting = true;
    mbCSVConfirmed = false;
    SetCaptions();

    ProgramState& st = State();
    cmbDBTypeName->clear();
    for (int i = 1; i <= st.DBTypeCount && i <= kMaxDBTypes; ++i)
        cmbDBTypeName->addItem(st.Template(i).DBTypeDsc);
    if (cmbDBTypeName->count() == 0) return;
    cmbDBTypeName->setCurrentIndex(0);
    cmbDBTypeName_Click();
}

void frmDBSetup1::SetDspersedContent(bool tmpIsEnable) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             txtDataBaseRootDir, cmdSelectDir, txtDirTag, optDirTagMsg, optDirTagValue, txtFileNameTag,
             optFileNameTagMsg, OptFileNameTagValue, Label11, Label12, Label14, Label18, Label19, Label20})
        w->setEnabled(tmpIsEnable);
    if (!tmpIsEnable) {
        txtDataBaseRootDir->clear();
        txtDirTag->clear();
        txtFileNameTag->clear();
    }
}

void frmDBSetup1::cmbDBTypeName_Click() {
    // A description without a template (an edited or empty list) is no type.
    const auto t = SettingUtil::FindDBSettingsByTypeDsc(cmbDBTypeName->currentText());
    const QString type = t ? t->DBTypeName : QString();
    chkSaveCSV->setEnabled(true);
    cmdSelectCSVDB->setEnabled(false);
    const std::initializer_list<QWidget*> usage{Frame1,
                                                Label11,
                                                Label12,
                                                Label14,
                                                Label18,
                                                Label19,
                                                Label20,
                                                optSingle,
                                                optDspersed,
                                                txtDataBaseRootDir,
                                                txtDirTag,
                                                txtFileNameTag,
                                                optFileNameTagMsg,
                                                OptFileNameTagValue,
                                                optDirTagMsg,
                                                optDirTagValue};
    for (QWidget* w : usage) w->setEnabled(true);
    chkSaveCSV->setChecked(false);
    // The rules of the type apply at every choice, also when the type chosen is the one last
    // seen (after Previous): a server never keeps dispersed files.
    if (IsFileDBType(type)) {
        optDspersed->setEnabled(true);
        optSingle->setEnabled(true);
    } else if (SaveGroupUtil::KeepsNoDatabaseFiles(type)) {
        optDspersed->setEnabled(false);
        optSingle->setEnabled(true);
        optSingle->setChecked(true);
        SetDspersedContent(false);
    } else if (type == QLatin1String("CSV")) {
        for (QWidget* w : usage) w->setEnabled(false);
    }
    if (type == QLatin1String("CSV")) {
        chkSaveCSV->setEnabled(false);
        chkSaveCSV->setChecked(false);
        cmdSelectCSVDB->setEnabled(true);
    }
    mDBTypeName = type;
}

void frmDBSetup1::chkSaveCSV_Click() {
    cmdSelectCSVDB->setEnabled(chkSaveCSV->isChecked());
}

void frmDBSetup1::optSingle_Click() {
    SetDspersedContent(!optSingle->isChecked());
}

void frmDBSetup1::cmdSelectDir_Click() {
    frmSelectDataBaseRootDir& picker = FormObj<frmSelectDataBaseRootDir>();
    picker.LoadFormObj(QString());
    if (picker.mString == kResultOK) txtDataBaseRootDir->setText(picker.mDataBaseRootDir);
}

void frmDBSetup1::SelectSaveCSVDBWay() {
    frmEditSaveDBWay& dlg = FormObj<frmEditSaveDBWay>();
    bool loadDefaults = mLoadDefaultCSVSetting;
    dlg.LoadFormObj(true, true, loadDefaults);
    if (dlg.mString != kResultOK) return;
    mCSVDataBaseRootDir = dlg.mDataBaseRootDir;
    mCSVDirTagName = dlg.mDirTagName;
    mCSVDirTagType = dlg.mDirTagType;
    mCSVFileNameTagName = dlg.mFileNameTagName;
    mCSVFileNameTagType = dlg.mFileNameTagType;
    mCSVFilePath = dlg.mDBFilePath;
    mbFixDataLength = dlg.mbFixDataLength;
    mbUseFieldTitle = dlg.mbUseFieldTitle;
    mDelimiterCharacter = dlg.mDelimiterCharacter;
    mNewlineCharacter = LineEndCharacters(dlg.mNewlineCharacter);
    mKeepConnectionAliveAfterSaveData = dlg.mKeepConnectionAliveAfterSaveData;
    mLoadDefaultCSVSetting = false;
    mbCSVConfirmed = true;
}

bool frmDBSetup1::CheckFormObj() {
    mFocusObj = nullptr;
    // A box that cannot be edited (the type keeps no database files) is not blamed.
    if (optDspersed->isChecked() && txtDataBaseRootDir->isEnabled() && txtDataBaseRootDir->text().isEmpty()) {
        MsgLines({Tx(kRootLine1), Tx(kRootLine2)}, MsgStyle::Critical | MsgStyle::OkOnly, Tx(kRootTitle));
        mFocusObj = txtDataBaseRootDir;
        return false;
    }
    return true;
}

void frmDBSetup1::SaveFormObj() {
    const auto t = SettingUtil::FindDBSettingsByTypeDsc(cmbDBTypeName->currentText());
    mDBTypeName = t ? t->DBTypeName : QString();
    mDBTypeDsc = t ? t->DBTypeDsc : QString();
    mDBFilter = t ? t->DBFilter : QString();
    if (optSingle->isChecked()) {
        mIsDBSingle = true;
        mDataBaseRootDir.clear();
        mDirTagName.clear();
        mDirTagType.clear();
        mFileNameTagName.clear();
        mFileNameTagType.clear();
    } else {
        mIsDBSingle = false;
        mDataBaseRootDir = txtDataBaseRootDir->text().trimmed();
        mDirTagName = txtDirTag->text().trimmed();
        mDirTagType = TagPart(mDirTagName, optDirTagValue->isChecked());
        mFileNameTagName = txtFileNameTag->text().trimmed();
        mFileNameTagType = TagPart(mFileNameTagName, OptFileNameTagValue->isChecked());
    }
    mbSaveCSV = chkSaveCSV->isChecked();
}

WizardPage* frmDBSetup1::LoadNextPage() {
    if (mDBTypeName == QLatin1String("CSV")) {
        FormObj<frmOfflineDBSetup4>().LoadFormObj();
        return &FormObj<frmOfflineDBSetup4>();
    }
    WizardConnectionPage* page = ConnectionPage(mDBTypeName);
    if (page) page->LoadFormObj();
    return page;
}
