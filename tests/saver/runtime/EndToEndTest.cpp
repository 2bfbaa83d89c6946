// The real Ledgrix program with the HMI runtime stand-in running in the test process: a program
// folder of its own with the project beside it, windows offscreen, message boxes on stderr.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "platform/captions/Captions.h"
#include "platform/hexvane-sim/HexvaneServer.h"
#include "tests/platform/hexvane-sim/HmiTestProject.h"

namespace {

QString BinFile(const QString& name) {
    return QStringLiteral(LEDGRIX_BIN_DIR "/") + name;
}

// Hard link when possible (the program finds its folder through its real path), else a copy.
bool PlaceFile(const QString& from, const QString& to) {
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) return true;
    return QFile::copy(from, to);
}

bool CopyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString dst = to + src.mid(from.size());
        QDir().mkpath(QFileInfo(dst).path());
        if (!QFile::copy(src, dst)) return false;
    }
    return true;
}

class SaverEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        bin = root.path() + QStringLiteral("/bin");
        ASSERT_TRUE(QDir().mkpath(bin));
        for (const char* f : {"Ledgrix", "PTSERV32.dll"})
            ASSERT_TRUE(PlaceFile(BinFile(QLatin1String(f)), bin + u'/' + QLatin1String(f))) << f;
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(LEDGRIX_TEST_DATA "/runtime/Ledgrix.set"), bin + "/Ledgrix.set"));
        ASSERT_TRUE(CopyTree(QStringLiteral(LEDGRIX_TEST_DATA "/runtime/Project"), root.path() + "/Project"));
        project = root.path() + QStringLiteral("/Project/P1");
        QDir().mkpath(project + QStringLiteral("/dat"));
        ASSERT_TRUE(WriteTagDatabase(project + QStringLiteral("/P1.pam"),
                                     {{QStringLiteral("TRIG"), QStringLiteral("ANALOG")},
                                      {QStringLiteral("NREC"), QStringLiteral("ANALOG")},
                                      {QStringLiteral("ALIVE"), QStringLiteral("DIGITAL")},
                                      {QStringLiteral("STOP"), QStringLiteral("DIGITAL")},
                                      {QStringLiteral("T1"), QStringLiteral("ANALOG")}}));
        server = std::make_unique<HexvaneServer>(project);
        ASSERT_TRUE(server->Start()) << server->ErrorText().toStdString();
    }

    void TearDown() override {
        for (auto& p : savers) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        if (server) server->Stop();
    }

    QProcess& StartSaver(const QStringList& args = {QStringLiteral("P1"), QStringLiteral("WS1")}) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LEDGRIX_MSGBOX"), QStringLiteral("stderr"));
        env.insert(QStringLiteral("LEDGRIX_WINDOW_DIR"), runtimeFolder.Path());
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(root.path());
        p->start(bin + QStringLiteral("/Ledgrix"), args);
        EXPECT_TRUE(p->waitForStarted(10000));
        savers.push_back(std::move(p));
        return *savers.back();
    }

    // Sets a tag and waits until the saver has had time to see it (the tag's next change).
    void SetAndSettle(const QString& tag, double value) {
        ASSERT_TRUE(server->SetValue(tag, value));
        QThread::msleep(300);
    }

    QStringList LogLines() const {
        QFile f(project + QStringLiteral("/cfg/WS1/Ledgrix.log"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
    }

    QStringList CsvLines() const {
        QFile f(project + QStringLiteral("/dat/trig.csv"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    void SetLiveAlone(int value) {
        const QString svl = project + QStringLiteral("/cfg/WS1/Ledgrix.svl");
        QFile f(svl);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        text.replace("dbSLiveAlone=1", "dbSLiveAlone=" + QByteArray::number(value));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    PrivateRuntimeFolder runtimeFolder;
    QTemporaryDir root{QStringLiteral(LEDGRIX_BIN_DIR "/../e2e-XXXXXX")};
    QString bin, project;
    std::unique_ptr<HexvaneServer> server;
    std::vector<std::unique_ptr<QProcess>> savers;
};

}  // namespace

TEST_F(SaverEndToEnd, TriggerSavesRecordsAndStopTagEndsInOrder) {
    QProcess& saver = StartSaver();
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 20000))
        << saver.readAllStandardError().toStdString();

    SetAndSettle(QStringLiteral("T1"), 11);
    SetAndSettle(QStringLiteral("TRIG"), 1);  // the first change only primes the trigger
    SetAndSettle(QStringLiteral("TRIG"), 0);
    EXPECT_TRUE(CsvLines().isEmpty());
    ASSERT_TRUE(server->SetValue(QStringLiteral("TRIG"), 1));
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("NREC"), 1, 10000));
    EXPECT_TRUE(server->WaitForValue(QStringLiteral("TRIG"), 0, 5000));  // written back
    QThread::msleep(300);
    SetAndSettle(QStringLiteral("T1"), 22);
    ASSERT_TRUE(server->SetValue(QStringLiteral("TRIG"), 5));
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("NREC"), 2, 10000));
    const QStringList csv = CsvLines();
    ASSERT_EQ(csv.size(), 2) << csv.join(u'|').toStdString();
    EXPECT_TRUE(csv[0].contains(QStringLiteral("11")));
    EXPECT_TRUE(csv[1].contains(QStringLiteral("22")));

    ASSERT_TRUE(server->SetValue(QStringLiteral("STOP"), 1));
    ASSERT_TRUE(saver.waitForFinished(15000));
    EXPECT_EQ(saver.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server->Value(QStringLiteral("ALIVE")), 0);
    EXPECT_EQ(server->Value(QStringLiteral("STOP")), 0);  // reset before the end

    QStringList lines = LogLines();
    ASSERT_GE(lines.size(), 3);
    // The closing line is followed by an empty line.
    EXPECT_TRUE(lines.last().isEmpty());
    lines.removeLast();
    EXPECT_TRUE(lines.last().isEmpty());
    lines.removeLast();
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral(" | Message | Ledgrix.System | Ledgrix is closed.")))
        << lines.last().toStdString();
    EXPECT_TRUE(lines.filter(QStringLiteral("ALIVE = 0")).size() == 1);
}

TEST_F(SaverEndToEnd, SecondSaverOnTheSameWorkstationIsRefused) {
    QProcess& first = StartSaver();
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 20000))
        << first.readAllStandardError().toStdString();
    // The first saver's window carries its caption once shown.
    QElapsedTimer t;
    t.start();
    while (!WindowCaptionExists(QStringLiteral("Ledgrix for Windows")) && t.elapsed() < 10000)
        QThread::msleep(50);

    const quint64 aliveChanges = server->ChangeCount(QStringLiteral("ALIVE"));
    QProcess& second = StartSaver();
    ASSERT_TRUE(second.waitForFinished(20000));
    const QString err = QString::fromUtf8(second.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("is running!"))) << err.toStdString();
    // The refused saver neither touched the alive tag nor stopped the first one.
    EXPECT_EQ(server->ChangeCount(QStringLiteral("ALIVE")), aliveChanges);
    EXPECT_EQ(server->Value(QStringLiteral("ALIVE")), 1);
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(SaverEndToEnd, WithoutLiveAloneTheSaverEndsWhenTheHmiRuntimeIsGone) {
    SetLiveAlone(0);
    QProcess& saver = StartSaver();
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 20000))
        << saver.readAllStandardError().toStdString();
    QThread::msleep(500);
    EXPECT_EQ(saver.state(), QProcess::Running);
    server->Stop();
    ASSERT_TRUE(saver.waitForFinished(10000));
    const QStringList lines = LogLines();
    EXPECT_FALSE(lines.filter(QStringLiteral("| Message | Ledgrix.System | dbSLiveAlone = 0")).isEmpty());
}

TEST_F(SaverEndToEnd, TimerFormRunsTheSamePasses) {
    QFile set(bin + QStringLiteral("/Ledgrix.set"));
    ASSERT_TRUE(set.open(QIODevice::ReadOnly));
    QByteArray text = set.readAll();
    set.close();
    text.replace("IsUseTimer=0", "IsUseTimer=1");
    ASSERT_TRUE(set.open(QIODevice::WriteOnly | QIODevice::Truncate));
    set.write(text);
    set.close();

    QProcess& saver = StartSaver();
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 20000))
        << saver.readAllStandardError().toStdString();
    SetAndSettle(QStringLiteral("TRIG"), 1);
    SetAndSettle(QStringLiteral("TRIG"), 0);
    ASSERT_TRUE(server->SetValue(QStringLiteral("TRIG"), 1));
    EXPECT_TRUE(server->WaitForValue(QStringLiteral("NREC"), 1, 10000))
        << saver.readAllStandardError().toStdString();
    ASSERT_TRUE(server->SetValue(QStringLiteral("STOP"), 1));
    ASSERT_TRUE(saver.waitForFinished(15000));
    EXPECT_EQ(server->Value(QStringLiteral("ALIVE")), 0);
    EXPECT_EQ(CsvLines().size(), 1);
}
