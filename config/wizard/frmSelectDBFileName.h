// The file picker for a database file in the project data folder (made when missing). The
// caller passes the file pattern of the type and, when mString is "確定", reads mDBFilePath.
#pragma once
#include "config/forms/FormSupport.h"
#include "ui_frmSelectDBFileName.h"

class frmSelectDBFileName : public ConfigDialog, public Ui::frmSelectDBFileName {
    Q_OBJECT
  public:
    explicit frmSelectDBFileName(QWidget* parent = nullptr);

    QString mDBFilePath;  // after OK: the data folder, "\" and the highlighted file name

    // Lists the files of the project data folder that match the pattern ("*.mdb", or several
    // joined by ";", in any letter case) and shows the dialog modally; returns when it is
    // hidden. The type name is not used.
    void LoadFormObj(const QString& tmpDBTypeName, const QString& tmpPattern);
    // A file must be highlighted.
    bool CheckFormObj() override;
    void SaveFormObj() override;

    // The folder of the file list.
    QString FolderPath() const { return folder_; }

  private:
    QString folder_;
};
