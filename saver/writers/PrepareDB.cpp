// Preparation of a save group's single database target: file, connection, table and fields.
#include <QVariant>
#include <algorithm>
#include <chrono>

#include "common/ADOUtil.h"
#include "common/DBConnect.h"
#include "common/DateUtil.h"
#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "common/Texts.h"
#include "saver/writers/WriterUtil.h"
#include "saver/writers/Writers.h"

namespace {

const TextPair kCannotRun{"The program can not be running!", "本程式無法執行!"};
const TextPair kFileMissing{"The database file is not exist!", "資料庫檔案不存在!"};
const TextPair kFilePath{"The file path:[", "檔案路徑:["};
const TextPair kFileMissingCaption{"The database file is not exist", "資料庫檔案不存在"};
const TextPair kOpenError{"Open database error!", "開啟資料庫失敗!"};
const TextPair kOpenErrorString{"The database ConnectionString:", "資料庫連結字串:"};
const TextPair kTableMissing{"The Table is not exist!", "資料表不存在!"};
const TextPair kDatabaseName{"Database name: ", "資料庫名稱: "};
const TextPair kTableName{"Table name: ", "資料表名稱: "};
const TextPair kFieldHead{"The field[", "欄位["};
const TextPair kFieldTail{"] is not exist!", "]不存在!"};
const TextPair kSvlPath{"Svl file path: ", "Svl檔案路徑: "};
const TextPair kDbPath{"The database file path: ", "資料庫檔案路徑: "};
const TextPair kTheTableName{"The table name: ", "資料表名稱: "};

const TextPair kDriverBusy{
    "Calls of earlier connections have not come back from the server; no new connection is opened "
    "before one has.",
    "先前連線的呼叫尚未自伺服器返回; 在其中之一返回前不開啟新連線。"};
const TextPair kNextAttempt{"The last connection attempt failed; the next is made at ",
                            "上一次連線失敗; 下一次連線時間為 "};

const QString CRLF = QStringLiteral("\r\n");

// The error text as one line, without the opening line that the program cannot run: why a
// record could not be written.
QString CauseOf(const QString& errorText) {
    QStringList lines = errorText.split(CRLF);
    if (lines.size() > 1 && lines.front() == Tx(kCannotRun)) lines.removeFirst();
    return lines.join(u' ');
}

// Sets the program-wide error text and caption for English and Chinese only; any other
// language index leaves them as they were.
void SetError(const QString& text, const QString& caption) {
    const int li = State().LanguageIndex;
    if (li != 0 && li != 1) return;
    State().ErrorText = text;
    State().ErrorCaption = caption;
}

// The connection string of the group's single database, from its own settings; a server's data
// source is taken as stored.
QString BuildConnectionString(const xSvcSettings& s) {
    const QString type = s.dbDBTypeName.toUpper();
    if (type == QLatin1String("SQLSERVER"))
        return BuildSQLServerConnectionString(s.dbFullPath, s.dbProvider, s.dbDriver, s.dbDataSource,
                                              s.dbInitialCatalog, s.dbUserID, s.dbPassword,
                                              s.dbPersistSecurityInfo);
    if (type == QLatin1String("MYSQL"))
        return BuildMySQLConnectionString(s.dbFullPath, s.dbProvider, s.dbDriver, s.dbDataSource,
                                          s.dbInitialCatalog, s.dbUserID, s.dbPassword,
                                          s.dbPersistSecurityInfo);
    return BuildDBConnectionString(s.dbFullPath, s.dbProvider, s.dbDriver, s.dbDataSource, s.dbInitialCatalog,
                                   s.dbUserID, s.dbPassword, s.dbPersistSecurityInfo, s.dbNoOLEDB,
                                   s.dbExtendedProperties);
}

void SetLockProperties(ado::Connection& conn) {
    auto& props = conn.GetProperties();
    for (const char* name : {"Jet OLEDB:Lock Retry", "Jet OLEDB:Lock Delay"}) {
        if (SettingUtil::IsInCollection(QString::fromLatin1(name), props, true))
            props.Find(QString::fromLatin1(name))->Value = QVariant::fromValue<qint16>(100);
    }
}

// A call given up after its limit may stay in the driver for long (a peer that trickles its
// greeting holds it for minutes), each with a thread and a socket: at most this many of a group.
constexpr size_t kMaxCallsGivenUp = 3;

// Why a server connection is not opened now: an earlier connection's call is still in the driver
// within its limit, or as many given up as a group may leave there; or an attempt that timed out
// was made less than the connection timeout ago. Empty when it may be opened.
QString ServerOpenRefusal(xRuntimeInfo& r) {
    std::erase_if(r.ServerCalls, [](const auto& calls) { return !calls->InDriver(); });
    const size_t givenUp = static_cast<size_t>(std::count_if(
        r.ServerCalls.begin(), r.ServerCalls.end(), [](const auto& calls) { return calls->GivenUp(); }));
    if (givenUp < r.ServerCalls.size() || givenUp >= kMaxCallsGivenUp) return Tx(kDriverBusy);
    const auto now = std::chrono::steady_clock::now();
    if (now >= r.NextServerOpen) return QString();
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(r.NextServerOpen - now).count();
    return Tx(kNextAttempt) + WriterUtil::LogTime(DateUtil::AddSeconds(DateUtil::Now(), (wait + 999) / 1000));
}

}  // namespace

ado::Task<QString> PrepareDB(int16_t groupIndex, bool showError) {
    GroupWork work = co_await GroupWork::Take(groupIndex);
    co_return co_await PrepareDB(work, showError);
}

ado::Task<QString> PrepareDB(GroupWork& work, bool showError, QString* cause) {
    SaveGroupRecord& g = work.Group();
    xSvcSettings& s = work.S();
    xRuntimeInfo& r = work.R();
    QString connectionString;
    QString raised;          // description of a raised failure
    bool wasRaised = false;  // the preparation ended by a raised failure
    bool failed = false;     // a check failed or a failure was raised
    bool server = false;     // the connection's calls go to a server

    QString checked;  // the failed check's text
    const auto checkFailed = [&](const QString& text, const QString& caption) {
        SetError(text, caption);
        checked = text;
        if (showError) {
            MsgBox(State().ErrorText, MsgStyle::Critical, State().ErrorCaption);
            sysExit(-1);
        }
        failed = true;
    };

    QString timing;
    do {
        if (!s.dbFullPath.isEmpty() && !FileUtil::FileExists(s.dbFullPath)) {
            // A folder, device, pipe or socket at the path is named as what it is.
            checkFailed(Tx(kCannotRun) + CRLF + Tx(kFileMissing) + CRLF + Tx(kFilePath) + s.dbFullPath +
                            u']' + SettingUtil::NotAFileLine(s.dbFullPath),
                        Tx(kFileMissingCaption));
            break;
        }
        connectionString = BuildConnectionString(s);
        if (State().DebugLevel > 0)
            MsgBox(
                QStringLiteral("準備開啟資料庫:\r\n資料庫連結字串:") + ado::MaskPasswords(connectionString),
                MsgStyle::Information, QStringLiteral("準備開啟資料庫"));

        // A server that does not answer is not asked again while the group's calls are out, nor
        // more often than its connection timeout allows.
        server = ado::IsServerConnectionString(connectionString);
        if (server) {
            raised = ServerOpenRefusal(r);
            if (!raised.isEmpty()) {
                wasRaised = failed = true;
                break;
            }
        }

        r.rs.reset();
        r.conn = std::make_shared<ado::Connection>();
        const std::shared_ptr<ado::Connection> conn = r.conn;
        const long connectionTimeout = conn->ConnectionTimeout;
        double start = DateUtil::Now();
        bool timedOut = false;
        try {
            ado::Task<void> opening = conn->OpenAsync(connectionString);
            if (server) r.ServerCalls.push_back(conn->Calls());
            co_await std::move(opening);
        } catch (const ado::Error& e) {
            raised = e.Description;
            wasRaised = failed = true;
            timedOut = e.Number == ado::adErrTimeout;
        }
        // A server that did not answer in time is tried again one connection timeout later; one
        // that refused at once (not up yet) at the next record.
        if (server)
            r.NextServerOpen =
                timedOut ? std::chrono::steady_clock::now() + std::chrono::seconds(connectionTimeout)
                         : std::chrono::steady_clock::time_point{};
        if (failed) break;
        timing = QStringLiteral("Open Connection - ") +
                 QString::number(DateUtil::SecondBoundariesCrossed(start, DateUtil::Now())) +
                 QStringLiteral(" Sec.");
        SetLockProperties(*conn);

        if (conn->State() != ado::adStateOpen) {
            checkFailed(Tx(kOpenError) + CRLF + Tx(kOpenErrorString) + conn->ConnectionString(),
                        QStringLiteral("Open database error"));
            break;
        }
        if (!s.dbTableName.isEmpty()) {
            // A table listing that gets no answer is this group's failure, as a failed open is.
            bool exists = false;
            try {
                exists = co_await ADOUtil::TableExistsAsync(*conn, s.dbTableName);
            } catch (const ado::Error& e) {
                raised = e.Description;
                wasRaised = failed = true;
            }
            if (failed) break;
            if (!exists) {
                checkFailed(Tx(kCannotRun) + CRLF + Tx(kTableMissing) + CRLF + Tx(kDatabaseName) +
                                (State().LanguageIndex == 1 ? s.dbFullPath : s.dbFilePath) + CRLF +
                                Tx(kTableName) + s.dbTableName,
                            QStringLiteral("Table is not exist"));
                break;
            }
        }

        const auto rs = std::make_shared<ado::Recordset>();
        r.rs = rs;
        rs->CursorLocation = ado::adUseClient;
        start = DateUtil::Now();
        try {
            const QString table = s.dbTableName;
            if (!s.dbNoTableNameDelimiter) {
                co_await rs->OpenAsync(QStringLiteral("Select top 1 * from [") + table + u']', *conn,
                                       ado::adOpenUnspecified);
            } else {
                const QString type = s.dbDBTypeName.toUpper();
                QString sql;
                if (type == QLatin1String("ORACLE"))
                    sql = QStringLiteral("select * from ") + table + QStringLiteral(" where rownum=1");
                else if (type == QLatin1String("MYSQL"))
                    sql = QStringLiteral("SELECT * From ") + table + QStringLiteral(" LIMIT 1");
                else
                    sql = QStringLiteral("Select top 1 * from ") + table;
                co_await rs->OpenAsync(sql, *conn, ado::adOpenDynamic);
            }
            timing += CRLF + QStringLiteral("RS open - ") +
                      QString::number(DateUtil::SecondBoundariesCrossed(start, DateUtil::Now())) +
                      QStringLiteral("Sec.");
        } catch (const ado::Error& e) {
            raised = e.Description;
            wasRaised = failed = true;
        }
        if (failed) break;

        for (int i = 1; i <= g.FieldCount; ++i) {
            const QString name = g.F(i).FieldName;
            if (!ADOUtil::RecordsetHasField(rs, name)) {
                checkFailed(Tx(kCannotRun) + CRLF + Tx(kFieldHead) + name + Tx(kFieldTail) + CRLF +
                                Tx(kSvlPath) + s.SvcFilePath + CRLF + Tx(kDbPath) + s.dbFullPath + CRLF +
                                Tx(kTheTableName) + s.dbTableName,
                            QStringLiteral("The field is not exist"));
                break;
            }
        }
    } while (false);

    // Passwords never reach the log file.
    const QString logged = ado::MaskPasswords(connectionString);
    if (cause) *cause = !failed ? QString() : wasRaised ? raised : CauseOf(checked);
    if (!failed) {
        WriteLog(WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
                 QStringLiteral(" | PrepareDB OK! Append to Database, SQL Command:") + logged);
        co_return timing;
    }

    // A connection whose preparation failed on the way is not used: the next record prepares
    // again rather than sending its statement on a connection that may be lost.
    if (wasRaised && WriterUtil::IsOpen(r.conn)) {
        r.rs.reset();
        r.conn->Close();
    }
    WriteLog(WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
             QStringLiteral(" | PrepareDB Fail! Append to Database, SQL Command:") + logged);
    WriteLog(QStringLiteral("Error Description = ") + (wasRaised ? raised : State().ErrorCaption));
    if (State().DebugLevel > 0) {
        MsgBox(raised, MsgStyle::Critical, QStringLiteral("PrepareDB"));
        MsgBox(QStringLiteral("開啟資料庫失敗!\r\n資料庫連結字串:") +
                   (r.conn ? r.conn->ConnectionString() : QString()),
               MsgStyle::Critical, QStringLiteral("開啟資料庫失敗"));
    }
    co_return raised;
}
