// The workstation picker: the workstations of a project are the folders under its "CFG"
// folder. The caller reads mbuttonOK and then mDBName (or the caption of lblDBName).
#pragma once
#include "config/forms/FolderPicker.h"
#include "ui_frmSelectWksName.h"

class frmSelectWksName : public FolderPicker, public Ui::frmSelectWksName {
    Q_OBJECT
  public:
    explicit frmSelectWksName(QWidget* parent = nullptr);

    QString mDBName;  // the chosen workstation, trimmed, after OK

    // Lists the workstations of the project and shows the form modally; returns when it is
    // hidden.
    void LoadFormObj(const QString& projectName);
    void lvDBList_Click() { List_Click(); }
    void lvDBList_DblClick() { List_DblClick(); }

  protected:
    void SetName(const QString& name) override { mDBName = name; }
};
