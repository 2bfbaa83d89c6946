// Database connections and recordsets in the shape the system's code expects of them, over
// QtSql. The provider named in the connection string picks the engine:
//   Microsoft.Jet.OLEDB.4.0, Microsoft.ACE.OLEDB.12.0 -> SQLite file (Data Source, or DBQ)
//   MSDASQL.1 -> ODBC (an Excel driver goes to the SQLite engine)
//   SQLOLEDB.1 -> FreeTDS ODBC;  MSDAORA.1 -> ODBC data source
// Every failure is raised as ado::Error with a number and a description; descriptions never
// carry a password.
// Waits are bounded: every driver call of a server connection runs on the connection's own
// thread, within the connection's ConnectionTimeout or CommandTimeout. A plain call waits for it
// and runs the wait hook meanwhile (see SetWaitHook in WorkQueue.h); an ...Async call is awaited
// by a coroutine instead, so that the thread goes on with other work (Task.h).
#pragma once
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/ado/Task.h"

namespace ado {

struct Error : std::runtime_error {
    long Number;
    QString Description;
    // A statement so failed may have been carried out all the same: it was with the server, and
    // no answer tells how it ended (given up after its timeout, or the link lost meanwhile).
    bool OutcomeUnknown = false;
    Error(long n, const QString& d) : std::runtime_error(d.toStdString()), Number(n), Description(d) {}
};

// Error numbers raised here.
constexpr long adErrProvider = -2147467259;       // the engine refused (open, I/O)
constexpr long adErrStatement = -2147217900;      // the statement failed
constexpr long adErrNoCurrentRecord = 3021;       // BOF or EOF
constexpr long adErrItemNotFound = 3265;          // no such field
constexpr long adErrNotAllowedClosed = 3704;      // the object is closed
constexpr long adErrConnectionInvalid = 3709;     // the connection is closed
constexpr long adErrNotCapable = 3251;            // the operation is not supported
constexpr long adErrBackward = -2147217884;       // a forward-only recordset moved back
constexpr long adErrNoTransaction = -2147168242;  // commit or rollback without a transaction
constexpr long adErrTransactionExists = -2147168237;
constexpr long adErrTimeout = -2147217871;  // the connection or command timeout passed

// The timeouts that new connections start with (ADO's 15 and 30 seconds); tests shorten them.
void SetDefaultTimeouts(long connectionSeconds, long commandSeconds);

// Connection strings: "key=value;" pieces. A value may be quoted with {..} ("}}" stands for
// "}") or with double quotes (two quotes stand for one); keys are matched without regard to
// letter case.
using ConnectionStringPieces = QList<QPair<QString, QString>>;
ConnectionStringPieces ParseConnectionString(const QString& text);
// The value of a key (last piece wins), or a null text.
QString ConnectionStringValue(const ConnectionStringPieces& pieces, const QString& key);
// The value unchanged when the parser reads it back as is; otherwise quoted with {..}. With
// `keepQuoted`, a value that is already one whole quoted value ("{MySQL ODBC Driver}",
// "\"Excel 8.0;HDR=Yes\"") stays as it is.
QString QuoteConnectionValue(const QString& value, bool keepQuoted = false);
// The value wrapped in double quotes, inner quotes doubled.
QString DoubleQuoteConnectionValue(const QString& value);
// The text with every password value of a connection string replaced by "****".
QString MaskPasswords(const QString& text);

// How a connection string is served here (for checks of the mapping).
struct ConnectionPlan {
    enum class Kind { SQLite, Odbc } kind = Kind::SQLite;
    QString filePath;      // SQLite: the database file as given (Windows form)
    bool excel = false;    // an Excel workbook (worksheets are listed as system tables)
    bool jet = false;      // Jet/ACE semantics: Jet properties, Jet SQL translation
    bool mysql = false;    // a MariaDB/MySQL server (schema rows of the current database only)
    bool freeTds = false;  // a SQL Server through FreeTDS
    QString odbcDatabase;  // ODBC: the connection string or data source name handed to QODBC
    QString odbcUser;      // ODBC: user and password handed separately (data source names)
    QString odbcPassword;
    QStringList secrets;  // password values, masked in every error text
};
// Works out the engine for a connection string; raises Error when it cannot be served.
ConnectionPlan PlanConnection(const QString& connectionString);
// Whether a connection string's calls go to a database server (on the connection's own thread),
// not to an SQLite file.
bool IsServerConnectionString(const QString& connectionString);

// Copies an SQLite database file through the engine (a snapshot of what is committed in it,
// also while other connections write it): written beside the target under a temporary name,
// synced, then given the target's name, which must not exist. Paths in Windows form. Empty on
// success, else why it failed.
QString CopyDatabaseFile(const QString& source, const QString& target);

constexpr int adStateClosed = 0;
constexpr int adStateOpen = 1;
constexpr int adUseServer = 2;
constexpr int adUseClient = 3;
constexpr int adOpenUnspecified = -1;
constexpr int adOpenForwardOnly = 0;
constexpr int adOpenKeyset = 1;
constexpr int adOpenDynamic = 2;
constexpr int adOpenStatic = 3;
constexpr int adLockUnspecified = -1;
constexpr int adLockReadOnly = 1;
constexpr int adLockPessimistic = 2;
constexpr int adLockOptimistic = 3;
constexpr long adApproxPosition = 16384;
constexpr long adBookmark = 8192;
constexpr long adMovePrevious = 512;
constexpr int adSchemaTables = 20;
constexpr long adPosUnknown = -1;
constexpr long adPosBOF = -2;
constexpr long adPosEOF = -3;

struct Property {
    QString Name;
    QVariant Value;
};

class Properties {
  public:
    int Count() const { return static_cast<int>(items_.size()); }
    Property& Item(int index) { return items_.at(static_cast<size_t>(index)); }
    const Property& Item(int index) const { return items_.at(static_cast<size_t>(index)); }
    // The property of that name (letter case ignored), or null.
    Property* Find(const QString& name);
    void Add(const QString& name, const QVariant& value) { items_.push_back({name, value}); }
    void Clear() { items_.clear(); }

  private:
    std::vector<Property> items_;
};

struct Field {
    QString Name;
    int Type = 0;  // ADO type code: 3 integer, 5 double, 7 date, 11 boolean, 202 text, 203 memo
    QVariant Value;
};

class Recordset;

// The path of a connection's database file no longer names the file it opened: the file was
// moved, deleted or replaced meanwhile.
struct FileChange {
    bool changed = false;
    bool missing = false;     // no file is at the path now; else another file is
    QString refusal;          // why the file is still held; empty once it was let go
    bool toldBefore = false;  // an earlier call found this same change (the file is still held)
};

// Whether driver calls of a connection are still under way: kept after the connection is
// released, so that its owner does not open another one while the last call has not come back.
class DriverCalls {
  public:
    virtual ~DriverCalls() = default;
    virtual bool InDriver() const = 0;
    // A call was given up after its limit (or the driver gave up by its own timeout): the
    // connection is lost, and the call may stay in the driver for long.
    virtual bool GivenUp() const = 0;
};

class Connection {
  public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Seconds, as ADO's. Opening gives up after ConnectionTimeout; a statement, a schema
    // listing or a transaction step after CommandTimeout (SQLite: its busy waits on locks held
    // by others). The driver's own connect, read and write timeouts are set from the values at
    // Open. 0 or less takes the default.
    long ConnectionTimeout;
    long CommandTimeout;

    // Opens from a connection string. A missing database file is never created; a file that is
    // not an SQLite database is refused.
    void Open(const QString& connectionString, const QString& userId = QString(),
              const QString& password = QString(), long options = -1);
    Task<void> OpenAsync(QString connectionString, QString userId = QString(), QString password = QString());
    // Never waits for a server: a call still under way is left to end (and the database to
    // close) on the connection's own thread.
    void Close();
    int State() const;
    // Before a record through a database file the connection holds: one stat of its path. When
    // the path no longer names the file, every connection of this process to that file is let go
    // together (they share its cache, which a connection opened by the path would join): its log
    // is folded back into it first, so that it holds every commit, then removed from the path, so
    // that it is never read over a file put there. Each of them then reports closed, and opening
    // by the path finds what is there now. While another program still reads the log, the file
    // is held and `refusal` says why, and a later call that finds the path as it was then marks
    // the change as told before. A server's connection reports no change.
    FileChange LetGoIfFileChanged();
    // The connection string as given to Open, passwords masked with "****" (as a connection
    // that does not persist its security information reports it).
    QString ConnectionString() const;
    Properties& GetProperties();

    // Runs one statement; rows it returns are not kept.
    void Execute(const QString& sql, long options = -1);
    Task<void> ExecuteAsync(QString sql);
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    Task<void> BeginTransAsync();
    Task<void> CommitTransAsync();
    Task<void> RollbackTransAsync();
    // Schema rows: adSchemaTables gives TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE.
    std::shared_ptr<Recordset> OpenSchema(int schema);
    Task<std::shared_ptr<Recordset>> OpenSchemaAsync(int schema);

    // The calls of the last database this connection opened or tried to open (none before).
    std::shared_ptr<const DriverCalls> Calls() const;
    // The description with this connection's passwords masked.
    QString MaskSecrets(const QString& text) const;

    struct Shared;  // what the connection's calls under way share with it

  private:
    friend class Recordset;
    std::shared_ptr<Shared> s_;
};

class Recordset {
  public:
    int CursorLocation = adUseServer;

    // Runs the query on the connection and holds its rows. The recordset and the connection
    // must outlive the work that awaits OpenAsync.
    void Open(const QString& sql, Connection& connection, int cursorType = adOpenUnspecified,
              int lockType = adLockUnspecified, long options = -1);
    Task<void> OpenAsync(QString sql, Connection& connection, int cursorType = adOpenUnspecified);
    void Close();
    int State() const { return open_ ? adStateOpen : adStateClosed; }

    bool BOF() const;
    bool EOF_() const;  // EOF is a macro of the C library
    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    long RecordCount() const;
    bool Supports(long option) const;
    long AbsolutePosition() const;
    void SetAbsolutePosition(long position);
    std::shared_ptr<Recordset> Clone(int lockType = adLockUnspecified) const;

    int FieldCount() const { return static_cast<int>(names_.size()); }
    Field GetField(int index) const;                 // of the current row
    QVariant Value(const QString& fieldName) const;  // of the current row; letter case ignored

    int CursorType() const { return cursorType_; }
    // Every row as fetched (for disconnected copies).
    const QStringList& FieldNames() const { return names_; }
    const std::vector<int>& FieldTypes() const { return types_; }
    const std::vector<std::vector<QVariant>>& Rows() const { return rows_; }

    // Builds a recordset from rows already at hand (schema rows, copies).
    static std::shared_ptr<Recordset> FromRows(const QStringList& names, const std::vector<int>& types,
                                               std::vector<std::vector<QVariant>> rows, int cursorLocation);

  private:
    bool open_ = false;
    int cursorType_ = adOpenForwardOnly;
    QStringList names_;
    std::vector<int> types_;
    std::vector<std::vector<QVariant>> rows_;
    long pos_ = 0;  // 0-based row; -1 BOF; rows_.size() EOF

    void RequireOpen() const;
    void RequireBackward() const;
    long Size() const { return static_cast<long>(rows_.size()); }
};

}  // namespace ado
