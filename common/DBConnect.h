// Database connection strings and the openers of a save group's target database.
#pragma once
#include <QString>

#include "platform/ado/Ado.h"

// The connection strings of the three openers. Values are joined as given; a user, password,
// data source, catalog or file path that the connection-string reader would misread (a ";", a
// leading quote or brace, blanks at either end) is quoted so that it reads back unchanged.
QString BuildDBConnectionString(const QString& fullPath, const QString& provider, const QString& driver,
                                const QString& dataSource, const QString& initialCatalog,
                                const QString& userID, const QString& password,
                                const QString& persistSecurityInfo, bool noOLEDB,
                                const QString& extendedProperties);
QString BuildSQLServerConnectionString(const QString& fullPath, const QString& provider,
                                       const QString& driver, const QString& dataSource,
                                       const QString& initialCatalog, const QString& userID,
                                       const QString& password, const QString& persistSecurityInfo);
QString BuildMySQLConnectionString(const QString& fullPath, const QString& provider, const QString& driver,
                                   const QString& dataSource, const QString& initialCatalog,
                                   const QString& userID, const QString& password,
                                   const QString& persistSecurityInfo);

// Open the caller's connection (closed first when open); true when it is open afterwards.
bool OpenDBConnection(ado::Connection& conn, const QString& fullPath, const QString& provider,
                      const QString& driver, const QString& dataSource, const QString& initialCatalog,
                      const QString& userID, const QString& password, const QString& persistSecurityInfo,
                      bool noOLEDB, const QString& extendedProperties);
bool OpenSQLServerConnection(ado::Connection& conn, const QString& fullPath, const QString& provider,
                             const QString& driver, const QString& dataSource, const QString& initialCatalog,
                             const QString& userID, const QString& password,
                             const QString& persistSecurityInfo, bool noOLEDB);
bool OpenMySQLConnection(ado::Connection& conn, const QString& fullPath, const QString& provider,
                         const QString& driver, const QString& dataSource, const QString& initialCatalog,
                         const QString& userID, const QString& password, const QString& persistSecurityInfo,
                         bool noOLEDB);

// Picks the opener and the template values by database type name; false when no template has
// that name.
bool OpenDBConnectionByType(const QString& typeName, const QString& fullPath, const QString& serverName,
                            const QString& oracleDataSource, const QString& databaseName,
                            const QString& userID, const QString& password, ado::Connection& conn);
