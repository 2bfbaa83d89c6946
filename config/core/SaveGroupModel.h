// Operations on the in-memory save-group table and field tables: lookups by name, compaction
// after removal, and the copy that gives the save-group editor its working group. None touches
// a file or sets IsModified; their callers do.
#pragma once
#include <QString>
#include <array>
#include <memory>

#include "common/Settings.h"

using SaveGroupTable = std::array<SaveGroupRecord, kMaxSaveGroups + 1>;      // slot 0 unused
using FieldTable = std::array<std::shared_ptr<xField>, kMaxFieldSlots + 1>;  // slot 0 kept as is

namespace SaveGroupUtil {

// True when a group 1..SaveGroupCount has the name in any letter case (removed groups and groups
// after an empty name included).
bool SaveGroupExists(const QString& name);
// The first group 1..SaveGroupCount with exactly this name; -1 when none.
int16_t GetSaveGroupIndex(const QString& name);
// The table name of the group with exactly this name, trimmed of blanks; empty when none.
QString GetSaveGroupTableName(const QString& name);
// True when a field 1..FieldCount of the group has exactly this name.
bool FieldExists(SaveGroupRecord& group, const QString& fieldName);
// True for the database types whose databases are files: "ACCESS", "ACCESS2007", "EXCEL" and
// "EXCEL2007" (the type name in upper case).
bool IsFileDBType(const QString& typeName);
// True for the types that keep worksheets ("EXCEL", "EXCEL2007").
bool IsSheetDBType(const QString& typeName);
// True for the types reached on a server ("SQLSERVER", "MYSQL", "ORACLE").
bool IsServerDBType(const QString& typeName);
// True for the types that keep no database file, so no dispersed files: the server types and
// "POSTGRESQL".
bool KeepsNoDatabaseFiles(const QString& typeName);
// True when two field names name one column of a group of this type: for a database type (any
// type but "CSV") in any letter case, as the engines take column names; for CSV titles exactly.
bool IsSameFieldName(const QString& a, const QString& b, const QString& typeName);
// True when a field 1..FieldCount of the group has the name by the rule of IsSameFieldName.
bool FieldNameTaken(SaveGroupRecord& group, const QString& fieldName, const QString& typeName);
// Copies the named field's name, tag, type and formats into `target`; false, target untouched,
// when the group or the field is missing (exact names).
bool GetFieldSettings(const QString& groupName, const QString& fieldName, xField& target);
// The first group 1..SaveGroupCount other than `except` whose settings file is the same file as
// `path`, letter case ignored (both resolved on disk); -1 when none.
int16_t GroupUsingFile(const QString& path, int except);
// Drops removed groups, keeping order, up to the first group without a name; the kept records
// keep their objects, the slots after them become empty. Returns the number kept.
int16_t RemoveSaveGroup(SaveGroupTable& table);
// Drops deleted fields, keeping order, up to the first empty slot or field without a name.
// Returns the number kept.
int16_t RemoveField(FieldTable& fields);
// A working copy: fresh settings, run state and fields with the source's values (tags by
// value), the connection and recordset shared. Not copied: the off-line flag, the CSV fixed
// length, the CSV file name and full path, the millisecond interval and the high-speed flag.
void CopySvcSettings(SaveGroupRecord& source, SaveGroupRecord& destination);
// A whole copy: new settings, run state and field objects holding every member of the source's,
// so that neither record sees later changes of the other (the connection stays shared).
void CopyGroupRecord(SaveGroupRecord& source, SaveGroupRecord& destination);

}  // namespace SaveGroupUtil
