// The real Ledgrix program with the HMI runtime stand-in running in the test process: a program
// folder of its own (hard links of the built program and PTSERV32.dll, a program setting file)
// with the projects beside it, windows offscreen, message boxes on stderr.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QPair>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QVector>
#include <functional>
#include <memory>
#include <vector>

#include "platform/captions/Captions.h"
#include "platform/hexvane-sim/HexvaneServer.h"
#include "tests/platform/hexvane-sim/HmiTestProject.h"

inline QString BinFile(const QString& name) {
    return QStringLiteral(LEDGRIX_BIN_DIR "/") + name;
}

// Hard link when possible (the program finds its folder through its real path), else a copy.
inline bool PlaceFile(const QString& from, const QString& to) {
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) return true;
    return QFile::copy(from, to);
}

inline bool CopyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString dst = to + src.mid(from.size());
        QDir().mkpath(QFileInfo(dst).path());
        if (!QFile::copy(src, dst)) return false;
    }
    return true;
}

// Polls a condition until it holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs) return false;
        QThread::msleep(50);
    }
    return true;
}

class SaverProcessFixture : public ::testing::Test {
  protected:
    using TagList = QVector<QPair<QString, QString>>;
    // How long a wait for an event of the saver may take on a loaded machine.
    static constexpr int kPatienceMs = 30000;

    void TearDown() override {
        for (auto& p : savers) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        if (server) server->Stop();
    }

    // Lays out the program folder: the program setting file, the projects of <data>/Project
    // copied to ../Project, the tag database of the project and its running HMI runtime.
    void MakeProgramFolder(const QString& programSettingFile, const QString& dataFolder,
                           const QString& projectName, const TagList& tags) {
        ASSERT_TRUE(root.isValid());
        bin = root.path() + QStringLiteral("/bin");
        ASSERT_TRUE(QDir().mkpath(bin));
        for (const char* f : {"Ledgrix", "PTSERV32.dll"})
            ASSERT_TRUE(PlaceFile(BinFile(QLatin1String(f)), bin + u'/' + QLatin1String(f))) << f;
        ASSERT_TRUE(QFile::copy(programSettingFile, bin + QStringLiteral("/Ledgrix.set")));
        ASSERT_TRUE(
            CopyTree(dataFolder + QStringLiteral("/Project"), root.path() + QStringLiteral("/Project")));
        project = root.path() + QStringLiteral("/Project/") + projectName;
        QDir().mkpath(project + QStringLiteral("/dat"));
        ASSERT_TRUE(WriteTagDatabase(project + u'/' + projectName + QStringLiteral(".pam"), tags));
        server = std::make_unique<HexvaneServer>(project);
        ASSERT_TRUE(server->Start()) << server->ErrorText().toStdString();
    }

    // The runtime tests' project P1: a triggered group and the system tags.
    void MakeRuntimeProject() {
        MakeProgramFolder(QStringLiteral(LEDGRIX_TEST_DATA "/runtime/Ledgrix.set"),
                          QStringLiteral(LEDGRIX_TEST_DATA "/runtime"), QStringLiteral("P1"),
                          {{QStringLiteral("TRIG"), QStringLiteral("ANALOG")},
                           {QStringLiteral("NREC"), QStringLiteral("ANALOG")},
                           {QStringLiteral("ALIVE"), QStringLiteral("DIGITAL")},
                           {QStringLiteral("STOP"), QStringLiteral("DIGITAL")},
                           {QStringLiteral("T1"), QStringLiteral("ANALOG")}});
    }

    QProcess& StartSaver(const QStringList& args) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LEDGRIX_MSGBOX"), QStringLiteral("stderr"));
        env.insert(QStringLiteral("LEDGRIX_WINDOW_DIR"), runtimeFolder.Path());
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        // The registry file and per-user settings are the test's own, never the user's.
        env.insert(QStringLiteral("LEDGRIX_REGISTRY_FILE"), root.path() + QStringLiteral("/registry.ini"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root.path() + QStringLiteral("/config"));
        for (auto it = saverEnv.cbegin(); it != saverEnv.cend(); ++it) env.insert(it.key(), it.value());
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(root.path());
        p->start(bin + QStringLiteral("/Ledgrix"), args);
        EXPECT_TRUE(p->waitForStarted(10000));
        savers.push_back(std::move(p));
        return *savers.back();
    }

    // Sets a tag and waits until the saver has taken the change from its queue, as the count of
    // a cyclic group's records shows: the first record counted after the change may have been
    // under way before it came, the second is saved by a later pass, and every pass takes the
    // queued changes first.
    void SetAndSettle(const QString& tag, double value, const std::function<double()>& records) {
        ASSERT_TRUE(server->SetValue(tag, value));
        const double counted = records();
        ASSERT_TRUE(WaitUntil([&] { return records() >= counted + 2; }, kPatienceMs))
            << "no records after " << tag.toStdString() << " changed";
    }

    // Sets the stop tag and waits for the saver to end by itself.
    void StopSaver(QProcess& saver, const QString& stopTag = QStringLiteral("STOP")) {
        ASSERT_TRUE(server->SetValue(stopTag, 1));
        ASSERT_TRUE(saver.waitForFinished(20000)) << "the saver did not end on its stop tag";
        EXPECT_EQ(saver.exitStatus(), QProcess::NormalExit);
    }

    // A file below the project folder, read whole; empty when it does not exist.
    QByteArray ProjectFile(const QString& relative) const {
        QFile f(project + u'/' + relative);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Replaces a text in a settings file below the project folder (as an engineer would edit it).
    void EditProjectFile(const QString& relative, const QByteArray& from, const QByteArray& to) {
        QFile f(project + u'/' + relative);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << relative.toStdString();
        QByteArray text = f.readAll();
        f.close();
        ASSERT_TRUE(text.contains(from)) << relative.toStdString() << " holds no " << from.toStdString();
        text.replace(from, to);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    // Writes a file below the project folder.
    void WriteProjectFile(const QString& relative, const QByteArray& text) {
        QFile f(project + u'/' + relative);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << relative.toStdString();
        f.write(text);
    }

    // The last line of the log file before the empty line that closes it.
    QString LastLogLine(const QString& workstation = QStringLiteral("WS1")) const {
        QStringList lines = LogLines(workstation);
        while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        return lines.isEmpty() ? QString() : lines.last();
    }

    // The lines of a workstation's log file.
    QStringList LogLines(const QString& workstation = QStringLiteral("WS1")) const {
        return QString::fromUtf8(
                   ProjectFile(QStringLiteral("cfg/") + workstation + QStringLiteral("/Ledgrix.log")))
            .split(QStringLiteral("\r\n"));
    }

    PrivateRuntimeFolder runtimeFolder;
    QTemporaryDir root{QStringLiteral(LEDGRIX_BIN_DIR "/../e2e-XXXXXX")};
    QString bin, project;
    std::unique_ptr<HexvaneServer> server;
    std::vector<std::unique_ptr<QProcess>> savers;
    QMap<QString, QString> saverEnv;  // added to the environment of the savers started
};
