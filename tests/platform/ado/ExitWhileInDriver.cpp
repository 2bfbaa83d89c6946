// A program that returns from main while a driver thread waits for a server that never answers,
// its database released meanwhile (the close waits behind the call). The server hangs up only
// once the exit's destructors have run: the thread comes out of its call during the exit.
#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "platform/ado/Database.h"
#include "tests/support/SilentServer.h"

namespace {

SilentServer* g_server = nullptr;
std::shared_ptr<ado::detail::CallStatus> g_calls;

// Registered before Qt's SQL state is made: runs after that state's destructors.
void HangUpDuringTheExit() {
    if (!g_server) return;
    delete g_server;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (g_calls->InDriver() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // What the thread does next (its connection's close) happens meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

}  // namespace

int main(int argc, char** argv) {
    std::atexit(HangUpDuringTheExit);
    QCoreApplication app(argc, argv);
    using namespace ado::detail;
    g_server = new SilentServer;
    if (!g_server->IsListening()) return 2;
    auto engine = std::make_shared<SqlEngine>();
    engine->plan = ado::PlanConnection(
        QStringLiteral("Provider=MSDASQL.1;User ID=u;Driver={MySQL ODBC 3.51 Driver};SERVER=") +
        g_server->Address());
    engine->name = NewConnectionName(QStringLiteral("exit"));
    engine->connectSeconds = 60;
    auto database = std::make_unique<Database>(engine);
    g_calls = database->status;
    auto opening = database->Start<Nothing>(
        [](SqlEngine& c) {
            c.Open(QString(), QString());
            return Nothing{};
        },
        Database::Limit(engine->connectSeconds));
    if (!g_server->WaitForConnection(10000)) return 3;
    database.reset();
    return 0;
}
