#include "config/mainwin/frmBasicConfig.h"

#include <QCheckBox>
#include <QLineEdit>

#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/core/ConfigState.h"
#include "config/core/ProjectTags.h"
#include "config/mainwin/QtConfigWindows.h"

namespace {

constexpr TextPair kTagTitle{"Error-Tag name", "Tag 名稱輸入錯誤"};
constexpr TextPair kBlankStop{"Fail to specify the Tag name!", "Tag 名稱輸入錯誤!"};
constexpr TextPair kBlankOther{"Fail to specify the Tag name.", "Tag 名稱輸入錯誤!"};
constexpr TextPair kBlankWhy{"The Tag name cannot be blank.", "Tag 名稱不得為空白。"};
constexpr TextPair kTagRetry{"Please enter Tag name again or cancel the operation.",
                             "請重新輸入Tag 名稱或取消本功能!"};
constexpr TextPair kTagHead{"Tag name[", "Tag 名稱["};
constexpr TextPair kTagError{"] error!", "]輸入錯誤!"};
constexpr TextPair kTooLong{"The length of Tag name cannot exceed 8 characters.",
                            "Tag 名稱的長度不得超過8個字元。"};
constexpr TextPair kPartHead{"This function [", "本功能["};
constexpr TextPair kPartMiddle{"] does not support this Tag field[", "]不支援此Tag屬性["};
constexpr TextPair kPartTail{"].", "]。"};
constexpr TextPair kStopFunction{"Runtime Display and Exit control- Exit is controlled by Tag",
                                 "執行階段的結束時機 - 接受圖控系統中特定Tag的控制，結束本程式"};
constexpr TextPair kAliveFunction{"Runtime Status- Running of Ledgrix",
                                  "執行階段的狀態回報 - 本程式是否在執行中"};
constexpr TextPair kSavingFunction{"Runtime Status- Saving Data",
                                   "執行階段的狀態回報 - 是否正在執行存檔動作"};

constexpr TextPair kLogTitle{"Error-Log path", "記錄檔路徑輸入錯誤"};
constexpr TextPair kLogHead{"Log path[", "記錄檔路徑["};
constexpr TextPair kLogFolder{"The log path must name a file, not a folder.",
                              "記錄檔路徑必須是一個檔案，不得為資料夾。"};
constexpr TextPair kLogRetry{"Please enter the log path again or cancel the operation.",
                             "請重新輸入記錄檔路徑或取消本功能!"};

// A tag box with its check box and what its messages call it.
struct TagInput {
    QCheckBox* check;
    QLineEdit* text;
    TextPair blankLine;
    TextPair function;
};

void SetTagInput(QCheckBox& check, QLineEdit& text, const xTag& tag) {
    const bool named = !tag.Name.isEmpty();
    check.setChecked(named);
    text.setText(named ? tag.Name : QString());
    text.setEnabled(named);
}

// A ticked box enables its inputs; a cleared one empties and disables them.
void FollowCheck(bool ticked, QLineEdit& text, QWidget* other = nullptr) {
    if (!ticked) text.clear();
    text.setEnabled(ticked);
    if (other) other->setEnabled(ticked);
}

void StoreTag(const QCheckBox& check, const QLineEdit& text, xTag& tag) {
    const QString name = SettingUtil::TrimSpaces(text.text());
    if (check.isChecked() && !name.isEmpty()) {
        tag.Name = name;
    } else {
        tag.Name.clear();
        tag.ID = -1;
    }
}

}  // namespace

frmBasicConfig::frmBasicConfig(QWidget* parent) : ConfigDialog(parent) {
    setupUi(this);
    BindButtons(cmdOK, cmdCancel, cmdHelp);
    connect(chkLogDisable, &QCheckBox::toggled, this, &frmBasicConfig::chkLogDisable_Click);
    connect(chkLiveAlone, &QCheckBox::toggled, this, &frmBasicConfig::chkLiveAlone_Click);
    connect(chkStopTag, &QCheckBox::toggled, this, &frmBasicConfig::chkStopTag_Click);
    connect(chkAliveTag, &QCheckBox::toggled, this, &frmBasicConfig::chkAliveTag_Click);
    connect(chkDuringSavingTag, &QCheckBox::toggled, this, &frmBasicConfig::chkDuringSavingTag_Click);
    connect(cmdAll, &QPushButton::clicked, this, &frmBasicConfig::cmdAll_Click);
    connect(cmdNotListSysTag, &QPushButton::clicked, this, &frmBasicConfig::cmdNotListSysTag_Click);
    connect(cmdSelectLogFile, &QToolButton::clicked, this, &frmBasicConfig::cmdSelectLogFile_Click);
}

void frmBasicConfig::SetCaptions() {
    ApplyCaptions(
        *this, {{"frmBasicConfig", {"Ledgrix Configuration - Content", "Ledgrix 資料庫存檔工具設定 - 內容"}},
                {"Frame1", {"Log Setting", "記錄檔設定"}},
                {"chkLogDisable", {"Log all runtime actions", "記錄執行階段的所有動作"}},
                {"Label5", {"Log Path", "記錄檔路徑"}},
                {"cmdSelectLogFile", {"...", "..."}},
                {"Frame3", {"Runtime Display and Exit Control", "執行階段的結束時機"}},
                {"chkIsHideLedgrix", {"Hide Ledgrix runtime window", "隱藏本程式執行階段的視窗"}},
                {"chkUserMode", {"Allow operator to exit Ledgrix", "允許操作人員結束本程式"}},
                {"Label7", {"Exit Ledgrix when Hexvane ends", "圖控系統結束時，本程式也跟著結束"}},
                {"chkStopTag", {"Exit is controlled by Tag", "接受圖控系統中特定Tag的控制，結束本程式"}},
                {"Label4", {"Tag Name", "Tag 名稱"}},
                {"cmdAll", {"列舉 Tag", "列舉 Tag"}},
                {"cmdNotListSysTag", {"不列舉 System Tag", "不列舉 System Tag"}},
                {"Frame2", {"Runtime Status", "執行階段的狀態回報"}},
                {"Label6",
                 {"Report Ledgrix runtime status to Tags",
                  "透過圖控系統的特定的Tag，將本程式的執行狀態回報給圖控系統"}},
                {"chkAliveTag", {"Running of Ledgrix", "本程式是否在執行中"}},
                {"Label2", {"Tag Name", "Tag 名稱"}},
                {"chkDuringSavingTag", {"Saving data", "是否正在執行存檔動作"}},
                {"Label3", {"Tag Name", "Tag 名稱"}},
                {"Label10",
                 {"* The length of Tag name cannot exceed 8 characters.", "* TAG 名稱的長度不得超過8個字元"}},
                {"cmdOK", kCaptionOK},
                {"cmdCancel", kCaptionCancel},
                {"cmdHelp", kCaptionHelp}});
    SSTab1->setTabText(SSTab1->indexOf(tabContent), Tx({"Content", "內容"}));
}

void frmBasicConfig::LoadFormObj() {
    ProgramState& st = State();
    mString.clear();
    mFocusObj = nullptr;
    // Each change of a box runs its click handler, which enables or empties its inputs.
    chkLogDisable->setChecked(st.dbSLogDisable == 0);
    chkLogDisable_Click();
    if (st.dbSLogDisable == 0) txtLogFileName->setText(st.dbSLogFileName);
    chkUserMode->setChecked(st.dbSUserMode == 0);
    chkLiveAlone->setChecked(st.dbSLiveAlone == 0);  // always ticked before: clearing it runs its handler
    SetTagInput(*chkStopTag, *txtStopTag, st.StopTag);
    SetTagInput(*chkAliveTag, *txtAliveTag, st.AliveTag);
    SetTagInput(*chkDuringSavingTag, *txtDuringSavingTag, st.DuringSavingTag);
    chkIsHideLedgrix->setChecked(st.dbSIsHideLedgrix);
    SetCaptions();
    SSTab1->setCurrentIndex(0);
    exec();
}

void frmBasicConfig::chkLogDisable_Click() {
    FollowCheck(chkLogDisable->isChecked(), *txtLogFileName, cmdSelectLogFile);
}

void frmBasicConfig::chkLiveAlone_Click() {
    // The saver always ends with the HMI runtime: the box cannot be cleared.
    chkLiveAlone->setChecked(true);
}

void frmBasicConfig::chkStopTag_Click() {
    FollowCheck(chkStopTag->isChecked(), *txtStopTag);
}

void frmBasicConfig::chkAliveTag_Click() {
    FollowCheck(chkAliveTag->isChecked(), *txtAliveTag);
}

void frmBasicConfig::chkDuringSavingTag_Click() {
    FollowCheck(chkDuringSavingTag->isChecked(), *txtDuringSavingTag);
}

void frmBasicConfig::ListTags(bool includeSystem) {
    ComboTagListBox box(cmbTagList);
    TagListUtil::LoadProjectTagList(State().ProjectName, State().WorkstationName, box, includeSystem);
}

void frmBasicConfig::cmdAll_Click() {
    ListTags(true);
}

void frmBasicConfig::cmdNotListSysTag_Click() {
    ListTags(false);
}

void frmBasicConfig::cmdSelectLogFile_Click() {
    const QString file = TagListUtil::ShowOpenFileDialog(
        QStringLiteral("LOG"), QStringLiteral("Log File (*.log)"), QStringLiteral("*.log"));
    if (!file.isEmpty()) txtLogFileName->setText(file);
}

// A log path that ends in a separator or names a folder cannot be made a log file, and the
// saver then refuses the workstation at every start.
bool frmBasicConfig::CheckLogPath() {
    const QString path = SettingUtil::TrimSpaces(txtLogFileName->text());
    txtLogFileName->setText(path);
    if (!chkLogDisable->isChecked() || path.isEmpty()) return true;
    if (!path.endsWith(u'\\') && !path.endsWith(u'/') && !FileUtil::FolderExists(path)) return true;
    MsgLines({Tx(kLogHead) + path + Tx(kTagError), Tx(kLogFolder), Tx(kLogRetry)},
             MsgStyle::Critical | MsgStyle::OkOnly, Tx(kLogTitle));
    mFocusObj = txtLogFileName;
    return false;
}

bool frmBasicConfig::CheckFormObj() {
    mFocusObj = nullptr;
    if (!CheckLogPath()) return false;
    const TagInput inputs[] = {{chkStopTag, txtStopTag, kBlankStop, kStopFunction},
                               {chkAliveTag, txtAliveTag, kBlankOther, kAliveFunction},
                               {chkDuringSavingTag, txtDuringSavingTag, kBlankOther, kSavingFunction}};
    for (const TagInput& in : inputs) {
        if (!in.check->isChecked()) continue;
        const QString t = SettingUtil::TrimSpaces(in.text->text());
        in.text->setText(t);
        QStringList lines;
        QString name = t;
        QString part;
        const int16_t code =
            t.isEmpty() ? LedgrixUtil::TagRef::Empty : LedgrixUtil::ParseTagReference(name, part);
        const QString head = Tx(kTagHead) + t + Tx(kTagError);
        if (t.isEmpty()) {
            lines = {Tx(in.blankLine), Tx(kBlankWhy)};
        } else if (code == LedgrixUtil::TagRef::NameTooLong) {
            lines = {head, Tx(kTooLong)};
        } else if (code == LedgrixUtil::TagRef::BadPart ||
                   (code == LedgrixUtil::TagRef::Valid && part.toUpper() != QLatin1String("VALUE"))) {
            const QString shown = code == LedgrixUtil::TagRef::BadPart ? t.mid(t.indexOf(u'.') + 1) : part;
            lines = {head, Tx(kPartHead) + Tx(in.function) + Tx(kPartMiddle) + shown + Tx(kPartTail)};
        } else {
            continue;
        }
        MsgLines({lines[0], lines[1], Tx(kTagRetry)}, MsgStyle::Critical | MsgStyle::OkOnly, Tx(kTagTitle));
        mFocusObj = in.text;
        return false;
    }
    return true;
}

void frmBasicConfig::SaveFormObj() {
    ProgramState& st = State();
    if (chkLogDisable->isChecked()) {
        st.dbSLogDisable = 0;
        st.dbSLogFileName = SettingUtil::TrimSpaces(txtLogFileName->text());
    } else {
        st.dbSLogDisable = 1;
        st.dbSLogFileName.clear();
    }
    st.dbSUserMode = chkUserMode->isChecked() ? 0 : 1;
    st.dbSLiveAlone = chkLiveAlone->isChecked() ? 0 : 1;
    StoreTag(*chkStopTag, *txtStopTag, st.StopTag);
    StoreTag(*chkAliveTag, *txtAliveTag, st.AliveTag);
    StoreTag(*chkDuringSavingTag, *txtDuringSavingTag, st.DuringSavingTag);
    st.dbSIsHideLedgrix = chkIsHideLedgrix->isChecked();
    Config().IsModified = -1;
}
