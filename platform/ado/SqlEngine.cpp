#include "platform/ado/SqlEngine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QAtomicInt>
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlRecord>
#include <QUrl>
#include <algorithm>
#include <filesystem>

#include "platform/ado/AwaitedCall.h"
#include "platform/ado/JetSql.h"
#include "platform/fileio/FileIO.h"
#include "platform/fileio/WindowsPath.h"

namespace ado {

namespace detail {

namespace {

QString SqlErrorText(const QSqlError& e) {
    QString d = e.databaseText().trimmed();
    const QString drv = e.driverText().trimmed();
    if (d.isEmpty())
        d = drv;
    else if (!drv.isEmpty() && !d.contains(drv))
        d += QStringLiteral(" (") + drv + u')';
    if (d.isEmpty()) d = QStringLiteral("Unspecified error");
    return d;
}

// ADO type code of an SQLite declared type (Jet's types where they exist).
int TypeOfDeclared(const QString& declared, const QVariant& sample) {
    const QString t = declared.toUpper();
    if (t.isEmpty()) {
        switch (sample.typeId()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
                return 3;
            case QMetaType::Double:
                return 5;
            case QMetaType::QByteArray:
                return 205;
            default:
                return 202;
        }
    }
    if (jet::IsDateType(t) || t == QLatin1String("TIME")) return 7;
    if (t.contains(QLatin1String("BOOL")) || t == QLatin1String("BIT") ||
        t.contains(QLatin1String("YESNO")) || t.contains(QLatin1String("LOGICAL")))
        return 11;
    if (t.contains(QLatin1String("BIGINT"))) return 20;
    if (t.contains(QLatin1String("SMALLINT")) || t.contains(QLatin1String("SHORT"))) return 2;
    if (t.contains(QLatin1String("TINYINT")) || t == QLatin1String("BYTE")) return 17;
    if (t.contains(QLatin1String("INT")) || t.contains(QLatin1String("COUNTER")) ||
        t.contains(QLatin1String("LONG")) || t.contains(QLatin1String("AUTOINCREMENT")))
        return t.contains(QLatin1String("LONGTEXT")) || t.contains(QLatin1String("LONGBINARY")) ? 203 : 3;
    if (t.contains(QLatin1String("CURRENCY")) || t.contains(QLatin1String("MONEY"))) return 6;
    if (t.contains(QLatin1String("SINGLE"))) return 4;
    if (t.contains(QLatin1String("DECIMAL")) || t.contains(QLatin1String("NUMERIC"))) return 131;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("DOUB")))
        return 5;
    if (t.contains(QLatin1String("MEMO")) || t.contains(QLatin1String("CLOB")) ||
        t.contains(QLatin1String("NOTE")))
        return 203;
    if (t.contains(QLatin1String("BLOB")) || t.contains(QLatin1String("BINARY")) ||
        t.contains(QLatin1String("OLE")) || t.contains(QLatin1String("IMAGE")))
        return 205;
    if (t.contains(QLatin1String("GUID"))) return 72;
    return 202;
}

// ADO type code of an ODBC column.
int TypeOfOdbc(const QSqlField& f) {
    switch (f.metaType().id()) {
        case QMetaType::Bool:
            return 11;
        case QMetaType::Short:
        case QMetaType::UShort:
            return 2;
        case QMetaType::Int:
        case QMetaType::UInt:
            return 3;
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return 20;
        case QMetaType::Float:
            return 4;
        case QMetaType::Double:
            return 5;
        case QMetaType::QDateTime:
            return 135;
        case QMetaType::QDate:
            return 133;
        case QMetaType::QTime:
            return 134;
        case QMetaType::QByteArray:
            return 205;
        default:
            return 202;
    }
}

QVariant DateValue(const QVariant& v) {
    if (v.isNull() || v.typeId() != QMetaType::QString) return v;
    const QString s = v.toString();
    QDateTime dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (!dt.isValid()) dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dt.isValid()) dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd"));
    return dt.isValid() ? QVariant(dt) : v;
}

constexpr qint64 kClockSlackMs = 100;

Error NotADatabase(const QString& givenPath) {
    return Error(adErrProvider,
                 QStringLiteral("Unrecognized database format '%1': the file is not an SQLite database.")
                     .arg(givenPath));
}

// The database file's own checks, made without opening it: on Linux, closing any descriptor of a
// file drops every lock this process holds on it, the engine's locks for the connections already
// open to it included. Whether the file holds a database is left to the engine.
void CheckSQLiteFile(const QString& givenPath, QString& resolved) {
    resolved = WindowsPath::Resolve(givenPath);
    std::error_code ec;
    const std::filesystem::path path(resolved.toStdString());
    if (givenPath.isEmpty() || !std::filesystem::is_regular_file(path, ec))
        throw Error(adErrProvider, QStringLiteral("Could not find file '%1'.").arg(givenPath));
    if (::access(path.c_str(), R_OK) != 0)
        throw Error(adErrProvider, QStringLiteral("The database file '%1' cannot be read.").arg(givenPath));
    // An empty file would be taken by the engine as a new database and written.
    if (std::filesystem::file_size(path, ec) == 0 || ec) throw NotADatabase(givenPath);
}

QAtomicInt g_connectionCounter;

}  // namespace

QString MaskWithSecrets(const QString& text, const QStringList& secrets) {
    QString out = MaskPasswords(text);
    // Passwords of four characters and more are masked wherever they appear; shorter ones
    // are too common as parts of other words and numbers.
    for (const QString& s : secrets)
        if (s.size() >= 4) out.replace(s, QStringLiteral("****"));
    return out;
}

QString NewConnectionName(const QString& kind) {
    return QStringLiteral("ledgrix-ado-%1-%2").arg(kind).arg(g_connectionCounter.fetchAndAddRelaxed(1) + 1);
}

Error SqlEngine::Failure(long number, const QSqlError& e, const QElapsedTimer& since,
                         long limitSeconds) const {
    const QString text = Mask(SqlErrorText(e));
    if (IsSQLite()) return Error(number, text);
    const QString code = e.nativeErrorCode();
    // The server refused: a lock wait given up (at the command timeout, as the session is set
    // up) or a deadlock. Nothing was written.
    const bool refused = code == QLatin1String("1205") || code == QLatin1String("1213");
    // The link was lost while the statement was with the server.
    const bool lostMidway = code == QLatin1String("2013");
    // A server's own clock for its timeouts may run a few milliseconds ahead of this one.
    const bool timedOut = since.elapsed() + kClockSlackMs >= limitSeconds * 1000;
    Error out = timedOut ? Error(adErrTimeout, kTimeoutText + QStringLiteral(" (") + text + u')')
                         : Error(number, text);
    out.OutcomeUnknown = !refused && (timedOut || lostMidway);
    return out;
}

void SqlEngine::Open(const QString& userId, const QString& password) {
    if (IsSQLite()) {
        OpenSQLite();
        return;
    }
    QSqlDatabase db = [this] {
        const QtPass pass;
        return QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
    }();
    // The driver's own timeouts, where it takes them from the connection string: MariaDB's
    // connect (with the handshake), read and write; FreeTDS's statements. The version is
    // fixed so that FreeTDS never falls back to the older protocol, whose failed logins it
    // does not time out. MariaDB reads wait a second longer than the session's lock waits
    // (SetUpSession), so that a statement held up by a lock ends with the server's refusal, of
    // known outcome, not with the driver giving up on it.
    QString target = plan.odbcDatabase;
    if (plan.mysql)
        target += QStringLiteral(";CONN_TIMEOUT=%1;READ_TIMEOUT=%2;WRITE_TIMEOUT=%3")
                      .arg(connectSeconds)
                      .arg(commandSeconds + 1)
                      .arg(commandSeconds);
    else if (plan.freeTds)
        target += QStringLiteral(";TDS_Version=7.4;Timeout=%1").arg(commandSeconds);
    db.setDatabaseName(target);
    const QString user = plan.odbcUser.isEmpty() ? userId : plan.odbcUser;
    const QString pass = plan.odbcPassword.isEmpty() ? password : plan.odbcPassword;
    // The ODBC driver appends these unquoted: brace them.
    if (!user.isEmpty()) db.setUserName(u'{' + QString(user).replace(u'}', QStringLiteral("}}")) + u'}');
    if (!pass.isEmpty()) db.setPassword(u'{' + QString(pass).replace(u'}', QStringLiteral("}}")) + u'}');
    db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%2")
                             .arg(connectSeconds)
                             .arg(commandSeconds));
    QElapsedTimer since;
    since.start();
    if (!db.open()) throw Failure(adErrProvider, db.lastError(), since, connectSeconds);
}

void SqlEngine::OpenSQLite() {
    QString path;
    CheckSQLiteFile(plan.filePath, path);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    // mode=rw: opening never creates a file.
    // cache=shared: the connections of this process to one file share its schema and pages
    // (64 groups of 255 fields in one file would otherwise hold 64 copies of its schema).
    db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
                       QStringLiteral("?mode=rw&cache=shared"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
    if (!db.open()) throw Error(adErrProvider, Mask(SqlErrorText(db.lastError())));
    QSqlQuery q(db);
    // Every commit reaches the disk before it returns: a write-ahead log synced at each
    // commit. A file that is no database fails here, before anything is written to it (the
    // engine reads its header first), and at the check below.
    q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        const QSqlError e = q.lastError();
        if (e.nativeErrorCode() == QLatin1String("26")) throw NotADatabase(plan.filePath);  // SQLITE_NOTADB
        throw Error(
            adErrProvider,
            QStringLiteral("Unrecognized database format '%1': %2").arg(plan.filePath, SqlErrorText(e)));
    }
    // The log and its index exist from here on, and stay while a connection holds the file.
    filePath = QFile::encodeName(path);
    fileId = FileIO::IdOf(filePath);
    logId = FileIO::IdOf(filePath + "-wal");
    indexId = FileIO::IdOf(filePath + "-shm");
    // The log starts again from the top of its file once a checkpoint has folded all of it back,
    // ordinarily at its automatic checkpoint (about 1000 pages). A reader that keeps one snapshot
    // for long holds the checkpoints back, and the log grows meanwhile; its file would keep that
    // peak. The first commit that starts the log again cuts the file back to twice the ordinary
    // size, which ordinary checkpoints never reach, so they never cut and regrow it.
    qint64 pageSize = 4096, checkpointPages = 1000;
    if (q.exec(QStringLiteral("PRAGMA page_size")) && q.next()) pageSize = q.value(0).toLongLong();
    if (q.exec(QStringLiteral("PRAGMA wal_autocheckpoint")) && q.next() && q.value(0).toLongLong() > 0)
        checkpointPages = q.value(0).toLongLong();
    constexpr qint64 kFrameHeader = 24;  // each page in the log carries a header of its own
    q.exec(
        QStringLiteral("PRAGMA journal_size_limit=%1").arg(2 * checkpointPages * (pageSize + kFrameHeader)));
    // From here on a lock of another is waited for by the caller (Run), not by the engine.
    q.exec(QStringLiteral("PRAGMA busy_timeout=0"));
}

void SqlEngine::SetUpSession() {
    QSqlDatabase db = Db();
    QSqlQuery q(db);
    // Statements are written for engines that read a backslash in a literal as itself; so
    // must MariaDB, else 'C:\temp' loses its backslash and 'x\' runs past its quote.
    QElapsedTimer since;
    since.start();
    if (!q.exec(QStringLiteral("SET SESSION sql_mode = TRIM(BOTH ',' FROM "
                               "CONCAT(@@SESSION.sql_mode, ',NO_BACKSLASH_ESCAPES'))")))
        throw Failure(adErrProvider, q.lastError(), since, commandSeconds);
    // A statement held up by another session's lock gives up on the server as well, rather
    // than running after the program has stopped waiting for it. (Each where the server
    // knows it.)
    q.exec(QStringLiteral("SET SESSION lock_wait_timeout = %1").arg(commandSeconds));
    q.exec(QStringLiteral("SET SESSION innodb_lock_wait_timeout = %1").arg(commandSeconds));
}

void SqlEngine::Close() {
    {
        QSqlDatabase db = Db();
        if (db.isOpen()) db.close();
    }
    const QtPass pass;
    QSqlDatabase::removeDatabase(name);
}

bool SqlEngine::FoldLogBack(QString& why) {
    QSqlQuery q(Db());
    if (!q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")) || !q.next()) {
        why = Mask(SqlErrorText(q.lastError()));
        return false;
    }
    // busy, frames in the log, frames folded back
    if (q.value(0).toInt() != 0 || q.value(1).toLongLong() != q.value(2).toLongLong()) {
        why = QStringLiteral(
            "its write-ahead log is still read by another program, or a write to it is under way");
        return false;
    }
    return true;
}

void SqlEngine::RemoveLeftLog() const {
    const QByteArray log = filePath + "-wal";
    struct stat st;
    if (!logId.exists || ::stat(log.constData(), &st) != 0 || st.st_dev != logId.device ||
        st.st_ino != logId.inode || st.st_size != 0)
        return;
    ::unlink(log.constData());
    const QByteArray index = filePath + "-shm";
    if (indexId.exists && FileIO::IdOf(index) == indexId) ::unlink(index.constData());
}

QHash<QString, QString> SqlEngine::ColumnTypes(const QString& table) {
    const QString key = table.toUpper();
    const auto it = declaredTypes.constFind(key);
    if (it != declaredTypes.constEnd()) return *it;
    QHash<QString, QString> types;
    QStringList names;
    QSqlQuery q(Db());
    QString quoted = table;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    if (q.exec(QStringLiteral("PRAGMA table_info(\"") + quoted + QStringLiteral("\")"))) {
        while (q.next()) {
            names << q.value(1).toString();
            types.insert(names.last().toUpper(), q.value(2).toString());
        }
    }
    columnNames.insert(key, names);
    declaredTypes.insert(key, types);
    return types;
}

QSet<QString> SqlEngine::DateColumns(const QString& table) {
    const QString key = table.toUpper();
    const auto it = dateColumns.constFind(key);
    if (it != dateColumns.constEnd()) return *it;
    return *dateColumns.insert(key, jet::DateColumnsOf(ColumnTypes(table)));
}

QString SqlEngine::Translate(const QString& sql) {
    if (!IsSQLite()) return sql;
    return jet::TranslateWithDateColumns(sql, [this](const QString& t) { return DateColumns(t); });
}

bool SqlEngine::TryExec(QSqlQuery& q, const QString& text) {
    lockWait = false;
    if (q.exec(text)) return true;
    lockWait = IsSQLite() && IsLockWait(q.lastError());
    return false;
}

bool SqlEngine::IsLockWait(const QSqlError& e) {
    const QString code = e.nativeErrorCode();
    return code == QLatin1String("5") ||    // SQLITE_BUSY
           code == QLatin1String("261") ||  // SQLITE_BUSY_RECOVERY
           code == QLatin1String("262");    // SQLITE_LOCKED_SHAREDCACHE
}

void SqlEngine::Exec(const QString& sql) {
    const QString text = Translate(sql);
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    QElapsedTimer since;
    since.start();
    if (!TryExec(q, text)) throw Failure(adErrStatement, q.lastError(), since, commandSeconds);
    if (IsSQLite()) {
        const QString head = text.trimmed().left(6).toUpper();
        if (head.startsWith(QLatin1String("CREATE")) || head.startsWith(QLatin1String("ALTER")) ||
            head.startsWith(QLatin1String("DROP"))) {
            declaredTypes.clear();
            dateColumns.clear();
            columnNames.clear();
        }
    }
}

QueryRows SqlEngine::Query(const QString& sql) {
    const QString text = Translate(sql);
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    QElapsedTimer since;
    since.start();
    if (!TryExec(q, text)) throw Failure(adErrStatement, q.lastError(), since, commandSeconds);
    const QSqlRecord rec = q.record();
    QHash<QString, QString> declared;
    QStringList stored;
    if (IsSQLite()) {
        const QStringList tables = [&] {
            // The first table after FROM decides the declared types of the columns.
            static const QRegularExpression re(
                QStringLiteral(R"(\bFROM\s+(?:\[([^\]]+)\]|([A-Za-z_][\w$]*)))"),
                QRegularExpression::CaseInsensitiveOption);
            const auto m = re.match(text);
            QStringList r;
            if (m.hasMatch()) r << (m.captured(1).isEmpty() ? m.captured(2) : m.captured(1));
            return r;
        }();
        if (!tables.isEmpty()) {
            declared = ColumnTypes(tables.first());
            stored = columnNames.value(tables.first().toUpper());
        }
    }
    QueryRows out;
    for (int i = 0; i < rec.count(); ++i) out.names << rec.fieldName(i);
    // The SQLite driver drops double quotes from column names: the columns of the whole
    // table are named as the engine stores them.
    if (!stored.isEmpty() && stored.size() == out.names.size()) {
        bool same = true;
        for (qsizetype i = 0; i < out.names.size() && same; ++i)
            same = QString(stored[i]).remove(u'"') == out.names[i];
        if (same) out.names = stored;
    }
    while (q.next()) {
        std::vector<QVariant> row;
        row.reserve(static_cast<size_t>(rec.count()));
        for (int i = 0; i < rec.count(); ++i) row.push_back(q.value(i));
        out.rows.push_back(std::move(row));
    }
    for (int i = 0; i < rec.count(); ++i) {
        if (IsSQLite()) {
            const QVariant sample = out.rows.empty() ? QVariant() : out.rows.front()[static_cast<size_t>(i)];
            const int type = TypeOfDeclared(declared.value(out.names[i].toUpper()), sample);
            out.types.push_back(type);
            if (type == 7)
                for (auto& r : out.rows) r[static_cast<size_t>(i)] = DateValue(r[static_cast<size_t>(i)]);
        } else {
            out.types.push_back(TypeOfOdbc(rec.field(i)));
        }
    }
    if (q.lastError().isValid() && q.lastError().type() != QSqlError::NoError)
        throw Failure(adErrStatement, q.lastError(), since, commandSeconds);
    return out;
}

void SqlEngine::Transaction(const QString& step) {
    QSqlDatabase db = Db();
    QElapsedTimer since;
    since.start();
    if (IsSQLite()) {
        // A transaction here always writes: its write lock is taken (and waited for) at its
        // start, never on the way, where a snapshot that another program has written past
        // could never be made a write.
        QSqlQuery q(db);
        const QString text = step == QLatin1String("BEGIN") ? QStringLiteral("BEGIN IMMEDIATE") : step;
        if (!TryExec(q, text)) throw Error(adErrProvider, Mask(SqlErrorText(q.lastError())));
        return;
    }
    const bool ok = step == QLatin1String("BEGIN")    ? db.transaction()
                    : step == QLatin1String("COMMIT") ? db.commit()
                                                      : db.rollback();
    if (!ok) throw Failure(adErrProvider, db.lastError(), since, commandSeconds);
}

std::vector<std::vector<QVariant>> SqlEngine::Tables() {
    std::vector<std::vector<QVariant>> rows;
    QSqlDatabase db = Db();
    QElapsedTimer since;
    since.start();
    if (IsSQLite()) {
        QSqlQuery q(db);
        if (!TryExec(q,
                     QStringLiteral("SELECT name, type FROM sqlite_master WHERE type IN ('table','view')")))
            throw Error(adErrProvider, Mask(SqlErrorText(q.lastError())));
        while (q.next()) {
            const QString name = q.value(0).toString();
            QString type = q.value(1).toString() == QLatin1String("view") ? QStringLiteral("VIEW")
                                                                          : QStringLiteral("TABLE");
            if (type == QLatin1String("TABLE") &&
                (name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive) ||
                 (plan.excel && name.endsWith(u'$'))))
                type = QStringLiteral("SYSTEM TABLE");
            rows.push_back({QVariant(), QVariant(), name, type});
        }
    } else if (plan.mysql) {
        // The ODBC table list of this driver spans every database of the server.
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(
                QStringLiteral("SELECT TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE FROM information_schema.TABLES "
                               "WHERE TABLE_SCHEMA = DATABASE()")))
            throw Failure(adErrProvider, q.lastError(), since, commandSeconds);
        while (q.next()) {
            QString type = q.value(2).toString().toUpper();
            if (type == QLatin1String("BASE TABLE")) type = QStringLiteral("TABLE");
            rows.push_back({q.value(0), QVariant(), q.value(1).toString(), type});
        }
    } else {
        const std::pair<QSql::TableType, const char*> kinds[] = {
            {QSql::Tables, "TABLE"}, {QSql::Views, "VIEW"}, {QSql::SystemTables, "SYSTEM TABLE"}};
        for (const auto& [kind, label] : kinds) {
            const QStringList names = db.tables(kind);
            if (db.lastError().isValid() && db.lastError().type() != QSqlError::NoError && names.isEmpty() &&
                kind == QSql::Tables)
                throw Failure(adErrProvider, db.lastError(), since, commandSeconds);
            for (const QString& n : names)
                rows.push_back({QVariant(), QVariant(), n, QString::fromLatin1(label)});
        }
    }
    return rows;
}

}  // namespace detail

QString CopyDatabaseFile(const QString& source, const QString& target) {
    using namespace detail;
    QString from;
    try {
        CheckSQLiteFile(source, from);
    } catch (const Error& e) {
        return e.Description;
    }
    // The engine writes the copy into an empty temporary file; it does not sync it, which the
    // placing does before the copy takes its name.
    return FileIO::PlaceNew(WindowsPath::Resolve(target), from, [&](const QString& temp) {
        const QString name = NewConnectionName(QStringLiteral("copy"));
        QString failure;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(QUrl::fromLocalFile(from).toString(QUrl::FullyEncoded) +
                               QStringLiteral("?mode=rw"));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
            if (!db.open()) {
                failure = SqlErrorText(db.lastError());
            } else {
                QSqlQuery q(db);
                q.prepare(QStringLiteral("VACUUM INTO ?"));
                q.addBindValue(temp);
                if (!q.exec())
                    failure = q.lastError().nativeErrorCode() == QLatin1String("26")
                                  ? NotADatabase(source).Description
                                  : SqlErrorText(q.lastError());
            }
        }
        QSqlDatabase::removeDatabase(name);
        return failure;
    });
}

}  // namespace ado
