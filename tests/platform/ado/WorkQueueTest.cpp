// The queue of waiting work: where a task's failure goes, every piece resumed, a turn handed on.
#include <gtest/gtest.h>

#include <QStringList>
#include <stdexcept>

#include "platform/ado/Task.h"
#include "platform/ado/Turn.h"

using namespace ado;

namespace {

// Suspends until the next ResumeWork.
struct NextPass {
    bool await_ready() { return false; }
    void await_suspend(std::coroutine_handle<> h) { QueueReady(h); }
    void await_resume() {}
};

// Counts the frames alive, so that a test sees each one destroyed.
struct Alive {
    explicit Alive(int& n) : n_(n) { ++n_; }
    ~Alive() { --n_; }
    int& n_;
};

Task<void> FailAt(int& alive, bool afterAWait, const char* what) {
    const Alive frame(alive);
    if (afterAWait) co_await NextPass{};
    throw std::runtime_error(what);
}

Task<void> Count(int& resumed, int& alive) {
    const Alive frame(alive);
    co_await NextPass{};
    ++resumed;
}

Task<void> TakeTurn(Turn& turn, int& times, int& held) {
    const Turn::Holder holder = co_await turn.Take();
    ++times;
    ++held;
    co_await NextPass{};
    --held;
}

class WorkQueueTest : public ::testing::Test {
  protected:
    void TearDown() override { ForgetWaitingWork(); }
};

}  // namespace

TEST_F(WorkQueueTest, AFailureOfWorkNobodyAwaitsIsRaisedByTheQueueAndItsFrameIsDestroyed) {
    int alive = 0;
    // Failed before its first wait, let go or dropped; failed later, after it was let go.
    FailAt(alive, false, "let go").Detach();
    { const Task<void> dropped = FailAt(alive, false, "dropped"); }
    FailAt(alive, true, "later").Detach();
    EXPECT_TRUE(HasWaitingWork());
    QStringList raised;
    for (int i = 0; i < 5 && HasWaitingWork(); ++i) {
        try {
            ResumeWork();
        } catch (const std::runtime_error& e) {
            raised << QString::fromLatin1(e.what());
        }
    }
    EXPECT_EQ(raised,
              (QStringList{QStringLiteral("let go"), QStringLiteral("dropped"), QStringLiteral("later")}));
    EXPECT_EQ(alive, 0);
    // Work that is awaited gives its failure to whoever awaits it.
    EXPECT_THROW(WaitFor(FailAt(alive, true, "awaited")), std::runtime_error);
    EXPECT_FALSE(HasWaitingWork());
}

TEST_F(WorkQueueTest, APieceThatFailsLeavesTheOthersOfItsPassResumed) {
    int resumed = 0, alive = 0;
    Count(resumed, alive).Detach();
    FailAt(alive, true, "one").Detach();
    Count(resumed, alive).Detach();
    EXPECT_THROW(ResumeWork(), std::runtime_error);
    EXPECT_EQ(resumed, 2);
    EXPECT_EQ(alive, 0);
    EXPECT_FALSE(HasWaitingWork());
}

TEST_F(WorkQueueTest, ATurnIsHandedToEachWaiterOnceInTheOrderTheyCame) {
    Turn turn;
    int first = 0, second = 0, third = 0, held = 0;
    TakeTurn(turn, first, held).Detach();
    TakeTurn(turn, second, held).Detach();
    TakeTurn(turn, third, held).Detach();
    EXPECT_EQ(first + second + third, 1);
    EXPECT_FALSE(turn.TakeIfFree());
    for (int pass = 0; pass < 10 && HasWaitingWork(); ++pass) {
        ResumeWork();
        EXPECT_LE(held, 1);
    }
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(third, 1);
    EXPECT_FALSE(turn.Held());
}
