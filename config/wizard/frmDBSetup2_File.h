// The connection pages of the file types: an Access database or an Excel workbook, a file in the
// project data folder (picked) or anywhere (typed or chosen), with a user name and password.
// On line the check opens the file and lists its tables (sheets); off line nothing is opened.
#pragma once
#include <QString>
#include <cstdint>

#include "config/wizard/WizardPage.h"
#include "ui_frmDBSetup2_File.h"

struct FilePageTexts;

class frmDBSetup2_File : public WizardConnectionPage, public Ui::frmDBSetup2_File {
    Q_OBJECT
  public:
    QString mFilePath;  // the typed path, trimmed
    QString mUserName;
    QString mPassword;
    QString mFileName;  // the file picked in the data folder, name only
    QString mFullPath;  // the database file the group will use
    QString mDBTypeName;
    QString mDBTypeDsc;
    QString mDBFilter;
    // Workbooks only: 0 when the saver closes the connection after every save, 1 when it keeps it.
    int16_t mKeepConnectionAliveAfterSaveDataForExcel = 0;

    // Prepares the page for the chosen type (the caller shows it).
    void LoadFormObj(const QString& tmpDBTypeName, const QString& tmpDBTypeDsc, const QString& tmpDBFilter);
    // The same for the type, description and filter of the first page.
    void LoadFormObj() override;
    // A path is needed; on line the file must open and hold a table (sheet).
    bool CheckFormObj() override;
    void SaveFormObj() override;
    // Enables the inputs of the chosen location.
    void RefreshFormObj();

    void cmdSelectFile_Click();
    void cmdSelectFilePath_Click();
    void optDefaultFilePath_Click() { RefreshFormObj(); }
    void optUserFilePath_Click() { RefreshFormObj(); }

  protected:
    frmDBSetup2_File(bool workbook, QWidget* parent);

  private:
    // The path that the inputs give: the picked file in the data folder, or the typed path.
    QString ChosenPath() const;

    const FilePageTexts& texts_;
    bool workbook_;
};

class frmDBSetup2_Access : public frmDBSetup2_File {
    Q_OBJECT
  public:
    explicit frmDBSetup2_Access(QWidget* parent = nullptr) : frmDBSetup2_File(false, parent) {}
};

class frmDBSetup2_Excel : public frmDBSetup2_File {
    Q_OBJECT
  public:
    explicit frmDBSetup2_Excel(QWidget* parent = nullptr) : frmDBSetup2_File(true, parent) {}
};
