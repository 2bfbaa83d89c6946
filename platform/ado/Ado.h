// Database connections and recordsets in the shape the system's code expects of them, over
// QtSql. The provider named in the connection string picks the engine:
//   Microsoft.Jet.OLEDB.4.0, Microsoft.ACE.OLEDB.12.0 -> SQLite file (Data Source, or DBQ)
//   MSDASQL.1 -> ODBC (an Excel driver goes to the SQLite engine)
//   SQLOLEDB.1 -> FreeTDS ODBC;  MSDAORA.1 -> ODBC data source
// Every failure is raised as ado::Error with a number and a description.
#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <stdexcept>
#include <vector>

namespace ado {

struct Error : std::runtime_error {
    long Number;
    QString Description;
    Error(long n, const QString& d) : std::runtime_error(d.toStdString()), Number(n), Description(d) {}
};

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
class Engine;  // the QtSql side of one open connection

class Connection {
  public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens from a connection string. A missing database file is never created; a file that is
    // not an SQLite database is refused.
    void Open(const QString& connectionString, const QString& userId = QString(),
              const QString& password = QString(), long options = -1);
    void Close();
    int State() const;
    // The connection string as given to Open (the caller's own text).
    QString ConnectionString() const { return connectionString_; }
    Properties& GetProperties() { return properties_; }

    // Runs one statement; rows it returns are not kept.
    void Execute(const QString& sql, long options = -1);
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    // Schema rows: adSchemaTables gives TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE.
    std::shared_ptr<Recordset> OpenSchema(int schema);

    Engine* engine() const { return engine_.get(); }

  private:
    QString connectionString_;
    Properties properties_;
    std::unique_ptr<Engine> engine_;
};

class Recordset {
  public:
    int CursorLocation = adUseServer;

    // Runs the query on the connection and holds its rows.
    void Open(const QString& sql, Connection& connection, int cursorType = adOpenUnspecified,
              int lockType = adLockUnspecified, long options = -1);
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
};

}  // namespace ado
