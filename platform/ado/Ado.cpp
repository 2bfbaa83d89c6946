// The face of the database layer: connections, their properties and recordsets, in the shape the
// system's code expects of them. What they do is done by one open database (Database.h) on its
// engine (SqlEngine.h).
#include "platform/ado/Ado.h"

#include <QFile>
#include <algorithm>
#include <mutex>

#include "platform/ado/Database.h"
#include "platform/fileio/WindowsPath.h"

namespace ado {

namespace {

qsizetype IndexOfName(const QStringList& names, const QString& name) {
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace

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
    std::unique_ptr<detail::Database> database;
    std::shared_ptr<const DriverCalls> calls;
    // Counts the openings: a step that ends after its connection was closed (and maybe opened
    // again) leaves the session it finds alone.
    quint64 session = 0;
};

namespace {

const QString kClosedText = QStringLiteral(
    "The connection cannot be used to perform this operation. It is either closed or invalid in this "
    "context.");

using SharedPtr = std::shared_ptr<Connection::Shared>;
using detail::CallAwaiter;
using detail::Database;
using detail::Nothing;
using detail::SqlEngine;

// The SQLite connections of this process, so that those on one file are let go together.
std::mutex g_sqliteMutex;
std::vector<std::weak_ptr<Connection::Shared>> g_sqlite;

void Register(const SharedPtr& s) {
    const std::lock_guard<std::mutex> lock(g_sqliteMutex);
    std::erase_if(g_sqlite, [](const auto& w) {
        const SharedPtr c = w.lock();
        return !c || !c->database;
    });
    g_sqlite.push_back(s);
}

// The open SQLite connections whose engine passes the test.
std::vector<SharedPtr> SQLiteConnections(const std::function<bool(const SqlEngine&)>& test) {
    const std::lock_guard<std::mutex> lock(g_sqliteMutex);
    std::vector<SharedPtr> out;
    for (const auto& w : g_sqlite)
        if (SharedPtr c = w.lock(); c && c->database && test(*c->database->engine))
            out.push_back(std::move(c));
    return out;
}

std::vector<SharedPtr> OpenOnFile(const FileIO::FileId& file) {
    return SQLiteConnections([&](const SqlEngine& e) { return e.fileId == file; });
}

// Closes the connection's database. A file that has left its path has its log folded back first
// (the engine does not on closing such a file); the last connection of this process to it removes
// the log from the path.
void CloseDatabase(const SharedPtr& s) {
    // An open transaction is rolled back: an SQLite one here, a server's by the server when the
    // connection ends.
    if (s->inTransaction && s->database->IsSQLite()) {
        try {
            s->database->engine->Transaction(QStringLiteral("ROLLBACK"));
        } catch (const Error&) {
        }
    }
    s->inTransaction = false;
    const std::shared_ptr<SqlEngine> engine = s->database->engine;
    const bool left = engine->fileId.exists && engine->PathNow() != FileIO::AtPath::TheFile;
    QString why;
    if (left) engine->FoldLogBack(why);
    s->database.reset();
    if (left && OpenOnFile(engine->fileId).empty()) engine->RemoveLeftLog();
}

// Lets go of every connection of this process to the engine's file once its log is folded back
// whole into it. Empty when let go, else why not.
QString LetGoOfFile(const std::shared_ptr<SqlEngine>& engine) {
    QString why;
    if (!engine->FoldLogBack(why)) return why;
    for (const SharedPtr& c : OpenOnFile(engine->fileId)) CloseDatabase(c);
    return QString();
}

// Connections of this process by the path to a file that has left it are let go before another
// opens it: the new one would join their cache, and write the file they hold.
void LetGoOfFilesThatLeft(const QString& givenPath) {
    const QByteArray path = QFile::encodeName(WindowsPath::Resolve(givenPath));
    const FileIO::FileId now = FileIO::IdOf(path);  // one stat, whatever holds the path
    for (const SharedPtr& c : SQLiteConnections(
             [&](const SqlEngine& e) { return e.filePath == path && e.fileId.exists && e.fileId != now; })) {
        if (!c->database) continue;  // let go with an earlier one on its file
        const QString why = LetGoOfFile(c->database->engine);
        if (!why.isEmpty())
            throw Error(
                adErrProvider,
                QStringLiteral("The database file '%1' was moved, deleted or replaced while this "
                               "program held it, and it is held until its write-ahead log is folded back: %2")
                    .arg(givenPath, why));
    }
}

Database& OpenDatabase(const SharedPtr& s) {
    if (!s->database) throw Error(adErrConnectionInvalid, kClosedText);
    return *s->database;
}

// The connection's work, on what it shares with its calls: a connection released while its
// work waits leaves that work whole.
Task<void> OpenOn(SharedPtr s, long connectTimeout, long commandTimeout, QString connectionString,
                  QString userId, QString password) {
    if (s->database)
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

    if (plan.kind == ConnectionPlan::Kind::SQLite) LetGoOfFilesThatLeft(plan.filePath);
    auto core = std::make_shared<SqlEngine>();
    core->plan = plan;
    core->name = detail::NewConnectionName(QStringLiteral("connection"));
    core->secrets = s->secrets;
    core->connectSeconds = detail::TimeoutSeconds(connectTimeout, detail::DefaultConnectionSeconds());
    core->commandSeconds = detail::TimeoutSeconds(commandTimeout, detail::DefaultCommandSeconds());
    auto database = std::make_unique<Database>(core);
    s->calls = database->status;
    auto opening = database->Start<Nothing>(
        [userId, password](SqlEngine& c) {
            c.Open(userId, password);
            return Nothing{};
        },
        Database::Limit(core->connectSeconds));
    co_await opening;
    if (plan.mysql) {
        auto session = database->Start<Nothing>(
            [](SqlEngine& c) {
                c.SetUpSession();
                return Nothing{};
            },
            Database::Limit(core->commandSeconds));
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
    s->database = std::move(database);
    ++s->session;
    if (plan.kind == ConnectionPlan::Kind::SQLite) Register(s);
}

// One driver call of a statement or a transaction step, which waits for another's lock up to
// `busyMs`.
CallAwaiter<Nothing> Step(Database& e, qint64 busyMs, long commandTimeout,
                          std::function<void(SqlEngine&)> step) {
    return e.Start<Nothing>(
        [step = std::move(step)](SqlEngine& c) {
            step(c);
            return Nothing{};
        },
        Database::CommandLimit(commandTimeout), busyMs);
}

Task<void> ExecuteOn(SharedPtr s, long commandTimeout, QString sql) {
    Database& e = OpenDatabase(s);
    auto call = Step(e, e.BusyMs(s->properties, commandTimeout), commandTimeout,
                     [sql](SqlEngine& c) { c.Exec(sql); });
    co_await call;
}

// One step of a transaction: "BEGIN", "COMMIT" or "ROLLBACK".
Task<void> TransactionOn(SharedPtr s, long commandTimeout, QString step) {
    const bool begin = step == QLatin1String("BEGIN");
    if (begin && !s->database) throw Error(adErrConnectionInvalid, kClosedText);
    if (!s->database || (!begin && !s->inTransaction))
        throw Error(adErrNoTransaction, QStringLiteral("No transaction is active."));
    if (begin && s->inTransaction)
        throw Error(adErrTransactionExists,
                    QStringLiteral("Cannot start more transactions on this session."));
    Database& e = *s->database;
    const quint64 session = s->session;
    if (step == QLatin1String("ROLLBACK")) s->inTransaction = false;
    auto call = Step(e, begin ? e.BusyMs(s->properties, commandTimeout) : 0, commandTimeout,
                     [step](SqlEngine& c) { c.Transaction(step); });
    co_await call;
    if (s->session == session && s->database) s->inTransaction = begin;
}

Task<std::shared_ptr<Recordset>> OpenSchemaOn(SharedPtr s, long commandTimeout, int schema) {
    Database& e = OpenDatabase(s);
    if (schema != adSchemaTables)
        throw Error(adErrNotCapable,
                    QStringLiteral("Object or provider is not capable of performing requested operation."));
    auto call = e.Start<std::vector<std::vector<QVariant>>>([](SqlEngine& c) { return c.Tables(); },
                                                            Database::CommandLimit(commandTimeout),
                                                            e.BusyMs(s->properties, commandTimeout));
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
    : ConnectionTimeout(detail::DefaultConnectionSeconds()),
      CommandTimeout(detail::DefaultCommandSeconds()),
      s_(std::make_shared<Shared>()) {}

Connection::~Connection() {
    Close();
}

QString Connection::ConnectionString() const {
    return MaskPasswords(s_->connectionString);
}

QString Connection::MaskSecrets(const QString& text) const {
    return detail::MaskWithSecrets(text, s_->secrets);
}

Properties& Connection::GetProperties() {
    return s_->properties;
}

std::shared_ptr<const DriverCalls> Connection::Calls() const {
    return s_->calls;
}

Task<void> Connection::OpenAsync(QString connectionString, QString userId, QString password) {
    return OpenOn(s_, ConnectionTimeout, CommandTimeout, std::move(connectionString), std::move(userId),
                  std::move(password));
}

void Connection::Open(const QString& connectionString, const QString& userId, const QString& password, long) {
    WaitFor(OpenAsync(connectionString, userId, password));
}

void Connection::Close() {
    if (s_->database) CloseDatabase(s_);
}

int Connection::State() const {
    return s_->database ? adStateOpen : adStateClosed;
}

FileChange Connection::LetGoIfFileChanged() {
    FileChange out;
    if (!s_->database || !s_->database->IsSQLite()) return out;
    const std::shared_ptr<SqlEngine> engine = s_->database->engine;
    if (!engine->fileId.exists) return out;
    const FileIO::FileId now = FileIO::IdOf(engine->filePath);  // one stat
    if (now == engine->fileId) return out;
    out.changed = true;
    out.missing = !now.exists;
    out.toldBefore = engine->leftFor == now;
    engine->leftFor = now;
    out.refusal = LetGoOfFile(engine);
    return out;
}

Task<void> Connection::ExecuteAsync(QString sql) {
    return ExecuteOn(s_, CommandTimeout, std::move(sql));
}

void Connection::Execute(const QString& sql, long) {
    WaitFor(ExecuteAsync(sql));
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
    WaitFor(BeginTransAsync());
}

void Connection::CommitTrans() {
    WaitFor(CommitTransAsync());
}

void Connection::RollbackTrans() {
    WaitFor(RollbackTransAsync());
}

Task<std::shared_ptr<Recordset>> Connection::OpenSchemaAsync(int schema) {
    return OpenSchemaOn(s_, CommandTimeout, schema);
}

std::shared_ptr<Recordset> Connection::OpenSchema(int schema) {
    return WaitFor(OpenSchemaAsync(schema));
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
    detail::Database* database = connection.s_->database.get();
    if (!database) throw Error(adErrConnectionInvalid, kClosedText);
    const int busy = database->BusyMs(connection.GetProperties(), connection.CommandTimeout);
    auto call = database->Start<detail::QueryRows>([sql](SqlEngine& c) { return c.Query(sql); },
                                                   Database::CommandLimit(connection.CommandTimeout), busy);
    detail::QueryRows result = co_await call;
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
    WaitFor(OpenAsync(sql, connection, cursorType));
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
