// The save-group model: letter-case rules of the lookups, compaction and the working copy.
#include "config/core/SaveGroupModel.h"
#include "platform/ado/Ado.h"
#include "tests/config/core/ConfigFixture.h"

using namespace SaveGroupUtil;

class SaveGroupModelTest : public ConfigFixture {
  protected:
    SaveGroupRecord& AddGroup(const QString& name, const QStringList& fields = {}) {
        ProgramState& st = State();
        SaveGroupRecord& g = st.Group(++st.SaveGroupCount);
        g.S().SaveGroupName = name;
        g.S().dbTableName = QStringLiteral("  T_") + name + u' ';
        for (const QString& f : fields) g.F(++g.FieldCount).FieldName = f;
        return g;
    }
};

TEST_F(SaveGroupModelTest, LookupsFollowTheirLetterCaseRules) {
    SaveGroupRecord& a = AddGroup(QStringLiteral("LINE"), {QStringLiteral("Flow"), QStringLiteral("Temp")});
    AddGroup(QString());
    AddGroup(QStringLiteral("After"));
    a.F(2).TagName = QStringLiteral("T1");
    a.F(2).DecimalPlaces = 3;

    EXPECT_TRUE(SaveGroupExists(QStringLiteral("line")));
    EXPECT_TRUE(SaveGroupExists(QStringLiteral("after")));  // after an empty name too
    EXPECT_EQ(GetSaveGroupIndex(QStringLiteral("line")), -1);
    EXPECT_EQ(GetSaveGroupIndex(QStringLiteral("After")), 3);
    EXPECT_EQ(GetSaveGroupTableName(QStringLiteral("LINE")), QStringLiteral("T_LINE"));
    EXPECT_TRUE(FieldExists(a, QStringLiteral("Temp")));
    EXPECT_FALSE(FieldExists(a, QStringLiteral("temp")));

    xField target;
    target.FieldName = QStringLiteral("untouched");
    EXPECT_FALSE(GetFieldSettings(QStringLiteral("LINE"), QStringLiteral("temp"), target));
    EXPECT_EQ(target.FieldName, QStringLiteral("untouched"));
    ASSERT_TRUE(GetFieldSettings(QStringLiteral("LINE"), QStringLiteral("Temp"), target));
    EXPECT_EQ(target.TagName, QStringLiteral("T1"));
    EXPECT_EQ(target.DecimalPlaces, 3);
}

TEST_F(SaveGroupModelTest, CompactionKeepsOrderAndObjectsUpToTheFirstEmptyName) {
    SaveGroupRecord& a =
        AddGroup(QStringLiteral("A"), {QStringLiteral("f1"), QStringLiteral("f2"), QStringLiteral("f3")});
    AddGroup(QStringLiteral("B")).IsGroupDeleted = -1;
    const auto c = AddGroup(QStringLiteral("C")).Settings;
    AddGroup(QString());
    AddGroup(QStringLiteral("E"));
    const auto aSettings = a.Settings;

    EXPECT_EQ(RemoveSaveGroup(State().SaveGroups), 2);
    EXPECT_EQ(State().Group(1).Settings, aSettings);
    EXPECT_EQ(State().Group(2).Settings, c);
    EXPECT_FALSE(State().Group(3).Settings);  // E came after the empty name
    EXPECT_EQ(c.use_count(), 2);              // the test's and the table's

    SaveGroupRecord& g = State().Group(1);
    const auto f3 = g.Fields[3];
    g.F(2).IsDeleted = true;
    EXPECT_EQ(RemoveField(g.Fields), 2);
    EXPECT_EQ(g.Fields[2], f3);
    EXPECT_FALSE(g.Fields[3]);
}

TEST_F(SaveGroupModelTest, AWorkingCopyOwnsItsValuesAndTags) {
    SaveGroupRecord& source = AddGroup(QStringLiteral("A"), {QStringLiteral("f1")});
    source.S().dbSTriggerTag.Name = QStringLiteral("TRIG");
    source.S().dbSCSVFixDataLength = 12;
    source.S().ModuleOptions = QStringLiteral("/PURGE:30");
    source.S().SaveTimeIntervalWithMilliSeconds = Numbers::Fixed4::FromDouble(0.5);
    source.R().IsHighSpeedSaver = true;
    source.R().ModuleName = QStringLiteral("Line A");
    source.R().conn = std::make_shared<ado::Connection>();
    source.F(1).UserParm = 7;
    source.NameList[1] = QStringLiteral("aux");
    source.NameCount = 1;

    SaveGroupRecord copy;
    CopySvcSettings(source, copy);
    copy.S().dbSTriggerTag.Name = QStringLiteral("OTHER");
    copy.S().dbTableName = QStringLiteral("X");
    copy.F(1).FieldName = QStringLiteral("g1");
    EXPECT_EQ(source.S().dbSTriggerTag.Name, QStringLiteral("TRIG"));
    EXPECT_EQ(source.F(1).FieldName, QStringLiteral("f1"));
    EXPECT_EQ(copy.S().ModuleOptions, QStringLiteral("/PURGE:30"));
    EXPECT_EQ(copy.R().ModuleName, QStringLiteral("Line A"));
    EXPECT_EQ(copy.R().conn, source.R().conn);
    EXPECT_EQ(copy.NameList[1], QStringLiteral("aux"));
    // Left at their defaults until the editor sets them.
    EXPECT_EQ(copy.S().dbSCSVFixDataLength, 0);
    EXPECT_EQ(copy.S().SaveTimeIntervalWithMilliSeconds.raw, 0);
    EXPECT_FALSE(copy.R().IsHighSpeedSaver);
    EXPECT_EQ(copy.F(1).UserParm, 0);
    EXPECT_TRUE(copy.Fields[kMaxFieldSlots]);
}
