// The real Ledgrix program with the HMI runtime stand-in running in the test process: a program
// folder of its own with the project beside it, windows offscreen, message boxes on stderr.
#include <signal.h>

#include "platform/captions/RuntimeFolder.h"
#include "tests/saver/SaverProcessFixture.h"
#include "tests/support/SilentServer.h"
#include "tests/support/TestSupport.h"

namespace {

class SaverEndToEnd : public SaverProcessFixture {
  protected:
    void SetUp() override { MakeRuntimeProject(); }

    // A second group that saves its record time every second, touching no tag: its records
    // show that the saver's passes go on.
    void AddTickGroup() {
        WriteProjectFile(
            QStringLiteral("cfg/WS1/tick.svc"),
            "[Basic]\r\ndbDBTypeName=CSV\r\nSaveTimeInterval=1\r\n[CSV]\r\n"
            "dbCSVFilePath=..\\Project\\P1\\dat\\tick.csv\r\n[FieldList]\r\nfd1=Time,^DATETIME\r\n");
        EditProjectFile(QStringLiteral("cfg/WS1/Ledgrix.svl"), "Module1=Trig,trig.svc",
                        "Module1=Trig,trig.svc\r\nModule2=Tick,tick.svc");
    }
    double Ticks() const { return ProjectFile(QStringLiteral("dat/tick.csv")).count("\r\n"); }

    QProcess& StartSaver(const QStringList& args = {QStringLiteral("P1"), QStringLiteral("WS1")}) {
        return SaverProcessFixture::StartSaver(args);
    }

    QStringList CsvLines() const {
        QFile f(project + QStringLiteral("/dat/trig.csv"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    // Primes the trigger and raises it: one record, whenever the saver takes the changes (it
    // reads the value as it takes each one, and the last raise always finds the trigger primed).
    void PulseTrigger() {
        ASSERT_TRUE(server->SetValue(QStringLiteral("TRIG"), 1));
        ASSERT_TRUE(server->SetValue(QStringLiteral("TRIG"), 0));
        ASSERT_TRUE(server->SetValue(QStringLiteral("TRIG"), 1));
    }

    void UseTimerForm() {
        QFile set(bin + QStringLiteral("/Ledgrix.set"));
        ASSERT_TRUE(set.open(QIODevice::ReadOnly));
        QByteArray text = set.readAll();
        set.close();
        text.replace("IsUseTimer=0", "IsUseTimer=1");
        ASSERT_TRUE(set.open(QIODevice::WriteOnly | QIODevice::Truncate));
        set.write(text);
    }

    // The saver ended through its orderly exit: alive tag reset and the closing line last; with
    // status 0 for an orderly end, 1 for a failure.
    void ExpectOrderlyEnd(QProcess& saver, int status) {
        ASSERT_TRUE(saver.waitForFinished(20000)) << "the saver did not end";
        EXPECT_EQ(saver.exitStatus(), QProcess::NormalExit) << saver.readAllStandardError().toStdString();
        EXPECT_EQ(saver.exitCode(), status);
        EXPECT_EQ(server->Value(QStringLiteral("ALIVE")), 0);
        EXPECT_TRUE(
            LastLogLine().endsWith(QStringLiteral(" | Message | Ledgrix.System | Ledgrix is closed.")))
            << LastLogLine().toStdString();
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
};

}  // namespace

TEST_F(SaverEndToEnd, TriggerSavesRecordsAndStopTagEndsInOrder) {
    AddTickGroup();
    QProcess& saver = StartSaver();
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 20000))
        << saver.readAllStandardError().toStdString();

    ASSERT_TRUE(server->SetValue(QStringLiteral("T1"), 11));
    const auto ticks = [this] { return Ticks(); };
    SetAndSettle(QStringLiteral("TRIG"), 1, ticks);  // the first change only primes the trigger
    SetAndSettle(QStringLiteral("TRIG"), 0, ticks);
    EXPECT_TRUE(CsvLines().isEmpty());
    ASSERT_TRUE(server->SetValue(QStringLiteral("TRIG"), 1));
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("NREC"), 1, kPatienceMs));
    EXPECT_TRUE(server->WaitForValue(QStringLiteral("TRIG"), 0, kPatienceMs));  // written back
    ASSERT_TRUE(server->SetValue(QStringLiteral("T1"), 22));
    ASSERT_TRUE(server->SetValue(QStringLiteral("TRIG"), 5));
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("NREC"), 2, kPatienceMs));
    const QStringList csv = CsvLines();
    ASSERT_EQ(csv.size(), 2) << csv.join(u'|').toStdString();
    EXPECT_TRUE(csv[0].contains(QStringLiteral("11")));
    EXPECT_TRUE(csv[1].contains(QStringLiteral("22")));

    ASSERT_TRUE(server->SetValue(QStringLiteral("STOP"), 1));
    ASSERT_TRUE(saver.waitForFinished(15000));
    EXPECT_EQ(saver.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(saver.exitCode(), 0);
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
    ASSERT_TRUE(
        WaitUntil([] { return WindowCaptionExists(QStringLiteral("Ledgrix for Windows")); }, kPatienceMs));

    const quint64 aliveChanges = server->ChangeCount(QStringLiteral("ALIVE"));
    QProcess& second = StartSaver();
    ASSERT_TRUE(second.waitForFinished(20000));
    const QString err = QString::fromUtf8(second.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("is running!"))) << err.toStdString();
    EXPECT_EQ(second.exitCode(), 1);
    // The refused saver neither touched the alive tag nor stopped the first one.
    EXPECT_EQ(server->ChangeCount(QStringLiteral("ALIVE")), aliveChanges);
    EXPECT_EQ(server->Value(QStringLiteral("ALIVE")), 1);
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(SaverEndToEnd, AFailedStartEndsWithAFailureStatus) {
    QProcess& saver = StartSaver({QStringLiteral("NoSuchProject"), QStringLiteral("WS1")});
    ASSERT_TRUE(saver.waitForFinished(20000));
    EXPECT_EQ(saver.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(saver.exitCode(), 1);
    EXPECT_TRUE(saver.readAllStandardError().contains("Can not find the project:NoSuchProject"));
}

TEST_F(SaverEndToEnd, WithoutLiveAloneTheSaverEndsWhenTheHmiRuntimeIsGone) {
    SetLiveAlone(0);
    AddTickGroup();
    QProcess& saver = StartSaver();
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 20000))
        << saver.readAllStandardError().toStdString();
    // While the runtime is there the passes go on: the second record is saved after a whole pass.
    ASSERT_TRUE(WaitUntil([&] { return Ticks() >= 2; }, kPatienceMs));
    EXPECT_EQ(saver.state(), QProcess::Running);
    server->Stop();
    ASSERT_TRUE(saver.waitForFinished(10000));
    EXPECT_EQ(saver.exitCode(), 0);
    const QStringList lines = LogLines();
    EXPECT_FALSE(lines.filter(QStringLiteral("| Message | Ledgrix.System | dbSLiveAlone = 0")).isEmpty());
}

TEST_F(SaverEndToEnd, TimerFormRunsTheSamePasses) {
    UseTimerForm();
    QProcess& saver = StartSaver();
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 20000))
        << saver.readAllStandardError().toStdString();
    PulseTrigger();
    EXPECT_TRUE(server->WaitForValue(QStringLiteral("NREC"), 1, kPatienceMs))
        << saver.readAllStandardError().toStdString();
    ASSERT_TRUE(server->SetValue(QStringLiteral("STOP"), 1));
    ASSERT_TRUE(saver.waitForFinished(15000));
    EXPECT_EQ(server->Value(QStringLiteral("ALIVE")), 0);
    EXPECT_EQ(CsvLines().size(), 1);
}

TEST_F(SaverEndToEnd, CyclesItCannotHoldAndFailuresNoStepHandledEndItInOrder) {
    EditProjectFile(QStringLiteral("cfg/WS1/trig.svc"), "SaveTimeInterval=0", "SaveTimeInterval=3e9");
    QProcess& refused = StartSaver();
    ExpectOrderlyEnd(refused, 1);
    EXPECT_TRUE(QString::fromUtf8(refused.readAllStandardError()).contains(QStringLiteral("too long")));

    // A dispersed root deeper than the folder procedures handle: the record's failure escapes
    // the writers and ends the saver through its exit.
    SqliteRows(project + QStringLiteral("/dat/tpl.mdb"),
               {QStringLiteral("CREATE TABLE Log1 (Value DOUBLE)")});
    QByteArray root = "..\\Project\\P1\\dat";
    for (int i = 0; i < 110; ++i) root += "\\d";
    WriteProjectFile(QStringLiteral("cfg/WS1/trig.svc"),
                     "[Basic]\r\ndbFilePath=..\\Project\\P1\\dat\\tpl.mdb\r\ndbTableName=Log1\r\n"
                     "dbDBTypeName=ACCESS\r\ndbSTriggerTag=TRIG\r\ndbSDataBaseRootDir=" +
                         root + "\r\n[FieldList]\r\nfd1=Value,T1\r\n");
    QProcess& saver = StartSaver();
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 20000))
        << saver.readAllStandardError().toStdString();
    PulseTrigger();
    ExpectOrderlyEnd(saver, 1);
    EXPECT_FALSE(
        LogLines().filter(QStringLiteral("Ledgrix stopped on a failure no step handled.")).isEmpty());
}

TEST_F(SaverEndToEnd, StopSignalsOfTheSystemEndItInOrder) {
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        QProcess& saver = StartSaver();
        ASSERT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 20000))
            << saver.readAllStandardError().toStdString();
        ::kill(static_cast<pid_t>(saver.processId()), number);
        ExpectOrderlyEnd(saver, 0);
        EXPECT_FALSE(
            LogLines().filter(QStringLiteral("Stopped by the system (signal %1)").arg(number)).isEmpty());
    }
}

// An HMI runtime that takes the connection and never answers: a stop signal during the saver's
// first wait for it ends the saver in order at once, not after the answer timeout.
TEST_F(SaverEndToEnd, AStopSignalDuringAWaitForASilentRuntimeEndsItInOrderAtOnce) {
    server->Stop();
    SilentServer silent(HexvaneSocketPath());
    ASSERT_TRUE(silent.IsListening());
    QProcess& saver = StartSaver();
    ASSERT_TRUE(silent.WaitForConnection(30000)) << saver.readAllStandardError().toStdString();
    QThread::msleep(1000);
    QElapsedTimer t;
    t.start();
    ::kill(static_cast<pid_t>(saver.processId()), SIGTERM);
    ASSERT_TRUE(saver.waitForFinished(20000));
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(saver.exitStatus(), QProcess::NormalExit);
    EXPECT_FALSE(LogLines().filter(QStringLiteral("Stopped by the system (signal 15)")).isEmpty());
    EXPECT_TRUE(LastLogLine().endsWith(QStringLiteral(" | Message | Ledgrix.System | Ledgrix is closed.")))
        << LastLogLine().toStdString();
}

TEST_F(SaverEndToEnd, AHiddenTimerFormSaverOutlivesItsBoxes) {
    UseTimerForm();
    AddTickGroup();
    EditProjectFile(QStringLiteral("cfg/WS1/Ledgrix.svl"), "dbSIsHideLedgrix=0", "dbSIsHideLedgrix=1");
    saverEnv.insert(QStringLiteral("LEDGRIX_MSGBOX"), QStringLiteral("window"));
    QProcess& saver = StartSaver({QStringLiteral("P1"), QStringLiteral("WS1"), QStringLiteral("/DEBUG")});
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("ALIVE"), 1, 30000))
        << saver.readAllStandardError().toStdString();
    PulseTrigger();  // with /DEBUG the record ends with a box that closes again
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("NREC"), 1, kPatienceMs));
    ASSERT_TRUE(server->WaitForValue(QStringLiteral("TRIG"), 0, kPatienceMs));  // its box has closed
    // The saver outlives its boxes: its passes go on and save the next records of the tick group.
    const double ticks = Ticks();
    ASSERT_TRUE(WaitUntil([&] { return Ticks() >= ticks + 2; }, kPatienceMs))
        << "the saver ended with its box";
    ASSERT_TRUE(server->SetValue(QStringLiteral("STOP"), 1));
    ExpectOrderlyEnd(saver, 0);
}
