#include "common/DBConnect.h"

#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/Texts.h"

namespace {

const QString CRLF = QStringLiteral("\r\n");

const TextPair kMissingFileText = {"Fail to open Database!\r\nThe database file path [",
                                   "開啟資料庫失敗!\r\n資料庫檔案路徑 ["};
const TextPair kMissingFileTail = {"] does not exist.", "] 不存在, 本程式無法執行!"};
const TextPair kOpenErrorCaption = {"Open database error", "開啟資料庫錯誤"};
const TextPair kNotOpenText = {"Open database error!\r\nOpen database connection string:",
                               "開啟資料庫錯誤!\r\n資料庫連結字串:"};
const TextPair kNotOpenTail = {"", "\r\n本程式無法執行!"};

bool IsExcelDriver(const QString& driver) {
    return driver.toUpper().contains(QLatin1String("EXCEL"));
}

// Step 1 of every opener: a named file must exist.
bool CheckFile(const QString& fullPath) {
    if (fullPath.isEmpty() || FileUtil::FileExists(fullPath)) return true;
    ProgramState& st = State();
    if (st.IsInteractive == 0 || st.DebugLevel > 0) {
        if (st.LanguageIndex == 0 || st.LanguageIndex == 1) {
            st.ErrorText = Tx(kMissingFileText) + fullPath + Tx(kMissingFileTail);
            st.ErrorCaption = Tx(kOpenErrorCaption);
        }
        MsgBox(st.ErrorText, MsgStyle::Critical, st.ErrorCaption);
        if (st.IsInteractive == 0) sysExit(-1);
    }
    return false;
}

// Steps 4 to 8 of every opener.
bool OpenWith(ado::Connection& conn, const QString& connectionString) {
    ProgramState& st = State();
    const QString shown = ado::MaskPasswords(connectionString);
    if (st.DebugLevel > 0)
        MsgBox(QStringLiteral("準備開啟資料庫:") + CRLF + QStringLiteral("資料庫連結字串:") + shown,
               MsgStyle::Information, QStringLiteral("準備開啟資料庫"));
    if (conn.State() == ado::adStateOpen) conn.Close();
    try {
        conn.Open(connectionString, QString(), QString(), -1);
    } catch (const ado::Error& e) {
        if (st.DebugLevel > 0)
            MsgBox(QStringLiteral("開啟資料庫失敗!") + CRLF + QStringLiteral("資料庫連結字串:") + shown +
                       CRLF + QStringLiteral("錯誤代碼:") + QString::number(e.Number) + CRLF +
                       QStringLiteral("錯誤說明:") + e.Description + CRLF + QStringLiteral("本程式無法執行!"),
                   MsgStyle::Critical, QStringLiteral("開啟資料庫失敗"));
        return false;
    }
    for (const char* name : {"Jet OLEDB:Lock Retry", "Jet OLEDB:Lock Delay"})
        if (ado::Property* p = conn.GetProperties().Find(QString::fromLatin1(name)))
            p->Value = QVariant::fromValue<short>(100);
    if (conn.State() == ado::adStateOpen) return true;
    if (st.IsInteractive == 0) {
        if (st.LanguageIndex == 0 || st.LanguageIndex == 1)
            st.ErrorText = Tx(kNotOpenText) + conn.ConnectionString() + Tx(kNotOpenTail);
        st.ErrorCaption = QStringLiteral("Open database error");
        MsgBox(st.ErrorText, MsgStyle::Critical, st.ErrorCaption);
        sysExit(-1);
    }
    return false;
}

// Every value of a connection string is quoted when the reader would misread it, so no value
// can end its piece early or add a piece of its own. A driver or extended properties already
// written as one quoted value stay as written.
QString V(const QString& value) {
    return ado::QuoteConnectionValue(value);
}
QString Q(const QString& value) {
    return ado::QuoteConnectionValue(value, true);
}

QString SqlServerFamily(const QString& fullPath, const QString& provider, const QString& driver,
                        const QString& dataSource, const QString& catalogKey, const QString& initialCatalog,
                        const QString& serverKey, const QString& userID, const QString& password,
                        const QString& persistSecurityInfo) {
    QString s;
    s += QStringLiteral("Provider=") + V(provider) + u';';
    s += QStringLiteral("Password=") + V(password) + u';';
    s += QStringLiteral("Persist Security Info=") + V(persistSecurityInfo) + u';';
    s += QStringLiteral("User ID=") + V(userID) + u';';
    if (!driver.isEmpty()) s += QStringLiteral("Driver=") + Q(driver) + u';';
    if (IsExcelDriver(driver)) s += QStringLiteral("DBQ=") + V(fullPath) + QStringLiteral(";ReadOnly=0; ");
    if (!initialCatalog.isEmpty()) s += catalogKey + V(initialCatalog) + u';';
    s += serverKey + V(dataSource);
    return s;
}

}  // namespace

QString BuildDBConnectionString(const QString& fullPath, const QString& provider, const QString& driver,
                                const QString& dataSource, const QString& initialCatalog,
                                const QString& userID, const QString& password,
                                const QString& persistSecurityInfo, bool noOLEDB,
                                const QString& extendedProperties) {
    const bool excel = IsExcelDriver(driver);
    const QString source = dataSource.isEmpty() && !excel ? fullPath : dataSource;
    QString s;
    s += QStringLiteral("Provider=") + V(provider) + u';';
    s += QStringLiteral("Persist Security Info=") + V(persistSecurityInfo) + u';';
    s += QStringLiteral("User ID=") + V(userID) + u';';
    if (!driver.isEmpty()) s += QStringLiteral("Driver=") + Q(driver) + u';';
    if (excel) s += QStringLiteral("DBQ=") + V(fullPath) + QStringLiteral(";ReadOnly=0; ");
    if (!initialCatalog.isEmpty()) s += QStringLiteral("Initial Catalog=") + V(initialCatalog) + u';';
    if (excel)
        s += QStringLiteral("Data Source=;");
    else
        s += QStringLiteral("Data Source=") + V(source) + u';';
    if (noOLEDB)
        s += QStringLiteral("Password=") + V(password) + u';';
    else
        s +=
            QStringLiteral("Jet OLEDB:Database Password=") + ado::DoubleQuoteConnectionValue(password) + u';';
    if (!extendedProperties.isEmpty())
        s += QStringLiteral("Extended Properties=") + Q(extendedProperties) + u';';
    return s;
}

QString BuildSQLServerConnectionString(const QString& fullPath, const QString& provider,
                                       const QString& driver, const QString& dataSource,
                                       const QString& initialCatalog, const QString& userID,
                                       const QString& password, const QString& persistSecurityInfo) {
    return SqlServerFamily(fullPath, provider, driver, dataSource, QStringLiteral("Initial Catalog="),
                           initialCatalog, QStringLiteral("Data Source="), userID, password,
                           persistSecurityInfo);
}

QString BuildMySQLConnectionString(const QString& fullPath, const QString& provider, const QString& driver,
                                   const QString& dataSource, const QString& initialCatalog,
                                   const QString& userID, const QString& password,
                                   const QString& persistSecurityInfo) {
    return SqlServerFamily(fullPath, provider, driver, dataSource, QStringLiteral("DATABASE="),
                           initialCatalog, QStringLiteral("SERVER="), userID, password, persistSecurityInfo);
}

bool OpenDBConnection(ado::Connection& conn, const QString& fullPath, const QString& provider,
                      const QString& driver, const QString& dataSource, const QString& initialCatalog,
                      const QString& userID, const QString& password, const QString& persistSecurityInfo,
                      bool noOLEDB, const QString& extendedProperties) {
    if (!CheckFile(fullPath)) return false;
    return OpenWith(conn,
                    BuildDBConnectionString(fullPath, provider, driver, dataSource, initialCatalog, userID,
                                            password, persistSecurityInfo, noOLEDB, extendedProperties));
}

bool OpenSQLServerConnection(ado::Connection& conn, const QString& fullPath, const QString& provider,
                             const QString& driver, const QString& dataSource, const QString& initialCatalog,
                             const QString& userID, const QString& password,
                             const QString& persistSecurityInfo, bool) {
    if (!CheckFile(fullPath)) return false;
    return OpenWith(
        conn, BuildSQLServerConnectionString(fullPath, provider, driver, dataSource, initialCatalog, userID,
                                             password, persistSecurityInfo));
}

bool OpenMySQLConnection(ado::Connection& conn, const QString& fullPath, const QString& provider,
                         const QString& driver, const QString& dataSource, const QString& initialCatalog,
                         const QString& userID, const QString& password, const QString& persistSecurityInfo,
                         bool) {
    if (!CheckFile(fullPath)) return false;
    return OpenWith(conn, BuildMySQLConnectionString(fullPath, provider, driver, dataSource, initialCatalog,
                                                     userID, password, persistSecurityInfo));
}

bool OpenDBConnectionByType(const QString& typeName, const QString& fullPath, const QString& serverName,
                            const QString& oracleDataSource, const QString& databaseName,
                            const QString& userID, const QString& password, ado::Connection& conn) {
    QString dataSource, catalog;
    if (typeName == QLatin1String("SQLSERVER") || typeName == QLatin1String("MYSQL")) {
        dataSource = serverName;
        catalog = databaseName;
    } else if (typeName == QLatin1String("ORACLE")) {
        dataSource = oracleDataSource;
    }
    ProgramState& st = State();
    const xDBSettings* found = nullptr;
    for (int i = 1; i <= st.DBTypeCount && i <= kMaxDBTypes; ++i) {
        const xDBSettings& t = st.Template(i);
        if (t.DBTypeName.toUpper() == typeName) {
            found = &t;
            break;
        }
    }
    if (!found) return false;
    const xDBSettings t = *found;
    if (typeName == QLatin1String("SQLSERVER"))
        return OpenSQLServerConnection(conn, fullPath, t.dbProvider, t.dbDriver, dataSource, catalog, userID,
                                       password, t.dbPersistSecurityInfo, t.dbNoOLEBDB);
    if (typeName == QLatin1String("MYSQL"))
        return OpenMySQLConnection(conn, fullPath, t.dbProvider, t.dbDriver, dataSource, catalog, userID,
                                   password, t.dbPersistSecurityInfo, t.dbNoOLEBDB);
    return OpenDBConnection(conn, fullPath, t.dbProvider, t.dbDriver, dataSource, catalog, userID, password,
                            t.dbPersistSecurityInfo, t.dbNoOLEBDB, t.dbExtendedProperties);
}
