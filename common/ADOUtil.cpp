#include "common/ADOUtil.h"

#include "common/FileUtil.h"
#include "common/ProgramHooks.h"

namespace ADOUtil {

namespace {

int32_t CountToEnd(ado::Recordset& rs) {
    int32_t n = 0;
    rs.MoveFirst();
    while (!rs.EOF_()) {
        ++n;
        rs.MoveNext();
    }
    return n;
}

}  // namespace

int32_t GetRecordCount(ado::Recordset& rs) {
    if (rs.BOF() && rs.EOF_()) return 0;
    if (rs.Supports(ado::adApproxPosition)) return static_cast<int32_t>(rs.RecordCount());
    if (rs.CursorLocation == ado::adUseClient) {
        auto clone = rs.Clone(ado::adLockUnspecified);
        return CountToEnd(*clone);
    }
    const long saved = rs.AbsolutePosition();
    const int32_t n = CountToEnd(rs);
    if (saved == ado::adPosEOF) {
        rs.MoveLast();
        rs.MoveNext();
    } else if (saved == ado::adPosBOF) {
        rs.MoveFirst();
        rs.MovePrevious();
    } else {
        rs.SetAbsolutePosition(saved);
    }
    return n;
}

ado::Task<bool> TableExistsAsync(ado::Connection& conn, QString tableName) {
    const std::shared_ptr<ado::Recordset> schema = co_await conn.OpenSchemaAsync(ado::adSchemaTables);
    schema->MoveFirst();
    const QString wanted = tableName.toUpper();
    while (!schema->EOF_()) {
        const QVariant type = schema->Value(QStringLiteral("TABLE_TYPE"));
        if (!type.isNull()) {
            const QString t = type.toString();
            if ((t == QLatin1String("TABLE") || t == QLatin1String("SYSTEM TABLE")) &&
                schema->Value(QStringLiteral("TABLE_NAME")).toString().toUpper() == wanted)
                co_return true;
        }
        schema->MoveNext();
    }
    co_return false;
}

bool TableExists(ado::Connection* conn, const QString& tableName) {
    if (!conn) return false;
    return ado::WaitFor(TableExistsAsync(*conn, tableName));
}

bool RecordsetHasField(const ado::Recordset* rs, const QString& fieldName) {
    if (!rs) return false;
    const QString wanted = fieldName.toUpper();
    for (int i = 0; i < rs->FieldCount(); ++i)
        if (rs->GetField(i).Name.toUpper() == wanted) return true;
    return false;
}

std::shared_ptr<ado::Connection> OpenMLDBConn(const QString& filePath) {
    if (!FileUtil::FileExists(filePath)) return nullptr;
    const QString cs = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;") + QStringLiteral("Data Source=") +
                       ado::QuoteConnectionValue(filePath);
    auto conn = std::make_shared<ado::Connection>();
    try {
        conn->Open(cs, QString(), QString(), -1);
        return conn;
    } catch (const ado::Error&) {
        MsgBox(QStringLiteral("OpenMLDBConn Failed!\r\nConnect String:") + cs,
               MsgStyle::Critical | MsgStyle::OkCancel, QStringLiteral("OpenMLDBConn Failed"));
        return nullptr;
    }
}

ado::Task<std::shared_ptr<ado::Recordset>> OpenRecordsetAsync(ado::Connection& conn, QString sqlText) {
    if (sqlText.isEmpty()) co_return nullptr;
    auto rs = std::make_shared<ado::Recordset>();
    try {
        co_await rs->OpenAsync(sqlText, conn, ado::adOpenKeyset);
    } catch (const ado::Error&) {
        co_return nullptr;
    }
    co_return rs;
}

std::shared_ptr<ado::Recordset> OpenRecordset(ado::Connection* conn, const QString& sqlText) {
    if (!conn) return nullptr;
    return ado::WaitFor(OpenRecordsetAsync(*conn, sqlText));
}

ado::Task<CommandResult> ExecuteSQLCommandAsync(ado::Connection& conn, QString sqlText) {
    const bool withTransaction =
        conn.GetProperties().Find(QStringLiteral("Jet OLEDB:User Commit Sync")) != nullptr;
    bool begun = false;
    CommandResult result;
    try {
        if (withTransaction) {
            co_await conn.BeginTransAsync();
            begun = true;
        }
        co_await conn.ExecuteAsync(sqlText);
        if (withTransaction) {
            co_await conn.CommitTransAsync();
            begun = false;
        }
        co_return result;
    } catch (const ado::Error& e) {
        result = CommandResult::Failed(e);
    }
    if (begun) {
        try {
            co_await conn.RollbackTransAsync();
        } catch (const ado::Error&) {
        }
    }
    co_return result;
}

ado::Task<CommandResult> ExecuteStatementsAsync(ado::Connection& conn, QStringList statements) {
    CommandResult result;
    try {
        for (const QString& sql : statements) co_await conn.ExecuteAsync(sql);
    } catch (const ado::Error& e) {
        result = CommandResult::Failed(e);
    }
    co_return result;
}

bool ExecuteSQLCommand(ado::Connection* conn, const QString& sqlText, QString& errorText) {
    if (!conn) {
        errorText = QStringLiteral(
            "The connection cannot be used to perform this operation. It is either closed or "
            "invalid in this context.");
        return false;
    }
    const CommandResult r = ado::WaitFor(ExecuteSQLCommandAsync(*conn, sqlText));
    if (!r.ok) errorText = r.errorText;
    return r.ok;
}

std::shared_ptr<ado::Recordset> CopyRecordset(const ado::Recordset* rs) {
    if (!rs || rs->State() != ado::adStateOpen) return nullptr;
    return ado::Recordset::FromRows(rs->FieldNames(), rs->FieldTypes(), rs->Rows(), ado::adUseClient);
}

}  // namespace ADOUtil
