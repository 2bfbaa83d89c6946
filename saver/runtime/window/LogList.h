// The main window's log list: at most 21 lines, each cut to 500 characters (" ..." added), the
// newest selected, a horizontal extent as wide as the widest line so far.
#pragma once
#include <QString>

namespace LogList {

// Adds a whole log line to the list, making the main window first when it is not made yet. A
// `held` line waits (with the newest lines that fit the list) until ShowHeldLines; the extent
// still counts the held lines that no longer fit.
void AddLine(const QString& text, bool held);
// Shows the held lines now, all at once.
void ShowHeldLines();

}  // namespace LogList
