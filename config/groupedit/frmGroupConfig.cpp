#include "config/groupedit/frmGroupConfig.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <cmath>

#include "common/FileUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/core/ConfigState.h"
#include "config/core/DBProbe.h"
#include "config/core/SaveGroupModel.h"
#include "config/groupedit/CsvLineEnd.h"
#include "config/groupedit/TypedText.h"
#include "config/groupedit/frmEditDBContent.h"
#include "config/groupedit/frmEditSaveDBWay.h"
#include "config/groupedit/frmFieldContent.h"
#include "config/wizard/DBSetupWizard.h"
#include "config/wizard/WizardPage.h"
#include "config/wizard/frmAddNewOfflineField.h"

namespace {

constexpr int kStyleError = MsgStyle::Critical | MsgStyle::OkOnly;
constexpr int kStyleQuestion = MsgStyle::YesNo | MsgStyle::Information;

constexpr TextPair kAppend{"Append", "新增"};
constexpr TextPair kOverwrite{"Overwrite all", "覆寫"};
constexpr TextPair kUpdate{"Update", "更新"};

constexpr TextPair kNotFoundTitle{"Fail to open the save group", "開啟存檔群組失敗"};
constexpr TextPair kNotFound1{"Fail to open the save group!", "開啟存檔群組失敗!"};
constexpr TextPair kNotFound2{"The save group [", "該存檔群組["};
constexpr TextPair kNotFound3{"] does not exist.", "]不存在。"};
constexpr TextPair kNotFound4{"Please specify the save group name again.", "請重新指定存檔群組名稱"};

constexpr TextPair kIntervalTitle{"Cyclic Storgage setting error", "週期性存檔設定錯誤"};
constexpr TextPair kInterval1{"Cyclic Storgage setting error!", "週期性存檔設定錯誤!"};
constexpr TextPair kInterval2{"Interval cannot be less than 0 second.", "存檔間隔不得少0秒。"};
constexpr TextPair kInterval3{"Please enter interval again!", "請重新輸入存檔間隔!"};

constexpr TextPair kTagTitle{"Error-Tag name", "Tag 名稱輸入錯誤"};
constexpr TextPair kTagBlank1{"Fail to specify the Tag name!", "Tag 名稱輸入錯誤!"};
constexpr TextPair kTagBlank2{"The Tag name cannot be blank.", "Tag 名稱不得為空白。"};
constexpr TextPair kTagHead{"Tag name[", "Tag 名稱["};
constexpr TextPair kTagHeadTail{"] error!", "]輸入錯誤!"};
constexpr TextPair kTagLength{"The length of Tag name cannot exceed 8 characters.",
                              "Tag 名稱的長度不得超過8個字元。"};
constexpr TextPair kTagFieldTail{"].", "]。"};
constexpr TextPair kTagAgain{"Please enter Tag name again or cancel the operation.",
                             "請重新輸入Tag 名稱或取消本功能!"};
constexpr TextPair kTriggerFunction{
    "This function [Storage Method- Triggered by Tag] does not support this Tag field[",
    "本功能[執行階段的動作控制 - 強迫立即存檔]不支援此Tag屬性["};
constexpr TextPair kEnableFunction{
    "This function [Runtime Control- Enable/Disable] does not support this Tag field[",
    "本功能[執行階段的動作控制 - 存檔動作致能/失能]不支援此Tag屬性["};
constexpr TextPair kPurgeFunction{
    "This function [Runtime Control- Purge expired data] does not support this Tag field[",
    "本功能[執行階段的動作控制 - 清除資料庫中舊的資料]不支援此Tag屬性["};
constexpr TextPair kRecordsFunction{
    "This function [Runtime Status- Number of data stored after Ledgrix starts] does not support this Tag "
    "field[",
    "本功能[執行階段的動作控制 - 回報存檔總筆數]不支援此Tag屬性["};

constexpr TextPair kDaysTitle{"Error-Number of days", "保留天數輸入錯誤"};
constexpr TextPair kDays1{"Number of days[", "資料保留天數["};
constexpr TextPair kDays1Tail{"] error!", "]輸入錯誤!"};
constexpr TextPair kDays2{"The number of days must be a whole number of 0 or more.",
                          "資料保留天數必須為 0 或以上的整數。"};
constexpr TextPair kDays3{"Please enter the number of days again.", "請重新輸入資料保留天數!"};

constexpr TextPair kWriteModeTitle{"Error-Write mode", "寫入模式錯誤"};
constexpr TextPair kWriteMode1{"Write mode must be append when database type is %1. ",
                               "當資料庫種類為[%1] 時，不支援此寫入模式為「覆寫」的方式。"};
constexpr TextPair kWriteMode1Update{"Write mode must be append when database type is %1. ",
                                     "當資料庫種類為[%1] 時，不支援此寫入模式為「更新」的方式。"};
constexpr TextPair kWriteMode2{"Please select write mode again.", "請重新輸入指定「寫入模式」!"};

constexpr TextPair kDBQuestionTitle{"Database settings", "未完成資料庫設定"};
constexpr TextPair kDBQuestion{"The database settings is not completed, whether to leave ? ",
                               "未完成「資料庫設定」，是否離開設定畫面？"};
constexpr TextPair kFieldsQuestionTitle{"Database fields settings", "未完成資料庫欄位設定"};
constexpr TextPair kFieldsQuestion{"The database fields settings is not completed, whether to leave ? ",
                                   "未完成「資料庫欄位設定」，是否離開設定畫面？"};
constexpr TextPair kYesLeave{"Yes: leave the screen.", "是: 離開設定畫面。"};
constexpr TextPair kNoStay{"No: donot leave, continue setting.", "否: 不離開，繼續設定。"};

constexpr TextPair kNoTableTitle{"Error-Add a new data group", "新增存檔欄位失敗"};
constexpr TextPair kNoTable1{"Fail to add a new data group!", "新增存檔欄位失敗!"};
constexpr TextPair kNoTable2{"Table name is not defined for the data group [", "本存檔群組["};
constexpr TextPair kNoTable2Tail{"]", "]未設定資料表名稱。"};
constexpr TextPair kNoTable3{"Please specify the database table name!", "請設定資料表名稱!"};
constexpr TextPair kLimitTitle{"Error-Add a new data field", "新增存檔欄位失敗"};
constexpr TextPair kLimit1{"Failt to add a new data group!", "新增存檔欄位失敗!"};
constexpr TextPair kLimit2{"A data group can have upto [", "一個存檔群組最多可以處理["};
constexpr TextPair kLimit2Tail{"] data fields. ", "]個存檔欄位"};

constexpr TextPair kCaptionWhat{"Windows Title", "子視窗標題"};
constexpr TextPair kTagWhat{"Tag name", "Tag 名稱"};
constexpr TextPair kDelimiterWhat{"Delimiter", "分隔符號"};

// Field list columns.
enum Column { ColName, ColTag, ColPart, ColMessageLength, ColDecimals, ColFormat, ColDataLength, ColCount };
constexpr TextPair kColumns[ColCount] = {{"Field Name", "欄位名稱"},
                                         {"Tag Name", "Tag 名稱"},
                                         {"Tag Field", "Tag 屬性"},
                                         {"Message Length", "字串長度"},
                                         {"Decimal Places", "小數位數"},
                                         {"Datetime Format String", "日期時間資料格式"},
                                         {"Data Length (for CSV)", "固定資料長度 (CSV專用)"}};

bool IsCSVType(const QString& t) {
    return t == QLatin1String("CSV");
}

// A folder or file tag as shown: its name, and ".PART" when it has a part.
QString TagText(const xTag& t) {
    return t.DataType.isEmpty() ? t.Name : t.Name + u'.' + t.DataType;
}

// A number column: -1 when empty.
int16_t ColumnNumber(const QString& text) {
    if (text.isEmpty()) return -1;
    const auto n = Numbers::WholeTextNumber(text);
    return n ? Numbers::ToInt16(*n).value_or(-1) : -1;
}

void Enable(std::initializer_list<QWidget*> controls, bool on) {
    for (QWidget* w : controls) w->setEnabled(on);
}

// A runtime-control option: its inputs follow the box, and its texts are emptied when it is off.
void ShowOption(const QCheckBox* box, std::initializer_list<QWidget*> inputs,
                std::initializer_list<QLineEdit*> texts) {
    const bool on = box->isChecked();
    Enable(inputs, on);
    if (!on)
        for (QLineEdit* t : texts) t->clear();
}

}  // namespace

frmGroupConfig::frmGroupConfig(QWidget* parent) : ConfigDialog(parent) {
    setupUi(this);
    BindButtons(cmdOK, cmdCancel, cmdHelp);
    auto onToggle = [this](QCheckBox* box, void (frmGroupConfig::*handler)()) {
        connect(box, &QCheckBox::toggled, this, handler);
    };
    onToggle(chkCyclical, &frmGroupConfig::chkCyclical_Click);
    onToggle(chkTriggerTag, &frmGroupConfig::chkTriggerTag_Click);
    onToggle(chkEnableTag, &frmGroupConfig::chkEnableTag_Click);
    onToggle(chkPurgeTag, &frmGroupConfig::chkPurgeTag_Click);
    onToggle(chkNumRecordsSavedTag, &frmGroupConfig::chkNumRecordsSavedTag_Click);
    onToggle(chkbNewlineCharacter, &frmGroupConfig::chkbNewlineCharacter_Click);
    onToggle(chkbSaveCSV, &frmGroupConfig::chkbSaveCSV_Click);
    auto onSelect = [this](QRadioButton* option, void (frmGroupConfig::*handler)()) {
        connect(option, &QRadioButton::toggled, this, [this, handler](bool on) {
            if (on) (this->*handler)();
        });
    };
    onSelect(optSingle, &frmGroupConfig::optSingle_Click);
    onSelect(optDspersed, &frmGroupConfig::optDspersed_Click);
    onSelect(optCSVSingle, &frmGroupConfig::optCSVSingle_Click);
    onSelect(optCSVDspersed, &frmGroupConfig::optCSVDspersed_Click);
    auto onClick = [this](QPushButton* button, void (frmGroupConfig::*handler)()) {
        connect(button, &QPushButton::clicked, this, handler);
    };
    onClick(cmdEditSaveDBWay, &frmGroupConfig::EditSaveDBWay);
    onClick(cmdEditSaveCSVWay, &frmGroupConfig::EditSaveCSVDBWay);
    onClick(cmdDBSetting, &frmGroupConfig::cmdDBSetting_Click);
    onClick(cmdDBContent, &frmGroupConfig::cmdDBContent_Click);
    onClick(cmdConnectDB, &frmGroupConfig::cmdConnectDB_Click);
    connect(cmdAddNewField, &QPushButton::clicked, this, [this] {
        AddNewField();
        RefreshFormObj();
    });
    connect(cmdEditField, &QPushButton::clicked, this, [this] {
        EditField();
        RefreshFormObj();
    });
    connect(cmdDeleteField, &QPushButton::clicked, this, [this] {
        DeleteField();
        RefreshFormObj();
    });
    onClick(cmdMoveFirst, &frmGroupConfig::cmdMoveFirst_Click);
    onClick(cmdMoveUp, &frmGroupConfig::cmdMoveUp_Click);
    onClick(cmdMoveDown, &frmGroupConfig::cmdMoveDown_Click);
    onClick(cmdMoveLast, &frmGroupConfig::cmdMoveLast_Click);
    connect(lvFields, &QTreeWidget::itemSelectionChanged, this, &frmGroupConfig::RefreshFormObj);
    connect(lvFields, &QTreeWidget::itemDoubleClicked, this, &frmGroupConfig::EditField);
    lvFields->header()->setStretchLastSection(false);
}

// ---- Opening ----

void frmGroupConfig::SetCaptions(const QString& groupName) {
    ApplyCaptions(
        *this,
        {{"Frame1", {"General", "一般設定"}},
         {"Label1", {"Windows Title", "子視窗標題"}},
         {"Frame6", {"Storage Method & Write Mode", "存檔時機與寫入模式"}},
         {"Label10", {"Storage Method", "存檔時機"}},
         {"chkCyclical", {"Cyclic", "週期性存檔"}},
         {"lblSaveTimeInterval", {"Interval", "存檔間隔時間"}},
         {"lblSec", {"Sec", "秒"}},
         {"chkTriggerTag", {"Triggered", "圖控觸發存檔"}},
         {"lblTriggerTag", {"Tag Name", "Tag 名稱"}},
         {"lblWriteMode", {"寫入模式", "寫入模式"}},
         {"Frame2", {"Runtime Control", "執行階段的動作控制"}},
         {"Label16",
          {"Specify tags controlling Ledgrix behavior at runtime.",
           "接受圖控系統特定Tag的控制，本程式將執行某個特定動作"}},
         {"chkEnableTag", {"Enable/Disable Save", "存檔動作致能/失能"}},
         {"lblEnabledTag", {"Tag Name", "Tag 名稱"}},
         {"chkCloseConnectionWhileDisabled",
          {"Close Database connection while Ledgrix is disabled",
           "存檔動作失能時，本程式將關閉與資料庫的連結"}},
         {"chkPurgeTag", {"Purge expired data", "清除資料庫中舊的資料"}},
         {"lblPurgeTag", {"Tag Name", "Tag 名稱"}},
         {"lblPurgeKeepDataDays", {"Data expire after number of days", "資料庫中僅保留最新資料的天數"}},
         {"Frame5", {"Runtime Status", "執行階段的狀態回報"}},
         {"Label17",
          {"Report status of Ledgrix at runtime.",
           "透過圖控系統的特定的Tag，將本程式的執行狀態回報給圖控系統"}},
         {"chkNumRecordsSavedTag", {"Number of data stored after Ledgrix starts", "回報存檔總筆數"}},
         {"lblNumRecordsSavedTag", {"Tag Name", "Tag 名稱"}},
         {"chkCount2Zero", {"Auto Reset Counter (Multiple Database only)", "分散式存檔換檔時，總筆數歸零"}},
         {"Label13",
          {"* The length of Tag name cannot exceed 8 characters.", "* TAG 名稱的長度不得超過8個字元"}},
         {"Frame4", {"Database", "資料庫內容"}},
         {"Label15", {"Database Type", "資料庫種類"}},
         {"chkKeepConnectionAliveAfterSaveDataForExcel",
          {"每次存檔結束後，本程式就關閉與資料庫的連結", "每次存檔結束後，本程式就關閉與資料庫的連結"}},
         {"cmdDBSetting", {"Database Wizard", "資料庫設定精靈..."}},
         {"cmdDBContent", {"Database Content", "資料庫設定內容"}},
         {"cmdConnectDB", {"Connect Database", "資料庫連線測試"}},
         {"Frame3", {"Database File Usage", "資料庫檔案的切割方式"}},
         {"optSingle",
          {"Single Database - Data will always be stored in the same single database",
           "單一資料庫--所有資料皆集中記錄在一個資料庫"}},
         {"optDspersed",
          {"Multiple Database - Data will be stored in the database selected at runtime",
           "分散資料檔--資料將分散記錄於多個資料檔案"}},
         {"cmdEditSaveDBWay", {"Change...", "變更切割方式..."}},
         {"Label11", {"(1) Root Folder", "(1) 根目錄"}},
         {"Label12", {"(2) Subfolder - Decided by Tag", "(2) 次目錄 --  由圖控的 Tag 決定"}},
         {"Label14", {"(3) File - Decided by Tag", "(3) 檔名 --  由圖控的 Tag 決定"}},
         {"Label19", {"Tag Name", "Tag 名稱"}},
         {"Label20", {"Tag Name", "Tag 名稱"}},
         {"lblMemo",
          {"* 當資料庫種類為CSV時，相關 CSV 設定及資料檔案的切割方式，請至",
           "* 當資料庫種類為CSV時，相關 CSV 設定及資料檔案的切割方式，請至"}},
         {"Label5", {"「CSV設定」頁籤進行修改。", "「CSV設定」頁籤進行修改。"}},
         {"chkbSaveCSV", {"同時儲存一份 CSV 檔案", "同時儲存一份 CSV 檔案"}},
         {"Frame7", {"CSV", "CSV設定"}},
         {"Label4", {"分隔符號", "分隔符號"}},
         {"chkbNewlineCharacter", {"換行符號", "換行符號"}},
         {"chkbUseFieldTitle", {"CSV 檔案，第一行為欄位抬頭", "CSV 檔案，第一行為欄位抬頭"}},
         {"chkbFixDataLength", {"每個資料內容為固定長度，不足補空白", "每個資料內容為固定長度，不足補空白"}},
         {"chkCSVCloseConnectionAfterSaveData",
          {"每次存檔結束後，本程式就關閉 CSV 資料檔", "每次存檔結束後，本程式就關閉 CSV 資料檔"}},
         {"Frame9", {"CSV 資料檔案的切割方式", "CSV 資料檔案的切割方式"}},
         {"optCSVSingle",
          {"單一資料檔--所有資料皆集中記錄在一個 CSV 資料檔案",
           "單一資料檔--所有資料皆集中記錄在一個 CSV 資料檔案"}},
         {"optCSVDspersed",
          {"分散資料檔--資料將分散記錄於多個 CSV 資料檔案", "分散資料檔--資料將分散記錄於多個 CSV 資料檔案"}},
         {"cmdEditSaveCSVWay", {"變更切割方式...", "變更切割方式..."}},
         {"Label9", {"(1) 根目錄", "(1) 根目錄"}},
         {"Label2", {"(2) 次目錄 --  由圖控的 Tag 決定", "(2) 次目錄 --  由圖控的 Tag 決定"}},
         {"Label8", {"(3) 檔名 --  由圖控的 Tag 決定", "(3) 檔名 --  由圖控的 Tag 決定"}},
         {"Label7", {"Tag 名稱", "Tag 名稱"}},
         {"Label3", {"Tag 名稱", "Tag 名稱"}},
         {"Frame8", {"Mapping of database fields and Hexvane Tags", "資料庫欄位與圖控 Tag 的對應"}},
         {"cmdAddNewField", {"Add...", "新增..."}},
         {"cmdEditField", {"Modify...", "編輯..."}},
         {"cmdDeleteField", {"Delete...", "刪除"}},
         {"cmdMoveFirst", {"Move First", "移到第一個"}},
         {"cmdMoveUp", {"Move Up", "上移"}},
         {"cmdMoveDown", {"Move Down", "下移"}},
         {"cmdMoveLast", {"Move Last", "移到最後"}},
         {"Label6",
          {"* 須完成「資料庫」相關設定後，才能進行「資料庫欄位」的設定。",
           "* 須完成「資料庫」相關設定後，才能進行「資料庫欄位」的設定。"}},
         {"cmdOK", kCaptionOK},
         {"cmdCancel", kCaptionCancel},
         {"cmdHelp", kCaptionHelp}});
    // A group box title reads "&" as a shortcut mark.
    Frame6->setTitle(Frame6->title().replace(u'&', QStringLiteral("&&")));
    SSTab1->setTabText(0, Tx({"Content", "內容"}));
    SSTab1->setTabText(1, Tx({"Database", "資料庫"}));
    SSTab1->setTabText(2, QStringLiteral("CSV 設定"));
    SSTab1->setTabText(3, Tx({"Database Fields", "資料庫欄位"}));
    setWindowTitle(Tx({"Ledgrix config- Settings of Data group [", "Ledgrix 規劃畫面－存檔群組設定 ["}) +
                   groupName + u']');
}

void frmGroupConfig::LoadFormObj(const QString& tmpSaveGroupName, bool tmpbLoadCSVDefault) {
    mString.clear();
    mbLoadCSVDefaultSetting = tmpbLoadCSVDefault;
    SetCaptions(tmpSaveGroupName);
    mFocusObj = nullptr;

    const int16_t index = SaveGroupUtil::GetSaveGroupIndex(tmpSaveGroupName);
    if (index < 0) {
        MsgLines({Tx(kNotFound1), Tx(kNotFound2) + tmpSaveGroupName + Tx(kNotFound3), Tx(kNotFound4)},
                 kStyleError, Tx(kNotFoundTitle));
        return;
    }
    mGroupIndex = index;
    SaveGroupRecord& w = Config().WorkingGroup;
    SaveGroupUtil::CopySvcSettings(State().Group(index), w);
    xSvcSettings& s = w.S();

    const QString title = w.R().ModuleName;
    txtCaption->setText(title.trimmed().isEmpty() ? tmpSaveGroupName : title);

    txtSaveTimeInterval->setText(Numbers::NumberText(s.SaveTimeInterval));
    chkCyclical->setChecked(s.SaveTimeInterval > 0);

    mkCmbWriteMode();
    if (s.dbSWriteMode >= 0 && s.dbSWriteMode <= 2) cmbWriteMode->setCurrentIndex(s.dbSWriteMode);

    // Each option shows its inputs by its handler, whether or not the box changes; the cycle and
    // the trigger are shown by RefreshFormObj below.
    const bool enable = !s.dbSEnableTag.Name.isEmpty();
    txtEnableTag->setText(s.dbSEnableTag.Name);
    chkEnableTag->setChecked(enable);
    chkEnableTag_Click();
    chkCloseConnectionWhileDisabled->setChecked(enable && s.dbSCloseConnectionWhileDisabled == 1);

    txtTriggerTag->setText(s.dbSTriggerTag.Name);
    chkTriggerTag->setChecked(!s.dbSTriggerTag.Name.isEmpty());

    const bool purge = !s.dbSPurgeTag.Name.isEmpty();
    txtPurgeTag->setText(s.dbSPurgeTag.Name);
    txtPurgeKeepDays->setText(purge ? Numbers::NumberText(s.dbSPurgeKeepDays) : QString());
    chkPurgeTag->setChecked(purge);
    chkPurgeTag_Click();

    txtNumRecordsSavedTag->setText(s.dbSNumRecordsSavedTag.Name);
    chkNumRecordsSavedTag->setChecked(!s.dbSNumRecordsSavedTag.Name.isEmpty());
    chkNumRecordsSavedTag_Click();
    chkCount2Zero->setChecked(s.dbSCount2Zero);

    LoadDBSettings();
    // A group that saved CSV before keeps its options; the defaults are for a new group and for
    // one that starts to save CSV.
    if (!IsCSVType(s.dbDBTypeName) && !s.dbSIsSaveCSV) mbLoadCSVDefaultSetting = true;
    if (mbLoadCSVDefaultSetting) LoadCSVDefaultSetting();
    RefreshFormObj();
    SSTab1->setCurrentIndex(0);
    exec();
}

void frmGroupConfig::LoadCSVDefaultSetting() {
    txtDelimiterCharacter->setText(QStringLiteral(","));
    chkbNewlineCharacter->setChecked(true);
    mkCmbNewlineCharacter();
    chkCSVCloseConnectionAfterSaveData->setChecked(true);
}

void frmGroupConfig::LayoutCSVTab() {
    const bool csvType = mdbDBTypeName == QLatin1String("CSV");
    const bool on = csvType || chkbSaveCSV->isChecked();
    chkbSaveCSV->setVisible(!csvType);
    Enable({Frame7,
            chkbFixDataLength,
            chkbUseFieldTitle,
            Label2,
            Label3,
            Label4,
            Label7,
            Label8,
            Label9,
            Frame9,
            txtDelimiterCharacter,
            chkbNewlineCharacter,
            cmbNewlineCharacter,
            chkCSVCloseConnectionAfterSaveData,
            optCSVDspersed,
            optCSVSingle,
            lblCSVDataBaseRootDir,
            lblCSVDirTag,
            lblCSVFileNameTag,
            cmdEditSaveCSVWay},
           on);
}

// ---- Database tab and field list ----

void frmGroupConfig::LoadDBSettings() {
    cmdDBContent->setEnabled(false);
    xSvcSettings& s = Config().WorkingGroup.S();
    const auto t = SettingUtil::FindDBSettingsByTypeName(s.dbDBTypeName);
    const QString dsc = t ? t->DBTypeDsc : QString();
    QWidget* const usage[] = {
        Frame3,  optSingle, optDspersed,        Label11,   Label12,        Label14,
        Label19, Label20,   lblDatabaseRootDir, lblDirTag, lblFileNameTag, cmdEditSaveDBWay};
    for (QWidget* w : usage) w->setEnabled(true);
    lblDBTypeName->setText(dsc);
    mdbIsDefaultFilePath = s.dbIsDefaultFilePath;
    mdbDBTypeName = s.dbDBTypeName;

    QLabel* const names[] = {lblDBName1, lblDBName2, lblDBName3, lblDBName4, lblDBName5};
    QLabel* const values[] = {lblDBSetting1, lblDBSetting2, lblDBSetting3, lblDBSetting4, lblDBSetting5};
    const QString& type = s.dbDBTypeName;
    // The rows are named as the database-settings dialog names them.
    auto show = [&, captions = ConnectionRowNames(type)](std::initializer_list<QString> shown, bool fifth) {
        for (int i = 0; i < 5; ++i) names[i]->setText(Tx(captions[static_cast<size_t>(i)]));
        int i = 0;
        for (const QString& v : shown) values[i++]->setText(v);
        lblDBName5->setVisible(fifth);
        lblDBSetting5->setVisible(fifth);
    };
    if (type == QLatin1String("SQLSERVER") || type == QLatin1String("MYSQL")) {
        show({s.dbDataSource, s.dbInitialCatalog, s.dbTableName, s.dbUserID, s.dbPassword}, true);
    } else if (type == QLatin1String("ORACLE")) {
        show({s.dbDataSource, s.dbTableName, s.dbUserID, s.dbPassword}, false);
    } else if (IsFileDBType(type)) {
        show({s.dbIsDefaultFilePath == 1 ? s.dbFullPath : s.dbFilePath, s.dbTableName, s.dbUserID,
              s.dbPassword},
             false);
        if (IsSheetDBType(type))
            chkKeepConnectionAliveAfterSaveDataForExcel->setChecked(
                s.dbSKeepConnectionAliveAfterSaveDataForExcel != 1);
    } else if (type == QLatin1String("POSTGRESQL")) {
        for (QLabel* n : names) n->clear();
    } else if (type == QLatin1String("CSV")) {
        for (QLabel* l : names) l->clear();
        for (QLabel* l : values) l->clear();
        lblDBName5->setVisible(false);
        lblDBSetting5->setVisible(true);
        for (QWidget* w : usage) w->setEnabled(false);
        cmdConnectDB->setEnabled(false);
        cmdDBContent->setEnabled(false);
    } else {
        // A type that only the program setting file knows.
        show({s.dbIsDefaultFilePath == 1 ? s.dbFileName : s.dbFilePath, s.dbTableName, s.dbUserID,
              s.dbPassword},
             false);
    }

    lblDatabaseRootDir->setText(s.dbSDataBaseRootDir);
    if (s.dbSDataBaseRootDir.isEmpty()) {
        optSingle->setChecked(true);
        for (QLabel* l : {lblDatabaseRootDir, lblDirTag, lblFileNameTag}) {
            l->clear();
            l->setEnabled(false);
        }
    } else {
        optDspersed->setChecked(true);
        lblDirTag->setText(TagText(s.dbSDirTag));
        lblFileNameTag->setText(TagText(s.dbSFileNameTag));
        Enable({lblDatabaseRootDir, lblDirTag, lblFileNameTag}, true);
    }

    if (!IsCSVType(type)) chkbSaveCSV->setChecked(s.dbSIsSaveCSV);
    LayoutCSVTab();
    chkbFixDataLength->setChecked(s.dbSCSVIsFixDataLength);
    chkbUseFieldTitle->setChecked(s.dbSCSVIsUseFieldTitle);
    txtDelimiterCharacter->setText(SettingUtil::TrimSpaces(s.dbSCSVDelimiterCharacter));
    const bool newline = !SettingUtil::TrimSpaces(s.dbSCSVNewlineCharacter).isEmpty();
    chkbNewlineCharacter->setChecked(newline);
    chkbNewlineCharacter_Click();
    if (newline) cmbNewlineCharacter->setCurrentText(LineEndItem(s.dbSCSVNewlineCharacter));
    chkCSVCloseConnectionAfterSaveData->setChecked(s.dbSCSVKeepConnectionAliveAfterSaveData == 0);
    lblCSVDataBaseRootDir->setText(s.dbSCSVDataBaseRootDir);
    if (s.dbSCSVDataBaseRootDir.isEmpty()) {
        optCSVSingle->setChecked(true);
        lblCSVDBFilePath->setText(s.dbCSVFilePath);
        for (QLabel* l : {lblCSVDataBaseRootDir, lblCSVDirTag, lblCSVFileNameTag}) {
            l->clear();
            l->setEnabled(false);
        }
    } else {
        optCSVDspersed->setChecked(true);
        lblCSVDirTag->setText(TagText(s.dbSCSVDirTag));
        lblCSVFileNameTag->setText(TagText(s.dbSCSVFileNameTag));
        Enable({lblCSVDataBaseRootDir, lblCSVDirTag, lblCSVFileNameTag}, true);
        lblCSVDBFilePath->clear();
    }

    cmdEditSaveDBWay->setEnabled(!type.isEmpty() && !IsCSVType(type));

    SaveGroupRecord& w = Config().WorkingGroup;
    lvFields->clear();
    for (int c = 0; c < ColCount; ++c) lvFields->headerItem()->setText(c, Tx(kColumns[c]));
    Enable({cmdEditField, cmdDeleteField, cmdMoveDown, cmdMoveFirst, cmdMoveLast, cmdMoveUp},
           w.FieldCount > 0);
    for (int n = 1; n <= w.FieldCount && n <= kMaxFieldSlots; ++n) {
        const xField& f = w.F(n);
        auto* row = new QTreeWidgetItem(lvFields);
        if (f.TagName.isEmpty())
            row->setText(ColName, f.FieldName);
        else
            SetRow(*row, f);
    }
    for (int c = 0; c < ColCount; ++c) lvFields->resizeColumnToContents(c);

    cmdDBContent->setEnabled(!lblDBSetting1->text().isEmpty());
    cmdConnectDB->setEnabled(
        !(lblDBSetting3->text() == QLatin1String("$") || lblDBSetting2->text().isEmpty()));
}

void frmGroupConfig::SetRow(QTreeWidgetItem& row, const xField& f) {
    row.setText(ColName, f.FieldName);
    row.setText(ColTag, f.TagName);
    row.setText(ColPart, f.TagType);
    row.setText(ColMessageLength, f.TagMessageLength > 0 ? QString::number(f.TagMessageLength) : QString());
    row.setText(ColDecimals, f.DecimalPlaces >= 0 ? QString::number(f.DecimalPlaces) : QString());
    row.setText(ColFormat, f.DatetimeFormatString);
    row.setText(ColDataLength, f.TagDataLength > 0 ? QString::number(f.TagDataLength) : QString());
}

void frmGroupConfig::RefreshFormObj() {
    cmdAddNewField->setEnabled(true);
    Enable({txtSaveTimeInterval, lblSaveTimeInterval, lblSec}, chkCyclical->isChecked());
    Enable({txtTriggerTag, lblTriggerTag}, chkTriggerTag->isChecked());
    const int rows = lvFields->topLevelItemCount();
    Enable({cmdEditField, cmdDeleteField, cmdMoveDown, cmdMoveFirst, cmdMoveLast, cmdMoveUp}, rows > 0);
    if (IsCSVType(mdbDBTypeName)) {
        cmdAddNewField->setEnabled(true);
        chkbSaveCSV->setEnabled(false);
    } else if (mdbDBTypeName.isEmpty()) {
        cmdAddNewField->setEnabled(false);
        chkbSaveCSV->setEnabled(false);
    } else {
        chkbSaveCSV->setEnabled(true);
        // The group as stored decides, not the working copy.
        const QString table = mGroupIndex > 0 ? State().Group(mGroupIndex).S().dbTableName : QString();
        cmdAddNewField->setEnabled(!(table.isEmpty() || table == QLatin1String("$")));
    }
    if (QTreeWidgetItem* row = lvFields->currentItem(); row && row->isSelected()) {
        const int index = lvFields->indexOfTopLevelItem(row) + 1;
        if (index == 1) Enable({cmdMoveFirst, cmdMoveUp}, false);
        if (index == rows) Enable({cmdMoveDown, cmdMoveLast}, false);
    }
}

void frmGroupConfig::mkCmbWriteMode() {
    cmbWriteMode->clear();
    for (const TextPair* mode : {&kAppend, &kOverwrite, &kUpdate}) cmbWriteMode->addItem(Tx(*mode));
    cmbWriteMode->setCurrentIndex(0);
}

void frmGroupConfig::mkCmbNewlineCharacter() {
    FillLineEndList(*cmbNewlineCharacter);
}

void frmGroupConfig::AddNewField() {
    SaveGroupRecord& w = Config().WorkingGroup;
    const QString table = w.S().dbTableName;
    const QString type = mdbDBTypeName;
    if (!IsCSVType(type) && !type.isEmpty() && table.isEmpty()) {
        MsgLines({Tx(kNoTable1), Tx(kNoTable2) + w.S().SaveGroupName + Tx(kNoTable2Tail), Tx(kNoTable3)},
                 kStyleError, Tx(kNoTableTitle));
        return;
    }
    if (w.FieldCount >= kMaxFields) {
        MsgLines({Tx(kLimit1), Tx(kLimit2) + QString::number(kMaxFields) + Tx(kLimit2Tail)}, kStyleError,
                 Tx(kLimitTitle));
        return;
    }
    const bool saveCSV = IsCSVType(type) || chkbSaveCSV->isChecked();
    auto& dlg = FormObj<frmAddNewOfflineField>();
    dlg.LoadFormObj(true, saveCSV, chkbFixDataLength->isChecked(), type, QString(), QString(), QString(),
                    QString(), QString(), true);
    if (dlg.mString != kResultOK) return;
    w.FieldCount = static_cast<int16_t>(w.FieldCount + 1);
    xField& f = w.F(w.FieldCount);
    f.FieldName = dlg.mFieldName;
    dlg.ResultInto(f);
    f.IsDeleted = false;
    auto* row = new QTreeWidgetItem(lvFields);
    SetRow(*row, f);
    lvFields->setCurrentItem(row);
    Config().IsModified = -1;
}

void frmGroupConfig::DeleteField() {
    QTreeWidgetItem* row = lvFields->currentItem();
    if (!row || !row->isSelected()) return;
    const QString name = row->text(ColName);
    if (MsgBox(QStringLiteral("是否刪除該存檔欄位[") + name + QStringLiteral("]?"),
               MsgStyle::YesNo | MsgStyle::Question, QStringLiteral("刪除存檔欄位")) != MsgAnswer::Yes)
        return;
    SaveGroupRecord& w = Config().WorkingGroup;
    for (int n = 1; n <= w.FieldCount && n <= kMaxFieldSlots; ++n) {
        xField& f = w.F(n);
        if (f.FieldName != name) continue;
        f.IsDeleted = true;
        delete row;
        w.FieldCount = SaveGroupUtil::RemoveField(w.Fields);
        Config().IsModified = -1;
        return;
    }
}

void frmGroupConfig::EditField() {
    QTreeWidgetItem* row = lvFields->currentItem();
    if (!row || !row->isSelected()) return;
    const bool saveCSV = IsCSVType(mdbDBTypeName) || chkbSaveCSV->isChecked();
    const xSvcSettings& s = Config().WorkingGroup.S();
    auto& dlg = FormObj<frmFieldContent>();
    dlg.LoadFormObj(s.dbDBTypeName, s.dbTableName, row->text(ColName), row->text(ColTag), row->text(ColPart),
                    saveCSV, chkbFixDataLength->isChecked(), ColumnNumber(row->text(ColDataLength)),
                    ColumnNumber(row->text(ColDecimals)), row->text(ColFormat),
                    ColumnNumber(row->text(ColMessageLength)));
    if (dlg.mString != kResultOK) return;
    xField f;
    f.FieldName = row->text(ColName);
    dlg.ResultInto(f);
    SetRow(*row, f);
}

// ---- File layout ----

void frmGroupConfig::EditSaveDBWay() {
    auto& dlg = FormObj<frmEditSaveDBWay>();
    bool defaults = false;
    dlg.LoadFormObj(false, false, defaults);
    if (dlg.mString != kResultOK) return;
    xSvcSettings& s = Config().WorkingGroup.S();
    s.dbSDataBaseRootDir = dlg.mDataBaseRootDir;
    s.dbSDirTag.Name = dlg.mDirTagName;
    s.dbSDirTag.DataType = dlg.mDirTagType;
    s.dbSFileNameTag.Name = dlg.mFileNameTagName;
    s.dbSFileNameTag.DataType = dlg.mFileNameTagType;
    // A new single path is the group's file from now on, also for a group whose file was in the
    // project data folder.
    if (dlg.mIsDBSingle && dlg.mDBFilePath != s.dbFilePath) {
        s.dbFullPath = dlg.mDBFilePath;
        s.dbFileName.clear();
        s.dbIsDefaultFilePath = 0;
    }
    s.dbFilePath = dlg.mDBFilePath;
    KeepEditsInWorkingGroup();
    LoadDBSettings();
}

void frmGroupConfig::EditSaveCSVDBWay() {
    auto& dlg = FormObj<frmEditSaveDBWay>();
    bool defaults = false;
    dlg.LoadFormObj(true, false, defaults);
    if (dlg.mString != kResultOK) return;
    xSvcSettings& s = Config().WorkingGroup.S();
    s.dbSCSVDataBaseRootDir = dlg.mDataBaseRootDir;
    s.dbSCSVDirTag.Name = dlg.mDirTagName;
    s.dbSCSVDirTag.DataType = dlg.mDirTagType;
    s.dbSCSVFileNameTag.Name = dlg.mFileNameTagName;
    s.dbSCSVFileNameTag.DataType = dlg.mFileNameTagType;
    s.dbCSVFilePath = dlg.mDBFilePath;
    KeepEditsInWorkingGroup();
    LoadDBSettings();
}

// ---- Control events ----

void frmGroupConfig::chkCyclical_Click() {
    RefreshFormObj();
}

void frmGroupConfig::chkTriggerTag_Click() {
    RefreshFormObj();
}

void frmGroupConfig::chkEnableTag_Click() {
    ShowOption(chkEnableTag, {txtEnableTag, lblEnabledTag, chkCloseConnectionWhileDisabled}, {txtEnableTag});
}

void frmGroupConfig::chkPurgeTag_Click() {
    ShowOption(chkPurgeTag, {txtPurgeTag, txtPurgeKeepDays, lblPurgeKeepDataDays, lblPurgeTag},
               {txtPurgeTag, txtPurgeKeepDays});
}

void frmGroupConfig::chkNumRecordsSavedTag_Click() {
    ShowOption(chkNumRecordsSavedTag, {lblNumRecordsSavedTag, txtNumRecordsSavedTag, chkCount2Zero},
               {txtNumRecordsSavedTag});
}

void frmGroupConfig::chkbNewlineCharacter_Click() {
    ShowLineEndList(*cmbNewlineCharacter, chkbNewlineCharacter->isChecked());
}

void frmGroupConfig::chkbSaveCSV_Click() {
    LayoutCSVTab();
}

// The option buttons only show the file usage; it is changed in the file-layout dialog.
void frmGroupConfig::optSingle_Click() {
    (Config().WorkingGroup.S().dbSDataBaseRootDir.isEmpty() ? optSingle : optDspersed)->setChecked(true);
}

void frmGroupConfig::optDspersed_Click() {
    optSingle_Click();
}

void frmGroupConfig::optCSVSingle_Click() {
    (Config().WorkingGroup.S().dbSCSVDataBaseRootDir.isEmpty() ? optCSVSingle : optCSVDspersed)
        ->setChecked(true);
}

void frmGroupConfig::optCSVDspersed_Click() {
    optCSVSingle_Click();
}

void frmGroupConfig::cmdDBSetting_Click() {
    KeepEditsInWorkingGroup();
    ApplyDBSetupWizard(Config().WorkingGroup);
    LoadDBSettings();
    RefreshFormObj();
}

void frmGroupConfig::cmdDBContent_Click() {
    frmEditDBContent dlg;
    dlg.LoadFormObj(*this);
    dlg.exec();
    if (dlg.mString != kResultOK) return;
    mdbIsDefaultFilePath = 0;
    const QString u = ShownTypeName().toUpper();
    QLabel* const values[] = {lblDBSetting1, lblDBSetting2, lblDBSetting3, lblDBSetting4, lblDBSetting5};
    QLineEdit* const boxes[] = {dlg.txtDBSetting1, dlg.txtDBSetting2, dlg.txtDBSetting3, dlg.txtDBSetting4,
                                dlg.txtDBSetting5};
    int rows = 0;
    if (u == QLatin1String("SQLSERVER") || u == QLatin1String("MYSQL"))
        rows = 5;
    else if (u == QLatin1String("ORACLE") || IsFileDBType(u))
        rows = 4;
    for (int i = 0; i < rows; ++i) values[i]->setText(boxes[i]->text().trimmed());
    SaveGroupRecord& w = Config().WorkingGroup;
    if (IsFileDBType(u)) {
        chkKeepConnectionAliveAfterSaveDataForExcel->setChecked(
            dlg.chkKeepConnectionAliveAfterSaveDataForExcel->isChecked());
        w.S().dbIsDefaultFilePath = dlg.mdbIsDefaultFilePath;
        w.S().dbFilePath = dlg.txtDBSetting1->text().trimmed();
    }
    // The working copy holds what is shown, so the connection test, "Get Field..." and a later
    // redisplay use the values just entered.
    StoreShownDBSettings(w.S());
}

void frmGroupConfig::cmdConnectDB_Click() {
    DBProbeUtil::TestDBConnection(Config().WorkingGroup, true);
}

void frmGroupConfig::MoveRow(int target) {
    QTreeWidgetItem* row = lvFields->currentItem();
    if (!row || !row->isSelected()) return;
    const int index = lvFields->indexOfTopLevelItem(row);
    lvFields->takeTopLevelItem(index);
    lvFields->insertTopLevelItem(target > index ? target - 1 : target, row);
    lvFields->setCurrentItem(row);
}

void frmGroupConfig::cmdMoveFirst_Click() {
    QTreeWidgetItem* row = lvFields->currentItem();
    if (row && lvFields->indexOfTopLevelItem(row) >= 1) MoveRow(0);
}

void frmGroupConfig::cmdMoveUp_Click() {
    QTreeWidgetItem* row = lvFields->currentItem();
    if (row && lvFields->indexOfTopLevelItem(row) >= 1) MoveRow(lvFields->indexOfTopLevelItem(row) - 1);
}

void frmGroupConfig::cmdMoveDown_Click() {
    QTreeWidgetItem* row = lvFields->currentItem();
    if (row && lvFields->indexOfTopLevelItem(row) < lvFields->topLevelItemCount() - 1)
        MoveRow(lvFields->indexOfTopLevelItem(row) + 2);
}

void frmGroupConfig::cmdMoveLast_Click() {
    QTreeWidgetItem* row = lvFields->currentItem();
    if (row && lvFields->indexOfTopLevelItem(row) < lvFields->topLevelItemCount() - 1)
        MoveRow(lvFields->topLevelItemCount());
}

// ---- Checks and saving ----

QString frmGroupConfig::ShownTypeName() const {
    const auto t = SettingUtil::FindDBSettingsByTypeDsc(lblDBTypeName->text());
    return t ? t->DBTypeName : QString();
}

bool frmGroupConfig::Blame(QWidget* control) {
    mFocusObj = control;
    for (int i = 0; i < SSTab1->count(); ++i)
        if (SSTab1->widget(i)->isAncestorOf(control)) SSTab1->setCurrentIndex(i);
    return false;
}

bool frmGroupConfig::CheckTag(QCheckBox* box, QLineEdit* text, const TextPair& function) {
    if (!box->isChecked()) return true;
    text->setText(text->text().trimmed());
    const QString typed = text->text();
    if (typed.isEmpty()) {
        MsgLines({Tx(kTagBlank1), Tx(kTagBlank2), Tx(kTagAgain)}, kStyleError, Tx(kTagTitle));
        return Blame(text);
    }
    QString name = typed;
    QString part;
    const int16_t result = LedgrixUtil::ParseTagReference(name, part);
    const QString head = Tx(kTagHead) + typed + Tx(kTagHeadTail);
    if (result == LedgrixUtil::TagRef::NameTooLong) {
        MsgLines({head, Tx(kTagLength), Tx(kTagAgain)}, kStyleError, Tx(kTagTitle));
        return Blame(text);
    }
    // The reader keeps a value part as it was written: any letter case names the value.
    if (result == LedgrixUtil::TagRef::BadPart || part.toUpper() != QLatin1String("VALUE")) {
        const QString field =
            result == LedgrixUtil::TagRef::BadPart ? typed.mid(typed.indexOf(u'.') + 1) : part;
        MsgLines({head, Tx(function) + field + Tx(kTagFieldTail), Tx(kTagAgain)}, kStyleError, Tx(kTagTitle));
        return Blame(text);
    }
    if (const auto fault = FindTextFault(name, true, false)) {
        ShowTextFault(Tx(kTagWhat), typed, *fault);
        return Blame(text);
    }
    return true;
}

bool frmGroupConfig::CheckFormObj() {
    mFocusObj = nullptr;
    const QString t = ShownTypeName();

    if (const auto fault = FindTextFault(txtCaption->text(), true, false)) {
        ShowTextFault(Tx(kCaptionWhat), txtCaption->text(), *fault);
        return Blame(txtCaption);
    }
    if (chkCyclical->isChecked()) {
        // The whole text must be the number ("1,5" is none), and a cycle the saver can
        // schedule: at least a millisecond on its grid and no more whole seconds than it counts.
        const double interval = Numbers::WholeTextNumber(txtSaveTimeInterval->text()).value_or(0);
        if (!SettingUtil::SchedulableCycle(interval)) {
            MsgLines({Tx(kInterval1), Tx(kInterval2), Tx(kInterval3)}, kStyleError, Tx(kIntervalTitle));
            return Blame(txtSaveTimeInterval);
        }
    }
    if (!CheckTag(chkTriggerTag, txtTriggerTag, kTriggerFunction)) return false;
    if (!CheckTag(chkEnableTag, txtEnableTag, kEnableFunction)) return false;
    if (!CheckTag(chkPurgeTag, txtPurgeTag, kPurgeFunction)) return false;
    if (chkPurgeTag->isChecked()) {
        // The days decide which records the purge deletes: nothing but a whole number will do.
        const QString days = txtPurgeKeepDays->text().trimmed();
        const auto n = Numbers::WholeTextNumber(days);
        if (!n || *n < 0 || std::floor(*n) != *n || !Numbers::ToInt32(*n)) {
            MsgLines({Tx(kDays1) + days + Tx(kDays1Tail), Tx(kDays2), Tx(kDays3)}, kStyleError,
                     Tx(kDaysTitle));
            return Blame(txtPurgeKeepDays);
        }
    }
    if (!CheckTag(chkNumRecordsSavedTag, txtNumRecordsSavedTag, kRecordsFunction)) return false;

    const QString u = t.toUpper();
    // The list holds append, overwrite and update in that order.
    const int mode = cmbWriteMode->currentIndex();
    if ((IsSheetDBType(u) || IsCSVType(u)) && mode > 0) {
        MsgLines({Tx(mode == 1 ? kWriteMode1 : kWriteMode1Update).arg(t), Tx(kWriteMode2)}, kStyleError,
                 Tx(kWriteModeTitle));
        SSTab1->setCurrentIndex(0);
        return Blame(cmbWriteMode);
    }
    const bool csvOn = IsCSVType(mdbDBTypeName) || chkbSaveCSV->isChecked();
    if (csvOn)
        if (const auto fault = FindTextFault(txtDelimiterCharacter->text(), false, false)) {
            ShowTextFault(Tx(kDelimiterWhat), txtDelimiterCharacter->text(), *fault);
            return Blame(txtDelimiterCharacter);
        }
    if (lvFields->topLevelItemCount() > kMaxFields) {
        MsgLines({Tx(kLimit1), Tx(kLimit2) + QString::number(kMaxFields) + Tx(kLimit2Tail)}, kStyleError,
                 Tx(kLimitTitle));
        return Blame(lvFields);
    }

    bool complete = !mdbDBTypeName.isEmpty();
    if (complete) {
        const QString m = mdbDBTypeName;
        if (IsFileDBType(m))
            complete = !(lblDBSetting2->text().isEmpty() || lblDBSetting2->text() == QLatin1String("$"));
        else if (IsCSVType(m))
            complete = !(lblCSVDataBaseRootDir->text().isEmpty() && lblCSVDBFilePath->text().isEmpty());
        else
            complete = !lblDBSetting3->text().isEmpty();
    }
    if (!complete && MsgLines({Tx(kDBQuestion), QString(), Tx(kYesLeave), Tx(kNoStay)}, kStyleQuestion,
                              Tx(kDBQuestionTitle)) != MsgAnswer::Yes)
        return false;
    if ((lvFields->topLevelItemCount() == 0 || !complete) &&
        MsgLines({Tx(kFieldsQuestion), QString(), Tx(kYesLeave), Tx(kNoStay)}, kStyleQuestion,
                 Tx(kFieldsQuestionTitle)) != MsgAnswer::Yes)
        return false;
    return true;
}

void frmGroupConfig::StoreShownDBSettings(xSvcSettings& s) const {
    const QString u = ShownTypeName().toUpper();
    auto shown = [](const QLabel* l) { return l->text().trimmed(); };
    if (IsFileDBType(u)) {
        const QString p = shown(lblDBSetting1);
        s.dbIsDefaultFilePath = mdbIsDefaultFilePath;
        s.dbFilePath = p;
        s.dbDataSource = p;
        s.dbFullPath = p;
        if (mdbIsDefaultFilePath != 1 || s.dbFileName != FileUtil::GetFileName(p)) {
            // Another file than the one in the project data folder: it is given by its path.
            if (mdbIsDefaultFilePath == 1) s.dbIsDefaultFilePath = 0;
            s.dbFileName.clear();
        }
        s.dbTableName = shown(lblDBSetting2);
        s.dbUserID = shown(lblDBSetting3);
        s.dbPassword = shown(lblDBSetting4);
        if (IsSheetDBType(u))
            s.dbSKeepConnectionAliveAfterSaveDataForExcel =
                chkKeepConnectionAliveAfterSaveDataForExcel->isChecked() ? 0 : 1;
        else
            s.dbSKeepConnectionAliveAfterSaveDataForExcel = 0;
    } else if (u == QLatin1String("SQLSERVER") || u == QLatin1String("MYSQL")) {
        s.dbDataSource = shown(lblDBSetting1);
        s.dbInitialCatalog = shown(lblDBSetting2);
        s.dbTableName = shown(lblDBSetting3);
        s.dbUserID = shown(lblDBSetting4);
        s.dbPassword = shown(lblDBSetting5);
    } else if (u == QLatin1String("ORACLE")) {
        s.dbDataSource = shown(lblDBSetting1);
        s.dbTableName = shown(lblDBSetting2);
        s.dbUserID = shown(lblDBSetting3);
        s.dbPassword = shown(lblDBSetting4);
    }
}

void frmGroupConfig::StoreFieldRows(SaveGroupRecord& g) const {
    g.FieldCount = 0;
    for (int r = 0; r < lvFields->topLevelItemCount() && g.FieldCount < kMaxFieldSlots; ++r) {
        const QTreeWidgetItem* row = lvFields->topLevelItem(r);
        if (row->text(ColName).isEmpty()) continue;
        g.FieldCount = static_cast<int16_t>(g.FieldCount + 1);
        xField& f = g.F(g.FieldCount);
        f.FieldName = row->text(ColName);
        f.TagName = row->text(ColTag).trimmed();
        f.TagType = row->text(ColPart);
        const QString part = f.TagType.toUpper();
        if (part == QLatin1String("MESSAGE") || part == QLatin1String("MSG")) {
            f.DatetimeFormatString.clear();
            f.DecimalPlaces = -1;
            f.TagMessageLength = ColumnNumber(row->text(ColMessageLength));
        } else if (part == QLatin1String("VALUE") || part == QLatin1String("VAL") || part.isEmpty()) {
            f.DatetimeFormatString.clear();
            f.TagMessageLength = -1;
            f.DecimalPlaces = ColumnNumber(row->text(ColDecimals));
        } else if (part == QLatin1String("DATETIME")) {
            f.DatetimeFormatString = row->text(ColFormat).trimmed();
            f.DecimalPlaces = -1;
            f.TagMessageLength = -1;
        }
        f.TagDataLength = ColumnNumber(row->text(ColDataLength));
    }
}

void frmGroupConfig::StoreCSVOptions(xSvcSettings& s) const {
    s.dbSIsSaveCSV = chkbSaveCSV->isChecked();
    s.dbSCSVIsFixDataLength = chkbFixDataLength->isChecked();
    s.dbSCSVDelimiterCharacter = txtDelimiterCharacter->text().trimmed();
    s.dbSCSVIsUseFieldTitle = chkbUseFieldTitle->isChecked();
    s.dbSCSVNewlineCharacter = chkbNewlineCharacter->isChecked()
                                   ? LineEndChars(cmbNewlineCharacter->currentText(), QString())
                                   : QString();
    s.dbSCSVKeepConnectionAliveAfterSaveData = chkCSVCloseConnectionAfterSaveData->isChecked() ? 0 : 1;
}

void frmGroupConfig::KeepEditsInWorkingGroup() {
    SaveGroupRecord& w = Config().WorkingGroup;
    StoreFieldRows(w);
    StoreCSVOptions(w.S());
    if (IsSheetDBType(ShownTypeName().toUpper()))
        w.S().dbSKeepConnectionAliveAfterSaveDataForExcel =
            chkKeepConnectionAliveAfterSaveDataForExcel->isChecked() ? 0 : 1;
}

void frmGroupConfig::SaveFormObj() {
    SaveGroupRecord& w = Config().WorkingGroup;
    xSvcSettings& s = w.S();
    xRuntimeInfo& r = w.R();
    r.ModuleName = txtCaption->text();

    r.IsHighSpeedSaver = false;
    if (chkCyclical->isChecked()) {
        s.SaveTimeInterval = Numbers::WholeTextNumber(txtSaveTimeInterval->text()).value_or(0);
        if (const auto ms = SettingUtil::SubSecondCycle(s.SaveTimeInterval)) {
            r.IsHighSpeedSaver = true;
            s.SaveTimeIntervalWithMilliSeconds = *ms;
        }
    } else {
        s.SaveTimeInterval = 0;
    }

    if (const int mode = cmbWriteMode->currentIndex(); mode >= 0) s.dbSWriteMode = mode;

    // A tag reference typed as NAME.VALUE is stored by its name, as the saver looks tags up.
    auto tagName = [](const QCheckBox* box, const QLineEdit* text) {
        QString name = text->text().trimmed();
        QString part;
        if (!box->isChecked() || name.isEmpty()) return QString();
        LedgrixUtil::ParseTagReference(name, part);
        return name;
    };
    s.dbSEnableTag.Name = tagName(chkEnableTag, txtEnableTag);
    s.dbSCloseConnectionWhileDisabled =
        !s.dbSEnableTag.Name.isEmpty() && chkCloseConnectionWhileDisabled->isChecked() ? 1 : 0;
    s.dbSTriggerTag.Name = tagName(chkTriggerTag, txtTriggerTag);
    s.dbSPurgeTag.Name = tagName(chkPurgeTag, txtPurgeTag);
    s.dbSPurgeKeepDays =
        s.dbSPurgeTag.Name.isEmpty() ? -1 : Numbers::WholeTextNumber(txtPurgeKeepDays->text()).value_or(0);
    s.dbSNumRecordsSavedTag.Name = tagName(chkNumRecordsSavedTag, txtNumRecordsSavedTag);
    s.dbSCount2Zero = chkCount2Zero->isChecked();

    StoreShownDBSettings(s);
    StoreFieldRows(w);

    s.dbSIsSaveCSV = false;
    s.dbSCSVIsFixDataLength = false;
    s.dbSCSVIsUseFieldTitle = false;
    s.dbSCSVDelimiterCharacter.clear();
    s.dbSCSVNewlineCharacter.clear();
    s.dbSCSVKeepConnectionAliveAfterSaveData = 0;
    if (IsCSVType(mdbDBTypeName) || chkbSaveCSV->isChecked()) {
        StoreCSVOptions(s);
    } else {
        s.dbSCSVDataBaseRootDir.clear();
        s.dbSCSVDirTag.Name.clear();
        s.dbSCSVDirTag.DataType.clear();
        s.dbSCSVFileNameTag.Name.clear();
        s.dbSCSVFileNameTag.DataType.clear();
    }

    // The table keeps a copy of its own: editing the next group never reaches this one.
    SaveGroupUtil::CopyGroupRecord(w, State().Group(mGroupIndex));
    Config().IsModified = -1;
}
