// The MariaDB server of the test command (LEDGRIX_TEST_MYSQL_*, see scripts/mariadb.sh).
#pragma once
#include <QString>
#include <QtGlobal>

#include "platform/ado/Ado.h"

namespace TestMariaDb {

inline QString Env(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}
inline bool Present() {
    return !Env("LEDGRIX_TEST_MYSQL_HOST").isEmpty();
}
inline QString Host() {
    return Env("LEDGRIX_TEST_MYSQL_HOST");
}
inline int Port() {
    return Env("LEDGRIX_TEST_MYSQL_PORT").toInt();
}
// Its connection string, to the server itself or through another address (host:port).
inline QString ConnectionString(const QString& address = QString()) {
    return QStringLiteral("Provider=MSDASQL.1;Password=") +
           ado::QuoteConnectionValue(Env("LEDGRIX_TEST_MYSQL_PASSWORD")) + QStringLiteral(";User ID=") +
           Env("LEDGRIX_TEST_MYSQL_USER") + QStringLiteral(";Driver={MySQL ODBC 3.51 Driver};DATABASE=") +
           Env("LEDGRIX_TEST_MYSQL_DATABASE") + QStringLiteral(";SERVER=") +
           (address.isEmpty() ? Host() + u':' + QString::number(Port()) : address);
}

}  // namespace TestMariaDb
