#include "config/core/DBProbe.h"

#include "common/ADOUtil.h"
#include "common/DBConnect.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/Texts.h"
#include "config/core/SaveGroupModel.h"

namespace DBProbeUtil {
namespace {

const QString kCRLF = QStringLiteral("\r\n");
const TextPair kConnectTitle{"Error-Connect Database", "資料庫連線失敗"};
const TextPair kConnectFailed{"Fail to connect Database!", "資料庫連線失敗!"};
const TextPair kCheckDatabase{"Please make sure the database is correct!", "請檢查資料庫是否正確!"};
const TextPair kTableHead{"The table [", "找不到該資料表["};
const TextPair kTableTail{"] cannot be found!", "]"};
const TextPair kCheckTable{"Please make sure the database is correct!", "請檢查資料表是否正確!"};
const TextPair kFieldHead{"The data field [", "找不到該欄位名稱["};
const TextPair kFieldTail{"] cannot be found!", "]"};
const TextPair kCheckFields{"Please make sure the data fields is correct!", "請檢查欄位名稱是否正確!"};
const TextPair kSuccessTitle{"Connect Database", "資料庫連線成功"};
const TextPair kSuccess{"Database connected successfully!", "資料庫連線成功!"};

// A name that these engines read without quotes: parts of letters, digits, "_", "$" and "#",
// joined by single dots (an owner or database before the table).
bool IsPlainName(const QString& name) {
    for (const QString& part : name.split(u'.')) {
        if (part.isEmpty()) return false;
        for (const QChar c : part)
            if (!c.isLetterOrNumber() && c != u'_' && c != u'$' && c != u'#') return false;
    }
    return true;
}

// The diagnostic box of an unexpected database error (Chinese in both languages).
void ShowDiagnostic(const QString& title, const QStringList& lines, const ado::Error& e) {
    MsgBox(lines.join(kCRLF) + kCRLF + QStringLiteral("錯誤代碼:") + QString::number(e.Number) + kCRLF +
               QStringLiteral("錯誤說明:") + e.Description + kCRLF + QStringLiteral("請檢查資料庫是否正確!"),
           MsgStyle::Critical | MsgStyle::OkOnly, title);
}

QString ConnectionLine(const QString& label, const ado::Connection& conn) {
    return label + conn.ConnectionString();
}

// The columns of the table, read without its rows.
std::shared_ptr<ado::Recordset> OpenColumns(ado::Connection& conn, const QString& typeName,
                                            const QString& table) {
    const QString sql = FieldListQuery(typeName, table);
    if (sql.isEmpty())
        throw ado::Error(ado::adErrStatement,
                         QStringLiteral("Command text was not set for the command object."));
    auto rs = std::make_shared<ado::Recordset>();
    rs->Open(sql, conn, ado::adOpenKeyset, ado::adLockPessimistic, -1);
    return rs;
}

bool Fail(bool show, const QStringList& lines) {
    if (show) MsgBox(lines.join(kCRLF), MsgStyle::Critical | MsgStyle::OkOnly, Tx(kConnectTitle));
    return false;
}

}  // namespace

QString FieldListQuery(const QString& typeName, const QString& tableName) {
    if (SaveGroupUtil::IsFileDBType(typeName) || typeName == QLatin1String("SQLSERVER")) {
        QString quoted = tableName;
        quoted.replace(QStringLiteral("]"), QStringLiteral("]]"));
        return QStringLiteral("SELECT * FROM [") + quoted + QStringLiteral("] WHERE 1=0");
    }
    if ((typeName == QLatin1String("ORACLE") || typeName == QLatin1String("MYSQL")) && IsPlainName(tableName))
        return QStringLiteral("SELECT * FROM ") + tableName + QStringLiteral(" WHERE 1=0");
    return QString();
}

bool ListDBTables(ado::Connection& conn, const QString& typeName, int32_t& count,
                  std::vector<QString>& names) {
    count = 0;
    std::shared_ptr<ado::Recordset> schema;
    try {
        schema = conn.OpenSchema(ado::adSchemaTables);
    } catch (const ado::Error& e) {
        if (State().DebugLevel > 0)
            ShowDiagnostic(
                QStringLiteral("列舉資料表失敗"),
                {QStringLiteral("列舉資料表失敗!"), ConnectionLine(QStringLiteral("資料庫連結:"), conn)}, e);
        return false;
    }
    const bool sheets = typeName == QLatin1String("EXCEL") || typeName == QLatin1String("EXCEL2007");
    const bool tables = SaveGroupUtil::IsFileDBType(typeName) || typeName == QLatin1String("SQLSERVER") ||
                        typeName == QLatin1String("MYSQL") || typeName == QLatin1String("ORACLE");
    const int last = static_cast<int>(names.size()) - 1;
    for (schema->MoveFirst(); !schema->EOF_() && count < last; schema->MoveNext()) {
        const QString type = schema->Value(QStringLiteral("TABLE_TYPE")).toString().toUpper();
        const QString name = schema->Value(QStringLiteral("TABLE_NAME")).toString();
        const bool accepted =
            (tables && type == QLatin1String("TABLE")) || (sheets && type == QLatin1String("SYSTEM TABLE"));
        // The file types live in SQLite files here: its own tables are no tables of the user.
        if (!accepted || (SaveGroupUtil::IsFileDBType(typeName) &&
                          name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive)))
            continue;
        names[static_cast<size_t>(++count)] = name;
    }
    if (typeName == QLatin1String("ORACLE")) MsgBox(QString::number(count));
    return true;
}

bool ListTableFields(ado::Connection& conn, const QString& tableName, const QString& typeName, int16_t& count,
                     std::vector<TableFieldInfo>& fields) {
    count = 0;
    if (tableName.isEmpty()) {
        if (State().DebugLevel >= 1)
            MsgBox(QStringLiteral("列舉資料表欄位失敗!\r\n未設定資料表名稱。\r\n請設定資料表名稱!"),
                   MsgStyle::Critical | MsgStyle::OkOnly, QStringLiteral("列舉資料庫欄位失敗"));
        return false;
    }
    try {
        const auto rs = OpenColumns(conn, typeName, tableName);
        const int last = static_cast<int>(fields.size()) - 1;
        for (int i = 0; i < rs->FieldCount() && count < last; ++i) {
            const ado::Field f = rs->GetField(i);
            TableFieldInfo& info = fields[static_cast<size_t>(++count)];
            info.Name = f.Name;
            info.FieldType = f.Type;
        }
    } catch (const ado::Error& e) {
        if (State().DebugLevel > 0)
            ShowDiagnostic(QStringLiteral("列舉資料表欄位失敗"),
                           {QStringLiteral("列舉資料表欄位失敗!"),
                            QStringLiteral("無法開啟資料表[") + tableName + QStringLiteral("]。"),
                            ConnectionLine(QStringLiteral("資料庫連結字串:"), conn)},
                           e);
        return false;
    }
    return true;
}

bool OpenGroupConnection(ado::Connection& conn, const xSvcSettings& s, const QString& type) {
    if (type == QLatin1String("SQLSERVER"))
        return OpenSQLServerConnection(conn, s.dbFullPath, s.dbProvider, s.dbDriver, s.dbDataSource,
                                       s.dbInitialCatalog, s.dbUserID, s.dbPassword, s.dbPersistSecurityInfo,
                                       s.dbNoOLEDB);
    if (type == QLatin1String("MYSQL"))
        return OpenMySQLConnection(conn, s.dbFullPath, s.dbProvider, s.dbDriver, s.dbDataSource,
                                   s.dbInitialCatalog, s.dbUserID, s.dbPassword, s.dbPersistSecurityInfo,
                                   s.dbNoOLEDB);
    return OpenDBConnection(conn, s.dbFullPath, s.dbProvider, s.dbDriver, s.dbDataSource, s.dbInitialCatalog,
                            s.dbUserID, s.dbPassword, s.dbPersistSecurityInfo, s.dbNoOLEDB,
                            s.dbExtendedProperties);
}

bool TestDBConnection(SaveGroupRecord& group, bool showMessages) {
    const xSvcSettings& s = group.S();
    const QString type = s.dbDBTypeName.toUpper();
    ado::Connection conn;  // private; closed when the test ends
    if (!OpenGroupConnection(conn, s, type))
        return Fail(showMessages, {Tx(kConnectFailed), Tx(kCheckDatabase)});
    try {
        if (!ADOUtil::TableExists(&conn, s.dbTableName))
            return Fail(showMessages, {Tx(kConnectFailed), Tx(kTableHead) + s.dbTableName + Tx(kTableTail),
                                       Tx(kCheckTable)});
        const auto rs = OpenColumns(conn, type, s.dbTableName);
        for (int n = 1; n <= group.FieldCount && n <= kMaxFieldSlots; ++n) {
            const QString field = group.F(n).FieldName;
            if (!ADOUtil::RecordsetHasField(rs, field))
                return Fail(showMessages,
                            {Tx(kConnectFailed), Tx(kFieldHead) + field + Tx(kFieldTail), Tx(kCheckFields)});
        }
    } catch (const ado::Error& e) {
        // The engineer asked for the test: a failure is never left without an answer.
        if (showMessages || State().DebugLevel > 0)
            ShowDiagnostic(QStringLiteral("資料庫連線失敗"),
                           {QStringLiteral("資料庫連線失敗!"),
                            QStringLiteral("無法開啟資料表[") + s.dbTableName + QStringLiteral("]。"),
                            ConnectionLine(QStringLiteral("資料庫連結字串:"), conn)},
                           e);
        return false;
    }
    MsgBox(Tx(kSuccess), MsgStyle::Information | MsgStyle::OkOnly, Tx(kSuccessTitle));
    return true;
}

}  // namespace DBProbeUtil
