// The runtime of a library test: a HexvaneServer in this process, or, when the environment
// variable LEDGRIX_TEST_HEXVANE_SIM names the hexvane-sim program, that program run on the
// project as a child process and steered through a connection of its own. Out of process, a
// thread checker sees in the test only the library's threads and the test's own, and the
// runtime's hand-offs inside Qt do not hide what the library fails to order.
#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QLocalSocket>
#include <QProcess>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/captions/RuntimeFolder.h"
#include "platform/hexvane-sim/HexvaneProtocol.h"
#include "platform/hexvane-sim/HexvaneServer.h"

class TestRuntime {
  public:
    explicit TestRuntime(const QString& project) : project_(project) {
        const QByteArray sim = qgetenv("LEDGRIX_TEST_HEXVANE_SIM");
        if (sim.isEmpty())
            server_ = std::make_unique<HexvaneServer>(project);
        else
            program_ = QString::fromLocal8Bit(sim);
    }
    ~TestRuntime() { Stop(); }
    TestRuntime(const TestRuntime&) = delete;
    TestRuntime& operator=(const TestRuntime&) = delete;

    bool InProcess() const { return server_ != nullptr; }

    // Returns once the runtime serves its tags; false with ErrorText() when it cannot.
    bool Start() {
        if (server_) return server_->Start();
        Stop();
        process_ = std::make_unique<QProcess>();
        process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_->start(program_, {QStringLiteral("run"), project_});
        QByteArray out;
        while (!out.contains("hexvane-sim: running") && process_->waitForReadyRead(10000))
            out += process_->readAllStandardOutput();
        if (out.contains("hexvane-sim: running")) return true;
        error_ = QStringLiteral("hexvane-sim did not start: ") + QString::fromLocal8Bit(out);
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
        if (!process_) return;
        process_->terminate();
        if (!process_->waitForFinished(10000)) process_->kill();
        process_->waitForFinished(10000);
        process_.reset();
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
    bool WriteMessage(quint16 handle, const QString& text, const QDateTime& time, quint16 mask,
                      quint16 bits) {
        if (server_) return server_->WriteMessage(handle, text, time, mask, bits);
        const QDate d = time.date();
        const QTime c = time.time();
        return IsOne(
            Ask("SETM " + std::to_string(handle) + ' ' +
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
            if (!control_->waitForConnected(5000)) {
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
    QString program_, error_;
    std::unique_ptr<QProcess> process_;
    std::unique_ptr<QLocalSocket> control_;
    QByteArray input_;
    uint64_t seq_ = 0;
};
