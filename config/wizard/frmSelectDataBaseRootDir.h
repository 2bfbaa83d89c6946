// The folder picker for the root folder of a save group's dispersed database files: a drive
// list and a folder list. The caller passes the folder to start in (empty: the project folder)
// and, when mString is "確定", reads mDataBaseRootDir.
#pragma once
#include "config/forms/FormSupport.h"
#include "ui_frmSelectDataBaseRootDir.h"

class frmSelectDataBaseRootDir : public ConfigDialog, public Ui::frmSelectDataBaseRootDir {
    Q_OBJECT
  public:
    explicit frmSelectDataBaseRootDir(QWidget* parent = nullptr);

    QString mDataBaseRootDir;  // after OK: the full path of the chosen folder

    // Opens at the start folder (the nearest folder that exists, when it does not) and shows
    // the dialog modally; returns when it is hidden.
    void LoadFormObj(const QString& tmpDBRootDir);
    bool CheckFormObj() override;
    void SaveFormObj() override;

    // A click on a folder shows its full path; a double click also opens it.
    void lstDir_Click();
    void lstDir_DblClick();
    // Moves the folder list to the chosen drive; a drive that cannot be read leaves it.
    void lstDrive_Change();

    // The folder whose contents the folder list shows.
    QString DirPath() const { return dirPath_; }

  private:
    void SetDirPath(const QString& path);
    void SetDrive(const QString& root);

    QString dirPath_;
};

// The drives of the drive list: the root and the mounted file systems of block devices.
QStringList DriveRoots();
