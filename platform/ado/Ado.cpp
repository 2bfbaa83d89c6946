// Connections and recordsets over QtSql. A connection owns one QSqlDatabase of its own, a server's
// on a thread of its own; recordsets fetch their rows at Open and keep them in memory.
#include "platform/ado/Ado.h"

#include <pthread.h>
#include <signal.h>
#include <QAtomicInt>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>

#include "platform/ado/JetSql.h"
#include "platform/fileio/WindowsPath.h"

namespace ado {

namespace {

QAtomicInt connectionCounter;
constexpr qint64 kDefaultBusyTimeoutMs = 5000;  // the SQLite driver's own until the lock properties apply

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

qsizetype IndexOfName(const QStringList& names, const QString& name) {
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QVariant DateValue(const QVariant& v) {
    if (v.isNull() || v.typeId() != QMetaType::QString) return v;
    const QString s = v.toString();
    QDateTime dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (!dt.isValid()) dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dt.isValid()) dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd"));
    return dt.isValid() ? QVariant(dt) : v;
}

constexpr long kDefaultConnectionTimeout = 15;  // seconds, as ADO's
constexpr long kDefaultCommandTimeout = 30;
// A driver that keeps to its own timeout has answered by then; one that does not is left behind.
constexpr qint64 kDriverGraceMs = 2000;
constexpr qint64 kClockSlackMs = 100;
// Also read by driver threads, which may outlive the exit's destructors: never destroyed.
const QString& kTimeoutText = *new const QString(QStringLiteral("Timeout expired"));
const QString kLostText = QStringLiteral("Timeout expired: the connection no longer answers.");

long TimeoutSeconds(long value, long defaultSeconds) {
    return value > 0 ? std::min<long>(value, 86400) : defaultSeconds;
}

std::function<void()>& WaitHook() {
    static std::function<void()> hook;
    return hook;
}
std::function<void()>& WaitEndHook() {
    static std::function<void()> hook;
    return hook;
}
thread_local bool t_hookRan = false;  // the hook ran during the wait under way
thread_local bool t_inWait = false;

std::atomic<long> g_defaultConnectionTimeout{kDefaultConnectionTimeout};
std::atomic<long> g_defaultCommandTimeout{kDefaultCommandTimeout};

QString MaskWithSecrets(const QString& text, const QStringList& secrets) {
    QString out = MaskPasswords(text);
    // Passwords of four characters and more are masked wherever they appear; shorter ones
    // are too common as parts of other words and numbers.
    for (const QString& s : secrets)
        if (s.size() >= 4) out.replace(s, QStringLiteral("****"));
    return out;
}

void CheckSQLiteFile(const QString& givenPath, QString& resolved) {
    resolved = WindowsPath::Resolve(givenPath);
    QFile f(resolved);
    std::error_code ec;
    if (givenPath.isEmpty() || !std::filesystem::is_regular_file(resolved.toStdString(), ec))
        throw Error(adErrProvider, QStringLiteral("Could not find file '%1'.").arg(givenPath));
    if (!f.open(QIODevice::ReadOnly))
        throw Error(adErrProvider, QStringLiteral("The database file '%1' cannot be read.").arg(givenPath));
    const QByteArray head = f.read(16);
    if (head != QByteArray("SQLite format 3\0", 16))
        throw Error(adErrProvider,
                    QStringLiteral("Unrecognized database format '%1': the file is not an SQLite database.")
                        .arg(givenPath));
}

// The result of a query: column names, their ADO types and every row.
struct QueryRows {
    QStringList names;
    std::vector<int> types;
    std::vector<std::vector<QVariant>> rows;
};

}  // namespace

void SetWaitHook(std::function<void()> hook) {
    WaitHook() = std::move(hook);
}
void SetWaitEndHook(std::function<void()> hook) {
    WaitEndHook() = std::move(hook);
}
void SetDefaultTimeouts(long connectionSeconds, long commandSeconds) {
    g_defaultConnectionTimeout = TimeoutSeconds(connectionSeconds, kDefaultConnectionTimeout);
    g_defaultCommandTimeout = TimeoutSeconds(commandSeconds, kDefaultCommandTimeout);
}

WaitScope::WaitScope() : outer_(!t_inWait) {
    if (!outer_) return;
    t_inWait = true;
    t_hookRan = false;
}

WaitScope::~WaitScope() {
    if (!outer_) return;
    t_inWait = false;
    if (!std::exchange(t_hookRan, false) || !WaitEndHook()) return;
    try {
        WaitEndHook()();
    } catch (...) {
    }
}

void RunWaitHook() {
    static thread_local bool running = false;
    if (running || !WaitHook()) return;
    running = true;
    t_hookRan = true;
    struct Done {
        ~Done() { running = false; }
    } done;
    WaitHook()();
}

// The driver side of one connection. QtSql wants every call of a database made on the thread
// that opened it: for a server all of this runs on the connection's own thread (DriverThread),
// never on the thread of the caller, which only waits; for SQLite on the caller's thread.
class EngineCore {
  public:
    ConnectionPlan plan;
    QString name;
    QStringList secrets;
    long connectSeconds = kDefaultConnectionTimeout;
    long commandSeconds = kDefaultCommandTimeout;
    int busyTimeout = -1;
    QHash<QString, QHash<QString, QString>> declaredTypes;  // table (upper) -> column (upper) -> type
    QHash<QString, QSet<QString>> dateColumns;              // table (upper) -> its date columns
    QHash<QString, QStringList> columnNames;                // table (upper) -> its columns, as stored

    QSqlDatabase Db() const { return QSqlDatabase::database(name, false); }
    bool IsSQLite() const { return plan.kind == ConnectionPlan::Kind::SQLite; }
    QString Mask(const QString& text) const { return MaskWithSecrets(text, secrets); }

    // A driver's failure. One that comes when the whole timeout has passed is that timeout,
    // whatever the driver calls it (a lost connection, an unanswered handshake).
    Error Failure(long number, const QSqlError& e, const QElapsedTimer& since, long limitSeconds) const {
        const QString text = Mask(SqlErrorText(e));
        // A server's own clock for its timeouts may run a few milliseconds ahead of this one.
        if (!IsSQLite() && since.elapsed() + kClockSlackMs >= limitSeconds * 1000)
            return Error(adErrTimeout, kTimeoutText + QStringLiteral(" (") + text + u')');
        return Error(number, text);
    }

    void Open(const QString& userId, const QString& password) {
        if (IsSQLite()) {
            OpenSQLite();
            return;
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        // The driver's own timeouts, where it takes them from the connection string: MariaDB's
        // connect (with the handshake), read and write; FreeTDS's statements. The version is
        // fixed so that FreeTDS never falls back to the older protocol, whose failed logins it
        // does not time out.
        QString target = plan.odbcDatabase;
        if (plan.mysql)
            target += QStringLiteral(";CONN_TIMEOUT=%1;READ_TIMEOUT=%2;WRITE_TIMEOUT=%2")
                          .arg(connectSeconds)
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

    void OpenSQLite() {
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
        // commit.
        q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
            throw Error(adErrProvider, QStringLiteral("Unrecognized database format '%1': %2")
                                           .arg(plan.filePath, SqlErrorText(q.lastError())));
    }

    // The session of a MariaDB connection.
    void SetUpSession() {
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

    void Close() {
        {
            QSqlDatabase db = Db();
            if (db.isOpen()) db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

    // Declared column types of an SQLite table, cached until the schema changes.
    QHash<QString, QString> ColumnTypes(const QString& table) {
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

    // The date-typed columns of a table, kept with its declared types.
    QSet<QString> DateColumns(const QString& table) {
        const QString key = table.toUpper();
        const auto it = dateColumns.constFind(key);
        if (it != dateColumns.constEnd()) return *it;
        return *dateColumns.insert(key, jet::DateColumnsOf(ColumnTypes(table)));
    }

    QString Translate(const QString& sql) {
        if (!IsSQLite()) return sql;
        return jet::TranslateWithDateColumns(sql, [this](const QString& t) { return DateColumns(t); });
    }

    // ms < 0: not an SQLite connection.
    void ApplyBusyTimeout(int ms) {
        if (ms < 0 || ms == busyTimeout) return;
        QSqlQuery q(Db());
        q.exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(ms));
        busyTimeout = ms;
    }

    // The connections of this process to one SQLite file share its schema and page cache; a
    // table that another of them is writing is locked for this one at once, not after the busy
    // timeout. Such a lock is waited for as another program's lock is: up to the busy timeout.
    bool Run(QSqlQuery& q, const QString& text) const {
        if (q.exec(text)) return true;
        if (!IsSharedCacheLock(q.lastError())) return false;
        QElapsedTimer waited;
        waited.start();
        const qint64 limit = busyTimeout < 0 ? kDefaultBusyTimeoutMs : busyTimeout;
        while (waited.elapsed() < limit) {
            QThread::msleep(static_cast<unsigned long>(std::clamp<qint64>(limit - waited.elapsed(), 1, 10)));
            if (q.exec(text)) return true;
            if (!IsSharedCacheLock(q.lastError())) return false;
        }
        return false;
    }
    bool IsSharedCacheLock(const QSqlError& e) const {
        return IsSQLite() && e.nativeErrorCode() == QLatin1String("262");  // SQLITE_LOCKED_SHAREDCACHE
    }

    void Exec(const QString& sql) {
        const QString text = Translate(sql);
        QSqlQuery q(Db());
        q.setForwardOnly(true);
        QElapsedTimer since;
        since.start();
        if (!Run(q, text)) throw Failure(adErrStatement, q.lastError(), since, commandSeconds);
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

    // Runs a query and fetches every row.
    QueryRows Query(const QString& sql) {
        const QString text = Translate(sql);
        QSqlQuery q(Db());
        q.setForwardOnly(true);
        QElapsedTimer since;
        since.start();
        if (!Run(q, text)) throw Failure(adErrStatement, q.lastError(), since, commandSeconds);
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
                const QVariant sample =
                    out.rows.empty() ? QVariant() : out.rows.front()[static_cast<size_t>(i)];
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

    // One step of a transaction: "BEGIN", "COMMIT" or "ROLLBACK".
    void Transaction(const QString& step) {
        QSqlDatabase db = Db();
        QElapsedTimer since;
        since.start();
        if (IsSQLite()) {
            QSqlQuery q(db);
            if (!Run(q, step)) throw Error(adErrProvider, Mask(SqlErrorText(q.lastError())));
            return;
        }
        const bool ok = step == QLatin1String("BEGIN")    ? db.transaction()
                        : step == QLatin1String("COMMIT") ? db.commit()
                                                          : db.rollback();
        if (!ok) throw Failure(adErrProvider, db.lastError(), since, commandSeconds);
    }

    // The rows of the table schema: catalog, schema, name, type.
    std::vector<std::vector<QVariant>> Tables() {
        std::vector<std::vector<QVariant>> rows;
        QSqlDatabase db = Db();
        QElapsedTimer since;
        since.start();
        if (IsSQLite()) {
            QSqlQuery q(db);
            if (!q.exec(
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
            if (!q.exec(QStringLiteral(
                    "SELECT TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE FROM information_schema.TABLES "
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
                if (db.lastError().isValid() && db.lastError().type() != QSqlError::NoError &&
                    names.isEmpty() && kind == QSql::Tables)
                    throw Failure(adErrProvider, db.lastError(), since, commandSeconds);
                for (const QString& n : names)
                    rows.push_back({QVariant(), QVariant(), n, QString::fromLatin1(label)});
            }
        }
        return rows;
    }
};

// What one connection's calls share with their thread, beyond the life of the connection.
struct EngineStatus : DriverCalls {
    std::atomic<bool> lost{false};   // a call outlived its limit: the driver may never answer
    std::atomic<int> unfinished{0};  // calls handed to the thread and not yet ended
    bool InDriver() const override { return unfinished.load() > 0; }
};

// The thread on which one connection makes its driver calls, one after the other. It takes no
// stop signal: those belong to the window thread.
class DriverThread {
  public:
    DriverThread() : queue_(std::make_shared<Queue>()) {
        sigset_t stops, previous;
        sigemptyset(&stops);
        for (int number : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stops, number);
        pthread_sigmask(SIG_BLOCK, &stops, &previous);
        thread_ = std::thread([q = queue_] { Loop(*q); });
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    DriverThread(const DriverThread&) = delete;
    DriverThread& operator=(const DriverThread&) = delete;
    ~DriverThread() { Finish(true); }

    void Post(std::function<void()> task) {
        {
            const std::lock_guard lock(queue_->mutex);
            queue_->tasks.push_back(std::move(task));
        }
        queue_->ready.notify_one();
    }

    // Ends the thread after the tasks posted. With `join` it is waited for; otherwise (it is
    // still inside a driver call that may never end) it is left to end on its own.
    void Finish(bool join) {
        if (!thread_.joinable()) return;
        {
            const std::lock_guard lock(queue_->mutex);
            queue_->stop = true;
        }
        queue_->ready.notify_one();
        if (join)
            thread_.join();
        else
            thread_.detach();
    }

  private:
    struct Queue {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<std::function<void()>> tasks;
        bool stop = false;
    };
    static void Loop(Queue& q) {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(q.mutex);
                q.ready.wait(lock, [&] { return q.stop || !q.tasks.empty(); });
                if (q.tasks.empty()) return;
                task = std::move(q.tasks.front());
                q.tasks.pop_front();
            }
            task();
        }
    }

    std::shared_ptr<Queue> queue_;
    std::thread thread_;
};

// ---- Driver calls awaited ----

namespace {

// One driver call's outcome, settled once: by its thread when it ends, or by the waiting side
// when its limit passes first (the thread's late outcome is then dropped).
struct CallState {
    std::mutex m;
    bool finished = false;
    bool abandoned = false;
    std::exception_ptr error;
    std::shared_ptr<void> value;  // the call's result, of the type its awaiter knows

    bool Finished() {
        const std::lock_guard lock(m);
        return finished;
    }
    // Gives the call up as timed out, unless it has ended meanwhile.
    bool Abandon() {
        const std::lock_guard lock(m);
        if (finished) return false;
        abandoned = finished = true;
        error = std::make_exception_ptr(Error(adErrTimeout, kTimeoutText));
        return true;
    }
    void Settle(std::shared_ptr<void> v, std::exception_ptr e) {
        const std::lock_guard lock(m);
        if (abandoned) return;
        finished = true;
        value = std::move(v);
        error = std::move(e);
    }
};

struct PendingCall {
    std::shared_ptr<CallState> call;
    std::shared_ptr<EngineStatus> status;
    std::coroutine_handle<> waiter;
    qint64 deadline;
};

// The waiting side: touched by the thread that runs RunCompletions only.
std::vector<PendingCall> g_pending;
std::deque<std::coroutine_handle<>> g_ready;

// Driver threads tell the waiting side that a call has ended. A thread left inside a driver call
// may still do so while the process exits: made once and never destroyed.
std::mutex& g_endedMutex = *new std::mutex;
std::condition_variable& g_ended = *new std::condition_variable;
quint64 g_endedCount = 0;
std::atomic<void (*)()> g_wake{nullptr};

void TellCallEnded() {
    {
        const std::lock_guard lock(g_endedMutex);
        ++g_endedCount;
    }
    g_ended.notify_all();
    if (void (*wake)() = g_wake.load()) wake();
}

qint64 Monotonic() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

}  // namespace

void RunCompletions() {
    for (;;) {
        std::vector<std::coroutine_handle<>> resume;
        const qint64 now = Monotonic();
        for (auto it = g_pending.begin(); it != g_pending.end();) {
            if (it->call->Finished()) {
            } else if (now >= it->deadline) {
                // Left to the driver: this connection is lost, every later call fails at once.
                if (it->call->Abandon()) it->status->lost = true;
            } else {
                ++it;
                continue;
            }
            resume.push_back(it->waiter);
            it = g_pending.erase(it);
        }
        while (!g_ready.empty()) {
            resume.push_back(g_ready.front());
            g_ready.pop_front();
        }
        if (resume.empty()) return;
        for (const std::coroutine_handle<> h : resume) h.resume();
    }
}

bool HasPendingCalls() {
    return !g_pending.empty() || !g_ready.empty();
}

qint64 MillisecondsToNextLimit() {
    if (!g_ready.empty()) return 0;
    qint64 best = -1;
    const qint64 now = Monotonic();
    for (const PendingCall& p : g_pending) {
        const qint64 ms = std::max<qint64>(0, p.deadline - now);
        if (best < 0 || ms < best) best = ms;
    }
    return best;
}

void SetCompletionWakeUp(void (*wake)()) {
    g_wake = wake;
}

void WaitForCompletion(int ms) {
    std::unique_lock lock(g_endedMutex);
    const quint64 seen = g_endedCount;
    g_ended.wait_for(lock, std::chrono::milliseconds(ms), [&] { return g_endedCount != seen; });
}

void AbandonPendingCalls() {
    g_pending.clear();
    g_ready.clear();
}

void ResumeSoon(std::coroutine_handle<> h) {
    g_ready.push_back(h);
}

// Awaits one driver call; its result is R (a call without one gives Nothing).
struct Nothing {};
template <typename R>
class CallAwaiter {
  public:
    CallAwaiter(std::shared_ptr<CallState> call, std::shared_ptr<EngineStatus> status, qint64 limitMs)
        : call_(std::move(call)), status_(std::move(status)), deadline_(Monotonic() + limitMs) {}
    bool await_ready() { return call_->Finished(); }
    void await_suspend(std::coroutine_handle<> h) { g_pending.push_back({call_, status_, h, deadline_}); }
    R await_resume() {
        const std::lock_guard lock(call_->m);
        if (call_->error) std::rethrow_exception(call_->error);
        return std::move(*std::static_pointer_cast<R>(call_->value));
    }

  private:
    std::shared_ptr<CallState> call_;
    std::shared_ptr<EngineStatus> status_;
    qint64 deadline_;
};

// One open database of a connection, as its caller sees it: each call of a server connection is
// handed to the connection's thread and awaited, within its limit; an SQLite call is made where
// it is asked for.
class Engine {
  public:
    explicit Engine(std::shared_ptr<EngineCore> c)
        : core(std::move(c)), status(std::make_shared<EngineStatus>()) {
        if (!core->IsSQLite()) thread = std::make_unique<DriverThread>();
    }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    ~Engine() {
        if (!thread) {
            core->Close();
            return;
        }
        // The database is closed on its own thread. A thread still inside a driver call closes
        // it when that call ends, if ever; nobody waits for that. An idle one is given a moment.
        auto closing = std::make_shared<std::promise<void>>();
        std::future<void> closed = closing->get_future();
        thread->Post([c = core, closing] {
            c->Close();
            closing->set_value();
        });
        bool done = false;
        if (!status->lost && !status->InDriver())
            done = closed.wait_for(std::chrono::milliseconds(kIdleCloseMs)) == std::future_status::ready;
        thread->Finish(done);
    }

    bool IsSQLite() const { return core->IsSQLite(); }

    // The longest wait for a server's call bounded by a timeout of that many seconds: the
    // driver's own timeout and a grace for its answer.
    static qint64 Limit(long seconds) { return seconds * 1000 + kDriverGraceMs; }
    static qint64 CommandLimit(long commandTimeout) {
        return Limit(TimeoutSeconds(commandTimeout, g_defaultCommandTimeout));
    }
    // The busy timeout of the next SQLite call: "Lock Retry" x "Lock Delay" milliseconds, at
    // most the command timeout; -1 for other engines.
    int BusyMs(Properties& props, long commandTimeout) const {
        if (!IsSQLite()) return -1;
        int retry = 20, delay = 60;
        if (const Property* p = props.Find(QStringLiteral("Jet OLEDB:Lock Retry"))) retry = p->Value.toInt();
        if (const Property* p = props.Find(QStringLiteral("Jet OLEDB:Lock Delay"))) delay = p->Value.toInt();
        const qint64 ms = qint64{std::clamp(retry, 0, 100000)} * std::clamp(delay, 0, 100000);
        return static_cast<int>(
            std::min<qint64>(ms, qint64{TimeoutSeconds(commandTimeout, g_defaultCommandTimeout)} * 1000));
    }

    // Starts fn on the connection's thread; the awaiter gives its result, or raises its failure,
    // or "Timeout expired" when `limitMs` passes first (the call is then left to the driver and
    // the connection lost). An SQLite call runs here and now: its only waits on others are the
    // lock waits, which the busy timeout bounds, and a record's statements pay no hand-over.
    // `fn` holds its arguments by value: a call left behind may still run after its caller is
    // gone.
    template <typename R>
    CallAwaiter<R> Start(std::function<R(EngineCore&)> fn, qint64 limitMs) {
        auto call = std::make_shared<CallState>();
        if (status->lost) {
            call->Settle(nullptr, std::make_exception_ptr(Error(adErrTimeout, kLostText)));
        } else if (!thread) {
            auto [value, error] = Run(*core, fn, *status);
            call->Settle(std::move(value), std::move(error));
        } else {
            ++status->unfinished;
            thread->Post([call, c = core, f = std::move(fn), st = status] {
                auto [value, error] = Run(*c, f, *st);
                // Out of the driver before anyone hears of the outcome.
                --st->unfinished;
                call->Settle(std::move(value), std::move(error));
                TellCallEnded();
            });
        }
        return CallAwaiter<R>(std::move(call), status, limitMs);
    }

    std::shared_ptr<EngineCore> core;      // before the thread: the thread ends first
    std::shared_ptr<EngineStatus> status;  // shared with the calls under way
    std::unique_ptr<DriverThread> thread;  // the driver's own thread; none for SQLite

  private:
    static constexpr int kIdleCloseMs = 1000;

    // The call's result or failure.
    template <typename R>
    static std::pair<std::shared_ptr<void>, std::exception_ptr> Run(EngineCore& c,
                                                                    const std::function<R(EngineCore&)>& fn,
                                                                    EngineStatus& st) {
        try {
            return {std::make_shared<R>(fn(c)), nullptr};
        } catch (const Error& e) {
            // A driver that gave up by its own timeout leaves the connection as unusable.
            if (e.Number == adErrTimeout) st.lost = true;
            return {nullptr, std::current_exception()};
        } catch (...) {
            return {nullptr, std::current_exception()};
        }
    }
};

bool OracleOdbcDriverInstalled();

// ---- Properties ----

Property* Properties::Find(const QString& name) {
    for (auto& p : items_)
        if (p.Name.compare(name, Qt::CaseInsensitive) == 0) return &p;
    return nullptr;
}

// ---- Connection ----

struct Connection::Shared {
    QString connectionString;
    QStringList secrets;
    bool inTransaction = false;
    Properties properties;
    std::unique_ptr<Engine> engine;
    std::shared_ptr<const DriverCalls> calls;
};

namespace {

const QString kClosedText = QStringLiteral(
    "The connection cannot be used to perform this operation. It is either closed or invalid in this "
    "context.");

using SharedPtr = std::shared_ptr<Connection::Shared>;

Engine& OpenEngine(const SharedPtr& s) {
    if (!s->engine) throw Error(adErrConnectionInvalid, kClosedText);
    return *s->engine;
}

// The connection's work, on what it shares with its calls: a connection released while its
// work waits leaves that work whole.
Task<void> OpenOn(SharedPtr s, long connectTimeout, long commandTimeout, QString connectionString,
                  QString userId, QString password) {
    if (s->engine)
        throw Error(adErrNotAllowedClosed,
                    QStringLiteral("Operation is not allowed when the object is open."));
    s->connectionString = connectionString;
    s->properties.Clear();
    s->inTransaction = false;
    ConnectionPlan plan;
    try {
        plan = PlanConnection(connectionString);
    } catch (const Error& e) {
        throw Error(e.Number, MaskPasswords(e.Description));
    }
    s->secrets = plan.secrets;
    if (!password.isEmpty()) s->secrets << password;

    auto core = std::make_shared<EngineCore>();
    core->plan = plan;
    core->name = QStringLiteral("ledgrix-ado-%1").arg(connectionCounter.fetchAndAddRelaxed(1) + 1);
    core->secrets = s->secrets;
    core->connectSeconds = TimeoutSeconds(connectTimeout, g_defaultConnectionTimeout);
    core->commandSeconds = TimeoutSeconds(commandTimeout, g_defaultCommandTimeout);
    auto engine = std::make_unique<Engine>(core);
    s->calls = engine->status;
    auto opening = engine->Start<Nothing>(
        [userId, password](EngineCore& c) {
            c.Open(userId, password);
            return Nothing{};
        },
        Engine::Limit(core->connectSeconds));
    co_await opening;
    if (plan.mysql) {
        auto session = engine->Start<Nothing>(
            [](EngineCore& c) {
                c.SetUpSession();
                return Nothing{};
            },
            Engine::Limit(core->commandSeconds));
        co_await session;
    }
    if (plan.kind == ConnectionPlan::Kind::SQLite) {
        s->properties.Add(QStringLiteral("Provider Name"), QStringLiteral("SQLite"));
        s->properties.Add(QStringLiteral("Data Source"), plan.filePath);
        s->properties.Add(QStringLiteral("Jet OLEDB:Lock Retry"), 20);
        s->properties.Add(QStringLiteral("Jet OLEDB:Lock Delay"), 60);
        s->properties.Add(QStringLiteral("Jet OLEDB:User Commit Sync"), true);
    } else {
        s->properties.Add(QStringLiteral("Provider Name"), QStringLiteral("ODBC"));
    }
    s->engine = std::move(engine);
}

// One driver call of a statement or a transaction step, after the busy timeout of the
// connection's lock properties (-1: as it is).
CallAwaiter<Nothing> Step(Engine& e, int busy, long commandTimeout, std::function<void(EngineCore&)> step) {
    return e.Start<Nothing>(
        [busy, step = std::move(step)](EngineCore& c) {
            c.ApplyBusyTimeout(busy);
            step(c);
            return Nothing{};
        },
        Engine::CommandLimit(commandTimeout));
}

Task<void> ExecuteOn(SharedPtr s, long commandTimeout, QString sql) {
    Engine& e = OpenEngine(s);
    auto call = Step(e, e.BusyMs(s->properties, commandTimeout), commandTimeout,
                     [sql](EngineCore& c) { c.Exec(sql); });
    co_await call;
}

// One step of a transaction: "BEGIN", "COMMIT" or "ROLLBACK".
Task<void> TransactionOn(SharedPtr s, long commandTimeout, QString step) {
    const bool begin = step == QLatin1String("BEGIN");
    if (!s->engine || (!begin && !s->inTransaction))
        throw Error(adErrNoTransaction, QStringLiteral("No transaction is active."));
    if (begin && s->inTransaction)
        throw Error(adErrTransactionExists,
                    QStringLiteral("Cannot start more transactions on this session."));
    Engine& e = *s->engine;
    if (step == QLatin1String("ROLLBACK")) s->inTransaction = false;
    auto call = Step(e, begin ? e.BusyMs(s->properties, commandTimeout) : -1, commandTimeout,
                     [step](EngineCore& c) { c.Transaction(step); });
    co_await call;
    s->inTransaction = begin;
}

Task<std::shared_ptr<Recordset>> OpenSchemaOn(SharedPtr s, long commandTimeout, int schema) {
    Engine& e = OpenEngine(s);
    if (schema != adSchemaTables)
        throw Error(adErrNotCapable,
                    QStringLiteral("Object or provider is not capable of performing requested operation."));
    auto call = e.Start<std::vector<std::vector<QVariant>>>([](EngineCore& c) { return c.Tables(); },
                                                            Engine::CommandLimit(commandTimeout));
    std::vector<std::vector<QVariant>> rows = co_await call;
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        const int c = a[3].toString().compare(b[3].toString());
        if (c != 0) return c < 0;
        return a[2].toString().compare(b[2].toString(), Qt::CaseInsensitive) < 0;
    });
    co_return Recordset::FromRows({QStringLiteral("TABLE_CATALOG"), QStringLiteral("TABLE_SCHEMA"),
                                   QStringLiteral("TABLE_NAME"), QStringLiteral("TABLE_TYPE")},
                                  {202, 202, 202, 202}, std::move(rows), adUseClient);
}

}  // namespace

Connection::Connection()
    : ConnectionTimeout(g_defaultConnectionTimeout),
      CommandTimeout(g_defaultCommandTimeout),
      s_(std::make_shared<Shared>()) {}

Connection::~Connection() {
    Close();
}

QString Connection::ConnectionString() const {
    return MaskPasswords(s_->connectionString);
}

QString Connection::MaskSecrets(const QString& text) const {
    return MaskWithSecrets(text, s_->secrets);
}

Properties& Connection::GetProperties() {
    return s_->properties;
}

Engine* Connection::engine() const {
    return s_->engine.get();
}

std::shared_ptr<const DriverCalls> Connection::Calls() const {
    return s_->calls;
}

Task<void> Connection::OpenAsync(QString connectionString, QString userId, QString password) {
    return OpenOn(s_, ConnectionTimeout, CommandTimeout, std::move(connectionString), std::move(userId),
                  std::move(password));
}

void Connection::Open(const QString& connectionString, const QString& userId, const QString& password, long) {
    RunSync(OpenAsync(connectionString, userId, password));
}

void Connection::Close() {
    if (!s_->engine) return;
    // An open transaction is rolled back: an SQLite one here, a server's by the server when the
    // connection ends.
    if (s_->inTransaction && s_->engine->IsSQLite()) {
        try {
            s_->engine->core->Transaction(QStringLiteral("ROLLBACK"));
        } catch (const Error&) {
        }
    }
    s_->inTransaction = false;
    s_->engine.reset();
}

int Connection::State() const {
    return s_->engine ? adStateOpen : adStateClosed;
}

Task<void> Connection::ExecuteAsync(QString sql) {
    return ExecuteOn(s_, CommandTimeout, std::move(sql));
}

void Connection::Execute(const QString& sql, long) {
    RunSync(ExecuteAsync(sql));
}

Task<void> Connection::BeginTransAsync() {
    return TransactionOn(s_, CommandTimeout, QStringLiteral("BEGIN"));
}

Task<void> Connection::CommitTransAsync() {
    return TransactionOn(s_, CommandTimeout, QStringLiteral("COMMIT"));
}

Task<void> Connection::RollbackTransAsync() {
    return TransactionOn(s_, CommandTimeout, QStringLiteral("ROLLBACK"));
}

void Connection::BeginTrans() {
    RunSync(BeginTransAsync());
}

void Connection::CommitTrans() {
    RunSync(CommitTransAsync());
}

void Connection::RollbackTrans() {
    RunSync(RollbackTransAsync());
}

Task<std::shared_ptr<Recordset>> Connection::OpenSchemaAsync(int schema) {
    return OpenSchemaOn(s_, CommandTimeout, schema);
}

std::shared_ptr<Recordset> Connection::OpenSchema(int schema) {
    return RunSync(OpenSchemaAsync(schema));
}

// ---- Recordset ----

void Recordset::RequireOpen() const {
    if (!open_)
        throw Error(adErrNotAllowedClosed,
                    QStringLiteral("Operation is not allowed when the object is closed."));
}

void Recordset::RequireBackward() const {
    if (cursorType_ == adOpenForwardOnly)
        throw Error(adErrBackward, QStringLiteral("Rowset does not support fetching backward."));
}

Task<void> Recordset::OpenAsync(QString sql, Connection& connection, int cursorType) {
    if (open_)
        throw Error(adErrNotAllowedClosed,
                    QStringLiteral("Operation is not allowed when the object is open."));
    Engine* engine = connection.engine();
    if (!engine) throw Error(adErrConnectionInvalid, kClosedText);
    const int busy = engine->BusyMs(connection.GetProperties(), connection.CommandTimeout);
    auto call = engine->Start<QueryRows>(
        [sql, busy](EngineCore& c) {
            c.ApplyBusyTimeout(busy);
            return c.Query(sql);
        },
        Engine::CommandLimit(connection.CommandTimeout));
    QueryRows result = co_await call;
    names_ = std::move(result.names);
    types_ = std::move(result.types);
    rows_ = std::move(result.rows);
    if (CursorLocation == adUseClient)
        cursorType_ = adOpenStatic;
    else
        cursorType_ = cursorType == adOpenUnspecified ? adOpenForwardOnly : cursorType;
    open_ = true;
    pos_ = rows_.empty() ? -1 : 0;
}

void Recordset::Open(const QString& sql, Connection& connection, int cursorType, int, long) {
    RunSync(OpenAsync(sql, connection, cursorType));
}

void Recordset::Close() {
    RequireOpen();
    open_ = false;
    names_.clear();
    types_.clear();
    rows_.clear();
    pos_ = -1;
}

bool Recordset::BOF() const {
    RequireOpen();
    return rows_.empty() || pos_ < 0;
}

bool Recordset::EOF_() const {
    RequireOpen();
    return rows_.empty() || pos_ >= Size();
}

void Recordset::MoveFirst() {
    RequireOpen();
    if (!rows_.empty()) pos_ = 0;
}

void Recordset::MoveNext() {
    RequireOpen();
    if (EOF_())
        throw Error(adErrNoCurrentRecord,
                    QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                   "deleted. Requested operation requires a current record."));
    ++pos_;
}

void Recordset::MovePrevious() {
    RequireOpen();
    RequireBackward();
    if (BOF())
        throw Error(adErrNoCurrentRecord,
                    QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                   "deleted. Requested operation requires a current record."));
    --pos_;
}

void Recordset::MoveLast() {
    RequireOpen();
    RequireBackward();
    if (!rows_.empty()) pos_ = Size() - 1;
}

bool Recordset::Supports(long option) const {
    RequireOpen();
    const bool positioned =
        CursorLocation == adUseClient || cursorType_ == adOpenKeyset || cursorType_ == adOpenStatic;
    if (option & ~(adApproxPosition | adBookmark | adMovePrevious)) return false;
    if ((option & (adApproxPosition | adBookmark)) && !positioned) return false;
    if ((option & adMovePrevious) && cursorType_ == adOpenForwardOnly) return false;
    return true;
}

long Recordset::RecordCount() const {
    RequireOpen();
    return Supports(adApproxPosition) ? Size() : -1;
}

long Recordset::AbsolutePosition() const {
    RequireOpen();
    if (rows_.empty() || pos_ < 0) return adPosBOF;
    if (pos_ >= Size()) return adPosEOF;
    return pos_ + 1;
}

void Recordset::SetAbsolutePosition(long position) {
    RequireOpen();
    RequireBackward();
    if (position < 1 || position > Size())
        throw Error(adErrNoCurrentRecord,
                    QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                   "deleted. Requested operation requires a current record."));
    pos_ = position - 1;
}

std::shared_ptr<Recordset> Recordset::Clone(int) const {
    RequireOpen();
    auto r = FromRows(names_, types_, rows_, CursorLocation);
    r->cursorType_ = cursorType_ == adOpenForwardOnly ? adOpenStatic : cursorType_;
    return r;
}

Field Recordset::GetField(int index) const {
    RequireOpen();
    if (index < 0 || index >= FieldCount())
        throw Error(
            adErrItemNotFound,
            QStringLiteral(
                "Item cannot be found in the collection corresponding to the requested name or ordinal."));
    Field f{names_[index], types_[static_cast<size_t>(index)], QVariant()};
    if (pos_ >= 0 && pos_ < Size()) f.Value = rows_[static_cast<size_t>(pos_)][static_cast<size_t>(index)];
    return f;
}

QVariant Recordset::Value(const QString& fieldName) const {
    RequireOpen();
    const int i = static_cast<int>(IndexOfName(names_, fieldName));
    if (i < 0)
        throw Error(
            adErrItemNotFound,
            QStringLiteral(
                "Item cannot be found in the collection corresponding to the requested name or ordinal."));
    if (BOF() || EOF_())
        throw Error(adErrNoCurrentRecord,
                    QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                   "deleted. Requested operation requires a current record."));
    return rows_[static_cast<size_t>(pos_)][static_cast<size_t>(i)];
}

std::shared_ptr<Recordset> Recordset::FromRows(const QStringList& names, const std::vector<int>& types,
                                               std::vector<std::vector<QVariant>> rows, int cursorLocation) {
    auto r = std::make_shared<Recordset>();
    r->CursorLocation = cursorLocation;
    r->cursorType_ = adOpenStatic;
    r->names_ = names;
    r->types_ = types;
    r->types_.resize(static_cast<size_t>(names.size()), 202);
    r->rows_ = std::move(rows);
    r->open_ = true;
    r->pos_ = r->rows_.empty() ? -1 : 0;
    return r;
}

}  // namespace ado
