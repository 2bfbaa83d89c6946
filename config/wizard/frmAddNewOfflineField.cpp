#include "config/wizard/frmAddNewOfflineField.h"

#include <vector>

#include "common/DBConnect.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "config/core/ConfigState.h"
#include "config/core/DBProbe.h"
#include "config/core/SaveGroupModel.h"
#include "config/groupedit/TypedText.h"

namespace {

using F = FieldFault;

constexpr TextPair kFieldCaption{"Field Name", "欄位"};
constexpr TextPair kDataTitle{"Data Title", "資料抬頭"};
constexpr TextPair kTitle{"Error-Add a new data field", "新增存檔欄位失敗"};
constexpr TextPair kTitleSpaced{"Error - Add a new data field", "新增存檔欄位失敗"};
constexpr TextPair kTitleLower{"Error - add a new data field", "新增存檔欄位失敗"};
constexpr TextPair kTitleModify{"Error - modify the data field", "修改存檔欄位失敗"};
constexpr TextPair kFailedMark{"Fail to add a new data field!", "新增存檔欄位失敗!"};
constexpr TextPair kFailedDot{"Fail to add a new data field.", "新增存檔欄位失敗!"};
constexpr TextPair kModifyDot{"Fail to modify the data field.", "新增存檔欄位失敗!"};
constexpr TextPair kSpecifyFieldName{"Please specify the field name.", "請重新輸入%1名稱!"};
constexpr TextPair kSpecifyFormat{"Please specify the datetime format.", "請重新輸入日期時間格式!"};
constexpr TextPair kSpecifyName{"Please specify the Tag name.", "請重新輸入Tag名稱!"};
constexpr TextPair kSpecifyDecimals{"Please specify the decimal places.", "請重新輸入小數位數!"};
constexpr TextPair kSpecifyLength{"Please specify the data length.", "請重新輸入資料內容長度!"};
constexpr TextPair kFormatBlank{"The datetime Format cannot be blank.", "日期時間格式不得為空白。"};

constexpr TextPair kFindTitle{"Error-Get database fields", "取得欄位名稱失敗"};
constexpr TextPair kFindFailed{"Fail to get database fields!", "取得欄位名稱失敗!"};
constexpr TextPair kFindCheck{"Please make sure Database/Table name is correct!",
                              "請確定資料表名稱是否正確!"};

// The reasons of the field-name checks; %1 is the Chinese field caption, %2 the name.
constexpr TextPair kNameBlank{"The field name cannot be blank.", "%1名稱不得為空白。"};
constexpr TextPair kNameExists{"The field name [%2] exists.", "%1名稱 [%2] 已存在。"};
constexpr TextPair kNameComma{"The field name [%2] cannot contain [,]!", "%1名稱 [%2] 中不得含有[,]符號。"};
constexpr TextPair kNameLineBreak{"The field name cannot contain a line break.",
                                  "%1名稱中不得含有換行字元。"};

}  // namespace

frmAddNewOfflineField::frmAddNewOfflineField(QWidget* parent)
    : FieldDialog(parent,
                  FieldRules{.tagTypeRequired = false, .msgIsMessage = true, .systemFormatAlways = true}) {
    setupUi(this);
    Bind(FieldSourceControls::Of(*this));
    connect(cmdFindFields, &QPushButton::clicked, this, &frmAddNewOfflineField::cmdFindFields_Click);
    SetCaptions();
}

void frmAddNewOfflineField::SetCaptions() {
    ApplySourceCaptions();
    ApplyCaptions(*this, {{"frmAddNewOfflineField", {"Add a new data field", "新增存檔欄位"}},
                          {"Frame1", {"Data Field", "存檔欄位"}},
                          {"Label4", {"Table Name", "資料表名稱"}},
                          {"cmdFindFields", {"Get Field...", "取得欄位名稱"}}});
    const bool csv = mDBTypeName == QLatin1String("CSV");
    if (State().LanguageIndex == 1) mFieldCaption = Tx(csv ? kDataTitle : kFieldCaption);
    lblFieldName->setText(Tx(csv ? kDataTitle : kFieldCaption));
}

void frmAddNewOfflineField::LoadFormObj(bool tmpIsNew, bool tmpbSaveCSV, bool tmpbFixDataLength,
                                        const QString& tmpDBTypeName, const QString& tmpSaveGroupName,
                                        const QString& tmpTableName, const QString& tmpFieldName,
                                        const QString& tmpTagName, const QString& tmpTagType,
                                        bool tmpIsCheckFieldNameExist, const xSvcSettings* tmpConnection) {
    mFocusObj = nullptr;
    mString.clear();
    isNew_ = tmpIsNew;
    mbSaveCSV = tmpbSaveCSV;
    mbFixDataLength = tmpbFixDataLength;
    checkNameExists_ = tmpIsCheckFieldNameExist;
    groupName_ = tmpSaveGroupName;
    tableName_ = tmpTableName;
    mFieldName = tmpFieldName;
    mTagName = tmpTagName;
    mTagType = tmpTagType;
    connection_.reset();
    if (tmpConnection) connection_ = *tmpConnection;

    optTag->setChecked(true);
    txtTagName->setText(mTagName);
    cmbTagType->clear();
    cmbFieldName->clear();
    cmbFieldName->setEditText(mFieldName);
    chkUseDataFormat->setChecked(false);
    txtMessageLength->setText(QStringLiteral("0"));
    txtDecimalPlaces->setText(QStringLiteral("0"));
    txtDataLength->clear();

    if (!groupName_.isEmpty()) {
        const int16_t i = SaveGroupUtil::GetSaveGroupIndex(groupName_);
        if (i > 0) {
            SaveGroupRecord& g = State().Group(i);
            if (tableName_.isEmpty()) tableName_ = g.S().dbTableName;
            group_ = g;
            mDBTypeName = g.S().dbDBTypeName;
        } else {
            group_ = SaveGroupRecord();
            mDBTypeName = tmpDBTypeName;
        }
    } else {
        group_ = Config().WorkingGroup;
        groupName_ = group_.S().SaveGroupName;
        // The wizard's off-line field list passes the table typed on its table page; the editor
        // passes none and works on its group's table.
        if (tableName_.isEmpty()) tableName_ = group_.S().dbTableName;
        mDBTypeName = tmpDBTypeName.isEmpty() ? group_.S().dbDBTypeName : tmpDBTypeName;
    }

    SetCaptions();
    FillTagTypes();
    ShowCSVFrame();
    const bool csv = mDBTypeName == QLatin1String("CSV");
    for (QWidget* w : {static_cast<QWidget*>(Label4), static_cast<QWidget*>(lblTableName),
                       static_cast<QWidget*>(cmdFindFields)})
        w->setEnabled(!csv);
    mkcmbDatetimeFormat();
    SetDataFormat();
    SetCSVSetting();
    txtDataLength->clear();
    txtDecimalPlaces->setText(QStringLiteral("0"));
    ShowDatetimeFormat();
    lblTableName->setText(tableName_);
    exec();
}

bool frmAddNewOfflineField::CheckFormObj() {
    mFocusObj = nullptr;
    const QString name = cmbFieldName->currentText().trimmed();
    auto nameFault = [&](const TextPair& reason) {
        mFocusObj = cmbFieldName;
        QString why = Tx(reason);
        if (why.contains(QLatin1String("%1"))) why = why.arg(mFieldCaption);
        why.replace(QLatin1String("%2"), name);
        QString last = Tx(kSpecifyFieldName);
        if (last.contains(QLatin1String("%1"))) last = last.arg(mFieldCaption);
        MsgLines({Tx(kFailedMark), why, last}, MsgStyle::Critical | MsgStyle::OkOnly, Tx(kTitle));
        return false;
    };
    if (name.isEmpty()) return nameFault(kNameBlank);
    if (checkNameExists_ && SaveGroupUtil::FieldNameTaken(group_, name, mDBTypeName))
        return nameFault(kNameExists);
    if (const auto fault = FindTextFault(name, true, false))
        return nameFault(*fault == TextFault::LineBreak ? kNameLineBreak : kNameComma);

    const auto fault = CheckSource();
    if (!fault) {
        WarnUndefinedTag();
        return true;
    }
    mFocusObj = fault->focus;
    if (fault->input == F::TagName && fault->kind == F::TooLong) {
        // Two lines in English, one in Chinese.
        const bool en = State().LanguageIndex == 0;
        MsgBox(en ? QStringLiteral("The length of tag name cannot exceed 8 characters.\r\nPlease specify the "
                                   "Tag name.")
                  : QStringLiteral("存檔 Tag [") + SourceTagName() +
                        QStringLiteral("] 的長度超過8個字元, 請重新輸入!"),
               MsgStyle::Critical | MsgStyle::OkOnly, Tx(kTitle));
        return false;
    }
    ShowFault(*fault,
              {
                  {F::SystemDatetimeFormat, F::Blank, kTitleSpaced, kFailedDot, kFormatBlank, kSpecifyFormat},
                  {F::TagName,
                   F::Blank,
                   kTitle,
                   kFailedMark,
                   {"The Tag name cannot be blank.", "Tag名稱不得為空白。"},
                   kSpecifyName},
                  {F::TagName,
                   F::HasDot,
                   kTitle,
                   kFailedDot,
                   {"The Tag name[%1] cannot contain [.]!", "存檔 Tag[%1]不得含有[.]!"},
                   kSpecifyName},
                  {F::TagName, F::HasComma, kTitle, kFailedDot, kTagNameCommaReason, kSpecifyName},
                  {F::TagName, F::HasLineBreak, kTitle, kFailedDot, kTagNameLineBreakReason, kSpecifyName},
                  {F::DecimalPlaces,
                   F::Blank,
                   kTitleLower,
                   kFailedDot,
                   {"The decimal places cannot be blank.", "小數位數不得為空白!"},
                   kSpecifyDecimals},
                  {F::DecimalPlaces,
                   F::NotNumber,
                   kTitleLower,
                   kModifyDot,
                   {"The decimal places must be a number.", "小數位數必須為數字 !"},
                   kSpecifyDecimals},
                  {F::DecimalPlaces,
                   F::TooSmall,
                   kTitleLower,
                   kFailedDot,
                   {"The decimal places must be greater than or equal to zero.", "小數位數必須大於等於 0 !"},
                   kSpecifyDecimals},
                  {F::MessageLength,
                   F::Blank,
                   kTitleLower,
                   kFailedDot,
                   {"The Message length cannot be blank.", "字串長度不得為空白!"},
                   {"Please specify the message length.", "請重新輸入字串長度!"}},
                  {F::MessageLength,
                   F::NotNumber,
                   kTitleLower,
                   kModifyDot,
                   {"The message length must be a number.", "字串長度必須為數字 !"},
                   {"Please specify the message length.", "請重新輸入字串長度!"}},
                  {F::MessageLength,
                   F::TooSmall,
                   kTitleLower,
                   kFailedDot,
                   {"The message length must be greater than zero.", "字串長度必須大於 0 !"},
                   {"Please specify the message legth.", "請重新輸入字串長度!"}},
                  {F::DatetimeFormat, F::Blank, kTitleLower, kFailedDot, kFormatBlank, kSpecifyFormat},
                  {F::DatetimeFormat, F::HasComma, kTitleLower, kFailedDot, kDatetimeFormatCommaReason,
                   kSpecifyFormat},
                  {F::DatetimeFormat, F::HasLineBreak, kTitleLower, kFailedDot,
                   kDatetimeFormatLineBreakReason, kSpecifyFormat},
                  {F::DataLength,
                   F::Blank,
                   kTitleLower,
                   kFailedDot,
                   {"The data length cannot be blank.", "資料內容長度不得為空白!"},
                   kSpecifyLength},
                  {F::DataLength,
                   F::NotNumber,
                   kTitleModify,
                   {"Fail to modify the data field.", "修改存檔欄位失敗!"},
                   {"The data length must be a number.", "資料內容長度必須為數字 !"},
                   kSpecifyLength},
                  {F::DataLength,
                   F::TooSmall,
                   kTitleLower,
                   kFailedDot,
                   {"The data length must be greater than zero.", "資料內容長度必須大於0!"},
                   kSpecifyLength},
              });
    return false;
}

void frmAddNewOfflineField::SaveFormObj() {
    mFieldName = cmbFieldName->currentText();
    SaveSource();
}

void frmAddNewOfflineField::cmdFindFields_Click() {
    const QString kept = cmbFieldName->currentText().trimmed();
    cmbFieldName->clear();
    const xSvcSettings& s = connection_ ? *connection_ : group_.S();
    ado::Connection conn;
    const bool open = DBProbeUtil::OpenGroupConnection(conn, s, mDBTypeName.toUpper());
    std::vector<TableFieldInfo> fields(kMaxTableFields + 1);
    int16_t count = 0;
    const bool listed = open && DBProbeUtil::ListTableFields(conn, tableName_, s.dbDBTypeName, count, fields);
    conn.Close();
    if (!listed) {
        MsgLines({Tx(kFindFailed), Tx(kFindCheck)}, MsgStyle::Exclamation | MsgStyle::OkOnly, Tx(kFindTitle));
        cmbFieldName->setEditText(kept);
        return;
    }
    for (int i = 1; i <= count; ++i) cmbFieldName->addItem(fields[static_cast<size_t>(i)].Name);
    if (count > 0) cmbFieldName->setCurrentIndex(0);
    if (!kept.isEmpty()) cmbFieldName->setEditText(kept);
}
