// The runtime of a library test: a HexvaneServer in this process, or, when the environment
// variable LEDGRIX_TEST_HEXVANE_SIM names the hexvane-sim program, that program run on the
// project as a child process and steered through a connection of its own. Out of process, a
// thread checker sees in the test only the library's threads and the test's own, and the
// runtime's hand-offs inside Qt do not hide what the library fails to order.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QByteArray>
#include <QDateTime>
#include <QLocalSocket>
#include <QString>
#include <QStringList>
#include <QThread>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/captions/RuntimeFolder.h"
#include "platform/hexvane-sim/HexvaneProtocol.h"
#include "platform/hexvane-sim/HexvaneServer.h"

extern char** environ;

// A child process of a test. Started with posix_spawn, not QProcess: QProcess starts a child that
// runs in the test's memory until it executes the program (vfork semantics), where
// ThreadSanitizer takes the child's steps for those of the thread that started it.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess() { End(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Its standard output goes to /dev/null, its error output to the test's.
    bool Start(const QString& program, const QStringList& args) {
        End();
        std::vector<std::string> words{program.toStdString()};
        for (const QString& a : args) words.push_back(a.toStdString());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        const int r = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        pid_ = r == 0 ? pid : -1;
        return pid_ > 0;
    }
    pid_t Pid() const { return pid_; }
    bool Running() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        pid_ = -1;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return false;
    }
    // Its exit code once it has ended within the time; nothing when it still runs.
    std::optional<int> Wait(int timeoutMs) {
        for (int waited = 0; Running(); waited += 10) {
            if (waited >= timeoutMs) return std::nullopt;
            QThread::msleep(10);
        }
        return exitCode_;
    }
    // SIGTERM, then SIGKILL when it has not ended within 10 s.
    void End() {
        if (!Running()) return;
        ::kill(pid_, SIGTERM);
        if (Wait(10000)) return;
        ::kill(pid_, SIGKILL);
        Wait(10000);
    }

  private:
    pid_t pid_ = -1;
    int exitCode_ = -1;
};

// Runs the program to its end; true when it ended with 0 within 10 s.
inline bool RunToEnd(const QString& program, const QStringList& args) {
    ChildProcess p;
    return p.Start(program, args) && p.Wait(10000) == 0;
}

// The hexvane-sim program the tests run: the one LEDGRIX_TEST_HEXVANE_SIM names, else the one in
// the program folder.
inline QString HexvaneSimProgram() {
    const QByteArray sim = qgetenv("LEDGRIX_TEST_HEXVANE_SIM");
    return sim.isEmpty() ? QStringLiteral(LEDGRIX_BIN_DIR "/hexvane-sim") : QString::fromLocal8Bit(sim);
}

class TestRuntime {
  public:
    explicit TestRuntime(const QString& project) : project_(project) {
        if (qEnvironmentVariableIsEmpty("LEDGRIX_TEST_HEXVANE_SIM"))
            server_ = std::make_unique<HexvaneServer>(project);
    }
    ~TestRuntime() { Stop(); }
    TestRuntime(const TestRuntime&) = delete;
    TestRuntime& operator=(const TestRuntime&) = delete;

    bool InProcess() const { return server_ != nullptr; }

    // Returns once the runtime serves its tags; false with ErrorText() when it cannot.
    bool Start() {
        if (server_) return server_->Start();
        Stop();
        if (!process_.Start(HexvaneSimProgram(), {QStringLiteral("run"), project_})) {
            error_ = QStringLiteral("hexvane-sim could not be started");
            return false;
        }
        for (int waited = 0; waited < 10000; waited += 20) {
            if (Ask("LIST")) return true;
            if (!process_.Running()) break;
            QThread::msleep(20);
        }
        error_ = QStringLiteral("hexvane-sim did not serve (its errors are above)");
        Stop();
        return false;
    }
    // Ends the runtime; its clients' connections end with it.
    void Stop() {
        if (server_) {
            server_->Stop();
            return;
        }
        control_.reset();
        input_.clear();
        process_.End();
    }
    QString ErrorText() const { return server_ ? server_->ErrorText() : error_; }
    QString SocketPath() const { return QString::fromStdString(HexvaneSocketPath()); }

    // Writes by the runtime's owner (out of process: a client's write by name).
    bool SetValue(const QString& name, double value) {
        if (server_) return server_->SetValue(name, value);
        return IsOne(Ask("SETN " + Text(name) + ' ' + HexvaneWire::FormatNumber(value)));
    }
    bool SetMessage(const QString& name, const QString& text) {
        if (server_) return server_->SetMessage(name, text);
        return IsOne(Ask("MSGN " + Text(name) + ' ' + Text(text)));
    }
    bool WriteMessage(const QString& name, const QString& text, const QDateTime& time, quint16 mask,
                      quint16 bits) {
        if (server_) return server_->WriteMessage(server_->Handle(name), text, time, mask, bits);
        const auto found = Ask("FIND " + Text(name));
        if (!found || found->size() != 1) return false;
        const QDate d = time.date();
        const QTime c = time.time();
        return IsOne(
            Ask("SETM " + (*found)[0] + ' ' +
                HexvaneWire::FormatTime({d.year(), d.month(), d.day(), c.hour(), c.minute(), c.second()}) +
                ' ' + std::to_string(mask) + ' ' + std::to_string(bits) + ' ' + Text(text) + " 0"));
    }

    // Name, class, value, status, value time and message of a tag; nothing when unknown.
    std::optional<HexvaneTagState> Tag(const QString& name) {
        if (server_) return server_->Tag(name);
        const auto a = Ask("GETN " + Text(name));
        if (!IsOne(a) || a->size() != 7) return std::nullopt;
        const auto v = HexvaneWire::ParseNumber((*a)[5]);
        const auto status = HexvaneWire::ParseWhole((*a)[4]);
        const auto time = HexvaneWire::ParseTime((*a)[3]);
        if (!v || !status || !time) return std::nullopt;
        HexvaneTagState s;
        s.name = QString::fromStdString(HexvaneWire::DecodeText((*a)[1]).value_or(""));
        s.tagClass = QString::fromStdString(HexvaneWire::DecodeText((*a)[2]).value_or(""));
        s.valueTime = QDateTime(QDate(time->year, time->month, time->day),
                                QTime(time->hour, time->minute, time->second));
        s.status = static_cast<quint16>(*status);
        s.value = *v;
        s.message = QString::fromStdString(HexvaneWire::DecodeText((*a)[6]).value_or(""));
        return s;
    }
    double Value(const QString& name) {
        const auto s = Tag(name);
        return s ? s->value : 0;
    }
    QString Message(const QString& name) {
        const auto s = Tag(name);
        return s ? s->message : QString();
    }
    // Requests of clients handled so far; nothing out of process.
    std::optional<quint64> RequestCount() const {
        if (server_) return server_->RequestCount();
        return std::nullopt;
    }

  private:
    static std::string Text(const QString& s) { return HexvaneWire::EncodeText(s.toStdString()); }
    static bool IsOne(const std::optional<std::vector<std::string>>& a) {
        return a && !a->empty() && (*a)[0] == "1";
    }

    // One request on the steering connection; the answer's tokens after its number.
    std::optional<std::vector<std::string>> Ask(const std::string& request) {
        if (!control_) {
            control_ = std::make_unique<QLocalSocket>();
            control_->connectToServer(SocketPath());
            if (!control_->waitForConnected(1000)) {
                control_.reset();
                return std::nullopt;
            }
        }
        const std::string seq = std::to_string(++seq_);
        control_->write(QByteArray::fromStdString(seq + ' ' + request + '\n'));
        control_->flush();
        for (;;) {
            const qsizetype nl = input_.indexOf('\n');
            if (nl < 0) {
                if (!control_->waitForReadyRead(10000)) {
                    control_.reset();
                    input_.clear();
                    return std::nullopt;
                }
                input_ += control_->readAll();
                continue;
            }
            const std::string line = input_.left(nl).toStdString();
            input_.remove(0, nl + 1);
            const auto t = HexvaneWire::Split(line);
            if (t.size() >= 2 && t[0] == "=" && t[1] == seq)
                return std::vector<std::string>(t.begin() + 2, t.end());
        }
    }

    QString project_;
    std::unique_ptr<HexvaneServer> server_;
    QString error_;
    ChildProcess process_;
    std::unique_ptr<QLocalSocket> control_;
    QByteArray input_;
    uint64_t seq_ = 0;
};
