#include "config/groupedit/frmFieldContent.h"

#include "common/ProgramState.h"
#include "config/forms/FormSupport.h"

namespace {

using F = FieldFault;

constexpr TextPair kFieldCaption{"Field Name", "欄位名稱"};
constexpr TextPair kDataTitle{"Data Title", "資料抬頭"};

constexpr TextPair kTitle{"Error - modify the data field", "修改存檔欄位失敗"};
constexpr TextPair kFailed{"Fail to modify the data field.", "修改存檔欄位失敗!"};
constexpr TextPair kFailedDot{"Fail to modify the data field!", "修改存檔欄位失敗!"};
constexpr TextPair kSpecifyFormat{"Please specify the datetime format.", "請重新輸入日期時間格式!"};
constexpr TextPair kSpecifyName{"Please specify the Tag name.", "請重新輸入Tag 名稱!"};
constexpr TextPair kSpecifyDecimals{"Please specify the decimal places.", "請重新輸入小數位數!"};
constexpr TextPair kSpecifyMessage{"Please specify the message length.", "請重新輸入字串長度!"};
constexpr TextPair kSpecifyLength{"Please specify the data length.", "請重新輸入資料內容長度!"};
constexpr TextPair kFormatBlank{"The datetime Format cannot be blank.", "日期時間格式不得為空白。"};

}  // namespace

frmFieldContent::frmFieldContent(QWidget* parent)
    : FieldDialog(parent,
                  FieldRules{.tagTypeRequired = true, .msgIsMessage = false, .systemFormatAlways = false}) {
    setupUi(this);
    Bind(FieldSourceControls::Of(*this));
    SetCaptions();
}

void frmFieldContent::SetCaptions() {
    ApplySourceCaptions();
    ApplyCaptions(*this, {{"frmFieldContent", {"Field content", "存檔欄位的內容"}},
                          {"Label4", {"Table name", "資料表名稱"}}});
    const bool csv = mDBTypeName == QLatin1String("CSV");
    Label1->setText(Tx(csv ? kDataTitle : kFieldCaption));
    Label4->setEnabled(!csv);
    if (State().LanguageIndex == 1) mFieldCaption = Tx(csv ? kDataTitle : kFieldCaption);
}

void frmFieldContent::LoadFormObj(const QString& tmpDBTypeName, const QString& tmpTableName,
                                  const QString& tmpFieldName, const QString& tmpTagName,
                                  const QString& tmpTagType, bool tmpbSaveCSV, bool tmpbFixDataLength,
                                  int16_t tmpDataLength, int16_t tmpDecimalPlaces,
                                  const QString& tmpDatetimeFormat, int16_t tmpMessageLength) {
    mFocusObj = nullptr;
    mString.clear();
    mDBTypeName = tmpDBTypeName;
    mTableName = tmpTableName;
    mFieldName = tmpFieldName;
    mTagName = tmpTagName;
    mTagType = tmpTagType;
    mbSaveCSV = tmpbSaveCSV;
    mbFixDataLength = tmpbFixDataLength;
    mDataLength = tmpDataLength;
    mDecimalPlaces = tmpDecimalPlaces;
    mDatetimeFormat = tmpDatetimeFormat;
    mMessageLength = tmpMessageLength;

    optTag->setChecked(true);
    cmbTagType->clear();
    SetCaptions();
    FillTagTypes();
    lblTableName->setText(mTableName);
    lblFieldName->setText(mFieldName);
    chkUseDataFormat->setChecked(false);
    txtMessageLength->setText(QStringLiteral("0"));
    mkcmbDatetimeFormat();
    SetDataFormat();

    if (mTagName.toUpper() == QLatin1String("^DATETIME")) {
        optSaveDateTime->setChecked(true);
        SetTagContent(false);
        if (!mDatetimeFormat.isEmpty()) chkUseDataFormat->setChecked(true);
    } else {
        optTag->setChecked(true);
        txtTagName->setText(mTagName);
        // The custom format is on when the field has a format for its part; the decimal places,
        // the data length and the date-time format are shown below.
        const QString type = mTagType.toUpper();
        if (type == QLatin1String("VALUE") || type.isEmpty()) {
            if (mDecimalPlaces >= 0) chkUseDataFormat->setChecked(true);
        } else if (type == QLatin1String("MSG") || type == QLatin1String("MESSAGE")) {
            if (mMessageLength >= 1) {
                chkUseDataFormat->setChecked(true);
                txtMessageLength->setText(QString::number(mMessageLength));
            }
        } else if (type == QLatin1String("DATETIME")) {
            if (!mDatetimeFormat.isEmpty()) chkUseDataFormat->setChecked(true);
        }
        cmbTagType->setEditText(TagTypeText(mTagType));
    }

    ShowCSVFrame();
    SetCSVSetting();
    txtDataLength->setText(tmpDataLength > 0 ? QString::number(tmpDataLength) : QString());
    txtDecimalPlaces->setText(tmpDecimalPlaces >= 0 ? QString::number(tmpDecimalPlaces) : QString());
    ShowDatetimeFormat();
    exec();
}

bool frmFieldContent::CheckFormObj() {
    mFocusObj = nullptr;
    const auto fault = CheckSource();
    if (!fault) {
        WarnUndefinedTag();
        return true;
    }
    mFocusObj = fault->focus;
    ShowFault(
        *fault,
        {
            {F::SystemDatetimeFormat, F::Blank, kTitle, kFailed, kFormatBlank, kSpecifyFormat},
            {F::TagType,
             F::Blank,
             kTitle,
             kFailed,
             {"The Tag field cannot be blank.", "Tag 屬性不得為空白。"},
             {"Please specify the Tag field.", "請重新輸入Tag 屬性!"}},
            {F::TagName,
             F::Blank,
             kTitle,
             kFailed,
             {"the Tag name cannot be blank.", "Tag 名稱不得為空白!"},
             kSpecifyName},
            {F::TagName,
             F::TooLong,
             kTitle,
             kFailed,
             {"The length of Tag name cannot exceed 8 characters.", "Tag 名稱的長度不得超過8個字元!"},
             kSpecifyName},
            {F::TagName,
             F::HasDot,
             kTitle,
             kFailedDot,
             {"The Tag name[%1] cannot contain [.]!", "Tag 名稱 [%1] 中不得含有[.]符號。"},
             kSpecifyName},
            {F::TagName, F::HasComma, kTitle, kFailed, kTagNameCommaReason, kSpecifyName},
            {F::TagName, F::HasLineBreak, kTitle, kFailed, kTagNameLineBreakReason, kSpecifyName},
            {F::DecimalPlaces,
             F::Blank,
             kTitle,
             kFailed,
             {"The decimal places cannot be blank.", "小數位數不得為空白!"},
             kSpecifyDecimals},
            {F::DecimalPlaces,
             F::NotNumber,
             kTitle,
             kFailed,
             {"The decimal places must be a number.", "小數位數必須為數字 !"},
             kSpecifyDecimals},
            {F::DecimalPlaces,
             F::TooSmall,
             kTitle,
             kFailed,
             {"The decimal places must be greater than or equal to zero.", "小數位數必須大於等於 0 !"},
             kSpecifyDecimals},
            {F::MessageLength,
             F::Blank,
             kTitle,
             kFailed,
             {"The message length cannot be blank.", "字串長度不得為空白!"},
             kSpecifyMessage},
            {F::MessageLength,
             F::NotNumber,
             kTitle,
             kFailed,
             {"The message length must be a number.", "字串長度必須為數字 !"},
             kSpecifyMessage},
            {F::MessageLength,
             F::TooSmall,
             kTitle,
             kFailed,
             {"The message length must be greater than zero.", "字串長度必須大於 0 !"},
             kSpecifyMessage},
            {F::DatetimeFormat, F::Blank, kTitle, kFailed, kFormatBlank, kSpecifyFormat},
            {F::DatetimeFormat, F::HasComma, kTitle, kFailed, kDatetimeFormatCommaReason, kSpecifyFormat},
            {F::DatetimeFormat, F::HasLineBreak, kTitle, kFailed, kDatetimeFormatLineBreakReason,
             kSpecifyFormat},
            {F::DataLength,
             F::Blank,
             kTitle,
             kFailed,
             {"The data length cannot be blank.", "資料內容長度不得為空白!"},
             kSpecifyLength},
            {F::DataLength,
             F::NotNumber,
             kTitle,
             kFailed,
             {"The data length must be a number.", "資料內容長度必須為數字!"},
             kSpecifyLength},
            {F::DataLength,
             F::TooSmall,
             kTitle,
             kFailed,
             {"The data length must be greater than zero.", "資料內容長度必須大於0!"},
             kSpecifyLength},
        });
    return false;
}

void frmFieldContent::SaveFormObj() {
    SaveSource();
}
