// Help topics: a dialog's topic number is the position of its name in the help table, and its
// Help button opens the help file. The help file opens with the desktop's associated program,
// which takes no topic number: the lookup decides only whether help is shown.
#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>

class QObject;

namespace HelpUtil {

// Fills the help table (State().HelpIDTable 1 to 57) and sets HelpIDCount.
void InitHelpIDTable();
// Appends dialog names that the table does not hold yet (a program's own dialogs).
void AddHelpIDs(const QStringList& formNames);
// The topic number of a dialog name, in any letter case; 0 when the table does not hold it.
int16_t FindHelpID(const QString& formName);
// Help for the named dialog: a missing help file or a name not in the table is reported in a
// message box; otherwise the help file opens.
void ShowHelp(const QString& formName);
// Help for a dialog: its object name, or its class name when it has none.
void ShowHelp(const QObject& form);

}  // namespace HelpUtil
