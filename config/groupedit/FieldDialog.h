// What the two field dialogs share (the field dialog and the dialog that adds a field off
// line): a field's data source (an HMI tag and its part, or the system date-time), its custom
// data format and its CSV data length, with their enabling rules, event handlers, checks and
// saving. Each dialog lays its controls out in its own .ui under the same names and binds them
// here; it keeps its own captions, messages and field-name checks.
#pragma once
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <optional>

#include "common/Settings.h"
#include "common/Texts.h"
#include "config/forms/FormSupport.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The controls of a field's data source, under the names that both dialogs give them.
struct FieldSourceControls {
    QRadioButton* optTag;
    QRadioButton* optSaveDateTime;
    QLineEdit* txtTagName;
    QComboBox* cmbTagType;
    QCheckBox* chkUseDataFormat;
    QGroupBox* frmFormatSetting;
    QLabel* lblDecimalPlaces;
    QLineEdit* txtDecimalPlaces;
    QLabel* lblMessageLength;
    QLineEdit* txtMessageLength;
    QLabel* lblMessageCaption;
    QLabel* lblDatetimeFormat;
    QComboBox* cmbDatetimeFormat;
    QLabel* lblDatetimeExample;
    QLabel* lblUseDataFormatDsc1;
    QGroupBox* frmCSVSettings;
    QLabel* lblDataLength;
    QLineEdit* txtDataLength;
    QLabel* lblDataLengthCaption;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdHelp;

    // The controls of a form set up from its .ui (members of the same names).
    template <class Ui>
    static FieldSourceControls Of(Ui& ui) {
        return {ui.optTag,
                ui.optSaveDateTime,
                ui.txtTagName,
                ui.cmbTagType,
                ui.chkUseDataFormat,
                ui.frmFormatSetting,
                ui.lblDecimalPlaces,
                ui.txtDecimalPlaces,
                ui.lblMessageLength,
                ui.txtMessageLength,
                ui.lblMessageCaption,
                ui.lblDatetimeFormat,
                ui.cmbDatetimeFormat,
                ui.lblDatetimeExample,
                ui.lblUseDataFormatDsc1,
                ui.frmCSVSettings,
                ui.lblDataLength,
                ui.txtDataLength,
                ui.lblDataLengthCaption,
                ui.cmdOK,
                ui.cmdCancel,
                ui.cmdHelp};
    }
};

// What a failed check of the data source found: the input, the kind of fault and the control
// to focus (none for the tag part).
struct FieldFault {
    enum Input {
        SystemDatetimeFormat,
        TagType,
        TagName,
        DecimalPlaces,
        MessageLength,
        DatetimeFormat,
        DataLength
    };
    enum Kind { Blank, TooLong, HasDot, HasComma, HasLineBreak, NotNumber, TooSmall };
    Input input;
    Kind kind;
    QWidget* focus;
};

// What keeps a typed text from standing as one item of a field line of the settings file
// ("fd1=Flow,T1,2,-1"): a line break (HasLineBreak) or a "," (HasComma); nothing when it can.
std::optional<FieldFault::Kind> SettingItemFault(const QString& text);

// The message of one fault: title and up to three lines (an empty line is left out); "%1" in
// the reason stands for the name as typed and trimmed.
struct FieldMessage {
    FieldFault::Input input;
    FieldFault::Kind kind;
    TextPair title;
    TextPair first;
    TextPair reason;
    TextPair last;
};

// Reasons for text that the settings files cannot hold, for both dialogs' message tables.
constexpr TextPair kTagNameCommaReason{"The Tag name[%1] cannot contain [,]!",
                                       "Tag 名稱 [%1] 中不得含有[,]符號。"};
constexpr TextPair kTagNameLineBreakReason{"The Tag name cannot contain a line break.",
                                           "Tag 名稱中不得含有換行字元。"};
constexpr TextPair kDatetimeFormatCommaReason{"The datetime Format[%1] cannot contain [,]!",
                                              "日期時間格式 [%1] 中不得含有[,]符號。"};
constexpr TextPair kDatetimeFormatLineBreakReason{"The datetime Format cannot contain a line break.",
                                                  "日期時間格式中不得含有換行字元。"};

// Where the two dialogs' rules differ.
struct FieldRules {
    bool tagTypeRequired;     // an unrecognised tag part fails the checks
    bool msgIsMessage;        // a tag part typed "MSG" counts as "MESSAGE"
    bool systemFormatAlways;  // the system date-time needs a format even without custom format
};

class FieldDialog : public ConfigDialog {
    Q_OBJECT
  public:
    QString mDBTypeName;  // "CSV" for CSV files
    QString mTableName;
    QString mFieldName;
    QString mTagName;  // after OK: the trimmed tag name, or "^DateTime"
    QString mTagType;  // after OK: "VALUE", "MESSAGE" or "DATETIME"
    bool mbSaveCSV = false;
    bool mbFixDataLength = false;
    int16_t mDataLength = -1;  // -1: not set
    int16_t mDecimalPlaces = -1;
    QString mDatetimeFormat;  // empty: not set
    QString mFieldCaption;    // Chinese caption of the field name (Chinese only)
    int16_t mMessageLength = -1;

    // The results after OK into a field: its tag, part, formats and data length.
    void ResultInto(xField& field) const;

    // Fills the date-time format list and refreshes the sample.
    void mkcmbDatetimeFormat();
    // Shows the current date-time in the chosen format.
    void DemoDatetimeString();
    // Shows mDatetimeFormat in the format list, or the default format when it is empty.
    void ShowDatetimeFormat();
    // Enables or disables the tag name and tag part; a disabled tag name is emptied.
    void SetTagContent(bool tmpIsEnable);
    // Enables the format inputs that the source and tag part use.
    void SetDataFormat();
    // Enables the data length with fixed-length CSV.
    void SetCSVSetting();

    // The source, the custom format and the tag part set the enabling; the format the sample.
    void optTag_Click() { SetEnabling(); }
    void optSaveDateTime_Click() { SetEnabling(); }
    void chkUseDataFormat_Click() { SetEnabling(); }
    void cmbTagType_Click() { SetEnabling(); }
    void cmbTagType_Change() { SetEnabling(); }
    void cmbDatetimeFormat_Click() { DemoDatetimeString(); }
    void cmbDatetimeFormat_Change() { DemoDatetimeString(); }

  protected:
    FieldDialog(QWidget* parent, FieldRules rules);
    // Binds the controls once, after the form's layout is made, and connects the handlers.
    // Check boxes and option buttons run their handlers also when code changes them.
    void Bind(const FieldSourceControls& controls);

    // The captions that both dialogs give the data source, the formats and the buttons.
    void ApplySourceCaptions();
    // The tag-part items in the current language; the text becomes the first.
    void FillTagTypes();
    // The display text of a tag part in the current language ("MSG" shows as "MESSAGE"); empty
    // for an unknown part.
    static QString TagTypeText(const QString& tagType);
    // Shows or hides the CSV frame by mbSaveCSV; the form takes the height it needs.
    void ShowCSVFrame();
    // The CSV condition: the type is "CSV" or the group also writes CSV.
    bool IsCSV() const;
    // The tag name and tag part that the inputs give: "^DateTime" and "DATETIME" for the system
    // date-time, else the trimmed name and the recognised part (empty when not recognised).
    QString SourceTagName() const;
    QString SourceTagType() const;
    // The checks of the data source in their order; nothing when they pass.
    std::optional<FieldFault> CheckSource() const;
    // After the checks have passed: a warning that refuses nothing, when the project's tag list
    // is available and does not hold the tag name (any letter case), since the saver would record
    // -1 for the field.
    void WarnUndefinedTag() const;
    // Shows the message of a fault from a table of messages.
    void ShowFault(const FieldFault& fault, std::initializer_list<FieldMessage> messages) const;
    // Stores the data source into the result properties; an unrecognised tag part keeps mTagType.
    void SaveSource();

    FieldSourceControls c{};

  private:
    void SetEnabling();

    FieldRules rules_;
};
