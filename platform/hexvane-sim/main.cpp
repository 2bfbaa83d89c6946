// hexvane-sim: the HMI runtime stand-in. "run" serves a project's tags; the other commands act
// on the running instance through its socket.
#include <fcntl.h>

#include <unistd.h>
#include <cmath>
#include <csignal>
#include <cstdio>

#include <QCoreApplication>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QStringList>

#include "platform/captions/RuntimeFolder.h"
#include "platform/hexvane-sim/HexvaneProtocol.h"
#include "platform/hexvane-sim/HexvaneScript.h"
#include "platform/hexvane-sim/HexvaneServer.h"

namespace {

const char* const Usage = R"(Usage:
  hexvane-sim run PROJECT_FOLDER [--script FILE]
      Serves the tags of the project's tag database (<folder name>.pam.mir, else
      <folder name>.pam: an SQLite file with table Tag(TagName, Class)) to PTSERV32.dll
      clients and holds the window caption "Vellumdock for Windows" until SIGTERM, SIGINT
      or a script's quit line. Values start at 0, messages empty. Tag names match in any
      letter case. Class DIGITAL holds 0 or 1; other classes hold any number.
  hexvane-sim set TAG VALUE     write a value to the running instance
  hexvane-sim msg TAG TEXT...   write a message (the words joined by blanks)
  hexvane-sim get TAG           print NAME, CLASS, VALUE, STATUS, TIME, MESSAGE (tab-separated)
  hexvane-sim list              the same for every tag, in handle order

The runtime folder is $LEDGRIX_WINDOW_DIR, else $XDG_RUNTIME_DIR/ledgrix-windows, else
/tmp/ledgrix-windows-<uid>. It must be a folder of the user's own that group and others may not
use; a missing one is made with mode 0700.

Script lines (seconds from the start, fractions allowed; '#' starts a comment line):
  <t> set TAG VALUE       <t> msg TAG TEXT       <t> pulse TAG (writes 1)       <t> quit
  every <p> [from <t0>] [until <t1>] ACTION     repeats at t0, t0+p, ... (t0 = 0) up to t1;
      ACTION is set, msg or pulse as above, or
      set TAG ramp START END STEP   (START, START+STEP, ..., back to START past END)
      set TAG random LOW HIGH       (a uniform random number)
  Example:
      0.5 set T1 12.5
      every 1 set T2 random 0 50
      every 0.5 from 2 until 10 set T3 ramp 0 100 5
      every 3 pulse TRIG
      60 quit
)";

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}

void Print(FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fputc('\n', to);
    std::fflush(to);
}

int Fail(const QString& text) {
    Print(stderr, QStringLiteral("hexvane-sim: ") + text);
    return 1;
}

int Run(const QStringList& args) {
    if (args.size() != 1 && !(args.size() == 3 && args[1] == QLatin1String("--script"))) {
        std::fputs(Usage, stderr);
        return 2;
    }
    if (::pipe2(signalPipe, O_CLOEXEC) != 0) return Fail(QStringLiteral("cannot set up the signal handling"));
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, qApp, [] { QCoreApplication::quit(); });
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    HexvaneServer server(args[0]);
    if (!server.Start()) return Fail(server.ErrorText());
    if (args.size() == 3) {
        QString error;
        const auto script = HexvaneScript::Load(
            args[2], [&](const QString& tag) { return server.Handle(tag) != 65535; }, &error);
        if (!script) return Fail(QStringLiteral("script ") + error);
        server.PlayScript(*script);
    }

    QObject::connect(&server, &HexvaneServer::quitRequested, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    Print(stdout, QStringLiteral("hexvane-sim: running with %1 tags from %2 on %3")
                      .arg(server.TagNames().size())
                      .arg(server.TagDatabasePath(), server.SocketPath()));
    QCoreApplication::exec();
    server.Stop();
    Print(stdout, QStringLiteral("hexvane-sim: stopped"));
    return 0;
}

// One request to the running instance; the answer's tokens after "= seq", and the rows.
struct Answer {
    std::vector<std::string> tokens;
    std::vector<std::string> rows;
};

std::optional<Answer> Ask(const std::string& request, QString* error) {
    // A missing folder is no runtime; one another user may write to is refused.
    const RuntimeFolderState folder = CheckRuntimeFolder(LedgrixRuntimeFolderPath());
    if (!folder.Usable() && folder.fault != RuntimeFolderFault::Unavailable) {
        *error = QString::fromStdString(RuntimeFolderRefusal(LedgrixRuntimeFolderPath(), folder));
        return std::nullopt;
    }
    const QString path = QString::fromStdString(HexvaneSocketPath());
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(3000)) {
        *error = QStringLiteral("no HMI runtime is running (no answer on %1)").arg(path);
        return std::nullopt;
    }
    socket.write(QByteArray::fromStdString("1 " + request + '\n'));
    socket.flush();
    Answer answer;
    std::size_t rowsLeft = 0;
    bool answered = false;
    QByteArray buffer;
    while (!answered || rowsLeft > 0) {
        qsizetype nl = buffer.indexOf('\n');
        if (nl < 0) {
            if (!socket.waitForReadyRead(5000)) {
                *error = QStringLiteral("the HMI runtime did not answer");
                return std::nullopt;
            }
            buffer += socket.readAll();
            continue;
        }
        const std::string line = buffer.left(nl).toStdString();
        buffer.remove(0, nl + 1);
        const auto t = HexvaneWire::Split(line);
        if (!answered && t.size() >= 3 && t[0] == "=" && t[1] == "1") {
            for (std::size_t i = 2; i < t.size(); ++i) answer.tokens.emplace_back(t[i]);
            answered = true;
            if (request == "LIST") rowsLeft = HexvaneWire::ParseWhole(t[2]).value_or(0);
        } else if (answered && t.size() > 1 && t[0] == "*") {
            answer.rows.push_back(line.substr(2));
            --rowsLeft;
        }
    }
    return answer;
}

// A row "name class time status value message" as tab-separated text.
QString RowText(const std::string& row) {
    const auto t = HexvaneWire::Split(row);
    if (t.size() != 6) return {};
    const auto time = HexvaneWire::ParseTime(t[2]);
    const QString timeText = time
                                 ? QString::asprintf("%04d/%02d/%02d %02d:%02d:%02d", time->year, time->month,
                                                     time->day, time->hour, time->minute, time->second)
                                 : QString();
    auto text = [&](std::size_t i) {
        return QString::fromStdString(HexvaneWire::DecodeText(t[i]).value_or(""));
    };
    const double value = HexvaneWire::ParseNumber(t[4]).value_or(0);
    return QStringList{text(0),
                       text(1),
                       QString::fromStdString(HexvaneWire::DisplayNumber(value)),
                       QString::fromStdString(std::string(t[3])),
                       timeText,
                       text(5)}
        .join(u'\t');
}

int Client(const QString& command, const QStringList& args) {
    QString error;
    auto name = [&] { return HexvaneWire::EncodeText(args[0].toStdString()); };
    std::string request;
    if (command == QLatin1String("set") && args.size() == 2) {
        bool ok = false;
        const double v = args[1].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v)) return Fail(QStringLiteral("\"%1\" is not a number").arg(args[1]));
        request = "SETN " + name() + ' ' + HexvaneWire::FormatNumber(v);
    } else if (command == QLatin1String("msg") && !args.isEmpty()) {
        request = "MSGN " + name() + ' ' + HexvaneWire::EncodeText(args.mid(1).join(u' ').toStdString());
    } else if (command == QLatin1String("get") && args.size() == 1) {
        request = "GETN " + name();
    } else if (command == QLatin1String("list") && args.isEmpty()) {
        request = "LIST";
    } else {
        std::fputs(Usage, stderr);
        return 2;
    }
    const auto answer = Ask(request, &error);
    if (!answer) return Fail(error);
    if (command == QLatin1String("list")) {
        for (const std::string& row : answer->rows) Print(stdout, RowText(row));
        return 0;
    }
    if (answer->tokens.empty() || answer->tokens[0] != "1")
        return Fail(QStringLiteral("unknown tag \"%1\"").arg(args[0]));
    if (command == QLatin1String("get")) {
        std::string row;
        for (std::size_t i = 1; i < answer->tokens.size(); ++i) row += (i > 1 ? " " : "") + answer->tokens[i];
        Print(stdout, RowText(row));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h") ||
        args[0] == QLatin1String("help")) {
        std::fputs(Usage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("run")) return Run(args);
    return Client(command, args);
}
