// The field dialog: where one data field of a save group takes its value from (a tag and its
// part, or the system date-time), its custom data format and its CSV data length. The caller
// passes the field to LoadFormObj, which shows the dialog modally; when mString is "確定" it
// reads mTagName, mTagType, mMessageLength, mDecimalPlaces, mDatetimeFormat and mDataLength.
#pragma once
#include "config/groupedit/FieldDialog.h"
#include "ui_frmFieldContent.h"

class frmFieldContent : public FieldDialog, public Ui::frmFieldContent {
    Q_OBJECT
  public:
    explicit frmFieldContent(QWidget* parent = nullptr);

    // Fills the dialog with the field, shows it modally and returns when it is hidden.
    void LoadFormObj(const QString& tmpDBTypeName, const QString& tmpTableName, const QString& tmpFieldName,
                     const QString& tmpTagName, const QString& tmpTagType, bool tmpbSaveCSV,
                     bool tmpbFixDataLength, int16_t tmpDataLength, int16_t tmpDecimalPlaces,
                     const QString& tmpDatetimeFormat, int16_t tmpMessageLength);
    // Validates the inputs; on failure shows the message, sets mFocusObj and returns false.
    bool CheckFormObj() override;
    // Copies the inputs into the result properties.
    void SaveFormObj() override;

  private:
    void SetCaptions();
};
