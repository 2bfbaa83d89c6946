// The file-layout dialog: one single database or CSV file, or dispersed files whose folder and
// file names come from tag values. It reads the editor's working copy and writes nothing into
// it; its caller copies the results.
#pragma once
#include <QString>
#include <cstdint>

#include "common/Settings.h"
#include "config/forms/FormSupport.h"
#include "ui_frmEditSaveDBWay.h"

class frmEditSaveDBWay : public ConfigDialog, public Ui::frmEditSaveDBWay {
    Q_OBJECT
  public:
    QString mDBTypeName;  // "CSV" in CSV mode
    bool mIsDBSingle = true;
    QString mDataBaseRootDir;
    QString mDirTagName;
    QString mDirTagType;  // "VALUE" or "MESSAGE"; empty without a tag
    QString mFileNameTagName;
    QString mFileNameTagType;
    bool mIsSaveCSV = false;
    QString mDBFilePath;
    bool mbFromDBSettingWizard = false;
    bool mbFixDataLength = false;
    bool mbUseFieldTitle = false;
    QString mDelimiterCharacter;
    QString mNewlineCharacter;  // the line-end characters themselves
    int16_t mKeepConnectionAliveAfterSaveData = 0;
    xDBSettings mxDBSettings;

    explicit frmEditSaveDBWay(QWidget* parent = nullptr);

    // Fills the dialog for CSV or database mode and shows it modally; returns when it is hidden.
    // From the wizard the CSV file options are shown too; `tmpbLoadCSVDefault` starts them from
    // their defaults.
    void LoadFormObj(bool tmpIsSaveCSV, bool tmpbFromDBSettingWizard, bool& tmpbLoadCSVDefault);
    // Dispersed files need a root folder that is a valid path; text the settings file cannot
    // keep is refused.
    bool CheckFormObj() override;
    void SaveFormObj() override;

    // Enables the dispersed-file inputs (true) or the single path (false); leaving dispersed
    // files empties the folder and the two tags.
    void SetDspersedContent(bool dispersed);
    void optSingle_Click();
    void optDspersed_Click();
    void chkbNewlineCharacter_Click();
    void cmdSelectDBFilePath_Click();
    void cmdSelectDir_Click();

  private:
    void LoadDBSetting();
    void LoadCSVSetting();
    void LoadDefaultCSVSettings();
    // Shows the loaded file usage: the option, the single path, the root folder and the tags.
    void ShowFileUsage();
    void LayoutFormObj();
    void mkCmbNewlineCharacter();
    void SetCaptions();
    // Shows the stored tag and selects its part (message or value; other parts select neither).
    static void ShowTag(QLineEdit* name, QRadioButton* message, QRadioButton* value, const QString& tagName,
                        const QString& tagType);
};
