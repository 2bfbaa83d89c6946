// The record writers driven through the real Ledgrix program: settings files of project E2E,
// the HMI runtime stand-in in the test process, database files (SQLite), CSV files and the
// test MariaDB server as targets.
#include <QCoreApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include "platform/ado/Ado.h"
#include "tests/saver/SaverProcessFixture.h"
#include "tests/support/TestSupport.h"

namespace {

const QString kIso = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString Env(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}

QString CellText(const QVariant& v) {
    if (v.isNull()) return QStringLiteral("NULL");
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().toString(kIso);
    return v.toString();
}

// A target table the test reads and fills behind the saver's back.
struct TableAccess {
    std::function<void(const QString&)> exec;
    std::function<QStringList(const QString&)> rows;  // columns joined by "|"
};

class RecordWritersE2E : public SaverProcessFixture {
  protected:
    void SetUp() override {
        MakeProgramFolder(BinFile(QStringLiteral("Ledgrix.set")), QStringLiteral(LEDGRIX_TEST_DATA "/e2e"),
                          QStringLiteral("E2E"),
                          {{QStringLiteral("STOP"), QStringLiteral("DIGITAL")},
                           {QStringLiteral("ALIVE"), QStringLiteral("DIGITAL")},
                           {QStringLiteral("NREC"), QStringLiteral("ANALOG")},
                           {QStringLiteral("NREC2"), QStringLiteral("ANALOG")},
                           {QStringLiteral("NREC3"), QStringLiteral("ANALOG")},
                           {QStringLiteral("FLOW"), QStringLiteral("ANALOG")},
                           {QStringLiteral("NOTE"), QStringLiteral("TEXT")},
                           {QStringLiteral("PURGE"), QStringLiteral("ANALOG")},
                           {QStringLiteral("DIR"), QStringLiteral("ANALOG")},
                           {QStringLiteral("FNAME"), QStringLiteral("TEXT")}});
    }

    QProcess& Run(const QString& workstation, const QStringList& switches = {}) {
        QProcess& saver =
            SaverProcessFixture::StartSaver(QStringList{QStringLiteral("E2E"), workstation} + switches);
        EXPECT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 20000))
            << saver.readAllStandardError().toStdString();
        return saver;
    }

    bool WaitForCount(const QString& tag, double atLeast, int timeoutMs = 20000) const {
        return WaitUntil([&] { return server->Value(tag) >= atLeast; }, timeoutMs);
    }

    // Statements on an SQLite file below the project folder; rows with columns joined by "|".
    QStringList Sqlite(const QString& relative, const QStringList& statements) const {
        return SqliteRows(project + u'/' + relative, statements, CellText);
    }

    TableAccess SqliteTable(const QString& relative) const {
        return {[this, relative](const QString& sql) { Sqlite(relative, {sql}); },
                [this, relative](const QString& sql) { return Sqlite(relative, {sql}); }};
    }

    // An Access stand-in file with the table of the record fields.
    void MakeDatabase(const QString& relative, const QString& table = QStringLiteral("Log1")) const {
        QDir().mkpath(QFileInfo(project + u'/' + relative).path());
        Sqlite(relative,
               {QStringLiteral("CREATE TABLE [%1] (Time DATETIME, Flow DOUBLE, Note TEXT)").arg(table)});
    }

    std::string LogText(const QString& workstation) const {
        return LogLines(workstation).join(u'\n').toStdString();
    }

    int CountLog(const QString& workstation, const QString& text) const {
        return static_cast<int>(LogLines(workstation).filter(text).size());
    }

    void ClearLog(const QString& workstation) const {
        QFile::remove(project + QStringLiteral("/cfg/") + workstation + QStringLiteral("/Ledgrix.log"));
    }

    // Rows dated 10 days ago, yesterday and today at midnight; purge at start keeps 5 days, the
    // purge tag keeps 0 days. Flow -1, -2, -3 mark the three rows.
    void PurgeAtStartAndByTag(const QString& workstation, const TableAccess& table, const QString& name) {
        const QDateTime midnight(QDate::currentDate(), QTime(0, 0));
        const QString insert = QStringLiteral("INSERT INTO %1 (Time, Flow, Note) VALUES ('%2', %3, 'old')");
        table.exec(insert.arg(name, midnight.addDays(-10).addSecs(12 * 3600).toString(kIso)).arg(-1));
        table.exec(insert.arg(name, midnight.addDays(-1).addSecs(12 * 3600).toString(kIso)).arg(-2));
        table.exec(insert.arg(name, midnight.toString(kIso)).arg(-3));
        const QString marks = QStringLiteral("SELECT Flow FROM %1 WHERE Flow < 0 ORDER BY Flow").arg(name);

        ASSERT_TRUE(server->SetMessage(QStringLiteral("NOTE"), QStringLiteral("Pump station")));
        QProcess& saver = Run(workstation, {QStringLiteral("/PURGE:5")});
        // A server's group purges once its server has answered, not before the saver runs.
        EXPECT_TRUE(WaitUntil(
            [&] { return CountLog(workstation, QStringLiteral("Purge Action! PurgeKeepDays=5")) == 1; },
            20000));
        EXPECT_EQ(table.rows(marks), (QStringList{QStringLiteral("-3"), QStringLiteral("-2")}));

        // The first change seen only primes the tag.
        const auto counted = [this] { return server->Value(QStringLiteral("NREC")); };
        SetAndSettle(QStringLiteral("PURGE"), 1, counted);
        EXPECT_EQ(table.rows(marks).size(), 2);
        // 0 then 1 purges and resets the tag. The saver reads the value as it takes a change from
        // its queue, so it is given the time to take the 0 before the 1 comes.
        SetAndSettle(QStringLiteral("PURGE"), 0, counted);
        ASSERT_TRUE(server->SetValue(QStringLiteral("PURGE"), 1));
        ASSERT_TRUE(server->WaitForValue(QStringLiteral("PURGE"), 0, kPatienceMs)) << "purge tag not reset\n"
                                                                                   << LogText(workstation);
        EXPECT_EQ(table.rows(marks), QStringList{QStringLiteral("-3")});  // today's row stays
        EXPECT_EQ(CountLog(workstation, QStringLiteral("Purge Action! PurgeKeepDays=0")), 1);

        ASSERT_TRUE(WaitForCount(QStringLiteral("NREC"), 2));
        StopSaver(saver);
        const QStringList records =
            table.rows(QStringLiteral("SELECT Time, Flow, Note FROM %1 WHERE Flow >= 0").arg(name));
        EXPECT_EQ(records.size(), server->Value(QStringLiteral("NREC")));
        for (const QString& r : records)
            EXPECT_TRUE(r.endsWith(QStringLiteral("|0|Pump"))) << r.toStdString();
        EXPECT_EQ(CountLog(workstation, QStringLiteral("Purge Fail!")), 0);
    }
};

// Times of the Time column, in row order; every one must be an ISO date text.
QVector<QDateTime> Times(const QStringList& rows, const QString& format) {
    QVector<QDateTime> times;
    for (const QString& r : rows) {
        const QDateTime t = QDateTime::fromString(r.section(u'|', 0, 0), format);
        EXPECT_TRUE(t.isValid()) << "not an ISO date text: " << r.toStdString();
        times << t;
    }
    return times;
}

}  // namespace

TEST_F(RecordWritersE2E, CyclicAppendStampsRecordsWithTheirTargetTimes) {
    MakeDatabase(QStringLiteral("dat/acc.mdb"));
    ASSERT_TRUE(server->SetValue(QStringLiteral("FLOW"), 1.005));
    ASSERT_TRUE(server->SetMessage(QStringLiteral("NOTE"), QStringLiteral("Tank A1")));
    const QDateTime begin = QDateTime::currentDateTime().addSecs(-1);
    QProcess& saver = Run(QStringLiteral("ACC"));
    ASSERT_TRUE(WaitForCount(QStringLiteral("NREC"), 4));
    StopSaver(saver);
    const QDateTime end = QDateTime::currentDateTime().addSecs(1);

    const QStringList rows = Sqlite(QStringLiteral("dat/acc.mdb"),
                                    {QStringLiteral("SELECT Time, Flow, Note FROM Log1 ORDER BY Time")});
    ASSERT_EQ(rows.size(), server->Value(QStringLiteral("NREC")));
    const QVector<QDateTime> times = Times(rows, kIso);
    int oneCycleApart = 0;
    for (int i = 0; i < times.size(); ++i) {
        EXPECT_TRUE(times[i] >= begin && times[i] <= end) << rows[i].toStdString();
        EXPECT_TRUE(rows[i].endsWith(QStringLiteral("|1|Tank"))) << rows[i].toStdString();  // 1.005 -> 1.00
        if (i == 0) continue;
        const qint64 step = times[i - 1].msecsTo(times[i]);
        EXPECT_TRUE(step >= 1000 && step % 1000 == 0) << "steps on the 1 s grid: " << step;
        if (step == 1000) ++oneCycleApart;
    }
    EXPECT_GE(oneCycleApart, 1);
    // The dates compare as dates: a range query finds every record.
    const QStringList inRange =
        Sqlite(QStringLiteral("dat/acc.mdb"),
               {QStringLiteral("SELECT COUNT(*) FROM Log1 WHERE Time BETWEEN '%1' AND '%2'")
                    .arg(begin.toString(kIso), end.toString(kIso))});
    EXPECT_EQ(inRange, QStringList{QString::number(rows.size())});
}

TEST_F(RecordWritersE2E, FieldTagTheHmiDoesNotDefineIsNamedAtStartAndRecordsMinusOne) {
    MakeDatabase(QStringLiteral("dat/acc.mdb"));
    EditProjectFile(QStringLiteral("cfg/ACC/log1.svc"), "fd2=Flow,FLOW.VALUE", "fd2=Flow,FLOWW.VALUE");
    QProcess& saver = Run(QStringLiteral("ACC"));
    ASSERT_TRUE(WaitForCount(QStringLiteral("NREC"), 2));
    StopSaver(saver);

    const QString named = QStringLiteral("Field tags: FLOWW (save group [log1], field [Flow])");
    EXPECT_TRUE(QString::fromUtf8(saver.readAllStandardError())
                    .contains(QStringLiteral("MSGBOX|64|Warnning - Tags donot be defined|Please define the "
                                             "tags.\\n") +
                              named + u'\n'));
    EXPECT_EQ(CountLog(QStringLiteral("ACC"),
                       QStringLiteral(" | Warning | Ledgrix.System | Please define the tags. ") + named),
              1)
        << LogText(QStringLiteral("ACC"));
    EXPECT_EQ(Sqlite(QStringLiteral("dat/acc.mdb"), {QStringLiteral("SELECT DISTINCT Flow FROM Log1")}),
              QStringList{QStringLiteral("-1")});
}

TEST_F(RecordWritersE2E, HighSpeedAppendKeepsTheMillisecondsOfItsTargets) {
    MakeDatabase(QStringLiteral("dat/acc.mdb"));
    EditProjectFile(QStringLiteral("cfg/ACC/log1.svc"), "SaveTimeInterval=1\r\n",
                    "SaveTimeInterval=0.25\r\n");
    QProcess& saver = Run(QStringLiteral("ACC"));
    ASSERT_TRUE(WaitForCount(QStringLiteral("NREC"), 6));
    StopSaver(saver);

    const QStringList rows =
        Sqlite(QStringLiteral("dat/acc.mdb"), {QStringLiteral("SELECT Time FROM Log1 ORDER BY Time")});
    ASSERT_EQ(rows.size(), server->Value(QStringLiteral("NREC")));
    const QVector<QDateTime> times = Times(rows, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    for (int i = 1; i < times.size(); ++i) {
        const qint64 step = times[i - 1].msecsTo(times[i]);
        EXPECT_TRUE(step >= 250 && step % 250 == 0) << "steps on the 250 ms grid: " << step;
    }
}

TEST_F(RecordWritersE2E, WriteModesOverwriteAndUpdateKeepOneRow) {
    // Mode 1: every record empties the table first.
    MakeDatabase(QStringLiteral("dat/acc.mdb"));
    Sqlite(QStringLiteral("dat/acc.mdb"),
           {QStringLiteral("INSERT INTO Log1 VALUES ('2001-01-01 00:00:00', 9, 'x')")});
    EditProjectFile(QStringLiteral("cfg/ACC/log1.svc"), "dbSWriteMode=0", "dbSWriteMode=1");
    ASSERT_TRUE(server->SetValue(QStringLiteral("FLOW"), 1));
    QProcess& overwrite = Run(QStringLiteral("ACC"));
    ASSERT_TRUE(WaitForCount(QStringLiteral("NREC"), 2));
    ASSERT_TRUE(server->SetValue(QStringLiteral("FLOW"), 2));
    ASSERT_TRUE(WaitForCount(QStringLiteral("NREC"), server->Value(QStringLiteral("NREC")) + 2));
    StopSaver(overwrite);
    QStringList rows = Sqlite(QStringLiteral("dat/acc.mdb"), {QStringLiteral("SELECT Flow FROM Log1")});
    EXPECT_EQ(rows, QStringList{QStringLiteral("2")});
    EXPECT_EQ(
        CountLog(QStringLiteral("ACC"), QStringLiteral("Clear Database, SQL Command:Delete  From [Log1](1)")),
        server->Value(QStringLiteral("NREC")));

    // Mode 2: the empty table gets an insert, every later record updates the latest row.
    Sqlite(QStringLiteral("dat/acc.mdb"), {QStringLiteral("DELETE FROM Log1")});
    ClearLog(QStringLiteral("ACC"));
    EditProjectFile(QStringLiteral("cfg/ACC/log1.svc"), "dbSWriteMode=1", "dbSWriteMode=2");
    ASSERT_TRUE(server->SetValue(QStringLiteral("FLOW"), 3));
    QProcess& update = Run(QStringLiteral("ACC"));
    ASSERT_TRUE(WaitForCount(QStringLiteral("NREC"), 2));
    ASSERT_TRUE(server->SetValue(QStringLiteral("FLOW"), 4));
    ASSERT_TRUE(WaitForCount(QStringLiteral("NREC"), server->Value(QStringLiteral("NREC")) + 2));
    StopSaver(update);
    rows = Sqlite(QStringLiteral("dat/acc.mdb"), {QStringLiteral("SELECT Time, Flow FROM Log1")});
    ASSERT_EQ(rows.size(), 1);
    EXPECT_TRUE(rows[0].endsWith(QStringLiteral("|4"))) << rows[0].toStdString();
    const QStringList log = LogLines(QStringLiteral("ACC"));
    const QStringList updates = log.filter(QStringLiteral("Update Database, SQL Command:"));
    EXPECT_EQ(log.filter(QStringLiteral("Append to Database, SQL Command:Insert")).size(), 1);
    EXPECT_EQ(updates.size() + 1, server->Value(QStringLiteral("NREC")));
    EXPECT_TRUE(log.filter(QStringLiteral("Fail!!")).isEmpty()) << log.join(u'\n').toStdString();
    // The row carries the time of the last update.
    ASSERT_FALSE(updates.isEmpty());
    const QDateTime last =
        QDateTime::fromString(updates.last().left(22), QStringLiteral("yyyy/MM/dd hh:mm:ss AP"));
    EXPECT_EQ(rows[0].section(u'|', 0, 0), last.toString(kIso));
}

TEST_F(RecordWritersE2E, OnceSavesOneRoundedAndCutRecordAndEnds) {
    MakeDatabase(QStringLiteral("dat/acc.mdb"));
    ASSERT_TRUE(server->SetValue(QStringLiteral("FLOW"), 12.3456));
    ASSERT_TRUE(server->SetMessage(QStringLiteral("NOTE"), QStringLiteral("Pump station")));
    const QDateTime begin = QDateTime::currentDateTime().addSecs(-1);
    QProcess& saver = SaverProcessFixture::StartSaver(
        {QStringLiteral("E2E"), QStringLiteral("ACC"), QStringLiteral("/ONCE")});
    ASSERT_TRUE(saver.waitForFinished(20000));
    EXPECT_EQ(saver.exitCode(), 0);
    const QDateTime end = QDateTime::currentDateTime().addSecs(1);
    EXPECT_EQ(server->Value(QStringLiteral("NREC")), 1);
    EXPECT_EQ(server->Value(QStringLiteral("ALIVE")), 0);

    const QStringList rows =
        Sqlite(QStringLiteral("dat/acc.mdb"),
               {QStringLiteral("SELECT Time, Flow, Note FROM Log1 WHERE Time BETWEEN '%1' AND '%2'")
                    .arg(begin.toString(kIso), end.toString(kIso))});
    ASSERT_EQ(rows.size(), 1) << LogLines(QStringLiteral("ACC")).join(u'\n').toStdString();
    EXPECT_TRUE(rows[0].endsWith(QStringLiteral("|12.35|Pump"))) << rows[0].toStdString();

    // The statement as logged, and the row it gave.
    static const QRegularExpression statement(QStringLiteral(
        R"(Append to Database, SQL Command:Insert Into \[Log1\] \(\[Time\], \[Flow\], \[Note\]\) Values \('(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d [AP]M)',12\.35,'Pump' \)\(0\)$)"));
    const QStringList log = LogLines(QStringLiteral("ACC"));
    QRegularExpressionMatch m;
    for (const QString& line : log)
        if ((m = statement.match(line)).hasMatch()) break;
    ASSERT_TRUE(m.hasMatch()) << log.join(u'\n').toStdString();
    const QDateTime literal = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy/MM/dd hh:mm:ss AP"));
    EXPECT_EQ(rows[0].section(u'|', 0, 0), literal.toString(kIso));
}

TEST_F(RecordWritersE2E, ColumnsAreFoundAsTheEngineStoresTheirNames) {
    // A column named "Flow" with its double quotes, as SQLite stores it.
    Sqlite(QStringLiteral("dat/acc.mdb"),
           {QStringLiteral("CREATE TABLE Log1 (Time DATETIME, \"\"\"Flow\"\"\" DOUBLE, Note TEXT)")});
    EditProjectFile(QStringLiteral("cfg/ACC/log1.svc"), "fd2=Flow,", "fd2=\"Flow\",");
    QProcess& saver = SaverProcessFixture::StartSaver(
        {QStringLiteral("E2E"), QStringLiteral("ACC"), QStringLiteral("/ONCE")});
    ASSERT_TRUE(saver.waitForFinished(20000));
    EXPECT_EQ(CountLog(QStringLiteral("ACC"), QStringLiteral("PrepareDB OK!")), 1)
        << LogText(QStringLiteral("ACC"));
}

TEST_F(RecordWritersE2E, DispersedFilesFollowTheFolderAndFileTags) {
    MakeDatabase(QStringLiteral("dat/tmpl.mdb"));
    Sqlite(QStringLiteral("dat/tmpl.mdb"), {QStringLiteral("CREATE TABLE Info (Line TEXT)"),
                                            QStringLiteral("INSERT INTO Info VALUES ('line 7')")});
    ASSERT_TRUE(server->SetValue(QStringLiteral("DIR"), 3));
    ASSERT_TRUE(server->SetMessage(QStringLiteral("FNAME"), QStringLiteral("May")));
    QProcess& saver = Run(QStringLiteral("DISP"));
    ASSERT_TRUE(WaitForCount(QStringLiteral("NREC"), 3)) << LogText(QStringLiteral("DISP"));
    ASSERT_TRUE(server->SetMessage(QStringLiteral("FNAME"), QStringLiteral("June")));
    const QString june = QStringLiteral("dat/disp/3/June.mdb");
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(project + u'/' + june); }, 20000));
    ASSERT_TRUE(WaitForCount(QStringLiteral("NREC"), server->Value(QStringLiteral("NREC")) + 2));
    StopSaver(saver);

    const QString count = QStringLiteral("SELECT COUNT(*) FROM Log1");
    const int inMay = Sqlite(QStringLiteral("dat/disp/3/May.mdb"), {count}).value(0).toInt();
    const int inJune = Sqlite(june, {count}).value(0).toInt();
    EXPECT_GE(inMay, 3);
    EXPECT_GE(inJune, 1);
    EXPECT_EQ(inMay + inJune, server->Value(QStringLiteral("NREC")));
    EXPECT_EQ(Sqlite(QStringLiteral("dat/tmpl.mdb"), {count}), QStringList{QStringLiteral("0")});
    // Each new file is a copy of the configured one, whatever else it holds.
    for (const QString& file : {QStringLiteral("dat/disp/3/May.mdb"), june})
        EXPECT_EQ(Sqlite(file, {QStringLiteral("SELECT Line FROM Info")}),
                  QStringList{QStringLiteral("line 7")});

    // One line per new file, the root given without its closing "\".
    const QStringList created = LogLines(QStringLiteral("DISP")).filter(QStringLiteral(" | DBFullPath = "));
    ASSERT_EQ(created.size(), 2) << created.join(u'\n').toStdString();
    EXPECT_TRUE(created[0].endsWith(QStringLiteral("\\dat\\disp\\3\\May.mdb"))) << created[0].toStdString();
    EXPECT_TRUE(created[1].endsWith(QStringLiteral("\\dat\\disp\\3\\June.mdb"))) << created[1].toStdString();
}

TEST_F(RecordWritersE2E, DebugBoxesAndTheLogShowNoPassword) {
    // A MySQL group whose server refuses at once and a dispersed group whose file is no
    // database, both with a password; the dispersed group's failure box ends the saver.
    const QByteArray password = "Kv8qZp3w";
    const QString svc = QStringLiteral("cfg/MY/my.svc");
    EditProjectFile(svc, "@TABLE@", "Log1");
    EditProjectFile(svc, "@SERVER@", "127.0.0.1:1");
    EditProjectFile(svc, "@DATABASE@", "plant");
    EditProjectFile(svc, "@USER@", "u");
    EditProjectFile(svc, "@PASSWORD@", password);
    WriteProjectFile(QStringLiteral("cfg/MY/disp.svc"),
                     ProjectFile(QStringLiteral("cfg/DISP/disp.svc"))
                         .replace("dbPassword=\r\n", "dbPassword=" + password + "\r\n"));
    EditProjectFile(QStringLiteral("cfg/MY/Ledgrix.svl"), "Module1=My,my.svc",
                    "Module1=My,my.svc\r\nModule2=Disp,disp.svc");
    MakeDatabase(QStringLiteral("dat/tmpl.mdb"));
    ASSERT_TRUE(server->SetValue(QStringLiteral("DIR"), 3));
    ASSERT_TRUE(server->SetMessage(QStringLiteral("FNAME"), QStringLiteral("May")));
    ASSERT_TRUE(QDir().mkpath(project + QStringLiteral("/dat/disp/3")));
    WriteProjectFile(QStringLiteral("dat/disp/3/May.mdb"), "no database");

    QProcess& saver = StartSaver({QStringLiteral("E2E"), QStringLiteral("MY"), QStringLiteral("/DEBUG")});
    ASSERT_TRUE(saver.waitForFinished(kPatienceMs));
    const QString output = QString::fromUtf8(saver.readAllStandardOutput() + saver.readAllStandardError());
    const QString log = LogLines(QStringLiteral("MY")).join(u'\n');
    EXPECT_FALSE(output.contains(QString::fromUtf8(password))) << output.toStdString();
    EXPECT_FALSE(log.contains(QString::fromUtf8(password))) << log.toStdString();

    // The boxes showed both connection strings, masked.
    const QStringList lines = output.split(u'\n');
    const QStringList preparing = lines.filter(QStringLiteral("MSGBOX|64|準備開啟資料庫|"));
    EXPECT_FALSE(preparing.filter(QStringLiteral("SERVER=127.0.0.1:1")).isEmpty()) << output.toStdString();
    EXPECT_FALSE(preparing.filter(QStringLiteral("May.mdb")).isEmpty()) << output.toStdString();
    const QStringList failed =
        lines.filter(QStringLiteral("MSGBOX|16|開啟資料庫失敗|")).filter(QStringLiteral("May.mdb"));
    EXPECT_EQ(failed.size(), 1) << output.toStdString();
    for (const QString& box : preparing + failed)
        EXPECT_TRUE(box.contains(QStringLiteral("Password=****"))) << box.toStdString();
}

TEST_F(RecordWritersE2E, CsvFilesHonourDelimiterLineEndsTitlesAndWidths) {
    QDir().mkpath(project + QStringLiteral("/dat"));
    {
        QFile plain(project + QStringLiteral("/dat/plain.csv"));  // three columns: appended to
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
        plain.write("a,b,c\r\n");
    }
    ASSERT_TRUE(server->SetValue(QStringLiteral("FLOW"), 3.14159));
    ASSERT_TRUE(server->SetMessage(QStringLiteral("NOTE"), QStringLiteral("Valve open")));
    QProcess& saver = Run(QStringLiteral("CSV"));
    for (const char* tag : {"NREC", "NREC2", "NREC3"})
        ASSERT_TRUE(WaitForCount(QLatin1String(tag), 2)) << tag;
    StopSaver(saver);

    static const QRegularExpression time(QStringLiteral(R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d$)"));
    const QByteArray semi = ProjectFile(QStringLiteral("dat/semi.csv"));
    EXPECT_FALSE(semi.contains('\n'));
    QStringList lines = QString::fromUtf8(semi).split(u'\r');
    EXPECT_TRUE(lines.last().isEmpty());
    lines.removeLast();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("Time;Flow;Note"));
    EXPECT_EQ(lines.size() - 1, server->Value(QStringLiteral("NREC")));
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList items = lines[i].split(u';');
        ASSERT_EQ(items.size(), 3) << lines[i].toStdString();
        EXPECT_TRUE(time.match(items[0]).hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(items[1], QStringLiteral("3.14"));
        EXPECT_EQ(items[2], QStringLiteral("Valv"));
    }

    const QByteArray fixed = ProjectFile(QStringLiteral("dat/fixed.csv"));
    EXPECT_FALSE(fixed.contains('\r'));
    lines = QString::fromUtf8(fixed).split(u'\n');
    lines.removeLast();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("                 Time,    Flow,  Note"));
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList items = lines[i].split(u',');
        ASSERT_EQ(items.size(), 3) << lines[i].toStdString();
        EXPECT_EQ(items[0].size(), 21);
        EXPECT_TRUE(time.match(items[0].trimmed()).hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(items[1], QStringLiteral("    3.14"));
        EXPECT_EQ(items[2], QStringLiteral("  Valv"));
    }

    // No title: the existing file goes on with its records, each closed by CR LF.
    const QByteArray plain = ProjectFile(QStringLiteral("dat/plain.csv"));
    EXPECT_TRUE(plain.startsWith("a,b,c\r\n"));
    EXPECT_TRUE(plain.endsWith("\r\n"));
    lines = QString::fromUtf8(plain).split(QStringLiteral("\r\n"));
    lines.removeLast();
    EXPECT_EQ(lines.size() - 1, server->Value(QStringLiteral("NREC3")));
    for (const QString& line : lines.mid(1)) EXPECT_FALSE(line.contains(u'\r') || line.contains(u'\n'));
    EXPECT_FALSE(QFile::exists(project + QStringLiteral("/dat/plain.bak1")));
}

TEST_F(RecordWritersE2E, CsvTitleMismatchMovesTheOldFileToNumberedBackups) {
    const QString semi = project + QStringLiteral("/dat/semi.csv");
    const auto writeTwoColumns = [&] {
        QFile f(semi);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("A;B\r1;2\r");
    };
    writeTwoColumns();
    StopSaver(Run(QStringLiteral("CSV")));
    EXPECT_EQ(ProjectFile(QStringLiteral("dat/semi.bak1")), QByteArray("A;B\r1;2\r"));
    EXPECT_TRUE(ProjectFile(QStringLiteral("dat/semi.csv")).startsWith("Time;Flow;Note\r"));

    // A file with the group's own title (CR line ends) is appended to, not moved.
    StopSaver(Run(QStringLiteral("CSV")));
    EXPECT_FALSE(QFile::exists(project + QStringLiteral("/dat/semi.bak2")));
    EXPECT_EQ(ProjectFile(QStringLiteral("dat/semi.csv")).count("Time;Flow;Note"), 1);

    writeTwoColumns();
    StopSaver(Run(QStringLiteral("CSV")));
    EXPECT_EQ(ProjectFile(QStringLiteral("dat/semi.bak2")), QByteArray("A;B\r1;2\r"));
    EXPECT_EQ(ProjectFile(QStringLiteral("dat/semi.bak1")), QByteArray("A;B\r1;2\r"));
    EXPECT_TRUE(ProjectFile(QStringLiteral("dat/semi.csv")).startsWith("Time;Flow;Note\r"));
}

TEST_F(RecordWritersE2E, AccessPurgeAtStartAndByTagCutsAtWholeDays) {
    MakeDatabase(QStringLiteral("dat/acc.mdb"));
    PurgeAtStartAndByTag(QStringLiteral("ACC"), SqliteTable(QStringLiteral("dat/acc.mdb")),
                         QStringLiteral("Log1"));
}

TEST_F(RecordWritersE2E, MySqlGroupWritesThroughOdbcAndPurges) {
    if (Env("LEDGRIX_TEST_MYSQL_HOST").isEmpty()) {
        if (!Env("CI").isEmpty())
            FAIL() << "LEDGRIX_TEST_MYSQL_* is not set: no MariaDB server for the tests";
        GTEST_SKIP() << "no MariaDB server (LEDGRIX_TEST_MYSQL_* not set)";
    }
    const QString table = QStringLiteral("e2e_%1").arg(QCoreApplication::applicationPid());
    const QString svc = QStringLiteral("cfg/MY/my.svc");
    EditProjectFile(svc, "@TABLE@", table.toUtf8());
    EditProjectFile(svc, "@SERVER@",
                    (Env("LEDGRIX_TEST_MYSQL_HOST") + u':' + Env("LEDGRIX_TEST_MYSQL_PORT")).toUtf8());
    EditProjectFile(svc, "@DATABASE@", Env("LEDGRIX_TEST_MYSQL_DATABASE").toUtf8());
    EditProjectFile(svc, "@USER@", Env("LEDGRIX_TEST_MYSQL_USER").toUtf8());
    EditProjectFile(svc, "@PASSWORD@", Env("LEDGRIX_TEST_MYSQL_PASSWORD").toUtf8());  // holds ";" and '"'

    auto conn = std::make_shared<ado::Connection>();
    ASSERT_NO_THROW(conn->Open(QStringLiteral("Provider=MSDASQL.1;Password=") +
                               ado::QuoteConnectionValue(Env("LEDGRIX_TEST_MYSQL_PASSWORD")) +
                               QStringLiteral(";User ID=") + Env("LEDGRIX_TEST_MYSQL_USER") +
                               QStringLiteral(";Driver={MySQL ODBC 3.51 Driver};DATABASE=") +
                               Env("LEDGRIX_TEST_MYSQL_DATABASE") + QStringLiteral(";SERVER=") +
                               Env("LEDGRIX_TEST_MYSQL_HOST") + u':' + Env("LEDGRIX_TEST_MYSQL_PORT")));
    const TableAccess access{[conn](const QString& sql) { conn->Execute(sql); },
                             [conn](const QString& sql) {
                                 ado::Recordset rs;
                                 rs.CursorLocation = ado::adUseClient;
                                 rs.Open(sql, *conn);
                                 QStringList rows;
                                 for (const auto& row : rs.Rows()) {
                                     QStringList cols;
                                     for (const QVariant& v : row) cols << CellText(v);
                                     rows << cols.join(u'|');
                                 }
                                 return rows;
                             }};
    conn->Execute(QStringLiteral("DROP TABLE IF EXISTS ") + table);
    conn->Execute(
        QStringLiteral("CREATE TABLE %1 (Time DATETIME, Flow DOUBLE, Note VARCHAR(20))").arg(table));

    PurgeAtStartAndByTag(QStringLiteral("MY"), access, table);
    // Whole-second grid times, one per record.
    const QStringList times =
        access.rows(QStringLiteral("SELECT Time FROM %1 WHERE Flow >= 0 ORDER BY Time").arg(table));
    EXPECT_EQ(times.size(), QSet<QString>(times.begin(), times.end()).size());
    conn->Execute(QStringLiteral("DROP TABLE ") + table);
}

TEST_F(RecordWritersE2E, ExcelConnectionLivesPerRecordUnlessKeptAlive) {
    MakeDatabase(QStringLiteral("dat/book.xls"), QStringLiteral("Sheet1$"));
    QProcess& perRecord = Run(QStringLiteral("XLS"));
    ASSERT_TRUE(WaitForCount(QStringLiteral("NREC"), 3));
    StopSaver(perRecord);
    const int records =
        CountLog(QStringLiteral("XLS"), QStringLiteral("Append to Database, SQL Command:Insert"));
    EXPECT_EQ(records, server->Value(QStringLiteral("NREC")));
    // Prepared once at start, then before each record and closed after it.
    EXPECT_EQ(CountLog(QStringLiteral("XLS"), QStringLiteral(" | PrepareDB OK!")), records + 1);
    EXPECT_EQ(CountLog(QStringLiteral("XLS"), QStringLiteral("Sheet Close Database connection.")), records);
    EXPECT_EQ(Sqlite(QStringLiteral("dat/book.xls"), {QStringLiteral("SELECT COUNT(*) FROM [Sheet1$]")}),
              QStringList{QString::number(records)});

    ClearLog(QStringLiteral("XLS"));
    EditProjectFile(QStringLiteral("cfg/XLS/sheet.svc"), "dbSKeepConnectionAliveAfterSaveDataForExcel=0",
                    "dbSKeepConnectionAliveAfterSaveDataForExcel=1");
    QProcess& keptAlive = Run(QStringLiteral("XLS"));
    ASSERT_TRUE(WaitForCount(QStringLiteral("NREC"), 4));
    StopSaver(keptAlive);
    EXPECT_GE(CountLog(QStringLiteral("XLS"), QStringLiteral("Append to Database, SQL Command:Insert")), 4);
    // Released (not closed) after start, opened again by the first record, then kept.
    EXPECT_EQ(CountLog(QStringLiteral("XLS"), QStringLiteral(" | PrepareDB OK!")), 2);
    EXPECT_EQ(CountLog(QStringLiteral("XLS"), QStringLiteral("Sheet Close Database connection.")), 0);
}
