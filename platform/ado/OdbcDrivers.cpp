// The ODBC drivers installed on this machine, as the driver manager lists them.
#include <sql.h>
#include <sqlext.h>

#include <QString>

namespace ado {

bool OracleOdbcDriverInstalled() {
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return false;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    bool found = false;
    SQLCHAR name[512];
    SQLCHAR attrs[2048];
    SQLSMALLINT nameLen = 0, attrsLen = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(
        SQLDrivers(env, direction, name, sizeof name, &nameLen, attrs, sizeof attrs, &attrsLen))) {
        direction = SQL_FETCH_NEXT;
        if (QString::fromUtf8(reinterpret_cast<const char*>(name))
                .contains(QLatin1String("ORACLE"), Qt::CaseInsensitive))
            found = true;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return found;
}

}  // namespace ado
