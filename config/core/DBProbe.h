// Probing a live database while a save group is configured: its tables, the columns of one
// table, and a group's connection, table and fields. Nothing is written to a database.
#pragma once
#include <QString>
#include <cstdint>
#include <vector>

#include "common/Settings.h"
#include "config/core/ConfigState.h"
#include "platform/ado/Ado.h"

namespace DBProbeUtil {

// The tables of the database that the type offers (worksheets for the Excel types), in the
// provider's order, into names 1..count (at most the table's last slot). The engine's own
// tables are never offered. False when the table list cannot be read.
bool ListDBTables(ado::Connection& conn, const QString& typeName, int32_t& count,
                  std::vector<QString>& names);
// The columns of a table into fields 1..count; no row is read. False for an empty table name,
// a type without a query, or a table that cannot be opened.
bool ListTableFields(ado::Connection& conn, const QString& tableName, const QString& typeName, int16_t& count,
                     std::vector<TableFieldInfo>& fields);
// Opens the database of the settings on `conn`, the way the saver opens one of the type
// (upper-cased): SQL Server and MySQL through their own openers, every other type through the
// general one. False when it cannot be opened.
bool OpenGroupConnection(ado::Connection& conn, const xSvcSettings& s, const QString& type);
// Opens the group's database on a connection of its own and checks its table and every field
// name (any letter case). Failures are shown when `showMessages`; success always is.
bool TestDBConnection(SaveGroupRecord& group, bool showMessages);

// The query that gives a table's columns and no row: the name in brackets (a "]" doubled) or,
// for MySQL and Oracle, as it stands. Empty for a type without a query, and for a MySQL or
// Oracle name that would need quotes (it could end the statement or add one of its own).
QString FieldListQuery(const QString& typeName, const QString& tableName);

}  // namespace DBProbeUtil
