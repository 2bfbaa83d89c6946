// Reading current tag data for a record, for tag references of the settings and for the tag
// view of the main window.
#pragma once
#include <QString>
#include <cstdint>

// The text of the time a field gets when its tag cannot be read (1995/01/01 00:00:01).
QString NotDefinedTagTime();
// Fills value, time and message of every field of the group.
void GetFieldValues(int16_t& group);
// Resolves one tag reference "NAME", "NAME.VALUE", "NAME.MSG" or "NAME.MESSAGE"; true when the
// HMI system defines the tag. readFlag: 1 read, 0 not read, 2 empty reference.
bool GetTagRefData(const QString& reference, QString& kind, double& value, QString& message,
                   int16_t& readFlag);
// Refreshes the value column of the main window's tag view.
void RefreshTagView();
// a, then " [b]" when b is not empty, then " [c]" when c is not empty as well.
QString FormatNameWithTags(const QString& a, const QString& b, const QString& c);
