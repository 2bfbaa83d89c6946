// The system settings dialog: the workstation-wide settings of [SystemBasic] (logging, the
// saver window's display and exit, the three status tags). It edits the program-wide copies of
// these settings only; OK stores them and marks the project modified, and the next save writes
// them. The tag list beside the stop tag lists the HMI project's tags to look up.
#pragma once
#include "config/forms/FormSupport.h"
#include "ui_frmBasicConfig.h"

class QCheckBox;
class QLineEdit;

class frmBasicConfig : public ConfigDialog, public Ui::frmBasicConfig {
    Q_OBJECT
  public:
    explicit frmBasicConfig(QWidget* parent = nullptr);

    // Loads the controls from the program-wide settings, sets the captions and shows the dialog
    // modally; returns when it is hidden.
    void LoadFormObj();
    // The log path must name a file; each ticked tag needs a name of at most 8 characters and no
    // part other than VALUE. False after the first failure, with its message shown.
    bool CheckFormObj() override;
    // Copies the controls into the program-wide settings and marks the project modified.
    void SaveFormObj() override;

    void chkLogDisable_Click();
    void chkLiveAlone_Click();
    void chkStopTag_Click();
    void chkAliveTag_Click();
    void chkDuringSavingTag_Click();
    void cmdAll_Click();
    void cmdNotListSysTag_Click();
    void cmdSelectLogFile_Click();

  private:
    void SetCaptions();
    bool CheckLogPath();
    void ListTags(bool includeSystem);
};
