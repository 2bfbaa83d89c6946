// Connections and recordsets over QtSql. A connection owns one QSqlDatabase of its own;
// recordsets fetch their rows at Open and keep them in memory.
#include "platform/ado/Ado.h"

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

#include "common/FileUtil.h"
#include "platform/ado/JetSql.h"

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

}  // namespace

// One open database of a connection.
class Engine {
  public:
    ConnectionPlan plan;
    QString name;
    int busyTimeout = -1;
    QHash<QString, QHash<QString, QString>> declaredTypes;  // table (upper) -> column (upper) -> type
    QHash<QString, QSet<QString>> dateColumns;              // table (upper) -> its date columns
    QHash<QString, QStringList> columnNames;                // table (upper) -> its columns, as stored

    QSqlDatabase Db() const { return QSqlDatabase::database(name, false); }
    bool IsSQLite() const { return plan.kind == ConnectionPlan::Kind::SQLite; }

    ~Engine() {
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

    void ApplyBusyTimeout(Properties& props) {
        if (!IsSQLite()) return;
        int retry = 20, delay = 60;
        if (const Property* p = props.Find(QStringLiteral("Jet OLEDB:Lock Retry"))) retry = p->Value.toInt();
        if (const Property* p = props.Find(QStringLiteral("Jet OLEDB:Lock Delay"))) delay = p->Value.toInt();
        const int ms = std::clamp(retry, 0, 100000) * std::clamp(delay, 0, 100000);
        if (ms == busyTimeout) return;
        QSqlQuery q(Db());
        q.exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(std::min(ms, 600000)));
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

    void Exec(const QString& sql, const Connection& owner) {
        const QString text = Translate(sql);
        QSqlQuery q(Db());
        q.setForwardOnly(true);
        if (!Run(q, text)) throw Error(adErrStatement, owner.MaskSecrets(SqlErrorText(q.lastError())));
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
    void Query(const QString& sql, const Connection& owner, QStringList& names, std::vector<int>& types,
               std::vector<std::vector<QVariant>>& rows) {
        const QString text = Translate(sql);
        QSqlQuery q(Db());
        q.setForwardOnly(true);
        if (!Run(q, text)) throw Error(adErrStatement, owner.MaskSecrets(SqlErrorText(q.lastError())));
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
        names.clear();
        types.clear();
        rows.clear();
        for (int i = 0; i < rec.count(); ++i) names << rec.fieldName(i);
        // The SQLite driver drops double quotes from column names: the columns of the whole
        // table are named as the engine stores them.
        if (!stored.isEmpty() && stored.size() == names.size()) {
            bool same = true;
            for (qsizetype i = 0; i < names.size() && same; ++i)
                same = QString(stored[i]).remove(u'"') == names[i];
            if (same) names = stored;
        }
        while (q.next()) {
            std::vector<QVariant> row;
            row.reserve(static_cast<size_t>(rec.count()));
            for (int i = 0; i < rec.count(); ++i) row.push_back(q.value(i));
            rows.push_back(std::move(row));
        }
        for (int i = 0; i < rec.count(); ++i) {
            if (IsSQLite()) {
                const QVariant sample = rows.empty() ? QVariant() : rows.front()[static_cast<size_t>(i)];
                const int type = TypeOfDeclared(declared.value(names[i].toUpper()), sample);
                types.push_back(type);
                if (type == 7)
                    for (auto& r : rows) r[static_cast<size_t>(i)] = DateValue(r[static_cast<size_t>(i)]);
            } else {
                types.push_back(TypeOfOdbc(rec.field(i)));
            }
        }
        if (q.lastError().isValid() && q.lastError().type() != QSqlError::NoError)
            throw Error(adErrStatement, owner.MaskSecrets(SqlErrorText(q.lastError())));
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

Connection::Connection() = default;
Connection::~Connection() {
    try {
        Close();
    } catch (const Error&) {
    }
}

QString Connection::ConnectionString() const {
    return MaskPasswords(connectionString_);
}

QString Connection::MaskSecrets(const QString& text) const {
    QString out = MaskPasswords(text);
    // Passwords of four characters and more are masked wherever they appear; shorter ones
    // are too common as parts of other words and numbers.
    for (const QString& s : secrets_)
        if (s.size() >= 4) out.replace(s, QStringLiteral("****"));
    return out;
}

namespace {

void CheckSQLiteFile(const QString& givenPath, QString& resolved) {
    resolved = FileUtil::ResolvePath(givenPath);
    QFile f(resolved);
    if (!FileUtil::FileExists(givenPath) || !f.exists())
        throw Error(adErrProvider, QStringLiteral("Could not find file '%1'.").arg(givenPath));
    if (!f.open(QIODevice::ReadOnly))
        throw Error(adErrProvider, QStringLiteral("The database file '%1' cannot be read.").arg(givenPath));
    const QByteArray head = f.read(16);
    if (head != QByteArray("SQLite format 3\0", 16))
        throw Error(adErrProvider,
                    QStringLiteral("Unrecognized database format '%1': the file is not an SQLite database.")
                        .arg(givenPath));
}

}  // namespace

void Connection::Open(const QString& connectionString, const QString& userId, const QString& password, long) {
    if (engine_)
        throw Error(adErrNotAllowedClosed,
                    QStringLiteral("Operation is not allowed when the object is open."));
    connectionString_ = connectionString;
    properties_.Clear();
    inTransaction_ = false;
    ConnectionPlan plan;
    try {
        plan = PlanConnection(connectionString);
    } catch (const Error& e) {
        throw Error(e.Number, MaskPasswords(e.Description));
    }
    secrets_ = plan.secrets;
    if (!password.isEmpty()) secrets_ << password;

    auto engine = std::make_unique<Engine>();
    engine->plan = plan;
    engine->name = QStringLiteral("ledgrix-ado-%1").arg(connectionCounter.fetchAndAddRelaxed(1) + 1);
    if (plan.kind == ConnectionPlan::Kind::SQLite) {
        QString path;
        CheckSQLiteFile(plan.filePath, path);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), engine->name);
        // mode=rw: opening never creates a file.
        // cache=shared: the connections of this process to one file share its schema and pages
        // (64 groups of 255 fields in one file would otherwise hold 64 copies of its schema).
        db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
                           QStringLiteral("?mode=rw&cache=shared"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        if (!db.open()) throw Error(adErrProvider, MaskSecrets(SqlErrorText(db.lastError())));
        QSqlQuery q(db);
        // Every commit reaches the disk before it returns: a write-ahead log synced at each
        // commit.
        q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
            throw Error(adErrProvider, QStringLiteral("Unrecognized database format '%1': %2")
                                           .arg(plan.filePath, SqlErrorText(q.lastError())));
        properties_.Add(QStringLiteral("Provider Name"), QStringLiteral("SQLite"));
        properties_.Add(QStringLiteral("Data Source"), plan.filePath);
        properties_.Add(QStringLiteral("Jet OLEDB:Lock Retry"), 20);
        properties_.Add(QStringLiteral("Jet OLEDB:Lock Delay"), 60);
        properties_.Add(QStringLiteral("Jet OLEDB:User Commit Sync"), true);
    } else {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), engine->name);
        db.setDatabaseName(plan.odbcDatabase);
        QString user = plan.odbcUser.isEmpty() ? userId : plan.odbcUser;
        QString pass = plan.odbcPassword.isEmpty() ? password : plan.odbcPassword;
        // The ODBC driver appends these unquoted: brace them.
        if (!user.isEmpty()) db.setUserName(u'{' + QString(user).replace(u'}', QStringLiteral("}}")) + u'}');
        if (!pass.isEmpty()) db.setPassword(u'{' + QString(pass).replace(u'}', QStringLiteral("}}")) + u'}');
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=15"));
        if (!db.open()) throw Error(adErrProvider, MaskSecrets(SqlErrorText(db.lastError())));
        if (plan.mysql) {
            // Statements are written for engines that read a backslash in a literal as itself; so
            // must MariaDB, else 'C:\temp' loses its backslash and 'x\' runs past its quote.
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SET SESSION sql_mode = TRIM(BOTH ',' FROM "
                                       "CONCAT(@@SESSION.sql_mode, ',NO_BACKSLASH_ESCAPES'))")))
                throw Error(adErrProvider, MaskSecrets(SqlErrorText(q.lastError())));
        }
        properties_.Add(QStringLiteral("Provider Name"), QStringLiteral("ODBC"));
    }
    engine_ = std::move(engine);
    engine_->ApplyBusyTimeout(properties_);
}

void Connection::Close() {
    if (!engine_) return;
    if (inTransaction_) {
        QSqlDatabase db = engine_->Db();
        if (engine_->IsSQLite())
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        else
            db.rollback();
        inTransaction_ = false;
    }
    engine_.reset();
}

int Connection::State() const {
    return engine_ ? adStateOpen : adStateClosed;
}

void Connection::Execute(const QString& sql, long) {
    if (!engine_)
        throw Error(adErrConnectionInvalid,
                    QStringLiteral("The connection cannot be used to perform this operation. "
                                   "It is either closed or invalid in this context."));
    engine_->ApplyBusyTimeout(properties_);
    engine_->Exec(sql, *this);
}

void Connection::BeginTrans() {
    if (!engine_)
        throw Error(adErrConnectionInvalid,
                    QStringLiteral("The connection cannot be used to perform this operation. "
                                   "It is either closed or invalid in this context."));
    if (inTransaction_)
        throw Error(adErrTransactionExists,
                    QStringLiteral("Cannot start more transactions on this session."));
    engine_->ApplyBusyTimeout(properties_);
    QSqlDatabase db = engine_->Db();
    if (engine_->IsSQLite()) {
        QSqlQuery q(db);
        if (!engine_->Run(q, QStringLiteral("BEGIN")))
            throw Error(adErrProvider, MaskSecrets(SqlErrorText(q.lastError())));
    } else if (!db.transaction()) {
        throw Error(adErrProvider, MaskSecrets(SqlErrorText(db.lastError())));
    }
    inTransaction_ = true;
}

void Connection::CommitTrans() {
    if (!engine_ || !inTransaction_)
        throw Error(adErrNoTransaction, QStringLiteral("No transaction is active."));
    QSqlDatabase db = engine_->Db();
    if (engine_->IsSQLite()) {
        QSqlQuery q(db);
        if (!engine_->Run(q, QStringLiteral("COMMIT")))
            throw Error(adErrProvider, MaskSecrets(SqlErrorText(q.lastError())));
    } else if (!db.commit()) {
        throw Error(adErrProvider, MaskSecrets(SqlErrorText(db.lastError())));
    }
    inTransaction_ = false;
}

void Connection::RollbackTrans() {
    if (!engine_ || !inTransaction_)
        throw Error(adErrNoTransaction, QStringLiteral("No transaction is active."));
    inTransaction_ = false;
    QSqlDatabase db = engine_->Db();
    if (engine_->IsSQLite()) {
        QSqlQuery q(db);
        if (!engine_->Run(q, QStringLiteral("ROLLBACK")))
            throw Error(adErrProvider, MaskSecrets(SqlErrorText(q.lastError())));
    } else if (!db.rollback()) {
        throw Error(adErrProvider, MaskSecrets(SqlErrorText(db.lastError())));
    }
}

std::shared_ptr<Recordset> Connection::OpenSchema(int schema) {
    if (!engine_)
        throw Error(adErrConnectionInvalid,
                    QStringLiteral("The connection cannot be used to perform this operation. "
                                   "It is either closed or invalid in this context."));
    if (schema != adSchemaTables)
        throw Error(adErrNotCapable,
                    QStringLiteral("Object or provider is not capable of performing requested operation."));
    std::vector<std::vector<QVariant>> rows;
    QSqlDatabase db = engine_->Db();
    if (engine_->IsSQLite()) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT name, type FROM sqlite_master WHERE type IN ('table','view')")))
            throw Error(adErrProvider, MaskSecrets(SqlErrorText(q.lastError())));
        while (q.next()) {
            const QString name = q.value(0).toString();
            QString type = q.value(1).toString() == QLatin1String("view") ? QStringLiteral("VIEW")
                                                                          : QStringLiteral("TABLE");
            if (type == QLatin1String("TABLE") &&
                (name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive) ||
                 (engine_->plan.excel && name.endsWith(u'$'))))
                type = QStringLiteral("SYSTEM TABLE");
            rows.push_back({QVariant(), QVariant(), name, type});
        }
    } else if (engine_->plan.mysql) {
        // The ODBC table list of this driver spans every database of the server.
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(
                QStringLiteral("SELECT TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE FROM information_schema.TABLES "
                               "WHERE TABLE_SCHEMA = DATABASE()")))
            throw Error(adErrProvider, MaskSecrets(SqlErrorText(q.lastError())));
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
                throw Error(adErrProvider, MaskSecrets(SqlErrorText(db.lastError())));
            for (const QString& n : names)
                rows.push_back({QVariant(), QVariant(), n, QString::fromLatin1(label)});
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        const int c = a[3].toString().compare(b[3].toString());
        if (c != 0) return c < 0;
        return a[2].toString().compare(b[2].toString(), Qt::CaseInsensitive) < 0;
    });
    return Recordset::FromRows({QStringLiteral("TABLE_CATALOG"), QStringLiteral("TABLE_SCHEMA"),
                                QStringLiteral("TABLE_NAME"), QStringLiteral("TABLE_TYPE")},
                               {202, 202, 202, 202}, std::move(rows), adUseClient);
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

void Recordset::Open(const QString& sql, Connection& connection, int cursorType, int, long) {
    if (open_)
        throw Error(adErrNotAllowedClosed,
                    QStringLiteral("Operation is not allowed when the object is open."));
    if (!connection.engine())
        throw Error(adErrConnectionInvalid,
                    QStringLiteral("The connection cannot be used to perform this operation. "
                                   "It is either closed or invalid in this context."));
    connection.engine()->ApplyBusyTimeout(connection.GetProperties());
    connection.engine()->Query(sql, connection, names_, types_, rows_);
    if (CursorLocation == adUseClient)
        cursorType_ = adOpenStatic;
    else
        cursorType_ = cursorType == adOpenUnspecified ? adOpenForwardOnly : cursorType;
    open_ = true;
    pos_ = rows_.empty() ? -1 : 0;
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
