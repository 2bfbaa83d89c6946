// The save-group editor: the tabbed dialog of one save group. It edits a working copy of the
// group (Config().WorkingGroup) and stores it into the save-group table on OK; its dialogs (the
// file layout, the database settings, the fields) and the database wizard change only the
// working copy.
#pragma once
#include <QString>
#include <cstdint>

#include "common/Settings.h"
#include "config/forms/FormSupport.h"
#include "ui_frmGroupConfig.h"

class QTreeWidgetItem;

class frmGroupConfig : public ConfigDialog, public Ui::frmGroupConfig {
    Q_OBJECT
  public:
    int16_t mGroupIndex = 0;           // the edited group in the save-group table
    int16_t mdbIsDefaultFilePath = 0;  // the working group's flag as last shown
    QString mdbDBTypeName;             // the working group's type name as last shown
    bool mbLoadCSVDefaultSetting = false;

    explicit frmGroupConfig(QWidget* parent = nullptr);

    // Loads the named group into the working copy, fills the dialog and shows it modally;
    // returns when the dialog is hidden by OK or Cancel. `tmpbLoadCSVDefault` is true for a
    // group just created, which starts from the CSV defaults.
    void LoadFormObj(const QString& tmpSaveGroupName, bool tmpbLoadCSVDefault);
    // The checks in their order; on failure one message, the offending control in mFocusObj
    // (its tab shown), false. The two questions answered No return false with no control.
    bool CheckFormObj() override;
    // Stores the dialog into the working copy, a whole copy of it into the table, and marks the
    // project as modified.
    void SaveFormObj() override;

    // The default CSV options: "," as delimiter, CR+LF, the file closed after each save.
    void LoadCSVDefaultSetting();
    // Shows the save-CSV box for types other than CSV, and enables the CSV options when on.
    void LayoutCSVTab();
    // Shows the working group's database type, connection values, file usage, CSV options and
    // fields.
    void LoadDBSettings();
    // Which buttons can be used.
    void RefreshFormObj();
    void mkCmbWriteMode();
    void mkCmbNewlineCharacter();
    // Field list: a new field through the off-line field dialog; the selected row deleted after
    // a question, or edited in the field dialog.
    void AddNewField();
    void DeleteField();
    void EditField();
    // The file-layout dialog for the database files or the CSV files.
    void EditSaveDBWay();
    void EditSaveCSVDBWay();

    // Control events.
    void chkCyclical_Click();
    void chkTriggerTag_Click();
    void chkEnableTag_Click();
    void chkPurgeTag_Click();
    void chkNumRecordsSavedTag_Click();
    void chkbNewlineCharacter_Click();
    void chkbSaveCSV_Click();
    void optSingle_Click();
    void optDspersed_Click();
    void optCSVSingle_Click();
    void optCSVDspersed_Click();
    void cmdDBSetting_Click();
    void cmdDBContent_Click();
    void cmdConnectDB_Click();
    void cmdMoveFirst_Click();
    void cmdMoveUp_Click();
    void cmdMoveDown_Click();
    void cmdMoveLast_Click();

  private:
    void SetCaptions(const QString& groupName);
    // The database type name of the shown type description; empty when no template has it.
    QString ShownTypeName() const;
    // The shown connection values into the settings by type, as OK stores them.
    void StoreShownDBSettings(xSvcSettings& s) const;
    // The field rows into the working copy's field table, in list order.
    void StoreFieldRows(SaveGroupRecord& g) const;
    // The CSV options shown into the settings (values only; the CSV files stay as they are).
    void StoreCSVOptions(xSvcSettings& s) const;
    // Keeps what the tabs show in the working copy before it is shown again from there.
    void KeepEditsInWorkingGroup();
    // Fails a check on a control: shows its tab and leaves it to be focused.
    bool Blame(QWidget* control);
    bool CheckTag(QCheckBox* box, QLineEdit* text, const TextPair& function);
    void MoveRow(int target);
    static void SetRow(QTreeWidgetItem& row, const xField& f);
};
