// The dialog that defines one new data field: its name, typed or picked from the fields of the
// group's table, and its data source, format and CSV length as in the field dialog. Its results
// (mTagName, mTagType, mFieldName, mDBTypeName, mbSaveCSV, mbFixDataLength, mDataLength,
// mDecimalPlaces, mDatetimeFormat, mMessageLength, mFieldCaption) are those of FieldDialog.
#pragma once
#include <QString>
#include <cstdint>
#include <optional>

#include "common/Settings.h"
#include "config/groupedit/FieldDialog.h"
#include "ui_frmAddNewOfflineField.h"

class frmAddNewOfflineField : public FieldDialog, public Ui::frmAddNewOfflineField {
    Q_OBJECT
  public:
    explicit frmAddNewOfflineField(QWidget* parent = nullptr);

    // Fills the dialog for a new field, shows it modally and returns when it is hidden; when
    // mString is "確定" the caller reads mFieldName, mTagName, mTagType, mMessageLength,
    // mDecimalPlaces, mDatetimeFormat and mDataLength. With a group name the dialog works on that
    // group of the save-group table, else on the editor's working group. "Get Field..." connects
    // with `tmpConnection` when given (the wizard's answers, which a new group does not hold yet),
    // else with the group's settings.
    void LoadFormObj(bool tmpIsNew, bool tmpbSaveCSV, bool tmpbFixDataLength, const QString& tmpDBTypeName,
                     const QString& tmpSaveGroupName, const QString& tmpTableName,
                     const QString& tmpFieldName, const QString& tmpTagName, const QString& tmpTagType,
                     bool tmpIsCheckFieldNameExist, const xSvcSettings* tmpConnection = nullptr);
    // The field name (blank, taken, text the settings line cannot keep), then the data source.
    bool CheckFormObj() override;
    void SaveFormObj() override;
    // "Get Field...": lists the columns of the table in the field-name box.
    void cmdFindFields_Click();

  private:
    void SetCaptions();

    QString groupName_;
    QString tableName_;
    bool isNew_ = true;
    bool checkNameExists_ = true;
    SaveGroupRecord group_;  // the group the dialog works on; its objects are the group's own
    std::optional<xSvcSettings> connection_;  // what "Get Field..." connects with, when not the group
};
