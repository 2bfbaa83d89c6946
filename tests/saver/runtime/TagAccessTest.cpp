// Tag access: status keywords, the library's time record, message buffers and writes.
#include "common/DateUtil.h"
#include "tests/saver/runtime/RuntimeFixture.h"

TEST(TagStatus, KeywordsCombineByGroupAndRefuseDuplicatesOrUnknownWords) {
    uint16_t status = 99, mask = 99;
    EXPECT_TRUE(ParseTagStatus(QStringLiteral("online, hialarm"), status, mask));
    EXPECT_EQ(status, 19);
    EXPECT_EQ(mask, 119);
    EXPECT_TRUE(ParseTagStatus(QStringLiteral("ONLINE FAULT ACK"), status, mask));
    EXPECT_EQ(status, 139);
    EXPECT_EQ(mask, 143);
    EXPECT_TRUE(ParseTagStatus(QStringLiteral("ONLINE,,  ACK"), status, mask));
    EXPECT_EQ(status, 131);
    // NOFAULT and NOACK own their mask bits but set none.
    EXPECT_TRUE(ParseTagStatus(QStringLiteral("nofault noack"), status, mask));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(mask, 136);

    EXPECT_FALSE(ParseTagStatus(QStringLiteral("ONLINE OFFLINE"), status, mask));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(mask, 0);
    EXPECT_FALSE(ParseTagStatus(QStringLiteral("ONLINE BOGUS"), status, mask));
    EXPECT_TRUE(ParseTagStatus(QStringLiteral("   "), status, mask));
    EXPECT_EQ(mask, 0);
}

TEST(TagTime, RecordFormatsAndConvertsBothWays) {
    PT_TIME t{2024, 3, 6, 5, 7, 8, 9, 123};
    EXPECT_EQ(FormatTagTime(t), QStringLiteral("2024/03/05 07:08:09"));
    const double d = TagTimeToDate(t);
    EXPECT_EQ(DateUtil::Format(d, QStringLiteral("yyyy/MM/dd HH:mm:ss")),
              QStringLiteral("2024/03/05 07:08:09"));
    PT_TIME back{};
    DateToTagTime(d, back);
    EXPECT_EQ(back.wYear, 2024);
    EXPECT_EQ(back.wDay, 5);
    EXPECT_EQ(back.wSecond, 9);
    EXPECT_EQ(back.wDayOfWeek, 3);  // 2024-03-05 was a Tuesday
    EXPECT_EQ(back.wMilliseconds, 0);
    // A record that names no date reads as 0.
    EXPECT_EQ(TagTimeToDate(PT_TIME{2024, 13, 1, 5, 0, 0, 0, 0}), 0.0);
    EXPECT_EQ(TagTimeToDate(PT_TIME{99, 1, 1, 1, 0, 0, 0, 0}), 0.0);
}

class TagAccessTest : public RuntimeFixture {};

TEST_F(TagAccessTest, ReadsAndWritesGoThroughTheLibraryOnlyWhenValid) {
    const uint16_t h = FakeTags::Add(QStringLiteral("T1"), 4.5);
    EXPECT_EQ(FindTagHandle(QStringLiteral("T1")), h);
    EXPECT_EQ(FindTagHandle(QStringLiteral("NOPE")), PT_NO_TAG);

    double v = 0, time = 0;
    int16_t status = 0;
    ASSERT_TRUE(ReadTagValue(h, v, time, status));
    EXPECT_EQ(v, 4.5);
    EXPECT_EQ(DateUtil::Format(time, QStringLiteral("yyyy/MM/dd HH:mm:ss")),
              QStringLiteral("2024/03/05 07:08:09"));
    FakeTags::Get(QStringLiteral("T1")).failReads = true;
    v = 7;
    EXPECT_FALSE(ReadTagValue(h, v, time, status));
    EXPECT_EQ(v, 7);  // outputs untouched on failure
    FakeTags::Get(QStringLiteral("T1")).failReads = false;

    // A bad status text writes nothing.
    EXPECT_FALSE(WriteTagValue(h, 9, 0, QStringLiteral("ONLINE OFFLINE"), 5));
    EXPECT_EQ(FakeTags::Get(QStringLiteral("T1")).valueWrites, 0);
    EXPECT_TRUE(WriteTagValue(h, 9, 0, QStringLiteral("online"), 5));
    EXPECT_EQ(FakeTags::Get(QStringLiteral("T1")).value, 9);
    EXPECT_EQ(FakeTags::Get(QStringLiteral("T1")).lastMask, 7);
    EXPECT_EQ(FakeTags::Get(QStringLiteral("T1")).lastBits, 3);
    EXPECT_EQ(FakeTags::Get(QStringLiteral("T1")).lastClient, 5);
    // Time 0 writes the current time.
    EXPECT_EQ(FakeTags::Get(QStringLiteral("T1")).time.wYear, DateUtil::NowFields().year);

    // Without a library every call fails cleanly.
    TagAccess::ResetTagLibrary();
    EXPECT_EQ(FindTagHandle(QStringLiteral("T1")), PT_NO_TAG);
    EXPECT_FALSE(ReadTagValue(h, v, time, status));
    EXPECT_FALSE(WriteTagValue(h, 1, 0, QString(), 0));
}

TEST_F(TagAccessTest, MessagesAreCutAtTheirEndAndAFullBufferIsKeptWhole) {
    const uint16_t h = FakeTags::Add(QStringLiteral("M1"));
    FakeTags::Get(QStringLiteral("M1")).message = QStringLiteral("溫度 ok");
    QString text;
    double time = 0;
    int16_t status = 0;
    ASSERT_TRUE(ReadTagMessage(h, text, time, status));
    EXPECT_EQ(text, QStringLiteral("溫度 ok"));

    FakeTags::rawMessage.assign(81, 'x');  // 81 characters, no NUL
    ASSERT_TRUE(ReadTagMessage(h, text, time, status));
    EXPECT_EQ(text, QString(81, u'x'));
}
