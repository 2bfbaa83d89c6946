// The SQL Server client alias of a save group: the TCP/IP network library on port 1433 and the
// protocol version, written once per server name and never changed afterwards.
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "platform/registry/Registry.h"

void SetSQLServerClientAlias(int16_t& groupIndex) {
    const QString server = State().Group(groupIndex).S().dbDataSource;
    // Without a server name there is nothing to alias (the value would land on the key's default).
    if (server.isEmpty()) return;

    const QString client = QStringLiteral("SOFTWARE\\Microsoft\\MSSQLServer\\Client\\");
    Registry::Key key;
    if (Registry::CreateKey(Registry::Root::LocalMachine, client + QStringLiteral("ConnectTo"), key) &&
        !Registry::ValueExists(key, server))
        Registry::SetStringValue(key, server, QStringLiteral("DBMSSOCN,") + server + QStringLiteral(",1433"));
    Registry::CreateKey(Registry::Root::LocalMachine, client + QStringLiteral("DB-Lib"), key);
    if (Registry::CreateKey(Registry::Root::LocalMachine, client + QStringLiteral("TDS"), key) &&
        !Registry::ValueExists(key, server))
        Registry::SetStringValue(key, server, QStringLiteral("7.0"));
}
