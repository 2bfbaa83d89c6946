#include "config/groupedit/FieldDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "common/DateUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "config/core/ProjectTags.h"
#include "config/groupedit/TypedText.h"

namespace {

constexpr TextPair kValue{"VALUE", "數值"};
constexpr TextPair kMessage{"MESSAGE", "訊息"};
constexpr TextPair kDatetime{"DATETIME", "日期時間"};

const char* const kDatetimeFormats[] = {"yyyy/MM/dd hh:mm",
                                        "yyyy/MM/dd HH:mm:ss",
                                        "yyyy/MM/dd hh:mm:ss",
                                        "yyyy/MM/dd HH:mm",
                                        "yyyy/MM/dd hh:mm",
                                        "yyyy/MM/dd",
                                        "HH:mm:ss",
                                        "hh:mm:ss"};
constexpr const char* kDefaultDatetimeFormat = "yyyy/MM/dd HH:mm:ss";

constexpr TextPair kUndefinedTagTitle{"Warning - Tag is not defined", "警告 - Tag 在圖控中未定義"};
constexpr TextPair kUndefinedTag{"The Tag name[%1] is not defined in the HMI project[%2].",
                                 "圖控專案 [%2] 中未定義 Tag 名稱 [%1]。"};
constexpr TextPair kUndefinedTagResult{"Until it is defined, the saver records -1 for this field.",
                                       "定義此 Tag 之前，存檔程式會將此欄位的值記錄為 -1。"};
constexpr TextPair kUndefinedTagCheck{"Please check the Tag name.", "請再次確認 Tag 名稱!"};

bool IsEither(const QString& text, const TextPair& pair) {
    return text == QString::fromUtf8(pair.en) || text == QString::fromUtf8(pair.zh);
}

// A number typed in a box: not blank, a number, a 16-bit whole number (halves to even) and not
// below the limit. A number outside 16 bits counts as no number.
std::optional<FieldFault::Kind> NumberFault(const QLineEdit* box, int limit) {
    const QString text = box->text().trimmed();
    if (text.isEmpty()) return FieldFault::Blank;
    const auto number = Numbers::WholeTextNumber(text);
    const auto whole = number ? Numbers::ToInt16(*number) : std::nullopt;
    if (!whole) return FieldFault::NotNumber;
    if (*whole < limit) return FieldFault::TooSmall;
    return std::nullopt;
}

int16_t NumberOf(const QLineEdit* box) {
    const auto number = Numbers::WholeTextNumber(box->text());
    const auto whole = number ? Numbers::ToInt16(*number) : std::nullopt;
    return whole.value_or(-1);
}

void EnableAll(std::initializer_list<QWidget*> controls, bool on) {
    for (QWidget* w : controls) w->setEnabled(on);
}

}  // namespace

std::optional<FieldFault::Kind> SettingItemFault(const QString& text) {
    const auto fault = FindTextFault(text, true, false);
    if (!fault) return std::nullopt;
    return *fault == TextFault::LineBreak ? FieldFault::HasLineBreak : FieldFault::HasComma;
}

FieldDialog::FieldDialog(QWidget* parent, FieldRules rules) : ConfigDialog(parent), rules_(rules) {}

void FieldDialog::Bind(const FieldSourceControls& controls) {
    c = controls;
    auto whenChecked = [this](QRadioButton* option, void (FieldDialog::*handler)()) {
        connect(option, &QRadioButton::toggled, this, [this, handler](bool on) {
            if (on) (this->*handler)();
        });
    };
    whenChecked(c.optTag, &FieldDialog::optTag_Click);
    whenChecked(c.optSaveDateTime, &FieldDialog::optSaveDateTime_Click);
    connect(c.chkUseDataFormat, &QCheckBox::toggled, this, &FieldDialog::chkUseDataFormat_Click);
    connect(c.cmbTagType, &QComboBox::activated, this, &FieldDialog::cmbTagType_Click);
    connect(c.cmbTagType, &QComboBox::editTextChanged, this, &FieldDialog::cmbTagType_Change);
    connect(c.cmbDatetimeFormat, &QComboBox::activated, this, &FieldDialog::cmbDatetimeFormat_Click);
    connect(c.cmbDatetimeFormat, &QComboBox::editTextChanged, this, &FieldDialog::cmbDatetimeFormat_Change);
    BindButtons(c.cmdOK, c.cmdCancel, c.cmdHelp);
    if (layout()) layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void FieldDialog::ApplySourceCaptions() {
    ApplyCaptions(
        *this,
        {{"Frame2", {"Data Source - Tag", "資料來源"}},
         {"Label2", {"Tag Field", "屬性"}},
         {"optTag", {"Tag Name", "Tag 名稱"}},
         {"optSaveDateTime", {"System DateTime (^DateTime)", "系統日期時間 (^DateTime)"}},
         {"lblMemo",
          {"* The length of Tag name cannot exceed 8 characters.", "* TAG 名稱的長度不得超過8個字元"}},
         {"cmdOK", kCaptionOK},
         {"cmdCancel", kCaptionCancel},
         {"cmdHelp", kCaptionHelp},
         {"lblUseDataFormatDsc1",
          {"Please configure datetime field as string data type in the data table schema if custom format "
           "datetime is used.",
           "當日期時間採用自訂格式，資料會以字串形式寫入資料庫。規劃人員請將此欄位設計成字串欄位。"}},
         {"chkUseDataFormat", {"Custom data format", "自訂資料格式設定"}},
         {"lblMessageCaption", {"(Excessive letters will be trimmed.)", "(超過長度，字串會被截掉)"}},
         {"frmFormatSetting", {"格式設定", "格式設定"}},
         {"lblDecimalPlaces", {"小數位數", "小數位數"}},
         {"lblDatetimeFormat", {"日期時間格式", "日期時間格式"}},
         {"lblMessageLength", {"字串長度", "字串長度"}},
         {"frmCSVSettings", {"CSV 設定", "CSV 設定"}},
         {"lblDataLength", {"資料內容長度", "資料內容長度"}},
         {"lblDataLengthCaption", {"(配合資料內容為固定長度)", "(配合資料內容為固定長度)"}}});
}

void FieldDialog::FillTagTypes() {
    c.cmbTagType->clear();
    for (const TextPair* part : {&kValue, &kMessage, &kDatetime}) c.cmbTagType->addItem(Tx(*part));
    c.cmbTagType->setEditText(Tx(kValue));
}

QString FieldDialog::TagTypeText(const QString& tagType) {
    const QString t = tagType.toUpper();
    if (t == QLatin1String("VALUE") || t.isEmpty()) return Tx(kValue);
    if (t == QLatin1String("MSG") || t == QLatin1String("MESSAGE")) return Tx(kMessage);
    if (t == QLatin1String("DATETIME")) return Tx(kDatetime);
    return QString();
}

void FieldDialog::mkcmbDatetimeFormat() {
    c.cmbDatetimeFormat->clear();
    for (const char* format : kDatetimeFormats) c.cmbDatetimeFormat->addItem(QString::fromLatin1(format));
    DemoDatetimeString();
}

void FieldDialog::DemoDatetimeString() {
    QString format = c.cmbDatetimeFormat->currentText();
    if (format.isEmpty()) format = QString::fromLatin1(kDefaultDatetimeFormat);
    c.lblDatetimeExample->setText(QStringLiteral("範例: ") + DateUtil::Format(DateUtil::Now(), format));
}

void FieldDialog::ShowDatetimeFormat() {
    c.cmbDatetimeFormat->setEditText(mDatetimeFormat.isEmpty() ? QString::fromLatin1(kDefaultDatetimeFormat)
                                                               : mDatetimeFormat);
}

void FieldDialog::SetTagContent(bool tmpIsEnable) {
    c.txtTagName->setEnabled(tmpIsEnable);
    c.cmbTagType->setEnabled(tmpIsEnable);
    if (!tmpIsEnable) c.txtTagName->clear();
}

void FieldDialog::SetDataFormat() {
    const bool system = c.optSaveDateTime->isChecked();
    SetTagContent(!system);
    const std::initializer_list<QWidget*> decimal{c.lblDecimalPlaces, c.txtDecimalPlaces};
    const std::initializer_list<QWidget*> message{c.lblMessageLength, c.lblMessageCaption,
                                                  c.txtMessageLength};
    const std::initializer_list<QWidget*> datetime{c.lblDatetimeFormat, c.lblDatetimeExample,
                                                   c.cmbDatetimeFormat};
    if (!c.chkUseDataFormat->isChecked()) {
        EnableAll({c.frmFormatSetting, c.lblUseDataFormatDsc1}, false);
        EnableAll(decimal, false);
        EnableAll(message, false);
        EnableAll(datetime, false);
        return;
    }
    EnableAll({c.frmFormatSetting, c.lblUseDataFormatDsc1}, true);
    // The part as the checks read it: the box a check blames can be edited.
    const QString part = SourceTagType();
    auto groups = [&](bool d, bool m, bool t) {
        EnableAll(decimal, d);
        EnableAll(message, m);
        EnableAll(datetime, t);
    };
    if (part == QLatin1String("DATETIME"))
        groups(false, false, true);
    else if (part == QLatin1String("VALUE"))
        groups(true, false, false);
    else if (part == QLatin1String("MESSAGE"))
        groups(false, true, false);
}

void FieldDialog::SetCSVSetting() {
    EnableAll({c.lblDataLength, c.txtDataLength, c.lblDataLengthCaption}, mbFixDataLength);
}

void FieldDialog::ShowCSVFrame() {
    c.frmCSVSettings->setVisible(mbSaveCSV);
    if (layout()) layout()->activate();
    adjustSize();
}

void FieldDialog::SetEnabling() {
    SetDataFormat();
    SetCSVSetting();
}

bool FieldDialog::IsCSV() const {
    return mDBTypeName == QLatin1String("CSV") || mbSaveCSV;
}

QString FieldDialog::SourceTagName() const {
    if (c.optSaveDateTime->isChecked()) return QStringLiteral("^DateTime");
    return c.txtTagName->text().trimmed();
}

QString FieldDialog::SourceTagType() const {
    if (c.optSaveDateTime->isChecked()) return QStringLiteral("DATETIME");
    const QString part = c.cmbTagType->currentText().toUpper();
    if (IsEither(part, kValue)) return QStringLiteral("VALUE");
    if (IsEither(part, kMessage) || (rules_.msgIsMessage && part == QLatin1String("MSG")))
        return QStringLiteral("MESSAGE");
    if (IsEither(part, kDatetime)) return QStringLiteral("DATETIME");
    return QString();
}

std::optional<FieldFault> FieldDialog::CheckSource() const {
    const QString name = SourceTagName();
    const QString type = SourceTagType();
    const bool custom = c.chkUseDataFormat->isChecked();
    const bool system = name.toUpper() == QLatin1String("^DATETIME");
    const QString format = c.cmbDatetimeFormat->currentText();
    using F = FieldFault;
    if ((custom || rules_.systemFormatAlways) && system && format.trimmed().isEmpty())
        return F{F::SystemDatetimeFormat, F::Blank, c.cmbDatetimeFormat};
    if (rules_.tagTypeRequired && type.isEmpty()) return F{F::TagType, F::Blank, nullptr};
    if (name.isEmpty()) return F{F::TagName, F::Blank, c.txtTagName};
    if (!system) {
        if (name.size() > 8) return F{F::TagName, F::TooLong, c.txtTagName};
        if (name.contains(u'.')) return F{F::TagName, F::HasDot, c.txtTagName};
        if (auto kind = SettingItemFault(name)) return F{F::TagName, *kind, c.txtTagName};
    }
    if (custom && type == QLatin1String("VALUE"))
        if (auto kind = NumberFault(c.txtDecimalPlaces, 0))
            return F{F::DecimalPlaces, *kind, c.txtDecimalPlaces};
    if (custom && type == QLatin1String("MESSAGE"))
        if (auto kind = NumberFault(c.txtMessageLength, 1))
            return F{F::MessageLength, *kind, c.txtMessageLength};
    if (custom && type == QLatin1String("DATETIME")) {
        if (format.trimmed().isEmpty()) return F{F::DatetimeFormat, F::Blank, c.cmbDatetimeFormat};
        if (auto kind = SettingItemFault(format)) return F{F::DatetimeFormat, *kind, c.cmbDatetimeFormat};
    }
    if (IsCSV() && mbFixDataLength)
        if (auto kind = NumberFault(c.txtDataLength, 1)) return F{F::DataLength, *kind, c.txtDataLength};
    return std::nullopt;
}

void FieldDialog::ShowFault(const FieldFault& fault, std::initializer_list<FieldMessage> messages) const {
    for (const FieldMessage& m : messages) {
        if (m.input != fault.input || m.kind != fault.kind) continue;
        const QString named = fault.input == FieldFault::DatetimeFormat
                                  ? c.cmbDatetimeFormat->currentText().trimmed()
                                  : SourceTagName();
        QString reason = Tx(m.reason);
        if (reason.contains(QLatin1String("%1"))) reason = reason.arg(named);
        QStringList lines;
        for (const QString& line : {Tx(m.first), reason, Tx(m.last)})
            if (!line.isEmpty()) lines << line;
        MsgBox(lines.join(QStringLiteral("\r\n")), MsgStyle::Critical, Tx(m.title));
        return;
    }
    Q_ASSERT_X(false, "ShowFault", "a fault without a message");
}

void FieldDialog::WarnUndefinedTag() const {
    const QString name = SourceTagName();
    if (c.optSaveDateTime->isChecked() || name.isEmpty() || name.toUpper() == QLatin1String("^DATETIME"))
        return;
    const ProgramState& st = State();
    const auto tags = TagListUtil::ProjectTagNames(st.ProjectName, st.WorkstationName);
    if (!tags || tags->contains(name, Qt::CaseInsensitive)) return;
    MsgLines({Tx(kUndefinedTag).arg(name, st.ProjectName), Tx(kUndefinedTagResult), Tx(kUndefinedTagCheck)},
             MsgStyle::Exclamation | MsgStyle::OkOnly, Tx(kUndefinedTagTitle));
}

void FieldDialog::SaveSource() {
    mMessageLength = -1;
    mDecimalPlaces = -1;
    mDataLength = -1;
    mDatetimeFormat.clear();
    mTagName = SourceTagName();
    const QString type = SourceTagType();
    if (!type.isEmpty()) mTagType = type;
    // The format stored is the one that the checks passed: the one of the part as typed.
    if (c.chkUseDataFormat->isChecked()) {
        if (type == QLatin1String("VALUE"))
            mDecimalPlaces = NumberOf(c.txtDecimalPlaces);
        else if (type == QLatin1String("MESSAGE"))
            mMessageLength = NumberOf(c.txtMessageLength);
        else if (type == QLatin1String("DATETIME"))
            mDatetimeFormat = c.cmbDatetimeFormat->currentText();
    }
    if (IsCSV() && mbFixDataLength) mDataLength = NumberOf(c.txtDataLength);
}

void FieldDialog::ResultInto(xField& field) const {
    field.TagName = mTagName;
    field.TagType = mTagType;
    field.TagMessageLength = mMessageLength;
    field.DecimalPlaces = mDecimalPlaces;
    field.DatetimeFormatString = mDatetimeFormat;
    field.TagDataLength = mDataLength;
}
