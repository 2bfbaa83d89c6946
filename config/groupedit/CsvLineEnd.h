// The CSV line-end list of the editor and the file-layout dialog: its three items and the
// characters each stands for in the settings.
#pragma once
#include <QString>

class QComboBox;

// Fills the list with "CR+LF (Windows)", "LF (Linux)", "CR (MAC)" and shows the first.
void FillLineEndList(QComboBox& list);
// The list as its check box shows it: enabled and filled anew when on, disabled when off.
void ShowLineEndList(QComboBox& list, bool on);
// The item of stored line-end characters: CR LF, CR alone or LF alone; anything else CR+LF.
QString LineEndItem(const QString& chars);
// The characters of an item; `unknown` for a text that is no item.
QString LineEndChars(const QString& item, const QString& unknown);
