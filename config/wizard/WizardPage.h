// What the pages of the database setup wizard share: the page protocol (each page ends with its
// choice and names the page that follows, so one loop shows them in turn), the buttons and
// their captions, the field rows of the field pages and the wizard's field records, which carry
// those rows across a Previous.
#pragma once
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <initializer_list>

#include "common/Settings.h"
#include "config/core/SaveGroupModel.h"
#include "config/forms/FormSupport.h"

namespace ado {
class Connection;
}

class QCheckBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// One row of a field page, its seven columns as shown: field name, tag name, tag field, message
// length, decimal places, date-time format and data length; numbers as decimal text, an empty
// cell for a number that is not set.
struct FieldRow {
    QString FieldName;
    QString TagName;
    QString TagField;
    QString MessageLength;
    QString DecimalPlaces;
    QString DatetimeFormat;
    QString DataLength;
};

// The cell of a number: empty below `least`, else its decimal text.
QString NumberCell(int value, int least);
// The number of a cell: -1 when it is empty or holds no 16-bit number.
int16_t CellNumber(const QString& cell);
// The rows of a field list, in list order; appending a row.
QList<FieldRow> ReadFieldRows(const QTreeWidget& list);
QTreeWidgetItem* AddFieldRow(QTreeWidget& list, const FieldRow& row);
// Gives a list its column headers in the current language, each column wide enough for its
// header.
void SetHeaders(QTreeWidget& list, std::initializer_list<TextPair> headers);
// The field dialog's results as the cells of a row (the field name is left empty).
FieldRow ResultRow(const QString& tagName, const QString& tagType, int messageLength, int decimalPlaces,
                   const QString& datetimeFormat, int dataLength);
// Edits the data source and formats of a row in the field dialog, for the type of the first
// page; the row takes the results when the dialog was confirmed.
void EditFieldRow(QTreeWidgetItem& row, const QString& tableName, bool csv);
// Shows the message that a group holds at most 255 fields.
void ShowFieldLimit();

// The wizard's field records: the rows of the last field page, kept across a Previous (at most
// 255), with their count.
struct WizardField {
    QString FieldName;
    QString TagName;
    QString TagField;
    int16_t MessageLength = -1;
    int16_t DecimalPlaces = -1;
    QString DatetimeFormat;
};
struct WizardFieldRecords {
    std::array<WizardField, kMaxFields + 1> aWizardFields;  // 1-based
    int16_t WizardFieldCount = 0;
};
WizardFieldRecords& WizardFields();
// Keeps the rows in the records 1..n (at most 255) and sets the count; with `all` every member,
// else the field name, tag name and tag field only.
void KeepFieldRows(const QList<FieldRow>& rows, bool all);

// The group that the running wizard will change, or none (the main window's wizard applies
// nothing). Finish asks before it drops rows without a tag or leaves that group with no field.
void SetWizardTarget(const SaveGroupRecord* group);
// True when the rows can be applied: nothing is dropped, or the engineer agreed.
bool ConfirmDroppedFields(const QList<FieldRow>& rows);

// One page of the wizard. Next checks and saves the page and loads the page that follows,
// Previous names the page before (shown again as it was left), Cancel and Finish end the
// wizard; each hides the page, and the wizard's loop shows the page named in mNextPage.
class WizardPage : public ConfigDialog {
    Q_OBJECT
  public:
    // The page to show after this one has ended; none ends the wizard.
    WizardPage* mNextPage = nullptr;

    // Checks pass unless a page says otherwise; pages keep nothing unless they say so.
    bool CheckFormObj() override;
    void SaveFormObj() override {}

    // Shows the page modally until it ends; returns the page that follows, if any.
    WizardPage* ShowPage();

    void cmdNext_Click();
    void cmdPrevious_Click();
    void cmdFinish_Click();
    void cmdCancel_Click() override;
    void cmdHelp_Click();

  protected:
    explicit WizardPage(QWidget* parent = nullptr);
    // Connects the five buttons. On the last page of a path Finish is the default button and
    // Next is disabled; on the others Next is the default and Finish is disabled.
    template <class Ui>
    void BindPage(Ui& ui, bool lastPage) {
        BindPageButtons(ui.cmdNext, ui.cmdPrevious, ui.cmdCancel, ui.cmdHelp, ui.cmdFinish, lastPage);
    }
    void BindPageButtons(QPushButton* next, QPushButton* previous, QPushButton* cancel, QPushButton* help,
                         QPushButton* finish, bool lastPage);
    // The captions of the five buttons and the note frame in the current language.
    void SetPageButtonCaptions();
    // The captions that the two field pages share (buttons, frames, notes) and the headers of
    // their field list; the on-line page names two columns a little differently.
    void SetFieldPageCaptions(QTreeWidget& list, bool online);

    // Loads the page that Next leads to and returns it; none ends the wizard.
    virtual WizardPage* LoadNextPage() { return nullptr; }
    // The page that Previous shows again, after the page kept what it must.
    virtual WizardPage* PreviousPage() { return nullptr; }
    // Whether Finish may end the wizard once the checks passed.
    virtual bool ConfirmFinish() { return true; }
    // The help topic of the page.
    virtual QString HelpTopic() const { return objectName(); }
};

// A connection page (the second page): Next leads to the table page, on line or off line by
// the page's off-line box; Previous shows the first page again.
class WizardConnectionPage : public WizardPage {
    Q_OBJECT
  public:
    // Prepares the page for the type of the first page (the caller shows it).
    virtual void LoadFormObj() = 0;
    // The off-line box: nothing is opened, and the off-line table page follows.
    bool IsOffline() const;

  protected:
    using WizardPage::WizardPage;
    // Connects the buttons (Next is the default) and takes the page's off-line box.
    template <class Ui>
    void BindConnectionPage(Ui& ui) {
        BindPage(ui, false);
        offline_ = ui.chkOffLineConfigDB;
    }
    // What every connection page does first when it is loaded: no table listed yet, the box
    // off line unticked, the button captions in the current language.
    void StartLoading();
    WizardPage* LoadNextPage() override;
    WizardPage* PreviousPage() override;
    // The connection pages share one help topic.
    QString HelpTopic() const override { return QStringLiteral("frmDBSetup2"); }

  private:
    QCheckBox* offline_ = nullptr;
};

// The connection page of a type ("ACCESS" ... "ORACLE"); none for another type.
WizardConnectionPage* ConnectionPage(const QString& typeName);
using SaveGroupUtil::IsFileDBType;
using SaveGroupUtil::IsServerDBType;
using SaveGroupUtil::IsSheetDBType;

// The wizard's connection, made when first asked for: the connection pages open it, the table
// page lists the fields of its table.
ado::Connection& WizardConnection();

// What a connection page shows when the database cannot be reached (the line after "Fail to
// connect Database!") or holds no table.
struct ConnectionMessages {
    QString connectCheck;
    QString noTableTitle;
    QStringList noTableLines;
};
// Opens the wizard's connection with the type's template and lists the tables into the
// wizard's table list; a failure shows its message and gives false.
bool OpenAndListTables(const QString& typeName, const QString& filePath, const QString& serverName,
                       const QString& serviceName, const QString& databaseName, const QString& userName,
                       const QString& password, const ConnectionMessages& messages);
