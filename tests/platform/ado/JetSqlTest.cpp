// Jet SQL rewritten for the SQLite engine.
#include <gtest/gtest.h>

#include "platform/ado/JetSql.h"
#include "tests/platform/ado/SqliteFiles.h"

using namespace ado::jet;

namespace {

QHash<QString, QString> Log1Types(const QString& table) {
    if (table.compare(QStringLiteral("Log1"), Qt::CaseInsensitive) != 0) return {};
    return {{QStringLiteral("TIME"), QStringLiteral("DATETIME")},
            {QStringLiteral("FLOW"), QStringLiteral("DOUBLE")},
            {QStringLiteral("NOTE"), QStringLiteral("TEXT")},
            {QStringLiteral("DAY"), QStringLiteral("date")},
            {QStringLiteral("END]"), QStringLiteral("DATETIME")}};
}

QString T(const QString& sql) {
    return Translate(sql, Log1Types);
}

}  // namespace

TEST(JetSqlTest, DateTextsBecomeIso) {
    EXPECT_EQ(IsoDateText(QStringLiteral("2024/03/05 02:07:09 PM")), QStringLiteral("2024-03-05 14:07:09"));
    EXPECT_EQ(IsoDateText(QStringLiteral("2024/03/05 12:07:09 AM")), QStringLiteral("2024-03-05 00:07:09"));
    EXPECT_EQ(IsoDateText(QStringLiteral("2024/3/5")), QStringLiteral("2024-03-05 00:00:00"));
    EXPECT_EQ(IsoDateText(QStringLiteral("2024/03/05 14:07:09")), QStringLiteral("2024-03-05 14:07:09"));
    EXPECT_EQ(IsoDateText(QStringLiteral("2024/03/05 下午 02:07:09")), QStringLiteral("2024-03-05 14:07:09"));
    EXPECT_EQ(IsoDateText(QStringLiteral("2024/03/05 02:07:09 上午")), QStringLiteral("2024-03-05 02:07:09"));
    EXPECT_EQ(IsoDateText(QStringLiteral("2024/03/05 14:07:09.250 PM")),
              QStringLiteral("2024-03-05 14:07:09.250"));
    EXPECT_EQ(IsoDateText(QStringLiteral("2024/03/05 02:07:09.5 PM")),
              QStringLiteral("2024-03-05 14:07:09.500"));
    EXPECT_FALSE(IsoDateText(QStringLiteral("2024/02/30")));
    EXPECT_FALSE(IsoDateText(QStringLiteral("Pump")));
    EXPECT_FALSE(IsoDateText(QStringLiteral("3/1/2024")));
    EXPECT_EQ(IsoDateText(QStringLiteral("3/1/2024"), true), QStringLiteral("2024-03-01 00:00:00"));
}

TEST(JetSqlTest, InsertAndUpdateConvertOnlyDateColumns) {
    EXPECT_EQ(
        T(QStringLiteral("Insert Into [Log1] ([Time], [Flow], [Note]) Values ('2024/03/05 02:07:09 PM',12.35,"
                         "'2024/03/05 02:07:09 PM' )")),
        QStringLiteral("Insert Into [Log1] ([Time], [Flow], [Note]) Values ('2024-03-05 14:07:09',12.35,"
                       "'2024/03/05 02:07:09 PM' )"));
    // Unbracketed names, another letter case, a text that is no date.
    EXPECT_EQ(
        T(QStringLiteral("Insert Into log1 (Note, time, day) Values ('a''b', 'soon','2024/3/5')")),
        QStringLiteral("Insert Into log1 (Note, time, day) Values ('a''b', 'soon','2024-03-05 00:00:00')"));
    EXPECT_EQ(
        T(QStringLiteral(
            "Update [Log1] SET [Time]='2024/03/05 02:07:09 PM', [Note]='2024/1/1' Where ([Time] = "
            "(SELECT Top 1 [Time] From [Log1] ORDER BY [Time] DESC))")),
        QStringLiteral("Update [Log1] SET [Time]='2024-03-05 14:07:09', [Note]='2024/1/1' Where ([Time] = "
                       "(SELECT [Time] From [Log1] ORDER BY [Time] DESC LIMIT 1))"));
    // A name holding "]" (doubled in its brackets) still names its date column.
    EXPECT_EQ(T(QStringLiteral("Insert Into [Log1] ([End]]]) Values ('2024/3/5')")),
              QStringLiteral("Insert Into [Log1] (\"End]\") Values ('2024-03-05 00:00:00')"));
    // A table without date columns is left alone.
    EXPECT_EQ(T(QStringLiteral("Insert Into [Other] ([Time]) Values ('2024/3/5')")),
              QStringLiteral("Insert Into [Other] ([Time]) Values ('2024/3/5')"));
}

TEST(JetSqlTest, ComparisonsAndHashLiterals) {
    EXPECT_EQ(T(QStringLiteral("Delete From [Log1] Where (((Time) < #2024/3/1#))")),
              QStringLiteral("Delete From [Log1] Where (((Time) < '2024-03-01 00:00:00'))"));
    EXPECT_EQ(T(QStringLiteral("Delete From [Log1] Where (((Time) < '2024/03/01 00:00:00'))")),
              QStringLiteral("Delete From [Log1] Where (((Time) < '2024-03-01 00:00:00'))"));
    EXPECT_EQ(T(QStringLiteral("SELECT * FROM Log1 WHERE '2024/3/1' >= Log1.[Time] AND Note = '2024/3/1'")),
              QStringLiteral(
                  "SELECT * FROM Log1 WHERE '2024-03-01 00:00:00' >= Log1.[Time] AND Note = '2024/3/1'"));
    EXPECT_EQ(
        T(QStringLiteral("select * from Log1 where Time between '2024/3/1' and '2024/3/2 01:00:00 PM'")),
        QStringLiteral(
            "select * from Log1 where Time between '2024-03-01 00:00:00' and '2024-03-02 13:00:00'"));
    // "#" inside a quoted text or a bracketed name is not a date.
    EXPECT_EQ(T(QStringLiteral("Insert Into [Log1] ([Note]) Values ('#2024/3/1#')")),
              QStringLiteral("Insert Into [Log1] ([Note]) Values ('#2024/3/1#')"));
    EXPECT_EQ(Translate(QStringLiteral("Select [a#1#] From T Where d = #3/1/2024#"), nullptr),
              QStringLiteral("Select [a#1#] From T Where d = '2024-03-01 00:00:00'"));
}

TEST(JetSqlTest, TopBecomesLimitInItsOwnScope) {
    EXPECT_EQ(T(QStringLiteral("Select top 1 * from [Log1]")),
              QStringLiteral("Select * from [Log1] LIMIT 1"));
    EXPECT_EQ(T(QStringLiteral("Select Top 10 * From [Log1] Order By [Time] Desc ")),
              QStringLiteral("Select * From [Log1] Order By [Time] Desc LIMIT 10 "));
    EXPECT_EQ(T(QStringLiteral("SELECT DISTINCT TOP 2 Note FROM Log1;")),
              QStringLiteral("SELECT DISTINCT Note FROM Log1 LIMIT 2;"));
    EXPECT_EQ(T(QStringLiteral("Select * From [Log1] ")), QStringLiteral("Select * From [Log1] "));
    // Words that only look like the keyword stay.
    EXPECT_EQ(T(QStringLiteral("Select [top] From [Log1] Where Note = 'select top 1'")),
              QStringLiteral("Select [top] From [Log1] Where Note = 'select top 1'"));
}

TEST(JetSqlTest, BracketedNameWithDoubledBracketIsQuotedForSqlite) {
    // Nothing after the name's own "]" ends the statement or adds one.
    EXPECT_EQ(T(QStringLiteral("SELECT * FROM [x]];DROP TABLE \"Log1\"] WHERE 1=0")),
              QStringLiteral("SELECT * FROM \"x];DROP TABLE \"\"Log1\"\"\" WHERE 1=0"));
}
