// The wizard's first page: the database type, one database or dispersed database files whose
// folder and file name come from tags, and whether a CSV copy is saved too (its file usage is
// chosen in the file-layout dialog). Next leads to the connection page of the type, or for
// "CSV" to the field list; a type without a page ends the wizard.
#pragma once
#include <QString>
#include <cstdint>

#include "config/wizard/WizardPage.h"
#include "ui_frmDBSetup1.h"

class frmDBSetup1 : public WizardPage, public Ui::frmDBSetup1 {
    Q_OBJECT
  public:
    explicit frmDBSetup1(QWidget* parent = nullptr);

    QString mDBTypeName;  // the chosen type's name ("ACCESS"); also the type last seen
    QString mDBTypeDsc;
    QString mDBFilter;
    bool mIsDBSingle = true;
    QString mDataBaseRootDir;
    QString mDirTagName;
    QString mDirTagType;  // "VALUE" or "MESSAGE"; empty without a tag
    QString mFileNameTagName;
    QString mFileNameTagType;
    bool mIsOfflineConfigDB = false;  // chooses the page title only
    bool mbSaveCSV = false;
    // The CSV file usage and options of the last confirmed file-layout dialog; kept between runs.
    QString mCSVDataBaseRootDir;
    QString mCSVDirTagName;
    QString mCSVDirTagType;
    QString mCSVFileNameTagName;
    QString mCSVFileNameTagType;
    QString mCSVFilePath;
    bool mbFixDataLength = false;
    bool mbUseFieldTitle = false;
    QString mDelimiterCharacter;
    QString mNewlineCharacter;  // the line-end characters themselves
    int16_t mKeepConnectionAliveAfterSaveData = 0;
    bool mLoadDefaultCSVSetting = true;
    // The file-layout dialog was confirmed in this run: only then are the CSV answers applied.
    bool mbCSVConfirmed = false;

    // Prepares the page for a new run (the caller shows it).
    void LoadFormObj(bool tmpIsOfflineConfigDB);
    // Dispersed files need a root folder.
    bool CheckFormObj() override;
    void SaveFormObj() override;
    // Enables the dispersed-file inputs; disabled, their boxes are emptied.
    void SetDspersedContent(bool tmpIsEnable);
    // Edits the CSV file usage and options in the file-layout dialog.
    void SelectSaveCSVDBWay();

    // The type rules of the chosen type.
    void cmbDBTypeName_Click();
    void chkSaveCSV_Click();
    void optSingle_Click();
    void cmdSelectDir_Click();
    void cmdSelectCSVDB_Click() { SelectSaveCSVDBWay(); }

  protected:
    WizardPage* LoadNextPage() override;

  private:
    void SetCaptions();
};
