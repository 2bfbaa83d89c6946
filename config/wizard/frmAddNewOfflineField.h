// The dialog that defines one new data field: its name, typed or picked from the fields of the
// group's table, and its data source, format and CSV length as in the field dialog.
#pragma once
#include <QString>
#include <cstdint>

#include "config/mainwin/FormSupport.h"

class frmAddNewOfflineField : public ConfigDialog {
    Q_OBJECT
  public:
    QString mTagName;  // after OK: the trimmed tag name or "^DateTime"
    QString mTagType;  // after OK: "VALUE", "MESSAGE" or "DATETIME"
    QString mFieldName;
    QString mDBTypeName;
    bool mbSaveCSV = false;
    bool mbFixDataLength = false;
    int16_t mDataLength = -1;
    int16_t mDecimalPlaces = -1;
    QString mDatetimeFormat;
    int16_t mMessageLength = -1;
    QString mFieldCaption;

    explicit frmAddNewOfflineField(QWidget* parent = nullptr);

    // Fills the dialog for a new field, shows it modally and returns when it is hidden; when
    // mString is "確定" the caller reads mFieldName, mTagName, mTagType, mMessageLength,
    // mDecimalPlaces, mDatetimeFormat and mDataLength.
    void LoadFormObj(bool tmpIsNew, bool tmpbSaveCSV, bool tmpbFixDataLength, const QString& tmpDBTypeName,
                     const QString& tmpSaveGroupName, const QString& tmpTableName,
                     const QString& tmpFieldName, const QString& tmpTagName, const QString& tmpTagType,
                     bool tmpIsCheckFieldNameExist);
    bool CheckFormObj() override;
    void SaveFormObj() override;
};
