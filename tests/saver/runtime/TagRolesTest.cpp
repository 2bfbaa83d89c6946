// The tag data bank, the handling of control tags and the reading of field values.
#include "common/DateUtil.h"
#include "saver/runtime/FieldValues.h"
#include "saver/runtime/TagChangeUtil.h"
#include "tests/saver/runtime/RuntimeFixture.h"

class TagRolesTest : public RuntimeFixture {};

TEST_F(TagRolesTest, BankMergesRolesPerTagAndSkipsUndefinedOrUnadvisableTags) {
    ProgramState& st = State();
    DefineTag(st.AliveTag, QStringLiteral("SHARED"));
    SaveGroupRecord& g1 = AddGroup(QStringLiteral("G1"));
    SaveGroupRecord& g2 = AddGroup(QStringLiteral("G2"));
    DefineTag(g1.S().dbSTriggerTag, QStringLiteral("SHARED"));
    DefineTag(g2.S().dbSTriggerTag, QStringLiteral("SHARED"));
    DefineTag(g1.S().dbSPurgeTag, QStringLiteral("PURGE"));
    g1.S().dbSPurgeTag.DataType = QStringLiteral("Message");
    g2.S().dbSEnableTag.Name = QStringLiteral("GHOST");  // the HMI system does not define it
    g2.S().dbSEnableTag.ID = -1;
    g2.S().dbSNumRecordsSavedTag.Name = QStringLiteral("FAR");
    g2.S().dbSNumRecordsSavedTag.ID = static_cast<int16_t>(FakeTags::Add(QStringLiteral("FAR"), 0, 40000));

    PrepareTagDataBank();
    ASSERT_EQ(Saver().TagDataBankCount, 3);
    EXPECT_EQ(TagBankEntry(1)->ActionLists,
              QStringLiteral("0,VALUE=dbSAliveTag\r\n1,VALUE=dbSTriggerTag\r\n2,VALUE=dbSTriggerTag"));
    EXPECT_EQ(TagBankEntry(2)->ActionLists, QStringLiteral("1,MSG=dbSPurgeTag"));
    EXPECT_EQ(g2.S().dbSTriggerTag.UserParm, 1);
    EXPECT_EQ(g2.S().dbSEnableTag.UserParm, 0);

    CheckTagValue();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              QStringLiteral("Please define the tags.\r\nTags: GHOST (save group [G2], dbSEnableTag)"));

    RegisterXTag();
    EXPECT_NE(FakeTags::callback, nullptr);
    ASSERT_EQ(FakeTags::advised.size(), 2u);  // the entry with handle 40000 is not advised
    EXPECT_EQ(FakeTags::advised[1].index, 2);
    EXPECT_EQ(TagBankEntry(2)->xUnadviseTagID, 102);
    UnadviseAllTags();
    EXPECT_EQ(FakeTags::unadvised.size(), 3u);

    // A status write finds a handle that was missing.
    TagBankEntry(2)->xTagID = 65535;
    WriteStatusTag(2, 7);
    EXPECT_EQ(FakeTags::Get(QStringLiteral("PURGE")).value, 7);
    WriteStatusTag(99, 1);  // outside the bank: nothing
}

TEST_F(TagRolesTest, TheStartUpWarningNamesEveryUndefinedRoleTagWithItsGroup) {
    ProgramState& st = State();
    SaveGroupRecord& g = AddGroup(QStringLiteral("G1"));
    xSvcSettings& s = g.S();
    const std::pair<xTag*, const char*> roles[] = {
        {&s.dbSEnableTag, "EN"},   {&s.dbSTriggerTag, "TR"},      {&s.dbSNumRecordsSavedTag, "NR"},
        {&s.dbSPurgeTag, "PG"},    {&s.dbSDirTag, "DIR"},         {&s.dbSFileNameTag, "FN"},
        {&s.dbSCSVDirTag, "CDIR"}, {&s.dbSCSVFileNameTag, "CFN"}, {&st.StopTag, "STOP"},
        {&st.AliveTag, "ALIVE"},   {&st.DuringSavingTag, "DS"}};
    for (const auto& [tag, name] : roles) {
        tag->Name = QLatin1String(name);
        tag->ID = -1;
    }
    CheckTagValue();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(
        boxes.boxes[0].text,
        QStringLiteral("Please define the tags.\r\nTags: EN (save group [G1], dbSEnableTag),"
                       "TR (save group [G1], dbSTriggerTag),NR (save group [G1], dbSNumRecordsSavedTag),"
                       "PG (save group [G1], dbSPurgeTag),DIR (save group [G1], dbSDirTag),"
                       "FN (save group [G1], dbSFileNameTag),CDIR (save group [G1], dbSCSVDirTag),"
                       "CFN (save group [G1], dbSCSVFileNameTag),STOP (dbSStopTag),ALIVE (dbSAliveTag),"
                       "DS (dbSDuringSavingTag)"));
    EXPECT_TRUE(log.last().contains(
        QStringLiteral(" | Warning | Ledgrix.System | Please define the tags. Tags: EN ")));
}

TEST_F(TagRolesTest, EveryRoleLineIsHandledAndPurgeRunsOnlyOnARisingOne) {
    SaveGroupRecord& g = AddGroup(QStringLiteral("G1"));
    DefineTag(g.S().dbSEnableTag, QStringLiteral("EN"), 1);
    int32_t en = 0;
    for (int k = 0; k < 120; ++k) en = AddTagRole(g.S().dbSEnableTag, 1, QStringLiteral("dbSEnableTag"));
    ProcessTagChange(en);
    EXPECT_EQ(log.filter(QStringLiteral("| Message | Ledgrix.G1 | EN=1")).size(), 120);

    DefineTag(g.S().dbSPurgeTag, QStringLiteral("PG"), 1);
    int32_t pg = AddTagRole(g.S().dbSPurgeTag, 1, QStringLiteral("dbSPurgeTag"));
    g.S().dbSPurgeKeepDays = -1;
    ProcessTagChange(pg);  // first value seen: only noted
    EXPECT_EQ(g.R().LastdbSPurgeTagValue, 1);
    FakeTags::Get(QStringLiteral("PG")).value = 0;
    ProcessTagChange(pg);
    FakeTags::Get(QStringLiteral("PG")).value = 2;
    ProcessTagChange(pg);
    FakeTags::Get(QStringLiteral("PG")).value = 1;
    ProcessTagChange(pg);  // 2 -> 1: no purge
    EXPECT_FALSE(LogHas(QStringLiteral("PurgeKeepDays")));
    FakeTags::Get(QStringLiteral("PG")).value = 0;
    ProcessTagChange(pg);
    FakeTags::Get(QStringLiteral("PG")).value = 1;
    ProcessTagChange(pg);  // 0 -> 1: a purge request, refused for -1 days, tag reset
    EXPECT_TRUE(LogHas(QStringLiteral("[PG=1, PurgeKeepDays=-1] Is Error!")));
    EXPECT_EQ(FakeTags::Get(QStringLiteral("PG")).value, 0);
    EXPECT_EQ(g.R().LastdbSPurgeTagValue, 0);
}

TEST_F(TagRolesTest, DisablingReportsLostSlotsAndStopEndsTheSaver) {
    SaveGroupRecord& g = AddGroup(QStringLiteral("G1"));
    DefineTag(g.S().dbSEnableTag, QStringLiteral("EN"), 0);
    int32_t en = AddTagRole(g.S().dbSEnableTag, 1, QStringLiteral("dbSEnableTag"));
    g.R().SaveTimeInterval = 10;
    g.R().CountinuousOverrunCount = 3;
    g.R().FirstOverrunTime = *DateUtil::Parse(QStringLiteral("2024/03/05 12:00:10"));
    ProcessTagChange(en);
    EXPECT_TRUE(g.R().IsDisableDBAppend);
    EXPECT_TRUE(LogHas(QStringLiteral(
        "| Warning | Ledgrix.G1 | [Overrun 2024/03/05 12:00:10 PM] Loss 3 times records. (DisableLedgrix)")));
    EXPECT_EQ(window.Last(QStringLiteral("NextSaveTime")), QStringLiteral("(None)"));  // the shown group
    FakeTags::Get(QStringLiteral("EN")).value = 1;
    const double enabled = DateUtil::Now();
    ProcessTagChange(en);
    EXPECT_FALSE(g.R().IsDisableDBAppend);
    EXPECT_EQ(g.R().CountinuousOverrunCount, 0);
    EXPECT_GT(g.R().TargetSaveTime, enabled - 1.0 / 86400);
    EXPECT_EQ(window.Last(QStringLiteral("NextSaveTime")),
              DateUtil::Format(g.R().TargetSaveTime, QStringLiteral("yyyy/MM/dd HH:mm:ss AMPM")));

    DefineTag(State().StopTag, QStringLiteral("STOP"), 0);
    int32_t stop = AddTagRole(State().StopTag, 0, QStringLiteral("dbSStopTag"));
    ProcessTagChange(stop);  // 0: nothing
    FakeTags::Get(QStringLiteral("STOP")).value = 2;
    EXPECT_THROW(ProcessTagChange(stop), ProgramExit);
    EXPECT_EQ(FakeTags::Get(QStringLiteral("STOP")).value, 0);
    EXPECT_TRUE(LogHas(QStringLiteral("| Message | Ledgrix.System | Set STOP=2")));
}

// A value that cannot be read while the link is up is that tag's fault: named once an episode
// with what the runtime sent, the field gets the failed-read value, and neither the lost link
// nor the question comes. Only with the link lost does a failed read take it offline and ask.
TEST_F(TagRolesTest, AFailedReadIsTheTagsFaultWhileTheLinkIsUpAndAsksOnlyWhenItIsLost) {
    SaveGroupRecord& g = AddGroup(QStringLiteral("G1"));
    DefineTag(g.S().dbSTriggerTag, QStringLiteral("TR"), 1);
    int32_t tr = AddTagRole(g.S().dbSTriggerTag, 1, QStringLiteral("dbSTriggerTag"));
    xField& flow = g.F(++g.FieldCount);
    flow.TagName = QStringLiteral("FLOW");
    flow.TagType = QStringLiteral("VALUE");
    flow.TagID = static_cast<int16_t>(FakeTags::Add(QStringLiteral("FLOW"), 5));
    Saver().IsLinkOnline = true;
    for (const char* name : {"TR", "FLOW"}) {
        FakeTags::Get(QLatin1String(name)).failReads = true;
        FakeTags::Get(QLatin1String(name)).faultText = QStringLiteral("1e400");
    }
    window.tagViewTags = {QStringLiteral("FLOW")};
    int16_t gi = 1;
    for (int k = 0; k < 2; ++k) {
        ProcessTagChange(tr);
        GetFieldValues(gi);
        RefreshTagView();
    }
    EXPECT_EQ(flow.TagValue.toInt(), 0);
    EXPECT_EQ(g.R().LastdbSTriggerTagValue, -9999.99);  // no role handled
    EXPECT_TRUE(Saver().IsLinkOnline);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(LogHas(QStringLiteral("can not connect")));
    for (const char* name : {"TR", "FLOW"})
        EXPECT_EQ(
            log.filter(QStringLiteral(" | Warning | Ledgrix.System | The tag %1 can not be read; Hexvane "
                                      "sent [1e400].")
                           .arg(QLatin1String(name)))
                .size(),
            1)
            << log.join(u'\n').toStdString();
    // A read that succeeds ends the episode.
    FakeTags::Get(QStringLiteral("FLOW")).failReads = false;
    GetFieldValues(gi);
    FakeTags::Get(QStringLiteral("FLOW")).failReads = true;
    GetFieldValues(gi);
    EXPECT_EQ(log.filter(QStringLiteral("The tag FLOW can not be read")).size(), 2);

    FakeTags::linkLost = true;
    boxes.answers = {MsgAnswer::Cancel};
    ProcessTagChange(tr);
    EXPECT_FALSE(Saver().IsLinkOnline);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Connect to Hexvane is failure"));
    EXPECT_EQ(window.Last(QStringLiteral("LinkPicture")), QStringLiteral("offline"));
    EXPECT_EQ(window.Last(QStringLiteral("LinkStatus")), QStringLiteral("（Offline）"));
}

TEST_F(TagRolesTest, FieldValuesReadEveryPartAndNeverKeepAStaleTime) {
    SaveGroupRecord& g = AddGroup(QStringLiteral("G1"));
    FakeTags::Add(QStringLiteral("A"), 1.5);
    FakeTags::Add(QStringLiteral("M"));
    FakeTags::Get(QStringLiteral("M")).message = QStringLiteral("hello");
    auto field = [&g](int slot, const QString& name, const QString& type) -> xField& {
        xField& f = g.F(slot);
        f.TagName = name;
        f.TagType = type;
        f.TagID = -1;
        g.FieldCount = static_cast<int16_t>(slot);
        return f;
    };
    field(1, QStringLiteral("A"), QStringLiteral("VALUE"));
    xField& val = field(2, QStringLiteral("A"), QStringLiteral("VAL"));
    xField& msg = field(3, QStringLiteral("M"), QStringLiteral("msg"));
    xField& odd = field(4, QStringLiteral("A"), QStringLiteral("XYZ"));
    xField& ghost = field(5, QStringLiteral("GHOST"), QStringLiteral("VALUE"));
    xField& when = field(6, QStringLiteral("^datetime"), QStringLiteral("DATETIME"));
    Saver().ReferenceDateTime = QStringLiteral("2024/1/5 08:00:00");

    int16_t gi = 1;
    GetFieldValues(gi);
    EXPECT_EQ(val.TagValue.toDouble(), 1.5);
    EXPECT_EQ(msg.TagMessage, QStringLiteral("hello"));
    EXPECT_EQ(odd.TagTime.toString(), NotDefinedTagTime());
    EXPECT_EQ(ghost.TagValue.toInt(), -1);
    EXPECT_EQ(ghost.TagTime.toString(), QStringLiteral("1995/01/01 00:00:01"));
    EXPECT_EQ(when.TagValue.toString(), QStringLiteral("2024/1/5 08:00:00"));

    // A known handle is not looked up again; an undefined one is, for every record.
    const int finds = FakeTags::findCalls;
    GetFieldValues(gi);
    EXPECT_EQ(FakeTags::findCalls - finds, 1);
}

TEST_F(TagRolesTest, TagReferencesAndTheTagViewTreatUndefinedTagsAsNoFailure) {
    FakeTags::Add(QStringLiteral("T1"), 3);
    FakeTags::Get(QStringLiteral("T1")).message = QStringLiteral("text");
    QString kind, message;
    double value = 0;
    int16_t flag = 9;
    EXPECT_TRUE(GetTagRefData(QStringLiteral("T1.msg"), kind, value, message, flag));
    EXPECT_EQ(kind, QStringLiteral("MSG"));
    EXPECT_EQ(message, QStringLiteral("text"));
    EXPECT_EQ(flag, 1);
    EXPECT_TRUE(GetTagRefData(QStringLiteral("T1.Value"), kind, value, message, flag));
    EXPECT_EQ(value, 3);
    EXPECT_TRUE(GetTagRefData(QStringLiteral("T1.ABC"), kind, value, message, flag));
    EXPECT_EQ(flag, 0);
    EXPECT_FALSE(GetTagRefData(QString(), kind, value, message, flag));
    EXPECT_EQ(flag, 2);
    EXPECT_EQ(FormatNameWithTags(QStringLiteral("a"), QString(), QStringLiteral("c")), QStringLiteral("a"));
    EXPECT_EQ(FormatNameWithTags(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")),
              QStringLiteral("a [b] [c]"));

    window.tagViewTags = {QStringLiteral("GHOST"), QStringLiteral("T1"), QString()};
    Saver().IsLinkOnline = true;
    RefreshTagView();
    EXPECT_EQ(window.calls,
              (QStringList{QStringLiteral("TagValue:0=圖控中未定義"), QStringLiteral("TagValue:1=3")}));
    EXPECT_TRUE(Saver().IsLinkOnline);
}
