// The save-group editor: the tabbed dialog of one save group. It edits a working copy of the
// group and stores it into the save-group table on OK.
#pragma once
#include <QString>

#include "config/mainwin/FormSupport.h"

class frmGroupConfig : public ConfigDialog {
    Q_OBJECT
  public:
    explicit frmGroupConfig(QWidget* parent = nullptr);

    // Loads the named group into the working copy, fills the dialog and shows it modally;
    // returns when the dialog is hidden by OK or Cancel.
    void LoadFormObj(const QString& tmpSaveGroupName, bool tmpbLoadCSVDefault);
    bool CheckFormObj() override;
    void SaveFormObj() override;
};
