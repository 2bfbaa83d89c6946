// The real LedgrixConfig in a throw-away program folder, headless: message boxes are stderr
// lines answered from LEDGRIX_MSGBOX_ANSWERS, and the program is ended as the desktop closes its
// window (SIGTERM).
#include <sys/stat.h>

#include <QCryptographicHash>
#include <QRegularExpression>

#include "tests/saver/SaverProcessFixture.h"
#include "tests/support/TestSupport.h"

namespace {

struct ConfigRun {
    int status = -1;
    QStringList boxes;  // "title|text" of every box shown
};

}  // namespace

class ConfigProgramE2E : public SaverProcessFixture {
  protected:
    // The program folder for the configuration program alone.
    void MakeConfigFolder() {
        ASSERT_TRUE(root.isValid());
        bin = root.path() + QStringLiteral("/bin");
        ASSERT_TRUE(QDir().mkpath(bin));
        PlaceConfig();
    }
    void PlaceConfig() {
        ASSERT_TRUE(
            PlaceFile(BinFile(QStringLiteral("LedgrixConfig")), bin + QStringLiteral("/LedgrixConfig")));
        QFile::copy(BinFile(QStringLiteral("Ledgrix.set")), bin + QStringLiteral("/Ledgrix.set"));
        QFile::copy(BinFile(QStringLiteral("help.txt")), bin + QStringLiteral("/help.txt"));
    }

    // With `windowDir`, the program's windows are registered there (a desktop of its own).
    std::unique_ptr<QProcess> Start(const QString& commandLine, const QString& answers,
                                    const QString& program = QString(),
                                    const QString& windowDir = QString()) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LEDGRIX_MSGBOX"), QStringLiteral("stderr"));
        env.insert(QStringLiteral("LEDGRIX_MSGBOX_ANSWERS"), answers);
        env.insert(QStringLiteral("LEDGRIX_WINDOW_DIR"),
                   windowDir.isEmpty() ? runtimeFolder.Path() : windowDir);
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        // The window's per-user settings and the registry file are the test's own.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("LEDGRIX_REGISTRY_FILE"), root.path() + QStringLiteral("/registry.ini"));
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(root.path());
        p->start(program.isEmpty() ? bin + QStringLiteral("/LedgrixConfig") : program,
                 commandLine.split(u' ', Qt::SkipEmptyParts));
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    }

    static bool MainWindowShown() { return WindowCaptionExists(QStringLiteral("LedgrixConfig")); }

    // Runs the program to its end; with `close`, the main window is closed once it is shown.
    ConfigRun Run(const QString& commandLine, const QString& answers = QString(), bool close = false,
                  const QString& program = QString()) {
        auto p = Start(commandLine, answers, program);
        if (close) {
            EXPECT_TRUE(
                WaitUntil([&] { return MainWindowShown() || p->state() == QProcess::NotRunning; }, 20000));
            p->terminate();
        }
        EXPECT_TRUE(p->waitForFinished(20000)) << commandLine.toStdString();
        return Finished(*p);
    }

    static ConfigRun Finished(QProcess& p) {
        ConfigRun r;
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        for (const QString& line : QString::fromUtf8(p.readAllStandardError()).split(u'\n'))
            if (line.startsWith(QLatin1String("MSGBOX|"))) r.boxes << line.section(u'|', 2);
        return r;
    }

    QByteArray File(const QString& relative) const {
        QFile f(root.path() + QStringLiteral("/Project/") + relative);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool Exists(const QString& relative) const {
        return QFileInfo::exists(root.path() + QStringLiteral("/Project/") + relative);
    }
    void Write(const QString& relative, const QByteArray& bytes) {
        const QString path = root.path() + QStringLiteral("/Project/") + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

TEST_F(ConfigProgramE2E, WorkstationActionsChangeTheDiskAndEndWithTheirStatus) {
    MakeConfigFolder();
    QDir().mkpath(root.path() + QStringLiteral("/Project/P/cfg/W1"));
    ConfigRun r = Run(QStringLiteral("P W1 /PAMADDWKS"));
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.boxes.isEmpty()) << r.boxes.join(u'\n').toStdString();
    EXPECT_EQ(File(QStringLiteral("P/cfg/W1/Ledgrix.svl")), "[SystemBasic]\r\n\r\n[ModuleList]\r\n\r\n");
    EXPECT_TRUE(Exists(QStringLiteral("P/dat/Ledgrix/W1")));

    const QByteArray svl = "[ModuleList]\r\nModule1=G,..\\Project\\P\\cfg\\W1\\g.svc\r\n";
    const QByteArray group = "[CSV]\r\ndbCSVFilePath=..\\Project\\P\\cfg\\W1\\g.csv\r\n";
    Write(QStringLiteral("P/cfg/W1/Ledgrix.svl"), svl);
    Write(QStringLiteral("P/cfg/W1/g.svc"), group);
    EXPECT_EQ(Run(QStringLiteral("P W1 W2 /PAMCOPYWKS")).status, 0);
    EXPECT_EQ(File(QStringLiteral("P/cfg/W2/g.svc")),
              "[CSV]\r\ndbCSVFilePath=..\\PROJECT\\P\\CFG\\W2\\g.csv\r\n");
    EXPECT_EQ(File(QStringLiteral("P/cfg/W1/g.svc")), group);
    EXPECT_EQ(File(QStringLiteral("P/cfg/W1/Ledgrix.svl")), svl);

    r = Run(QStringLiteral("P W1 w1 /PAMCOPYWKS"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.boxes.size(), 1);

    EXPECT_EQ(Run(QStringLiteral("P W2 W3 /PAMRENAMEWKS")).status, 0);
    EXPECT_TRUE(File(QStringLiteral("P/cfg/W2/Ledgrix.svl")).contains("..\\PROJECT\\P\\CFG\\W3\\g.svc"));

    // Refused names touch nothing; Cancel keeps the data folder of a deleted workstation.
    r = Run(QStringLiteral("P .. /PAMDELETEWKS"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Exists(QStringLiteral("P/dat/Ledgrix/W1")));
    r = Run(QStringLiteral("P W1 /PAMDELETEWKS"), QStringLiteral("cancel"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.boxes,
              QStringList{QStringLiteral(
                  "Ledgrix 程式 - 刪除工作站|是否一併刪除資料目錄夾[..\\Project\\P\\dat\\Ledgrix\\W1]?")});
    EXPECT_FALSE(Exists(QStringLiteral("P/cfg/W1/g.svc")));
    EXPECT_TRUE(Exists(QStringLiteral("P/dat/Ledgrix/W1")));
    EXPECT_EQ(Run(QStringLiteral("Nope W1 /PAMADDWKS")).status, 1);
}

// In a terminal without a display: the usage on standard output, no box, status 0.
TEST_F(ConfigProgramE2E, BothProgramsPrintTheirUsageWithoutADisplay) {
    for (const char* program : {"Ledgrix", "LedgrixConfig"}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("LEDGRIX_MSGBOX"), QStringLiteral("stderr"));
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        p.setProcessEnvironment(env);
        p.start(BinFile(QString::fromLatin1(program)), {QStringLiteral("--help")});
        ASSERT_TRUE(p.waitForFinished(20000)) << program;
        const QByteArray out = p.readAllStandardOutput();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << program;
        EXPECT_EQ(p.exitCode(), 0) << program;
        EXPECT_TRUE(out.startsWith(program + QByteArray(" - "))) << out.toStdString();
        EXPECT_TRUE(out.contains("\nUsage:\n")) << out.toStdString();
        EXPECT_FALSE(p.readAllStandardError().contains("MSGBOX|")) << program;
    }
}

TEST_F(ConfigProgramE2E, LegacyBig5FilesKeepEveryByteButThePathsThatChange) {
    MakeConfigFolder();
    // 生產 and 許 in Big5; the second byte of 許 is a backslash, right before a path.
    const QByteArray svl =
        "[SystemBasic]\r\ndbSCaption=\xA5\xCD\xB2\xA3 \xB3\x5C..\\Project\\P\\cfg\\W1\r\n[ModuleList]\r\n"
        "Module1=\xA5\xCD\xB2\xA3,..\\Project\\P\\cfg\\W1\\g.svc\r\n";
    const QByteArray group =
        "[Basic]\r\ndbDBTypeName=CSV\r\n[CSV]\r\ndbCSVFilePath=..\\project\\p\\cfg\\w1\\\xB2\xA3.csv\r\n"
        "[FieldList]\r\nfd1=\xA5\xCD\xB2\xA3,T1.VALUE,2,-1\r\n";
    Write(QStringLiteral("P/cfg/W1/Ledgrix.svl"), svl);
    Write(QStringLiteral("P/cfg/W1/g.svc"), group);
    const auto moved = [](QByteArray bytes, const QByteArray& to) {
        return bytes.replace("..\\Project\\P\\cfg\\W1", to).replace("..\\project\\p\\cfg\\w1", to);
    };
    EXPECT_EQ(Run(QStringLiteral("P W1 W2 /PAMCOPYWKS")).status, 0);
    EXPECT_EQ(File(QStringLiteral("P/cfg/W2/Ledgrix.svl")), moved(svl, "..\\PROJECT\\P\\CFG\\W2"));
    EXPECT_EQ(File(QStringLiteral("P/cfg/W2/g.svc")), moved(group, "..\\PROJECT\\P\\CFG\\W2"));
    EXPECT_EQ(File(QStringLiteral("P/cfg/W1/Ledgrix.svl")), svl);
    EXPECT_EQ(Run(QStringLiteral("P W2 W3 /PAMRENAMEWKS")).status, 0);
    EXPECT_EQ(File(QStringLiteral("P/cfg/W2/Ledgrix.svl")), moved(svl, "..\\PROJECT\\P\\CFG\\W3"));

    // Opened, upgraded into the workstation folder and saved: still Big5.
    Write(QStringLiteral("P/cfg/W1/Ledgrix.svl"), moved(svl, "..\\Project\\P"));
    Write(QStringLiteral("P/g.svc"), group);
    const ConfigRun r = Run(QStringLiteral("P W1"), QStringLiteral("yes"), true);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.boxes, QStringList{QStringLiteral("升級專案|是否要升級Ledgrix專案?")});
    const QByteArray saved = File(QStringLiteral("P/cfg/W1/Ledgrix.svl"));
    EXPECT_TRUE(saved.contains("\r\nModule1=\xA5\xCD\xB2\xA3,..\\PROJECT\\P\\CFG\\W1\\g.svc\r\n") &&
                saved.contains("\r\ndbSCaption=\xA5\xCD\xB2\xA3 \xB3\x5C..\\Project\\P\r\n"))
        << saved.toStdString();
    EXPECT_TRUE(
        File(QStringLiteral("P/cfg/W1/g.svc")).contains("\r\nfd1=\xA5\xCD\xB2\xA3,T1.VALUE,2,-1\r\n"));
}

TEST_F(ConfigProgramE2E, TwoProgramsUpgradingOneProjectAtOnceBothSucceed) {
    MakeConfigFolder();
    // An old-format workstation of 64 groups, which each program saves whole when it opens it.
    const auto layOut = [&] {
        QByteArray svl = "[ModuleList]\r\n";
        for (int i = 1; i <= 64; ++i) {
            svl += QStringLiteral("Module%1=G%1,..\\Project\\P\\cfg\\W\\g%1.svc\r\n").arg(i).toUtf8();
            Write(QStringLiteral("P/cfg/W/g%1.svc").arg(i),
                  "[Basic]\r\ndbProvider=Microsoft.Jet.OLEDB.4.0\r\ndbTableName=T\r\n[FieldList]\r\nfd1=F,T."
                  "VALUE\r\n");
        }
        Write(QStringLiteral("P/cfg/W/Ledgrix.svl"), svl);
        QFile::remove(root.path() + QStringLiteral("/Project/P/cfg/W/Ledgrix.log"));
    };
    const auto files = [&] {
        QStringList all;
        for (const QString& name :
             QDir(root.path() + QStringLiteral("/Project/P/cfg/W")).entryList(QDir::Files | QDir::Hidden))
            all << name + u' ' + QString::fromLatin1(File(QStringLiteral("P/cfg/W/") + name).toBase64());
        return all;
    };
    layOut();
    ASSERT_EQ(Run(QStringLiteral("P W"), QStringLiteral("yes"), true).status, 0);
    const QStringList upgraded = files();
    ASSERT_EQ(upgraded.size(), 66);

    // Two desktops, one project: both programs upgrade it at the same moment.
    QTemporaryDir desktops[2];
    for (int round = 0; round < 6; ++round) {
        layOut();
        std::unique_ptr<QProcess> programs[2];
        for (int i = 0; i < 2; ++i)
            programs[i] = Start(QStringLiteral("P W"), QStringLiteral("yes"), QString(), desktops[i].path());
        for (int i = 0; i < 2; ++i) {
            const QByteArray own = qgetenv("LEDGRIX_WINDOW_DIR");
            qputenv("LEDGRIX_WINDOW_DIR", QFile::encodeName(desktops[i].path()));
            EXPECT_TRUE(WaitUntil(
                [&] { return MainWindowShown() || programs[i]->state() == QProcess::NotRunning; }, 20000));
            qputenv("LEDGRIX_WINDOW_DIR", own);
            programs[i]->terminate();
            ASSERT_TRUE(programs[i]->waitForFinished(20000));
            const ConfigRun r = Finished(*programs[i]);
            EXPECT_EQ(r.status, 0);
            // The upgrade question, unless the other program had upgraded every file already.
            EXPECT_LE(r.boxes.size(), 1) << "round " << round << ": " << r.boxes.join(u'\n').toStdString();
            EXPECT_EQ(r.boxes.value(0, QStringLiteral("升級專案|是否要升級Ledgrix專案?")),
                      QStringLiteral("升級專案|是否要升級Ledgrix專案?"));
        }
        EXPECT_EQ(files(), upgraded) << "round " << round;
    }
}

TEST_F(ConfigProgramE2E, PipesNamedAsSettingsOrLogFilesAreRefusedWithoutWaiting) {
    MakeConfigFolder();
    Write(QStringLiteral("P/cfg/W/Ledgrix.svl"),
          "[SystemBasic]\r\ndbSLogDisable=0\r\ndbSLogFileName=..\\Project\\P\\cfg\\W\\pipe.log\r\n"
          "[ModuleList]\r\nModule1=G,..\\Project\\P\\cfg\\W\\g.svc\r\n");
    for (const char* name : {"pipe.log", "g.svc"}) {
        const QString pipe = root.path() + QStringLiteral("/Project/P/cfg/W/") + QLatin1String(name);
        ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    }
    const ConfigRun r = Run(QStringLiteral("P W"));
    EXPECT_NE(r.status, 0);
    // Each box names the pipe for what it is.
    EXPECT_EQ(
        r.boxes.filter(QStringLiteral("[..\\Project\\P\\cfg\\W\\pipe.log] is a pipe, not a file.")).size(), 1)
        << r.boxes.join(u'\n').toStdString();
    EXPECT_EQ(r.boxes.filter(QStringLiteral("[..\\Project\\P\\cfg\\W\\g.svc] is a pipe, not a file.")).size(),
              1);
    struct stat st;
    ASSERT_EQ(
        ::stat(QFile::encodeName(root.path() + QStringLiteral("/Project/P/cfg/W/g.svc")).constData(), &st),
        0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(ConfigProgramE2E, FirstOpeningOfAnEmptyWorkstationAndASecondStart) {
    MakeConfigFolder();
    QDir().mkpath(root.path() + QStringLiteral("/Project/P/cfg"));
    auto first = Start(QStringLiteral("P W"), QString());
    ASSERT_TRUE(
        WaitUntil([&] { return MainWindowShown() || first->state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(File(QStringLiteral("P/cfg/W/Ledgrix.svl")),
              "[SystemBasic]\r\n\r\ndbSIsSvcDefaultPath=0\r\n\r\n[ModuleList]\r\n\r\n");

    const ConfigRun second = Run(QStringLiteral("P W /PAMDELETEWKS"));
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.boxes, QStringList{QStringLiteral("LedgrixConfig|LedgrixConfig is running now!")});
    EXPECT_TRUE(Exists(QStringLiteral("P/cfg/W/Ledgrix.svl")));

    first->terminate();
    ASSERT_TRUE(first->waitForFinished(20000));
    const ConfigRun r = Finished(*first);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.boxes.isEmpty()) << r.boxes.join(u'\n').toStdString();  // opened unmodified: nothing asked
}

TEST_F(ConfigProgramE2E, OldProjectIsUpgradedThenRecordedByTheSaver) {
    MakeProgramFolder(BinFile(QStringLiteral("Ledgrix.set")), QStringLiteral(LEDGRIX_TEST_DATA "/config/e2e"),
                      QStringLiteral("OLD"),
                      {{QStringLiteral("STOP"), QStringLiteral("DIGITAL")},
                       {QStringLiteral("ALIVE"), QStringLiteral("DIGITAL")},
                       {QStringLiteral("NREC"), QStringLiteral("ANALOG")},
                       {QStringLiteral("FLOW"), QStringLiteral("ANALOG")}});
    PlaceConfig();
    SqliteRows(project + QStringLiteral("/dat/old.mdb"),
               {QStringLiteral("CREATE TABLE Log1 (Time DATETIME, Flow DOUBLE)")});

    const ConfigRun r = Run(QStringLiteral("OLD WS1"), QStringLiteral("yes,yes"), true);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.boxes, (QStringList{QStringLiteral("升級專案|是否要升級Ledgrix專案?"),
                                    QStringLiteral("升級專案|是否要升級Ledgrix專案?")}));
    const QByteArray svl = ProjectFile(QStringLiteral("cfg/WS1/Ledgrix.svl"));
    EXPECT_TRUE(svl.contains("\r\nModule1=Flow,..\\PROJECT\\OLD\\CFG\\WS1\\flow.svc\r\n"))
        << svl.toStdString();
    EXPECT_TRUE(svl.contains("\r\ndbSLogFileName=..\\PROJECT\\OLD\\CFG\\WS1\\Ledgrix.log\r\n"));
    EXPECT_TRUE(ProjectFile(QStringLiteral("cfg/WS1/flow.svc")).contains("\r\ndbDBTypeName=ACCESS\r\n"));

    ASSERT_TRUE(server->SetValue(QStringLiteral("FLOW"), 2.5));
    QProcess& saver = StartSaver({QStringLiteral("OLD"), QStringLiteral("WS1")});
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 20000))
        << saver.readAllStandardError().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return server->Value(QStringLiteral("NREC")) >= 2; }, 20000));
    StopSaver(saver);
    const QStringList rows =
        SqliteRows(project + QStringLiteral("/dat/old.mdb"), {QStringLiteral("SELECT Flow FROM Log1")});
    EXPECT_EQ(rows.size(), server->Value(QStringLiteral("NREC")));
    for (const QString& row : rows) EXPECT_EQ(row, QStringLiteral("2.5"));
    EXPECT_FALSE(LogLines().filter(QStringLiteral("Ledgrix is closed.")).isEmpty());
}

TEST_F(ConfigProgramE2E, DemoProjectIsOpenedUpgradedAndSavedThenRecordedByTheSaver) {
    const QString demo = QStringLiteral(LEDGRIX_TEST_DATA "/../../demo");
    TagList tags;
    for (const QString& row : SqliteRows(demo + QStringLiteral("/Project/Demo/Demo.pam"),
                                         {QStringLiteral("SELECT TagName, Class FROM Tag")}))
        tags.push_back({row.section(u'|', 0, 0), row.section(u'|', 1)});
    MakeProgramFolder(BinFile(QStringLiteral("Ledgrix.set")), demo, QStringLiteral("Demo"), tags);
    PlaceConfig();

    // As shipped: opened and closed without a box, nothing written.
    const QByteArray shipped = ProjectFile(QStringLiteral("cfg/WS1/Ledgrix.svl"));
    ConfigRun r = Run(QStringLiteral("Demo WS1"), QString(), true);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.boxes.isEmpty()) << r.boxes.join(u'\n').toStdString();
    EXPECT_EQ(ProjectFile(QStringLiteral("cfg/WS1/Ledgrix.svl")), shipped);

    // The same project as an older version kept it, its group files beside the project: the
    // program upgrades it and saves every group through its checks.
    QByteArray svl = shipped;
    svl.replace("dbSIsSvcDefaultPath=1", "dbSIsSvcDefaultPath=0");
    for (const char* group : {"Cyclic1s", "Fast250", "Batches", "Enabled"}) {
        const QByteArray name(group);
        svl.replace("," + name + ".svc", ",..\\Project\\Demo\\" + name + ".svc");
        ASSERT_TRUE(QFile::rename(project + "/cfg/WS1/" + name + ".svc", project + "/" + name + ".svc"));
    }
    WriteProjectFile(QStringLiteral("cfg/WS1/Ledgrix.svl"), svl);
    r = Run(QStringLiteral("Demo WS1"), QStringLiteral("yes"), true);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.boxes, QStringList{QStringLiteral("升級專案|是否要升級Ledgrix專案?")});
    svl = ProjectFile(QStringLiteral("cfg/WS1/Ledgrix.svl"));
    EXPECT_TRUE(svl.contains("\r\nModule2=Fast250,..\\PROJECT\\Demo\\CFG\\WS1\\Fast250.svc\r\n"))
        << svl.toStdString();
    const QByteArray fast = ProjectFile(QStringLiteral("cfg/WS1/Fast250.svc"));
    EXPECT_TRUE(fast.contains("\r\ndbDBTypeName=EXCEL\r\n") &&
                fast.contains("\r\nSaveTimeInterval=0.25\r\n"));

    ASSERT_TRUE(server->SetValue(QStringLiteral("FLOW"), 12.5));
    QProcess& saver = StartSaver({QStringLiteral("Demo"), QStringLiteral("WS1")});
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 20000))
        << saver.readAllStandardError().toStdString();
    // The saver holds its database files while it runs: count their rows once it has ended.
    ASSERT_TRUE(WaitUntil(
        [&] {
            return LogLines()
                       .filter(QStringLiteral("| Ledgrix.Cyclic1s | Append to Database, SQL Command:Insert"))
                       .size() >= 2;
        },
        20000))
        << saver.readAllStandardError().toStdString();
    StopSaver(saver);
    const QString data = project + QStringLiteral("/dat/Ledgrix/");
    const auto count = [&](const QString& file, const QString& table) {
        return SqliteRows(data + file, {QStringLiteral("SELECT COUNT(*) FROM [") + table + u']'})
            .value(0)
            .toInt();
    };
    const int fastRows = count(QStringLiteral("demo.xls"), QStringLiteral("Fast250$"));
    EXPECT_GE(fastRows, 3 * count(QStringLiteral("demo.mdb"), QStringLiteral("Cyclic1s")) - 4);
    EXPECT_EQ(SqliteRows(data + QStringLiteral("demo.xls"),
                         {QStringLiteral("SELECT DISTINCT Flow FROM [Fast250$]")}),
              QStringList{QStringLiteral("12.5")});
    EXPECT_TRUE(LogLines().filter(QStringLiteral("| Error |")).isEmpty())
        << LogLines().join(u'\n').toStdString();
}

// The README's command that opens the demo, run as a newcomer runs it: from the root of a clone
// in which scripts/demo.sh has built build/bin and laid out build/Project/Demo.
TEST_F(ConfigProgramE2E, ReadmeCommandOpensTheDemoAndEndsInOrder) {
    const QString source = QStringLiteral(LEDGRIX_TEST_DATA "/../..");
    QFile readme(source + QStringLiteral("/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(readme.readAll()).split(u'\n');
    const qsizetype demo = lines.indexOf(QStringLiteral("    scripts/demo.sh"));
    const qsizetype open = lines.indexOf(QRegularExpression(QStringLiteral("^    \\S*LedgrixConfig .*$")));
    ASSERT_GE(demo, 0);
    ASSERT_GT(open, demo) << "the README opens the demo after scripts/demo.sh has laid it out";
    QStringList words = lines[open].trimmed().split(u' ', Qt::SkipEmptyParts);
    const QString program = root.path() + u'/' + words.takeFirst();

    // What scripts/demo.sh lays out.
    bin = root.path() + QStringLiteral("/build/bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    PlaceConfig();
    ASSERT_EQ(program, bin + QStringLiteral("/LedgrixConfig"));
    const QString demoProject = root.path() + QStringLiteral("/build/Project/Demo");
    ASSERT_TRUE(CopyTree(source + QStringLiteral("/demo/Project/Demo"), demoProject));
    ASSERT_TRUE(
        QFile::copy(demoProject + QStringLiteral("/Demo.pam"), demoProject + QStringLiteral("/WS1.pam")));
    // Every file of the project with the hash of its bytes; the log file that opening makes ready
    // (empty) is left out.
    auto files = [&] {
        QStringList all;
        QDirIterator it(demoProject, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            if (f.fileName().endsWith(QLatin1String("/cfg/WS1/Ledgrix.log")) && bytes.isEmpty()) continue;
            all << f.fileName().mid(demoProject.size()) + u' ' +
                       QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
        }
        all.sort();
        return all.join(u'\n').toStdString();
    };
    const std::string laidOut = files();

    // Ended as the desktop ends it once the window shows: the window closes in order (it keeps its
    // place in the per-user settings). The demo's workstation and all its groups were opened as
    // they are: nothing asked, nothing created or written.
    const ConfigRun r = Run(words.join(u' '), QString(), true, program);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.boxes.isEmpty()) << r.boxes.join(u'\n').toStdString();
    EXPECT_TRUE(QFileInfo::exists(root.path() + QStringLiteral("/config/LedgrixConfig/LedgrixConfig.conf")));
    EXPECT_EQ(files(), laidOut);
}

TEST_F(ConfigProgramE2E, OpeningMakesNoFileOutsideAndLosesNoSettingsItCannotHold) {
    MakeConfigFolder();
    const QString svl = QStringLiteral("P/cfg/W/Ledgrix.svl");
    Write(svl, "[ModuleList]\r\nModule1=X,..\\Project\\P\\..\\..\\out\\x.svc\r\n");
    EXPECT_EQ(Run(QStringLiteral("P W")).boxes,
              QStringList{QStringLiteral(
                  "Setting file error|Cannot find the setting file:..\\Project\\P\\..\\..\\out\\x.svc")});
    EXPECT_FALSE(QFileInfo::exists(root.path() + QStringLiteral("/out")));

    QByteArray group = "[Basic]\r\ndbDBTypeName=CSV\r\n[FieldList]\r\n";
    for (int n = 1; n <= 256; ++n)
        group += "fd" + QByteArray::number(n) + "=F" + QByteArray::number(n) + "\r\n";
    Write(QStringLiteral("P/cfg/W/g.svc"), group);
    Write(svl, "[SystemBasic]\r\ndbSIsSvcDefaultPath=true\r\n[ModuleList]\r\nModule1=G,g.svc\r\n");
    EXPECT_EQ(Run(QStringLiteral("P W")).boxes,
              QStringList{
                  QStringLiteral("Settings error|Settings error!\\ndbSIsSvcDefaultPath[true] is not a whole "
                                 "number.\\n..\\Project\\P\\cfg\\W\\Ledgrix.svl")});
    Write(svl, "[ModuleList]\r\nModule1=G,g.svc\r\n");  // bare names, the flag missing
    ConfigRun r = Run(QStringLiteral("P W"), QStringLiteral("yes"));
    EXPECT_TRUE(
        r.boxes.value(1).startsWith(QStringLiteral("Error-Upgrade project|Fail to upgrade the project!")));
    EXPECT_EQ(r.boxes.size(), 2);  // nothing saved at the exit
    Write(svl, "[SystemBasic]\r\ndbSIsSvcDefaultPath=1\r\n[ModuleList]\r\nModule1=G,g.svc\r\n");
    r = Run(QStringLiteral("P W"), QString(), true);
    EXPECT_EQ(r.boxes.size(), 1);
    EXPECT_TRUE(
        r.boxes.value(0).contains(QStringLiteral("Save group [G]: the fields after fd255 were not loaded")));
    EXPECT_EQ(File(QStringLiteral("P/cfg/W/g.svc")), group);

    // An upgrade saves the group: a cycle it cannot keep is reported first, and tag references
    // that begin with "." are written as read.
    Write(svl, "[ModuleList]\r\nModule1=H,..\\Project\\P\\h.svc\r\n");
    Write(QStringLiteral("P/h.svc"),
          "[Basic]\r\ndbDBTypeName=CSV\r\nSaveTimeInterval=0.0001\r\n[CSV]\r\n"
          "dbSCSVDirTag=.\r\n[FieldList]\r\nfd1=A,.x,-1,-1\r\n");
    r = Run(QStringLiteral("P W"), QStringLiteral("ok,yes"), true);
    EXPECT_TRUE(r.boxes.value(0).startsWith(
        QStringLiteral("Settings error|Setting error!\\nSaveTimeInterval:0.0001")));
    const QByteArray saved = File(QStringLiteral("P/cfg/W/h.svc"));
    EXPECT_TRUE(saved.contains("\r\ndbSCSVDirTag=.\r\n") && saved.contains("\r\nfd1=A,.x,-1,-1\r\n"))
        << saved.toStdString();
}
