// The project picker: the HMI projects are the folders under "..\Project". The caller reads
// mbuttonOK and then mProjName (or the caption of lblProjName).
#pragma once
#include "config/forms/FolderPicker.h"
#include "ui_frmOpenProj.h"

class frmOpenProj : public FolderPicker, public Ui::frmOpenProj {
    Q_OBJECT
  public:
    explicit frmOpenProj(QWidget* parent = nullptr);

    QString mProjName;  // the chosen project, trimmed, after OK

    // Lists the projects and shows the form modally; returns when it is hidden.
    void LoadFormObj();
    void lvProjList_Click() { List_Click(); }
    void lvProjList_DblClick() { List_DblClick(); }

  protected:
    void SetName(const QString& name) override { mProjName = name; }
};
