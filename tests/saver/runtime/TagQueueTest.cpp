// The tag-change queue and its named mutex: capacity, order, index filtering, and failures that
// happen on the tag manager's thread but are reported on the window thread.
#include <thread>

#include "saver/runtime/MutexUtil.h"
#include "saver/runtime/TagChangeUtil.h"
#include "tests/saver/runtime/RuntimeFixture.h"

class TagQueueTest : public RuntimeFixture {
  protected:
    // A bank with n entries whose tags the fake does not read (so handling them does nothing).
    void FillBank(int n) {
        for (int i = 1; i <= n; ++i) {
            xTag t;
            t.Name = QStringLiteral("B%1").arg(i);
            t.ID = static_cast<int16_t>(FakeTags::Add(t.Name));
            AddTagRole(t, 0, QStringLiteral("dbSDuringSavingTag"));
        }
    }
};

TEST_F(TagQueueTest, HoldsFiveHundredElevenChangesInOrderAndFiltersBadIndexes) {
    FillBank(3);
    TagChangeCallback(1, 0);
    TagChangeCallback(1, -1);
    TagChangeCallback(1, 4);        // beyond the bank
    TagChangeCallback(1, 0x10002);  // only the low 16 bits count: index 2
    EXPECT_EQ(GetxTagQueueCount().value<int16_t>(), 1);
    xTag first;
    ASSERT_TRUE(GetxTagQueue(first));
    EXPECT_EQ(first.UserParm, 2);
    EXPECT_EQ(first.ID, 0);  // the handle is not copied out

    for (int k = 0; k < 511; ++k) TagChangeCallback(7, 1 + k % 3);
    EXPECT_EQ(GetxTagQueueCount().value<int16_t>(), 511);
    EXPECT_FALSE(xTagQueueUtil::Overflowed());
    for (int k = 0; k < 511; ++k) {
        xTag e;
        ASSERT_TRUE(GetxTagQueue(e));
        ASSERT_EQ(e.UserParm, 1 + k % 3) << k;
    }
    // The tail has wrapped past 512 and stands below the head: the count still follows it.
    TagChangeCallback(7, 1);
    TagChangeCallback(7, 2);
    EXPECT_LT(xTagQueueUtil::Tail(), xTagQueueUtil::Head());
    EXPECT_EQ(GetxTagQueueCount().value<int16_t>(), 2);
}

TEST_F(TagQueueTest, BankEntriesBeyond32767ProduceNoChanges) {
    Saver().TagDataBankCount = 40000;  // the callback only reads the count
    TagChangeCallback(1, 32768);
    TagChangeCallback(1, 39999);
    EXPECT_EQ(GetxTagQueueCount().value<int16_t>(), 0);
    Saver().TagDataBankCount = 0;
}

TEST_F(TagQueueTest, DrainNotesChangeTimesAndHandlesEveryEntry) {
    FillBank(2);
    TagChangeCallback(1, 2);
    TagChangeCallback(1, 1);
    DrainxTagQueue();
    EXPECT_EQ(GetxTagQueueCount().value<int16_t>(), 0);
    EXPECT_GT(TagBankEntry(1)->xTagDateTime, 0);
    EXPECT_GT(TagBankEntry(2)->xTagDateTime, 0);
    // An empty drain returns at once without an underflow.
    DrainxTagQueue();
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(TagQueueTest, OverflowOnTheLibraryThreadIsReportedAndEndsOnTheWindowThread) {
    FillBank(1);
    ProgramHooks::SetExit([](int code) { LedgrixMain::sysExit(static_cast<int16_t>(code)); });
    State().dbSLogDisable = 0;
    Saver().LogFileStreamSet = true;
    // The saver's own orderly exit, and a debugging run's immediate stop: the box it ends on is in
    // the log, before the closing lines.
    for (const int debug : {0, 1}) {
        SCOPED_TRACE(debug);
        ClosexTagQueueMutex();
        InitxTagQueue();
        State().DebugLevel = static_cast<int16_t>(debug);
        boxes.boxes.clear();
        std::thread library([] {
            for (int k = 0; k < 600; ++k) TagChangeCallback(1, 1);
        });
        library.join();
        // Nothing was shown from the library's thread.
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_TRUE(xTagQueueUtil::Overflowed());
        EXPECT_EQ(GetxTagQueueCount().value<int16_t>(), 511);
        log.clear();
        try {
            DrainxTagQueue();
            FAIL() << "the saver must end";
        } catch (const ProgramExit&) {
        }
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("PutxTagQueue.PutxTagQueue"));
        EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Critical);
        ASSERT_EQ(log.size(), debug ? 1 : 2) << log.join(u'\n').toStdString();
        EXPECT_TRUE(log[0].endsWith(
            QStringLiteral(" | Error | Ledgrix.System | 來自圖控系統的Tag資料貯列Overflow，程式無法執行!")));
        if (!debug) {
            EXPECT_TRUE(log[1].endsWith(QStringLiteral(" | Ledgrix.System | Ledgrix is closed.\r\n")));
        }
    }
}

TEST_F(TagQueueTest, NamedMutexIsSharedByNameOwnedPerThreadAndTimesOut) {
    using namespace MutexUtil;
    const MutexHandle a = CreateMutexA(QStringLiteral("xTagQueueTestLock"));
    const MutexHandle b = CreateMutexA(QStringLiteral("xTagQueueTestLock"));
    ASSERT_NE(a, 0);
    ASSERT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);  // the owner is not blocked by itself

    uint32_t other = 0;
    std::thread t([&] { other = WaitForSingleObject(b, 50); });
    t.join();
    EXPECT_EQ(other, WAIT_TIMEOUT);
    EXPECT_FALSE(ReleaseMutex(0));

    // A lock that times out on another thread leaves its box for the window thread.
    bool locked = true;
    std::thread t2([&] { locked = LockMutex(b, 20); });
    t2.join();
    EXPECT_FALSE(locked);
    EXPECT_TRUE(boxes.boxes.empty());
    ShowDeferredBoxes();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("WAIT_TIMEOUT")));

    EXPECT_TRUE(ReleaseMutex(a));
    EXPECT_TRUE(ReleaseMutex(b));
    std::thread t3([&] {
        other = WaitForSingleObject(b, 50);
        ReleaseMutex(b);
    });
    t3.join();
    EXPECT_EQ(other, WAIT_OBJECT_0);
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_FAILED);
}
