#include "config/groupedit/frmEditSaveDBWay.h"

#include <utility>

#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/core/ConfigState.h"
#include "config/core/ProjectTags.h"
#include "config/groupedit/CsvLineEnd.h"
#include "config/groupedit/TypedText.h"
#include "config/groupedit/frmGroupConfig.h"
#include "config/wizard/WizardPage.h"
#include "config/wizard/frmSelectDataBaseRootDir.h"

namespace {

constexpr TextPair kUsageTitle{"Database File Usage Error", "檔案切割方式設定錯誤"};
constexpr TextPair kRootBlank1{"Since [Multiple Database] is selected in Database File Usage,",
                               "因為您所選擇的檔案切割方式為 [分散資料檔]!"};
constexpr TextPair kRootBlank2{"Root Folder setting cannot be blank. Please enter again!",
                               "所以分散資料檔的根目錄設定不得為空白, 請重新輸入!"};
constexpr TextPair kRootInvalid1{"Root Folder path is invalid, please enter again! ",
                                 "所指定的分散資料檔根目錄路徑不合法, 請重新輸入! "};
constexpr TextPair kRootInvalid2{"Root Folder setting is [", "根目錄路徑為 ["};

// Inputs named in the messages about text the settings file cannot keep.
constexpr TextPair kFilePathWhat{"File Path", "檔案路徑"};
constexpr TextPair kDirTagWhat{"Subfolder Tag", "次目錄 Tag"};
constexpr TextPair kFileTagWhat{"File Tag", "檔名 Tag"};
constexpr TextPair kDelimiterWhat{"Delimiter", "分隔符號"};

bool IsMessagePart(const QString& part) {
    return part == QLatin1String("MSG") || part == QLatin1String("MESSAGE");
}

}  // namespace

frmEditSaveDBWay::frmEditSaveDBWay(QWidget* parent) : ConfigDialog(parent) {
    setupUi(this);
    BindButtons(cmdOK, cmdCancel, cmdHelp);
    // Each pair of options is a choice of its own, also where one pair lies inside the other's frame.
    PairOptions(
        *this,
        {{optSingle, optDspersed}, {optDirTagMsg, optDirTagValue}, {optFileNameTagMsg, OptFileNameTagValue}});
    optDirTagValue->setChecked(true);
    OptFileNameTagValue->setChecked(true);
    optSingle->setChecked(true);
    connect(optSingle, &QRadioButton::toggled, this, [this](bool on) {
        if (on) optSingle_Click();
    });
    connect(optDspersed, &QRadioButton::toggled, this, [this](bool on) {
        if (on) optDspersed_Click();
    });
    connect(chkbNewlineCharacter, &QCheckBox::toggled, this, &frmEditSaveDBWay::chkbNewlineCharacter_Click);
    connect(cmdSelectDBFilePath, &QPushButton::clicked, this, &frmEditSaveDBWay::cmdSelectDBFilePath_Click);
    connect(cmdSelectDir, &QPushButton::clicked, this, &frmEditSaveDBWay::cmdSelectDir_Click);
    if (layout()) layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void frmEditSaveDBWay::LoadFormObj(bool tmpIsSaveCSV, bool tmpbFromDBSettingWizard,
                                   bool& tmpbLoadCSVDefault) {
    mIsSaveCSV = tmpIsSaveCSV;
    mbFromDBSettingWizard = tmpbFromDBSettingWizard;
    for (QLineEdit* box : {txtDBFilePath, txtDataBaseRootDir, txtDirTag, txtFileNameTag}) box->clear();
    if (!mbFromDBSettingWizard) {
        const auto t = SettingUtil::FindDBSettingsByTypeDsc(FormObj<frmGroupConfig>().lblDBTypeName->text());
        mxDBSettings = t ? *t : xDBSettings();
    }
    if (mIsSaveCSV)
        LoadCSVSetting();
    else
        LoadDBSetting();
    if (tmpbLoadCSVDefault) LoadDefaultCSVSettings();
    LayoutFormObj();
    exec();
}

void frmEditSaveDBWay::SetCaptions() {
    const bool csv = mIsSaveCSV;
    auto byMode = [csv](TextPair db, TextPair file) { return csv ? file : db; };
    ApplyCaptions(
        *this,
        {{"frmEditSaveDBWay", {"Database File Usage", "資料檔案切割方式"}},
         {"Frame1", byMode({"Please select database file usage", "請選擇資料庫檔案的切割方式"},
                           {"Please select CSV file usage", "請選擇 CSV 資料檔案的切割方式"})},
         {"optSingle", byMode({"Single Database - Data will always be stored in the same single database",
                               "單一資料庫--所有資料皆集中記錄在一個資料庫"},
                              {"Single CSV file - Data will always be stored in the same single CSV file",
                               "單一資料檔--所有資料皆集中記錄在一個 CSV 資料檔案"})},
         {"optDspersed",
          byMode({"Multiple Database - Data will always be stored in database selected at runtime",
                  "分散資料檔--資料將分散記錄於多個資料檔案（僅適用於Excel及Access）"},
                 {"Multiple CSV file - Data will always be stored in CSV file selected at runtime",
                  "分散資料檔--資料將分散記錄於多個資料檔案（僅適用於CSV、Excel及Access）"})},
         {"Label18", byMode({"Multiple database file names are composed of three parts",
                             "分散資料檔的檔案路徑，由三部份組合而成"},
                            {"Multiple CSV file names are composed of three parts",
                             "分散資料檔的檔案路徑，由三部份組合而成"})},
         {"Label11", {"(1) Root Folder", "(1) 根目錄"}},
         {"Label12", {"(2) Subfolder - Decided by Tag", "(2) 次目錄 --  由圖控的Tag決定"}},
         {"Label14", {"(3) File - Decided by Tag", "(3) 檔名 --  由圖控的Tag決定"}},
         {"Label19", {"Tag Name", "Tag 名稱"}},
         {"Label20", {"Tag Name", "Tag 名稱"}},
         {"optDirTagMsg", {"Message", "訊息"}},
         {"optFileNameTagMsg", {"Message", "訊息"}},
         {"optDirTagValue", {"Value", "數值"}},
         {"OptFileNameTagValue", {"Value", "數值"}},
         {"cmdOK", kCaptionOK},
         {"cmdCancel", kCaptionCancel},
         {"cmdHelp", kCaptionHelp},
         {"cmdSelectDBFilePath", {"...", "..."}},
         {"cmdSelectDir", {"...", "..."}},
         // The CSV file options have their Chinese captions in both languages.
         {"frmCSVSettings", {"CSV設定", "CSV設定"}},
         {"chkCSVCloseConnectionAfterSaveData",
          {"每次存檔結束後，本程式就關閉 CSV 資料檔", "每次存檔結束後，本程式就關閉 CSV 資料檔"}},
         {"chkbFixDataLength", {"每個資料內容為固定長度，不足補空白", "每個資料內容為固定長度，不足補空白"}},
         {"chkbUseFieldTitle", {"CSV 檔案，第一行為欄位抬頭", "CSV 檔案，第一行為欄位抬頭"}},
         {"chkbNewlineCharacter", {"換行符號", "換行符號"}},
         {"Label4", {"分隔符號", "分隔符號"}}});
}

void frmEditSaveDBWay::ShowTag(QLineEdit* name, QRadioButton* message, QRadioButton* value,
                               const QString& tagName, const QString& tagType) {
    name->setText(tagName);
    if (IsMessagePart(tagType))
        message->setChecked(true);
    else if (tagType == QLatin1String("VALUE") || tagType.isEmpty())
        value->setChecked(true);
}

void frmEditSaveDBWay::LoadDBSetting() {
    mFocusObj = nullptr;
    mString.clear();
    xSvcSettings& s = Config().WorkingGroup.S();
    mDBTypeName = s.dbDBTypeName;
    mDataBaseRootDir = s.dbSDataBaseRootDir;
    mDirTagName = s.dbSDirTag.Name;
    mDirTagType = s.dbSDirTag.DataType;
    mFileNameTagName = s.dbSFileNameTag.Name;
    mFileNameTagType = s.dbSFileNameTag.DataType;
    mDBFilePath = s.dbFilePath;
    ShowFileUsage();
    if (IsFileDBType(mDBTypeName) || mDBTypeName == QLatin1String("CSV"))
        optDspersed->setEnabled(true);
    else if (SaveGroupUtil::KeepsNoDatabaseFiles(mDBTypeName))
        optDspersed->setEnabled(false);
}

void frmEditSaveDBWay::LoadCSVSetting() {
    mFocusObj = nullptr;
    mString.clear();
    xSvcSettings& s = Config().WorkingGroup.S();
    mDBTypeName = QStringLiteral("CSV");
    mDataBaseRootDir = s.dbSCSVDataBaseRootDir;
    mDirTagName = s.dbSCSVDirTag.Name;
    mDirTagType = s.dbSCSVDirTag.DataType;
    mFileNameTagName = s.dbSCSVFileNameTag.Name;
    mFileNameTagType = s.dbSCSVFileNameTag.DataType;
    mDBFilePath = s.dbCSVFilePath;
    mNewlineCharacter = s.dbSCSVNewlineCharacter;
    mKeepConnectionAliveAfterSaveData = s.dbSCSVKeepConnectionAliveAfterSaveData;
    chkbNewlineCharacter->setChecked(!mNewlineCharacter.isEmpty());
    chkCSVCloseConnectionAfterSaveData->setChecked(mKeepConnectionAliveAfterSaveData != 1);
    ShowFileUsage();
    optDspersed->setEnabled(true);
}

void frmEditSaveDBWay::ShowFileUsage() {
    if (mDataBaseRootDir.isEmpty()) {
        optSingle->setChecked(true);
        SetDspersedContent(false);
    } else {
        mIsDBSingle = false;
        optDspersed->setChecked(true);
        SetDspersedContent(true);
    }
    SetCaptions();
    txtDBFilePath->setText(mDBFilePath);
    txtDataBaseRootDir->setText(mDataBaseRootDir);
    ShowTag(txtDirTag, optDirTagMsg, optDirTagValue, mDirTagName, mDirTagType);
    ShowTag(txtFileNameTag, optFileNameTagMsg, OptFileNameTagValue, mFileNameTagName, mFileNameTagType);
}

void frmEditSaveDBWay::LoadDefaultCSVSettings() {
    txtDelimiterCharacter->setText(QStringLiteral(","));
    chkbNewlineCharacter->setChecked(true);
    chkCSVCloseConnectionAfterSaveData->setChecked(true);
}

void frmEditSaveDBWay::LayoutFormObj() {
    frmCSVSettings->setVisible(mbFromDBSettingWizard);
    if (mbFromDBSettingWizard) mkCmbNewlineCharacter();
    if (layout()) layout()->activate();
    adjustSize();
}

void frmEditSaveDBWay::mkCmbNewlineCharacter() {
    FillLineEndList(*cmbNewlineCharacter);
}

void frmEditSaveDBWay::SetDspersedContent(bool dispersed) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             txtDataBaseRootDir, cmdSelectDir, txtDirTag, optDirTagMsg, optDirTagValue, txtFileNameTag,
             optFileNameTagMsg, OptFileNameTagValue, Label11, Label12, Label14, Label18, Label19, Label20})
        w->setEnabled(dispersed);
    txtDBFilePath->setEnabled(!dispersed);
    cmdSelectDBFilePath->setEnabled(!dispersed);
    if (!dispersed) {
        txtDataBaseRootDir->clear();
        txtDirTag->clear();
        txtFileNameTag->clear();
    }
}

void frmEditSaveDBWay::optSingle_Click() {
    SetDspersedContent(!optSingle->isChecked());
}

void frmEditSaveDBWay::optDspersed_Click() {
    SetDspersedContent(!optSingle->isChecked());
}

void frmEditSaveDBWay::chkbNewlineCharacter_Click() {
    ShowLineEndList(*cmbNewlineCharacter, chkbNewlineCharacter->isChecked());
}

void frmEditSaveDBWay::cmdSelectDBFilePath_Click() {
    const auto t = SettingUtil::FindDBSettingsByTypeName(mDBTypeName);
    // A type without a template offers every file.
    const QString description = t ? t->DBTypeDsc : mDBTypeName;
    const QString pattern = t && !t->DBFilter.isEmpty() ? t->DBFilter : QStringLiteral("*.*");
    const QString chosen = TagListUtil::ShowOpenFileDialog(mDBTypeName, description, pattern);
    // Cancelling the picker keeps the path typed.
    if (!chosen.isEmpty()) txtDBFilePath->setText(chosen);
}

void frmEditSaveDBWay::cmdSelectDir_Click() {
    auto& picker = FormObj<frmSelectDataBaseRootDir>();
    picker.LoadFormObj(txtDataBaseRootDir->text().trimmed());
    if (picker.mString == kResultOK) txtDataBaseRootDir->setText(picker.mDataBaseRootDir);
}

bool frmEditSaveDBWay::CheckFormObj() {
    mFocusObj = nullptr;
    auto refuse = [this](QLineEdit* box, const TextPair& what, TextFault fault) {
        ShowTextFault(Tx(what), box->text().trimmed(), fault);
        mFocusObj = box;
        return false;
    };
    if (mbFromDBSettingWizard)
        if (auto fault = FindTextFault(txtDelimiterCharacter->text(), false, false))
            return refuse(txtDelimiterCharacter, kDelimiterWhat, *fault);
    if (!optDspersed->isChecked()) {
        if (auto fault = FindTextFault(txtDBFilePath->text(), false, false))
            return refuse(txtDBFilePath, kFilePathWhat, *fault);
        return true;
    }
    const QString root = txtDataBaseRootDir->text().trimmed();
    if (root.isEmpty()) {
        MsgLines({Tx(kRootBlank1), Tx(kRootBlank2)}, MsgStyle::Critical | MsgStyle::OkOnly, Tx(kUsageTitle));
        mFocusObj = txtDataBaseRootDir;
        return false;
    }
    if (!FileUtil::IsValidPath(root)) {
        MsgLines({Tx(kRootInvalid1), Tx(kRootInvalid2) + txtDataBaseRootDir->text() + u']'},
                 MsgStyle::Critical | MsgStyle::OkOnly, Tx(kUsageTitle));
        mFocusObj = txtDataBaseRootDir;
        return false;
    }
    // A folder or file tag is written as NAME.PART.
    if (auto fault = FindTextFault(txtDirTag->text().trimmed(), true, true))
        return refuse(txtDirTag, kDirTagWhat, *fault);
    if (auto fault = FindTextFault(txtFileNameTag->text().trimmed(), true, true))
        return refuse(txtFileNameTag, kFileTagWhat, *fault);
    return true;
}

void frmEditSaveDBWay::SaveFormObj() {
    if (optSingle->isChecked()) {
        mIsDBSingle = true;
        mDataBaseRootDir.clear();
        mDirTagName.clear();
        mDirTagType.clear();
        mFileNameTagName.clear();
        mFileNameTagType.clear();
        mDBFilePath = txtDBFilePath->text().trimmed();
    } else {
        mIsDBSingle = false;
        mDataBaseRootDir = txtDataBaseRootDir->text().trimmed();
        mDirTagName = txtDirTag->text().trimmed();
        mDirTagType = mDirTagName.isEmpty()         ? QString()
                      : optDirTagValue->isChecked() ? QStringLiteral("VALUE")
                                                    : QStringLiteral("MESSAGE");
        mFileNameTagName = txtFileNameTag->text().trimmed();
        mFileNameTagType = mFileNameTagName.isEmpty()         ? QString()
                           : OptFileNameTagValue->isChecked() ? QStringLiteral("VALUE")
                                                              : QStringLiteral("MESSAGE");
    }
    if (!mbFromDBSettingWizard) return;
    mbFixDataLength = chkbFixDataLength->isChecked();
    mbUseFieldTitle = chkbUseFieldTitle->isChecked();
    mDelimiterCharacter = txtDelimiterCharacter->text().trimmed();
    mNewlineCharacter = chkbNewlineCharacter->isChecked()
                            ? LineEndChars(cmbNewlineCharacter->currentText(), mNewlineCharacter)
                            : QString();
    mKeepConnectionAliveAfterSaveData = chkCSVCloseConnectionAfterSaveData->isChecked() ? 0 : 1;
}
