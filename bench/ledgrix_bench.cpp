// Benchmark of the saver: throughput and CPU time per record against the raw engine, trigger
// latency, idle CPU, peak memory and the reading of the settings at start. It runs the real
// Ledgrix and hexvane-sim programs on generated projects in a private program folder, prints a
// table and writes bench-results.json in the build tree. The MYSQL row needs the test MariaDB server
// (LEDGRIX_TEST_MYSQL_*, see scripts/mariadb.sh; scripts/bench.sh starts one).
//
//   ledgrix-bench [--quick] [--only throughput|mysql|latency|idle|memory] [--target ACCESS|CSV]
//                 [--groups 1|8|64] [--out FILE]
// Beside the 64-group CSV row, one of 63 CSV groups and a MYSQL group whose server never answers.
#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <tuple>

#include "common/DateUtil.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "platform/ado/Ado.h"
#include "platform/ado/JetSql.h"
#include "platform/ptserv32/ptserv32.h"
#include "tests/support/SilentServer.h"

namespace {

bool g_quick = false;

void WriteText(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QString t = text;
    t.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    f.write(t.toUtf8());
}

bool Exec(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        std::fprintf(stderr, "bench: %s: %s\n", qPrintable(sql), qPrintable(q.lastError().text()));
        return false;
    }
    return true;
}

// A private program folder with copies of the programs, and one project "Bench".
class Workspace {
  public:
    Workspace(int fields, bool useTimer) : fields_(fields) {
        const QString bin = dir_.path() + QStringLiteral("/bin");
        QDir().mkpath(bin);
        for (const char* f : {"Ledgrix", "hexvane-sim", "PTSERV32.dll", "help.txt"}) {
            const QString name = QString::fromLatin1(f);
            QFile::copy(QStringLiteral(LEDGRIX_BIN_DIR "/") + name, bin + u'/' + name);
            QFile(bin + u'/' + name)
                .setPermissions(QFile(QStringLiteral(LEDGRIX_BIN_DIR "/") + name).permissions());
        }
        QString set = QStringLiteral(
            "[ML]\nAppliedLangName=English\n[BASIC]\nIsUseTimer=%1\nTimerInterval=%2\n[DBTYPELIST]\n"
            "DBTYPE1=Access database (*.mdb){ACCESS}\nDBTYPE2=CSV file (*.csv){CSV}\nDBTYPE3=MySQL{MYSQL}\n"
            "[ACCESS]\ndbProvider=Microsoft.Jet.OLEDB.4.0\ndbPersistSecurityInfo=False\n[CSV]\n"
            "[MYSQL]\ndbProvider=MSDASQL.1\ndbDriver={MySQL ODBC 3.51 Driver}\ndbPersistSecurityInfo=False\n"
            "dbNoOLEDB=True\ndbNoTableNameDelimiter=True\ndbNoFieldNameDelimiter=True\n");
        WriteText(bin + QStringLiteral("/Ledgrix.set"), set.arg(useTimer ? 1 : 0).arg(useTimer ? 100 : 500));
        project_ = dir_.path() + QStringLiteral("/Project/Bench");
        QDir().mkpath(project_ + QStringLiteral("/dat/Ledgrix"));
        QDir().mkdir(dir_.path() + QStringLiteral("/run"),
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Tag database.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tags"));
        db.setDatabaseName(project_ + QStringLiteral("/Bench.pam"));
        db.open();
        Exec(db, QStringLiteral("CREATE TABLE Tag(TagName TEXT, Class TEXT)"));
        for (int i = 1; i <= 254; ++i)
            Exec(db, QStringLiteral("INSERT INTO Tag VALUES('F%1','ANALOG')").arg(i));
        for (const char* t : {"TRIG", "STOP", "ALIVE"})
            Exec(db, QStringLiteral("INSERT INTO Tag VALUES('%1','DIGITAL')").arg(QLatin1String(t)));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("tags"));
    }

    // Adds a group of `fields` fields (the first the record time).
    // `basic` adds lines to the [Basic] section (a server target's connection).
    void AddGroup(const QString& name, const QString& type, double cycle, const QString& trigger = QString(),
                  const QString& basic = QString()) {
        groups_.append(name);
        QString svc =
            QStringLiteral("[Basic]\ndbIsDefaultFilePath=1\ndbFilePath=\ndbFileName=bench.mdb\n") + basic;
        svc += QStringLiteral("dbTableName=%1\n\ndbDBTypeName=%2\nSaveTimeInterval=%3\ndbSWriteMode=0\n")
                   .arg(type == QLatin1String("CSV") ? QString() : name, type, QString::number(cycle));
        svc += QStringLiteral(
                   "dbSTriggerTag=%1\ndbSPurgeKeepDays=-1\n[CSV]\ndbSCSVDelimiterCharacter=,\n"
                   "dbSCSVUseFieldTitle=1\ndbSCSVNewlineCharacter=CRLF\n"
                   "dbSCSVKeepConnectionAliveAfterSaveData=1\n[FieldList]\nfd1=Time,^DATETIME,,-1\n")
                   .arg(trigger);
        QString columns = QStringLiteral("[Time] DATETIME");
        for (int i = 2; i <= fields_; ++i) {
            svc += QStringLiteral("fd%1=V%1,F%2.VALUE,2,-1\n").arg(i).arg(i - 1);
            columns += QStringLiteral(", V%1 DOUBLE").arg(i);
        }
        WriteText(project_ + QStringLiteral("/cfg/WS1/") + name + QStringLiteral(".svc"), svc);
        if (type == QLatin1String("ACCESS")) tables_.append({name, columns});
    }

    void Finish() {
        QString svl = QStringLiteral(
            "[SystemBasic]\ndbSLiveAlone=1\ndbSStopTag=STOP\ndbSAliveTag=ALIVE\ndbSDuringSavingTag=\n"
            "dbSUserMode=0\ndbSLogDisable=1\ndbSLogFileName=\ndbSIsSvcDefaultPath=1\ndbSIsHideLedgrix=0\n"
            "[ModuleList]\n");
        for (int i = 0; i < groups_.size(); ++i)
            svl += QStringLiteral("Module%1=%2,%2.svc\n").arg(i + 1).arg(groups_[i]);
        WriteText(project_ + QStringLiteral("/cfg/WS1/Ledgrix.svl"), svl);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("mdb"));
        db.setDatabaseName(DatabaseFile());
        db.open();
        for (const auto& t : tables_)
            Exec(db, QStringLiteral("CREATE TABLE [%1] (%2)").arg(t.first, t.second));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("mdb"));
    }

    QString Bin() const { return dir_.path() + QStringLiteral("/bin"); }
    QString DatabaseFile() const { return project_ + QStringLiteral("/dat/Ledgrix/bench.mdb"); }
    QString CsvFile(const QString& group) const {
        return project_ + QStringLiteral("/dat/Ledgrix/") + group + ".csv";
    }
    QProcessEnvironment Env() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LEDGRIX_WINDOW_DIR"), dir_.path() + QStringLiteral("/run"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LEDGRIX_MSGBOX"), QStringLiteral("stderr"));
        return env;
    }
    const QStringList& Groups() const { return groups_; }

  private:
    QTemporaryDir dir_;
    int fields_;
    QString project_;
    QStringList groups_;
    QList<QPair<QString, QString>> tables_;
};

// The HMI runtime and the saver, running.
class Plant {
  public:
    explicit Plant(const Workspace& ws) : ws_(ws) {
        sim_.setProcessEnvironment(ws.Env());
        sim_.setWorkingDirectory(ws.Bin());
        sim_.start(ws.Bin() + QStringLiteral("/hexvane-sim"),
                   {QStringLiteral("run"), QStringLiteral("../Project/Bench")});
        sim_.waitForStarted();
        for (int i = 0; i < 100 && !Sim({QStringLiteral("list")}); ++i) QThread::msleep(50);
        saver_.setProcessEnvironment(ws.Env());
        saver_.setWorkingDirectory(ws.Bin());
        saver_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // LEDGRIX_BENCH_WRAP runs the saver under a tool (a profiler), e.g. "perf record -g".
        QStringList wrap = qEnvironmentVariable("LEDGRIX_BENCH_WRAP").split(u' ', Qt::SkipEmptyParts);
        QStringList saverArgs{ws.Bin() + QStringLiteral("/Ledgrix"), QStringLiteral("Bench"),
                              QStringLiteral("WS1")};
        if (wrap.isEmpty()) {
            saver_.start(saverArgs.takeFirst(), saverArgs);
        } else {
            const QString tool = wrap.takeFirst();
            saver_.start(tool, wrap + saverArgs);
        }
        saver_.waitForStarted();
        // Running once the alive tag is 1.
        for (int i = 0; i < 200; ++i) {
            if (SimValue(QStringLiteral("ALIVE")) == 1) break;
            QThread::msleep(50);
        }
    }
    ~Plant() {
        Stop();
        sim_.terminate();
        sim_.waitForFinished(5000);
    }
    void Stop() {
        if (saver_.state() == QProcess::NotRunning) return;
        Sim({QStringLiteral("set"), QStringLiteral("STOP"), QStringLiteral("1")});
        if (!saver_.waitForFinished(20000)) {
            saver_.kill();
            saver_.waitForFinished();
        }
    }
    bool Sim(const QStringList& args) const {
        QProcess p;
        p.setProcessEnvironment(ws_.Env());
        p.start(ws_.Bin() + QStringLiteral("/hexvane-sim"), args);
        p.waitForFinished(5000);
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    double SimValue(const QString& tag) const {
        QProcess p;
        p.setProcessEnvironment(ws_.Env());
        p.start(ws_.Bin() + QStringLiteral("/hexvane-sim"), {QStringLiteral("get"), tag});
        p.waitForFinished(5000);
        const QStringList cols = QString::fromUtf8(p.readAllStandardOutput()).split(u'\t');
        return cols.size() > 2 ? cols[2].toDouble() : -1;
    }
    qint64 Pid() const { return saver_.processId(); }

  private:
    const Workspace& ws_;
    QProcess sim_;
    QProcess saver_;
};

double CpuSeconds(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QString s = QString::fromLatin1(f.readAll());
    const QStringList fields = s.mid(s.lastIndexOf(u')') + 2).split(u' ');
    // utime and stime are fields 14 and 15 of the line, 12 and 13 after the command name.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
}

double PeakMemoryMb(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// CPU seconds of the calling thread.
double ThreadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

qint64 CountRows(const QString& file, const QString& table) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
    db.setDatabaseName(file);
    qint64 n = -1;
    if (db.open()) {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT count(*) FROM [%1]").arg(table)) && q.next())
            n = q.value(0).toLongLong();
        db.close();
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return n;
}

qint64 CountLines(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    return f.readAll().count('\n');
}

// The statement of one record as the saver writes it: Jet text with bracketed names and a
// millisecond time, or for MySQL plain names and the time to the second.
QString InsertStatement(const QString& table, int fields, int row, bool mysql = false) {
    const QString open = mysql ? QString() : QStringLiteral("["),
                  close = mysql ? QString() : QStringLiteral("]");
    QString cols = open + QStringLiteral("Time") + close;
    QString vals = mysql ? QStringLiteral("'2024/03/05 10:%1:%2'")
                               .arg(row / 60 % 60, 2, 10, QLatin1Char('0'))
                               .arg(row % 60, 2, 10, QLatin1Char('0'))
                         : QStringLiteral("'2024/03/05 10:00:%1.%2 AM'")
                               .arg(row / 100 % 60, 2, 10, QLatin1Char('0'))
                               .arg(row % 100 * 10, 3, 10, QLatin1Char('0'));
    for (int i = 2; i <= fields; ++i) {
        cols += QStringLiteral(", ") + open + QStringLiteral("V%1").arg(i) + close;
        vals += QStringLiteral(",%1").arg(i * 1.25 + row);
    }
    return QStringLiteral("Insert Into %1 (%2) Values (%3 )").arg(open + table + close, cols, vals);
}

// The raw engine: the same statements, one transaction each, with the database layer's pragmas.
struct RawRates {
    double sqlitePerSecond = 0;
    double commitMs = 0;     // mean
    double commitP50Ms = 0;  // percentiles of single commits
    double commitP99Ms = 0;
    double csvPerSecond = 0;
    double sqliteCpuUs = 0;  // CPU time per statement and commit, the engine's own
    double csvCpuUs = 0;     // CPU time per appended line
};

// The raw engine on one SQLite file: a table of `fields` columns, one durable commit per record
// with the database layer's pragmas.
class RawSqlite {
  public:
    RawSqlite(const QString& file, int fields) : fields_(fields) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kName);
        db.setDatabaseName(file);
        db.open();
        Exec(db, QStringLiteral("PRAGMA synchronous=FULL"));
        Exec(db, QStringLiteral("PRAGMA journal_mode=WAL"));
        QString columns = QStringLiteral("[Time] DATETIME");
        for (int i = 2; i <= fields; ++i) columns += QStringLiteral(", V%1 DOUBLE").arg(i);
        Exec(db, QStringLiteral("CREATE TABLE [G1] (%1)").arg(columns));
    }
    ~RawSqlite() {
        QSqlDatabase::database(kName, false).close();
        QSqlDatabase::removeDatabase(kName);
    }
    // Milliseconds of one record's statement and commit.
    double Commit(int row) {
        QSqlDatabase db = QSqlDatabase::database(kName, false);
        QElapsedTimer one;
        one.start();
        const QString sql =
            ado::jet::Translate(InsertStatement(QStringLiteral("G1"), fields_, row), [](const QString&) {
                return QHash<QString, QString>{{QStringLiteral("TIME"), QStringLiteral("DATETIME")}};
            });
        Exec(db, QStringLiteral("BEGIN"));
        Exec(db, sql);
        Exec(db, QStringLiteral("COMMIT"));
        return one.nsecsElapsed() / 1e6;
    }

  private:
    static inline const QString kName = QStringLiteral("raw");
    int fields_;
};

// Median and 99th percentile of samples.
std::pair<double, double> Percentiles(std::vector<double> samples) {
    if (samples.empty()) return {0, 0};
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[std::min(samples.size() - 1, samples.size() * 99 / 100)]};
}

RawRates MeasureRaw(int fields) {
    RawRates r;
    QTemporaryDir dir;
    const int n = g_quick ? 200 : 1000;
    std::vector<double> each;
    {
        RawSqlite raw(dir.path() + QStringLiteral("/raw.mdb"), fields);
        QElapsedTimer t;
        double cpu = ThreadCpuSeconds();
        t.start();
        for (int i = 0; i < n; ++i) each.push_back(raw.Commit(i));
        const double secs = t.nsecsElapsed() / 1e9;
        r.sqliteCpuUs = (ThreadCpuSeconds() - cpu) / n * 1e6;
        r.sqlitePerSecond = n / secs;
        r.commitMs = secs * 1000.0 / n;
    }
    std::tie(r.commitP50Ms, r.commitP99Ms) = Percentiles(each);
    QElapsedTimer t;
    double cpu = 0;

    QFile csv(dir.path() + QStringLiteral("/raw.csv"));
    csv.open(QIODevice::WriteOnly | QIODevice::Append);
    QString line = QStringLiteral("2024/03/05 10:00:00.010");
    for (int i = 2; i <= fields; ++i) line += QStringLiteral(",%1").arg(i * 1.25);
    const QByteArray bytes = (line + QStringLiteral("\r\n")).toUtf8();
    const int m = g_quick ? 20000 : 100000;
    cpu = ThreadCpuSeconds();
    t.restart();
    for (int i = 0; i < m; ++i) {
        csv.write(bytes);
        csv.flush();
    }
    r.csvPerSecond = m / (t.nsecsElapsed() / 1e9);
    r.csvCpuUs = (ThreadCpuSeconds() - cpu) / m * 1e6;
    return r;
}

struct ThroughputRow {
    QString target;
    int groups = 0;
    double seconds = 0;
    double demanded = 0;
    double saved = 0;
    double perSecond = 0;
    double lost = 0;
    double raw = 0;
    double cpuUs = 0;     // the saver's CPU time per record saved
    double rawCpuUs = 0;  // the raw engine's CPU time per record
};

// Records saved so far by the groups of a workspace (or those given).
qint64 CountSaved(const Workspace& ws, const QString& type, const QStringList& groups = {}) {
    qint64 saved = 0;
    for (const QString& g : groups.isEmpty() ? ws.Groups() : groups)
        saved += type == QLatin1String("CSV") ? std::max<qint64>(0, CountLines(ws.CsvFile(g)) - 1)
                                              : std::max<qint64>(0, CountRows(ws.DatabaseFile(), g));
    return saved;
}

// Records missing from the CSV files of a workspace in the whole seconds `from` to `to` (date
// values, both included), `perSecond` demanded of each group. Every second of a slot schedule
// holds the same number of slots, whatever its phase, and a record's first item is its slot's
// time to the second: this counts the skipped slots themselves, free of the moment the files
// are counted at.
qint64 MissingCsvRecords(const Workspace& ws, double from, double to, int perSecond,
                         const QStringList& groups = {}) {
    const qint64 first = std::llround(from * 86400), last = std::llround(to * 86400);
    qint64 missing = 0;
    for (const QString& g : groups.isEmpty() ? ws.Groups() : groups) {
        QFile f(ws.CsvFile(g));
        QHash<qint64, int> perSecondSaved;
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray& line : f.readAll().split('\n'))
                if (const auto t = DateUtil::Parse(QString::fromUtf8(line.left(line.indexOf(',')))))
                    ++perSecondSaved[std::llround(*t * 86400)];
        for (qint64 s = first; s <= last; ++s) missing += std::max(0, perSecond - perSecondSaved.value(s));
    }
    return missing;
}

// Runs the plant for the measured time, `perGroup` records a second demanded of each group.
// The records saved and the saver's CPU time are taken over the measured time alone, after the
// start-up. `missing`, where given, counts the records missing in whole seconds (the first and
// the last, date values) within the measured time; else the lost slots are the records demanded
// less those saved.
ThroughputRow RunThroughput(const Workspace& ws, double seconds, double perGroup,
                            const std::function<qint64()>& count,
                            const std::function<qint64(double, double)>& missing = nullptr) {
    ThroughputRow row;
    Plant plant(ws);
    QThread::msleep(300);
    const double cpu0 = CpuSeconds(plant.Pid());
    const double start = DateUtil::Now();  // to the second, not after the time itself
    const qint64 n0 = count();
    QElapsedTimer t;
    t.start();
    QThread::msleep(static_cast<unsigned long>(seconds * 1000));
    const double end = DateUtil::Now();
    const qint64 n1 = count();
    const double elapsed = t.nsecsElapsed() / 1e9;
    const double cpu1 = CpuSeconds(plant.Pid());
    plant.Stop();
    row.groups = static_cast<int>(ws.Groups().size());
    row.seconds = elapsed;
    row.demanded = row.groups * perGroup;
    row.saved = static_cast<double>(n1 - n0);
    row.perSecond = row.saved / elapsed;
    constexpr double kSecond = 1.0 / 86400;
    row.lost = missing ? static_cast<double>(missing(start + kSecond, end - kSecond))
                       : std::max(0.0, std::round(row.demanded * elapsed - row.saved));
    row.cpuUs = n1 > n0 ? (cpu1 - cpu0) / row.saved * 1e6 : 0;
    return row;
}

ThroughputRow MeasureThroughput(const QString& type, int groups, const RawRates& raw) {
    const int fields = 50;
    Workspace ws(fields, false);
    for (int g = 1; g <= groups; ++g) ws.AddGroup(QStringLiteral("G%1").arg(g), type, 0.01);
    ws.Finish();
    // The disk of a shared machine changes by the minute: the raw commits are measured again
    // just before and after the row, on a file beside the saver's, and their rates averaged.
    const bool csv = type == QLatin1String("CSV");
    auto rawBeside = [&](const QString& name) {
        RawSqlite rawFile(QFileInfo(ws.DatabaseFile()).path() + u'/' + name, fields);
        const int n = g_quick ? 100 : 300;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i) rawFile.Commit(i);
        return n / (t.nsecsElapsed() / 1e9);
    };
    const double rawBefore = csv ? 0 : rawBeside(QStringLiteral("raw1.mdb"));
    auto missing = [&](double from, double to) { return MissingCsvRecords(ws, from, to, 100); };
    ThroughputRow row = RunThroughput(
        ws, g_quick ? 3 : 10, 100, [&] { return CountSaved(ws, type); },
        csv ? std::function<qint64(double, double)>(missing) : nullptr);
    row.target = csv ? QStringLiteral("CSV") : QStringLiteral("ACCESS (SQLite)");
    row.raw = csv ? raw.csvPerSecond : (rawBefore + rawBeside(QStringLiteral("raw2.mdb"))) / 2;
    row.rawCpuUs = type == QLatin1String("CSV") ? raw.csvCpuUs : raw.sqliteCpuUs;
    return row;
}

// 63 CSV groups on 10 ms beside one MYSQL group whose server accepts connections and never
// answers: the CSV groups are measured, as in the 64-group CSV row, and lose no slot.
ThroughputRow MeasureCsvBesideSilentServer(const RawRates& raw) {
    SilentServer silent;
    const int fields = 50;
    Workspace ws(fields, false);
    QStringList csv;
    for (int g = 1; g <= 63; ++g) {
        csv << QStringLiteral("G%1").arg(g);
        ws.AddGroup(csv.last(), QStringLiteral("CSV"), 0.01);
    }
    ws.AddGroup(QStringLiteral("silent"), QStringLiteral("MYSQL"), 0.01, QString(),
                QStringLiteral("dbDataSource=%1\ndbInitialCatalog=plant\ndbUserID=u\ndbPassword=p\n")
                    .arg(silent.Address()));
    ws.Finish();
    auto missing = [&](double from, double to) { return MissingCsvRecords(ws, from, to, 100, csv); };
    ThroughputRow row = RunThroughput(
        ws, g_quick ? 3 : 10, 100, [&] { return CountSaved(ws, QStringLiteral("CSV"), csv); }, missing);
    row.target = QStringLiteral("CSV+silent MYSQL");
    row.groups = static_cast<int>(csv.size());
    row.demanded = row.groups * 100.0;
    row.raw = raw.csvPerSecond;
    row.rawCpuUs = raw.csvCpuUs;
    return row;
}

// The test MariaDB server of scripts/mariadb.sh, when its variables are set.
struct MySqlServer {
    QString host = qEnvironmentVariable("LEDGRIX_TEST_MYSQL_HOST");
    QString port = qEnvironmentVariable("LEDGRIX_TEST_MYSQL_PORT");
    QString user = qEnvironmentVariable("LEDGRIX_TEST_MYSQL_USER");
    QString password = qEnvironmentVariable("LEDGRIX_TEST_MYSQL_PASSWORD");
    QString database = qEnvironmentVariable("LEDGRIX_TEST_MYSQL_DATABASE");
    bool Present() const { return !host.isEmpty() && !port.isEmpty(); }
    QString ConnectionString() const {
        return QStringLiteral("Provider=MSDASQL.1;Password=") + ado::QuoteConnectionValue(password) +
               QStringLiteral(";User ID=") + user +
               QStringLiteral(";Driver={MySQL ODBC 3.51 Driver};DATABASE=") + database +
               QStringLiteral(";SERVER=") + host + u':' + port;
    }
};

// 8 groups on 100 ms into the test MariaDB against raw single-row inserts (autocommit) of the
// same statements on the same server.
ThroughputRow MeasureMySql() {
    ThroughputRow row;
    row.target = QStringLiteral("MYSQL");
    row.groups = 8;
    const MySqlServer server;
    if (!server.Present()) return row;
    const int fields = 50;
    QString columns = QStringLiteral("Time DATETIME");
    for (int i = 2; i <= fields; ++i) columns += QStringLiteral(", V%1 DOUBLE").arg(i);
    ado::Connection conn;
    try {
        conn.Open(server.ConnectionString());
        const QString rawTable = QStringLiteral("ledgrix_bench_raw");
        conn.Execute(QStringLiteral("DROP TABLE IF EXISTS ") + rawTable);
        conn.Execute(QStringLiteral("CREATE TABLE %1 (%2)").arg(rawTable, columns));
        const int n = g_quick ? 200 : 1000;
        const double cpu = ThreadCpuSeconds();
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i) conn.Execute(InsertStatement(rawTable, fields, i, true));
        row.raw = n / (t.nsecsElapsed() / 1e9);
        row.rawCpuUs = (ThreadCpuSeconds() - cpu) / n * 1e6;
        conn.Execute(QStringLiteral("DROP TABLE ") + rawTable);

        Workspace ws(fields, false);
        const QString basic =
            QStringLiteral("dbDataSource=%1:%2\ndbInitialCatalog=%3\ndbUserID=%4\ndbPassword=%5\n")
                .arg(server.host, server.port, server.database, server.user, server.password);
        for (int g = 1; g <= row.groups; ++g) {
            const QString table = QStringLiteral("ledgrix_bench_g%1").arg(g);
            conn.Execute(QStringLiteral("DROP TABLE IF EXISTS ") + table);
            conn.Execute(QStringLiteral("CREATE TABLE %1 (%2)").arg(table, columns));
            ws.AddGroup(table, QStringLiteral("MYSQL"), 0.1, QString(), basic);
        }
        ws.Finish();
        auto count = [&] {
            qint64 saved = 0;
            for (const QString& table : ws.Groups()) {
                ado::Recordset rs;
                rs.Open(QStringLiteral("SELECT count(*) AS n FROM ") + table, conn);
                if (!rs.EOF_()) saved += rs.Value(QStringLiteral("n")).toLongLong();
            }
            return saved;
        };
        const double raw = row.raw, rawCpuUs = row.rawCpuUs;
        row = RunThroughput(ws, g_quick ? 3 : 10, 10, count);
        row.target = QStringLiteral("MYSQL");
        row.raw = raw;
        row.rawCpuUs = rawCpuUs;
        for (const QString& table : ws.Groups()) conn.Execute(QStringLiteral("DROP TABLE ") + table);
    } catch (const ado::Error& e) {
        std::fprintf(stderr, "bench: MYSQL: %s\n", qPrintable(e.Description));
    }
    return row;
}

// Trigger latency: the time from a trigger change to the saver writing the trigger back to 0.
struct LatencyWatch {
    std::mutex m;
    std::condition_variable cv;
    int changes = 0;  // under m, so that no change is missed between a read and the next wait
};
LatencyWatch* g_watch = nullptr;
void OnChange(int32_t, int32_t) {
    {
        std::lock_guard<std::mutex> lock(g_watch->m);
        ++g_watch->changes;
    }
    g_watch->cv.notify_all();
}

QJsonObject MeasureTriggerLatency(const RawRates& raw) {
    Workspace ws(10, false);
    ws.AddGroup(QStringLiteral("T1"), QStringLiteral("ACCESS"), 0, QStringLiteral("TRIG"));
    ws.Finish();
    Plant plant(ws);
    // The library finds the runtime through the same runtime folder as the programs.
    qputenv("LEDGRIX_WINDOW_DIR", ws.Env().value(QStringLiteral("LEDGRIX_WINDOW_DIR")).toUtf8());
    void* lib =
        dlopen((ws.Bin() + QStringLiteral("/PTSERV32.dll")).toUtf8().constData(), RTLD_NOW | RTLD_LOCAL);
    QJsonObject out;
    if (!lib) return out;
    auto findTag = reinterpret_cast<decltype(&FindTag)>(dlsym(lib, "FindTag"));
    auto setValue = reinterpret_cast<decltype(&SetTagValue)>(dlsym(lib, "SetTagValue"));
    auto getValue = reinterpret_cast<decltype(&GetTagValue)>(dlsym(lib, "GetTagValue"));
    auto setCallback = reinterpret_cast<decltype(&SetAdviseCallback)>(dlsym(lib, "SetAdviseCallback"));
    auto advise = reinterpret_cast<decltype(&TagAdvise)>(dlsym(lib, "TagAdvise"));
    LatencyWatch watch;
    g_watch = &watch;
    const uint16_t trig = findTag("TRIG");
    setCallback(4242, &OnChange);
    advise(trig, 4242, 1);
    auto write = [&](double v) {
        PT_TIME t{};
        const QDateTime now = QDateTime::currentDateTime();
        t.wYear = static_cast<uint16_t>(now.date().year());
        t.wMonth = static_cast<uint16_t>(now.date().month());
        t.wDay = static_cast<uint16_t>(now.date().day());
        t.wDayOfWeek = static_cast<uint16_t>(now.date().dayOfWeek() % 7 + 1);
        t.wHour = static_cast<uint16_t>(now.time().hour());
        t.wMinute = static_cast<uint16_t>(now.time().minute());
        t.wSecond = static_cast<uint16_t>(now.time().second());
        setValue(trig, &t, 0, 0, &v, 4242);
    };
    auto value = [&] {
        PT_TIME t{};
        uint16_t status = 0;
        double v = -1;
        getValue(trig, &t, &status, &v);
        return v;
    };
    write(0);  // primes the trigger
    QThread::msleep(300);
    // The raw engine's single commits, one between two triggers on a file beside the saver's,
    // so that both meet the same disk.
    RawSqlite rawBeside(QFileInfo(ws.DatabaseFile()).path() + QStringLiteral("/raw.mdb"), 10);
    std::vector<double> ms, rawMs;
    const int n = g_quick ? 30 : 200;
    for (int i = 0; i < n; ++i) {
        QElapsedTimer t;
        int seen = 0;
        {
            std::lock_guard<std::mutex> lock(watch.m);
            seen = watch.changes;
        }
        t.start();
        write(1);
        // The first change seen is our own write; wait for the saver's write-back to 0. A change
        // that comes while the value is read is not missed: the wait returns at once for it.
        bool done = false;
        while (!done && t.elapsed() < 5000) {
            {
                std::unique_lock<std::mutex> lock(watch.m);
                watch.cv.wait_for(lock, std::chrono::milliseconds(5), [&] { return watch.changes != seen; });
                seen = watch.changes;
            }
            done = value() == 0;
        }
        if (done) ms.push_back(t.nsecsElapsed() / 1e6);
        QThread::msleep(10);
        rawMs.push_back(rawBeside.Commit(i));
        QThread::msleep(10);
    }
    setCallback(4242, nullptr);
    plant.Stop();
    std::sort(ms.begin(), ms.end());
    auto pct = [&](double p) {
        return ms.empty() ? 0.0 : ms[std::min(ms.size() - 1, size_t(p * ms.size()))];
    };
    out[QStringLiteral("samples")] = static_cast<int>(ms.size());
    out[QStringLiteral("p50_ms")] = pct(0.50);
    out[QStringLiteral("p99_ms")] = pct(0.99);
    out[QStringLiteral("raw_commit_ms")] = raw.commitMs;
    out[QStringLiteral("raw_commit_p50_ms")] = raw.commitP50Ms;
    out[QStringLiteral("raw_commit_p99_ms")] = raw.commitP99Ms;
    const auto [rawP50, rawP99] = Percentiles(rawMs);
    out[QStringLiteral("raw_beside_p50_ms")] = rawP50;
    out[QStringLiteral("raw_beside_p99_ms")] = rawP99;
    out[QStringLiteral("p99_minus_raw_p99_ms")] = pct(0.99) - rawP99;
    out[QStringLiteral("records")] = static_cast<double>(CountRows(ws.DatabaseFile(), QStringLiteral("T1")));
    return out;
}

double MeasureIdleCpu(bool useTimer, const QString& type) {
    Workspace ws(5, useTimer);
    for (int g = 1; g <= 64; ++g) ws.AddGroup(QStringLiteral("G%1").arg(g), type, 1);
    ws.Finish();
    Plant plant(ws);
    QThread::msleep(1000);
    const double seconds = g_quick ? 10 : 60;
    const double before = CpuSeconds(plant.Pid());
    QThread::msleep(static_cast<unsigned long>(seconds * 1000));
    const double after = CpuSeconds(plant.Pid());
    return (after - before) / seconds * 100.0;
}

// Reads the program setting file, the workstation file and every group file of a workspace
// the way the saver does at start; returns the seconds taken.
double MeasureSettingsRead(const Workspace& ws) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(ws.Bin());
    ProgramState& st = State();
    st.ProgramSettingFilePath = QStringLiteral("Ledgrix.set");
    st.ProjectName = QStringLiteral("Bench");
    st.WorkstationName = QStringLiteral("WS1");
    st.ProjectFolder = QStringLiteral("..\\Project\\Bench");
    st.DataFolder = st.ProjectFolder + QStringLiteral("\\dat\\Ledgrix");
    st.WorkstationFilePath = st.ProjectFolder + QStringLiteral("\\cfg\\WS1\\Ledgrix.svl");
    QElapsedTimer t;
    t.start();
    SettingUtil::LoadProgramSettings();
    SettingUtil::LoadWorkstationSettings();
    SettingUtil::LoadSaveGroupSettings();
    const double seconds = t.nsecsElapsed() / 1e9;
    if (st.SaveGroupCount != 64 || st.Group(64).FieldCount != 255)
        std::fprintf(stderr, "bench: settings read %d groups\n", st.SaveGroupCount);
    QDir::setCurrent(previous);
    return seconds;
}

// The largest configuration: 64 groups of 255 fields. Its settings read and the saver's peak
// resident memory.
std::pair<double, double> MeasureLargestConfiguration() {
    Workspace ws(255, false);
    for (int g = 1; g <= 64; ++g) ws.AddGroup(QStringLiteral("G%1").arg(g), QStringLiteral("ACCESS"), 1);
    ws.Finish();
    const double read = MeasureSettingsRead(ws);
    Plant plant(ws);
    QThread::msleep(g_quick ? 3000 : 5000);
    return {read, PeakMemoryMb(plant.Pid())};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The results land in the build tree, never in the current folder (the checkout, as often as not).
    QString out = QStringLiteral(LEDGRIX_BUILD_DIR "/bench-results.json");
    QString only;        // throughput, latency, idle or memory: run that measurement alone
    QString onlyTarget;  // ACCESS or CSV: the throughput rows of that target alone
    int onlyGroups = 0;  // 1, 8 or 64: the throughput rows of that many groups alone
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--quick"))
            g_quick = true;
        else if (args[i] == QLatin1String("--out") && i + 1 < args.size())
            out = args[++i];
        else if (args[i] == QLatin1String("--only") && i + 1 < args.size())
            only = args[++i];
        else if (args[i] == QLatin1String("--target") && i + 1 < args.size())
            onlyTarget = args[++i];
        else if (args[i] == QLatin1String("--groups") && i + 1 < args.size())
            onlyGroups = args[++i].toInt();
    }
    auto wanted = [&](const char* name) { return only.isEmpty() || only == QLatin1String(name); };
    QJsonObject json;
    std::printf("Raw engine ...\n");
    const RawRates raw = MeasureRaw(50);
    json[QStringLiteral("raw")] =
        QJsonObject{{QStringLiteral("sqlite_statements_per_s"), raw.sqlitePerSecond},
                    {QStringLiteral("sqlite_commit_ms"), raw.commitMs},
                    {QStringLiteral("sqlite_cpu_us"), raw.sqliteCpuUs},
                    {QStringLiteral("csv_lines_per_s"), raw.csvPerSecond},
                    {QStringLiteral("csv_cpu_us"), raw.csvCpuUs}};

    if (wanted("throughput") || wanted("mysql"))
        std::printf("\n%-16s %6s %10s %10s %8s %10s %8s %9s %9s\n", "throughput", "groups", "demanded/s",
                    "saved/s", "lost", "raw/s", "ratio", "cpu us/r", "raw us/r");
    QJsonArray rows;
    auto report = [&](const ThroughputRow& r) {
        const double ratio = r.perSecond / std::min(r.raw, r.demanded);
        std::printf("%-16s %6d %10.0f %10.1f %8.0f %10.0f %8.2f %9.1f %9.1f\n", qPrintable(r.target),
                    r.groups, r.demanded, r.perSecond, r.lost, r.raw, ratio, r.cpuUs, r.rawCpuUs);
        std::fflush(stdout);
        rows.append(QJsonObject{{QStringLiteral("target"), r.target},
                                {QStringLiteral("groups"), r.groups},
                                {QStringLiteral("demanded_per_s"), r.demanded},
                                {QStringLiteral("saved_per_s"), r.perSecond},
                                {QStringLiteral("lost_slots"), r.lost},
                                {QStringLiteral("raw_per_s"), r.raw},
                                {QStringLiteral("ratio_to_bound"), ratio},
                                {QStringLiteral("cpu_us_per_record"), r.cpuUs},
                                {QStringLiteral("raw_cpu_us_per_record"), r.rawCpuUs}});
    };
    for (const char* type : {"ACCESS", "CSV"}) {
        if (!wanted("throughput")) break;
        if (!onlyTarget.isEmpty() && onlyTarget != QLatin1String(type)) continue;
        for (int g : {1, 8, 64}) {
            if (onlyGroups > 0 && onlyGroups != g) continue;
            report(MeasureThroughput(QString::fromLatin1(type), g, raw));
        }
        if (QLatin1String(type) == QLatin1String("CSV") && (onlyGroups == 0 || onlyGroups == 64))
            report(MeasureCsvBesideSilentServer(raw));
    }
    if (wanted("throughput") || wanted("mysql")) {
        const ThroughputRow mysql = MeasureMySql();
        if (mysql.raw > 0)
            report(mysql);
        else
            std::printf("MYSQL: no test server (LEDGRIX_TEST_MYSQL_*; scripts/bench.sh starts one)\n");
    }
    json[QStringLiteral("throughput")] = rows;

    const QJsonObject latency = wanted("latency") ? MeasureTriggerLatency(raw) : QJsonObject();
    json[QStringLiteral("trigger_latency")] = latency;
    if (wanted("latency"))
        std::printf(
            "\ntrigger latency: p50 %.2f ms, p99 %.2f ms (%d samples); raw single commit between the "
            "triggers: "
            "p50 %.2f ms, p99 %.2f ms (at the start: p50 %.2f ms, p99 %.2f ms)\n",
            latency[QStringLiteral("p50_ms")].toDouble(), latency[QStringLiteral("p99_ms")].toDouble(),
            latency[QStringLiteral("samples")].toInt(),
            latency[QStringLiteral("raw_beside_p50_ms")].toDouble(),
            latency[QStringLiteral("raw_beside_p99_ms")].toDouble(), raw.commitP50Ms, raw.commitP99Ms);

    // Into SQLite files (each record a durable commit) and into CSV files (the saver alone).
    QJsonObject idle;
    for (const char* type : {"ACCESS", "CSV"}) {
        if (!wanted("idle")) break;
        const double loopCpu = MeasureIdleCpu(false, QString::fromLatin1(type));
        const double timerCpu = MeasureIdleCpu(true, QString::fromLatin1(type));
        idle[QString::fromLatin1(type)] =
            QJsonObject{{QStringLiteral("loop"), loopCpu}, {QStringLiteral("timer"), timerCpu}};
        std::printf(
            "idle CPU, 64 %s groups on 1 s cycles: loop form %.2f %%, timer form %.2f %% of one core\n", type,
            loopCpu, timerCpu);
    }
    json[QStringLiteral("idle_cpu_percent")] = idle;

    if (wanted("memory")) {
        const auto [read, mem] = MeasureLargestConfiguration();
        json[QStringLiteral("settings_read_s_64x255")] = read;
        json[QStringLiteral("peak_memory_mb_64x255")] = mem;
        std::printf("reading the settings of 64 groups of 255 fields: %.3f s\n", read);
        std::printf("peak resident memory, 64 groups of 255 fields: %.1f MB\n", mem);
    }

    QFile f(out);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(QJsonDocument(json).toJson());
    std::printf("\nwrote %s\n", qPrintable(out));
    return 0;
}
