// The QtSql side of one open database: opening (an SQLite file or an ODBC data source), statements,
// queries with their column types, transaction steps and the table list. A server's engine is
// used only on its connection's own thread (DriverThread.h), an SQLite one on the caller's.
#pragma once
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

#include "platform/ado/Ado.h"
#include "platform/ado/DriverThread.h"
#include "platform/fileio/FileIO.h"

namespace ado::detail {

// The result of a query: column names, their ADO types and every row.
struct QueryRows {
    QStringList names;
    std::vector<int> types;
    std::vector<std::vector<QVariant>> rows;
};

// The text with the connection's passwords masked.
QString MaskWithSecrets(const QString& text, const QStringList& secrets);
// A name of its own for a database of QtSql ("ledgrix-ado-<kind>-<n>").
QString NewConnectionName(const QString& kind);

class SqlEngine {
  public:
    ConnectionPlan plan;
    QString name;
    QStringList secrets;
    long connectSeconds = 15;
    long commandSeconds = 30;
    bool lockWait = false;  // SQLite: the last call found a lock that another connection holds
    QHash<QString, QHash<QString, QString>> declaredTypes;  // table (upper) -> column (upper) -> type
    QHash<QString, QSet<QString>> dateColumns;              // table (upper) -> its date columns
    QHash<QString, QStringList> columnNames;                // table (upper) -> its columns, as stored
    // An SQLite file as opened: its Linux path, and what the file system knew right after opening
    // of the file, its log ("-wal") and the log's index ("-shm"). The engine keeps the file it
    // opened when the path is moved, deleted or replaced meanwhile.
    QByteArray filePath;
    FileIO::FileId fileId, logId, indexId;
    // What the path named when the file was last found to have left it (told to the caller).
    std::optional<FileIO::FileId> leftFor;

    QSqlDatabase Db() const {
        const QtPass pass;
        return QSqlDatabase::database(name, false);
    }
    bool IsSQLite() const { return plan.kind == ConnectionPlan::Kind::SQLite; }
    QString Mask(const QString& text) const { return MaskWithSecrets(text, secrets); }

    // A driver's failure. One that comes when the whole timeout has passed is that timeout,
    // whatever the driver calls it (a lost connection, an unanswered handshake), unless the
    // server itself refused. Whether a statement so failed may have been carried out all the
    // same is decided here (Error::OutcomeUnknown).
    Error Failure(long number, const QSqlError& e, const QElapsedTimer& since, long limitSeconds) const;

    void Open(const QString& userId, const QString& password);
    void OpenSQLite();

    // The session of a MariaDB connection.
    void SetUpSession();

    void Close();

    // What the path of the SQLite file names now (one stat).
    FileIO::AtPath PathNow() const { return FileIO::WhatIsAt(filePath, fileId); }
    // Folds the whole log back into the file and empties the log. The engine itself does not on
    // closing a file that has left its path. False, with why, while another reads part of the
    // log or a write is under way.
    bool FoldLogBack(QString& why);
    // Once the last connection of this process to a file that has left its path is closed: its
    // log and the log's index are removed from the path where they are still its own and the log
    // is empty, so that they are never read over a file put at the path since.
    void RemoveLeftLog() const;

    // Declared column types of an SQLite table, cached until the schema changes.
    QHash<QString, QString> ColumnTypes(const QString& table);

    // The date-typed columns of a table, kept with its declared types.
    QSet<QString> DateColumns(const QString& table);

    QString Translate(const QString& sql);

    // One attempt of a statement. An SQLite statement that finds a lock held by another program
    // or by another connection of this process (which share the file's cache) fails at once and
    // says so (lockWait): the caller tries again later, up to the busy timeout, without holding
    // up its thread.
    bool TryExec(QSqlQuery& q, const QString& text);
    static bool IsLockWait(const QSqlError& e);

    void Exec(const QString& sql);

    // Runs a query and fetches every row.
    QueryRows Query(const QString& sql);

    // One step of a transaction: "BEGIN", "COMMIT" or "ROLLBACK".
    void Transaction(const QString& step);

    // The rows of the table schema: catalog, schema, name, type.
    std::vector<std::vector<QVariant>> Tables();
};

}  // namespace ado::detail
