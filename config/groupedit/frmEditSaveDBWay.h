// The file-layout dialog: one single database or CSV file, or dispersed files whose folder and
// file names come from tag values. It reads the editor's working copy and writes nothing into
// it; its caller copies the results.
#pragma once
#include <QString>
#include <cstdint>

#include "common/Settings.h"
#include "config/mainwin/FormSupport.h"

class frmEditSaveDBWay : public ConfigDialog {
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
    void LoadFormObj(bool tmpIsSaveCSV, bool tmpbFromDBSettingWizard, bool& tmpbLoadCSVDefault);
    bool CheckFormObj() override;
    void SaveFormObj() override;
};
