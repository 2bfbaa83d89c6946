// Small helpers over connections and recordsets.
#pragma once
#include <QString>
#include <cstdint>
#include <memory>

#include "platform/ado/Ado.h"

namespace ADOUtil {

// Number of records; the recordset's position is kept.
int32_t GetRecordCount(ado::Recordset& rs);
// A table or system table of that name (letter case ignored); views never match.
bool TableExists(ado::Connection* conn, const QString& tableName);
// A field of that name (letter case ignored).
bool RecordsetHasField(const ado::Recordset* rs, const QString& fieldName);
// Opens the Jet database file at the path; no object when it is missing or cannot be opened.
std::shared_ptr<ado::Connection> OpenMLDBConn(const QString& filePath);
// A keyset recordset of the query; no object on failure.
std::shared_ptr<ado::Recordset> OpenRecordset(ado::Connection* conn, const QString& sqlText);
// Runs one statement, in a transaction of its own on Jet connections. On failure errorText is
// set to the failure's description (also when there is no connection) and false returned.
bool ExecuteSQLCommand(ado::Connection* conn, const QString& sqlText, QString& errorText);
// The same, awaited; the connection must outlive the work. A failed schema listing is raised.
ado::Task<bool> TableExistsAsync(ado::Connection& conn, QString tableName);
ado::Task<std::shared_ptr<ado::Recordset>> OpenRecordsetAsync(ado::Connection& conn, QString sqlText);
struct CommandResult {
    bool ok = true;
    QString errorText;     // the failure's description
    long errorNumber = 0;  // and its number (ado::adErrTimeout: given up after its timeout)
    // The statement may have been carried out all the same (ado::Error::OutcomeUnknown).
    bool outcomeUnknown = false;

    static CommandResult Failed(const ado::Error& e) {
        return {false, e.Description, e.Number, e.OutcomeUnknown};
    }
};
ado::Task<CommandResult> ExecuteSQLCommandAsync(ado::Connection& conn, QString sqlText);
// Runs the statements as they are, one after the other, in no transaction of their own (inside
// the caller's, when one is open); the first that fails ends them.
ado::Task<CommandResult> ExecuteStatementsAsync(ado::Connection& conn, QStringList statements);
// A disconnected copy of the recordset's rows; no object when there is nothing to copy.
std::shared_ptr<ado::Recordset> CopyRecordset(const ado::Recordset* rs);

inline bool TableExists(const std::shared_ptr<ado::Connection>& conn, const QString& tableName) {
    return TableExists(conn.get(), tableName);
}
inline bool RecordsetHasField(const std::shared_ptr<ado::Recordset>& rs, const QString& fieldName) {
    return RecordsetHasField(rs.get(), fieldName);
}
inline std::shared_ptr<ado::Recordset> OpenRecordset(const std::shared_ptr<ado::Connection>& conn,
                                                     const QString& sqlText) {
    return OpenRecordset(conn.get(), sqlText);
}
inline bool ExecuteSQLCommand(const std::shared_ptr<ado::Connection>& conn, const QString& sqlText,
                              QString& errorText) {
    return ExecuteSQLCommand(conn.get(), sqlText, errorText);
}

}  // namespace ADOUtil
