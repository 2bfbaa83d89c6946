#include "platform/ado/Database.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>

namespace ado {

namespace detail {

namespace {

// A driver that keeps to its own timeout has answered by then; one that does not is left behind.
constexpr qint64 kDriverGraceMs = 2000;
constexpr int kIdleCloseMs = 1000;

std::atomic<long> g_defaultConnectionTimeout{kDefaultConnectionTimeout};
std::atomic<long> g_defaultCommandTimeout{kDefaultCommandTimeout};

}  // namespace

long TimeoutSeconds(long value, long defaultSeconds) {
    return value > 0 ? std::min<long>(value, 86400) : defaultSeconds;
}

long DefaultConnectionSeconds() {
    return g_defaultConnectionTimeout;
}

long DefaultCommandSeconds() {
    return g_defaultCommandTimeout;
}

Database::Database(std::shared_ptr<SqlEngine> e)
    : engine(std::move(e)), status(std::make_shared<CallStatus>()) {
    if (!engine->IsSQLite()) thread = std::make_unique<DriverThread>();
}

Database::~Database() {
    if (!thread) {
        engine->Close();
        return;
    }
    auto closing = std::make_shared<std::promise<void>>();
    std::future<void> closed = closing->get_future();
    thread->Post([e = engine, closing] {
        e->Close();
        closing->set_value();
    });
    bool done = false;
    if (!status->lost && !status->InDriver() && !ExitHasBegun())
        done = closed.wait_for(std::chrono::milliseconds(kIdleCloseMs)) == std::future_status::ready;
    thread->Finish(done);
}

qint64 Database::Limit(long seconds) {
    return seconds * 1000 + kDriverGraceMs;
}

qint64 Database::CommandLimit(long commandTimeout) {
    return Limit(TimeoutSeconds(commandTimeout, g_defaultCommandTimeout));
}

int Database::BusyMs(Properties& props, long commandTimeout) const {
    if (!IsSQLite()) return 0;
    int retry = 20, delay = 60;
    if (const Property* p = props.Find(QStringLiteral("Jet OLEDB:Lock Retry"))) retry = p->Value.toInt();
    if (const Property* p = props.Find(QStringLiteral("Jet OLEDB:Lock Delay"))) delay = p->Value.toInt();
    const qint64 ms = qint64{std::clamp(retry, 0, 100000)} * std::clamp(delay, 0, 100000);
    return static_cast<int>(
        std::min<qint64>(ms, qint64{TimeoutSeconds(commandTimeout, g_defaultCommandTimeout)} * 1000));
}

}  // namespace detail

void SetDefaultTimeouts(long connectionSeconds, long commandSeconds) {
    using namespace detail;
    g_defaultConnectionTimeout = TimeoutSeconds(connectionSeconds, kDefaultConnectionTimeout);
    g_defaultCommandTimeout = TimeoutSeconds(commandSeconds, kDefaultCommandTimeout);
}

}  // namespace ado
