// The database-settings dialog: the connection values of the group open in the save-group
// editor (file or server, database, table or sheet, user and password, labelled by its type)
// corrected by hand, with a file-existence check for the Access and Excel types. Made anew for
// each use: the editor loads it with itself, shows it and, after OK, takes over the trimmed
// texts of txtDBSetting1 to txtDBSetting5, the connection box and mdbIsDefaultFilePath.
#pragma once
#include <QString>
#include <array>
#include <cstdint>

#include "common/Texts.h"

#include "config/forms/FormSupport.h"
#include "ui_frmEditDBContent.h"

class frmGroupConfig;

// The captions of the five connection rows of a database type, as the save-group editor and
// this dialog name them; a row that the type does not use has none. A type without captions of
// its own gets the Chinese ones in both languages.
std::array<TextPair, 5> ConnectionRowNames(const QString& typeName);

class frmEditDBContent : public ConfigDialog, public Ui::frmEditDBContent {
    Q_OBJECT
  public:
    QString mDBType;                   // type name of the template whose description the editor shows
    QString mDBTypeDsc;                // its description
    QString mDBFilter;                 // its file pattern
    QString mDBFilePath;               // the first value as loaded (file types)
    int16_t mdbIsDefaultFilePath = 0;  // 1: the database file lies in the project data folder

    explicit frmEditDBContent(QWidget* parent = nullptr);

    // Fills the dialog from the editor's shown values; the caller shows it.
    void LoadFormObj(frmGroupConfig& frm);
    // The database file or workbook must exist; text the settings file cannot keep is refused.
    bool CheckFormObj() override;
    // An Access file name checked in the project data folder is given back with that folder, as
    // it was checked.
    void SaveFormObj() override;
    // The file-open dialog; a chosen file replaces the first value, a cancel keeps it.
    void cmdSelectFile_Click();

  private:
    QString checkedFilePath_;
};
