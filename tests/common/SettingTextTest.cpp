#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <optional>
#include <tuple>

#include "common/SettingUtil.h"

using namespace SettingUtil;

namespace {
QString Get(const QString& section, const QString& key, const QString& text) {
    return GetSettingValue(section, key, QStringLiteral("<default>"), text);
}
}  // namespace

TEST(SettingText, KeyLinesAndMatching) {
    // The "=" must stand at position 3 or later of the trimmed line.
    EXPECT_EQ(Get("", "A", "a=1"), "<default>");
    EXPECT_EQ(Get("", "A", " a=1"), "<default>");
    EXPECT_EQ(Get("", "A", "a =1"), "1");
    // Sections and keys in any letter case; values keep theirs and are trimmed.
    const QString text = "[Basic]\r\ndbTableName =  Tab One \r\nDBTABLENAME=second\r\n[csv]\r\nkey=\r\n";
    EXPECT_EQ(Get("BASIC", "dbtablename", text), "Tab One");
    EXPECT_EQ(Get("Csv", "KEY", text), "");
    EXPECT_EQ(Get("basic", "key", text), "<default>");
    // Key lines before the first header belong to the section with the empty name.
    EXPECT_EQ(Get("", "top", "top=1\r\n[S]\r\ntop=2"), "1");
    // CR, CR LF and a lone LF each end a line, also mixed in one text.
    EXPECT_EQ(Get("S", "bb", "[S]\nbb=2"), "2");
    EXPECT_EQ(Get("S", "bb", "[S]\rbb=2"), "2");
    EXPECT_EQ(Get("S", "bb", "[S]\r\nbb=a\nb"), "a");
    EXPECT_EQ(Get("T", "cc", "[S]\r\ncc=1\n[T]\rcc=2\r\n"), "2");
    // A key far down a long text is still found.
    QString longText = "[S]\r\n";
    for (int i = 0; i < 1200; ++i) longText += QStringLiteral("k%1=%1\r\n").arg(i);
    EXPECT_EQ(Get("S", "k1100", longText), "1100");
}

TEST(SettingText, SectionHeaders) {
    // Brackets inside a value keep the line a key line and the keys after it in their section.
    const QString text = "[Basic]\r\ndbSCaption=Plant [North]\r\nfd1=Flow [m3/h],T1\r\nkey=after\r\n";
    EXPECT_EQ(Get("Basic", "dbSCaption", text), "Plant [North]");
    EXPECT_EQ(Get("Basic", "fd1", text), "Flow [m3/h],T1");
    EXPECT_EQ(Get("Basic", "key", text), "after");
    EXPECT_EQ(Get("NORTH", "key", text), "<default>");
    // "x]" is no header: a key line when it has a key, else ignored.
    EXPECT_EQ(Get("X", "k", "x]\r\nk =1"), "<default>");
    EXPECT_EQ(Get("", "k", "x]\r\nk =1"), "1");
    EXPECT_EQ(Get("S", "a]b", "[S]\r\na]b=2"), "2");
    // A header: "[", a name, "]", blanks around allowed; the name ends at the first "]".
    EXPECT_EQ(Get("X", "k", "[ x ]\r\nk =1"), "1");
    EXPECT_EQ(Get("A", "k", "  [a]b]  \r\nk =1"), "1");
    EXPECT_EQ(Get("S", "k", "[S]\r\n[]\r\nk =1"), "1");
    EXPECT_EQ(Get("S", "k", "[S]\r\n[x\r\nk =1"), "1");
}

TEST(SettingText, TextToArray) {
    std::vector<QVariant> rows(6);
    EXPECT_EQ(TextToArray(" a\r\n\r\nb \r\nc\r\n\r\n", rows), 4);
    EXPECT_EQ(rows[1].toString(), "a");
    EXPECT_FALSE(rows[2].isValid());  // empty lines are counted, not stored
    EXPECT_EQ(rows[3].toString(), "b");
    EXPECT_EQ(rows[4].toString(), "c");
    std::vector<QVariant> same(6);
    EXPECT_EQ(TextToArray("a\r\n\nb\rc", same), 4);
    EXPECT_EQ(same[3].toString(), "b");
    // Lines beyond the last slot are counted only.
    std::vector<QVariant> small(3);
    EXPECT_EQ(TextToArray("1\r2\r3\r4", small), 4);
    EXPECT_EQ(small[2].toString(), "2");
    // A numeric first slot stores leading numbers.
    std::vector<QVariant> numbers(4, QVariant(0.0));
    EXPECT_EQ(TextToArray("12abc\rx\r2.5", numbers), 3);
    EXPECT_EQ(numbers[1].toDouble(), 12.0);
    EXPECT_EQ(numbers[2].toDouble(), 0.0);
    EXPECT_EQ(numbers[3].toDouble(), 2.5);
    // An empty text leaves the array untouched.
    std::vector<QVariant> untouched{QVariant(), QVariant("keep")};
    EXPECT_EQ(TextToArray("  \r\n", untouched), 0);
    EXPECT_EQ(untouched[1].toString(), "keep");
    // Cells: ";", ",", ":" and TAB end a cell; the walk ends at a CR on the last row.
    std::vector<std::vector<QVariant>> grid(3, std::vector<QVariant>(4));
    EXPECT_EQ(TextToArray("a;b, c\r\nd:e\tf\rg", grid), 2);
    EXPECT_EQ(grid[1][3].toString(), "c");
    EXPECT_EQ(grid[2][1].toString(), "d");
    EXPECT_EQ(grid[2][3].toString(), "f");
}

TEST(SettingText, SplitAndCut) {
    std::vector<QString> items(2);
    EXPECT_EQ(SplitString("a,,b", items, ","), 3);
    ASSERT_GE(items.size(), 4u);
    EXPECT_EQ(items[1], "a");
    EXPECT_EQ(items[2], "");
    EXPECT_EQ(items[3], "b");
    EXPECT_EQ(SplitString("abc", items, ","), 1);
    EXPECT_EQ(SplitString("", items, ","), 0);
    EXPECT_EQ(items[1], "abc");

    QString head = "x", inner = "y";
    CutDelimited("Desc(*.mdb){ACCESS}", "{", "}", head, inner);
    EXPECT_EQ(head, "Desc(*.mdb)");
    EXPECT_EQ(inner, "ACCESS");
    CutDelimited("text{open", "{", "}", head, inner);
    EXPECT_EQ(head, "");
    EXPECT_EQ(inner, "");
    CutDelimited(" plain ", "{", "}", head, inner);
    EXPECT_EQ(head, "plain");
    EXPECT_EQ(inner, "");
    // The closing delimiter is looked for after the opening one.
    CutDelimited("a} b {c}", "{", "}", head, inner);
    EXPECT_EQ(head, "a} b");
    EXPECT_EQ(inner, "c");
}

TEST(SettingText, ParseTagReference) {
    QString ref = "TAG1.msg", part = "old";
    EXPECT_EQ(LedgrixUtil::ParseTagReference(ref, part), 0);
    EXPECT_EQ(ref, "TAG1");
    EXPECT_EQ(part, "MESSAGE");
    ref = "T2";
    EXPECT_EQ(LedgrixUtil::ParseTagReference(ref, part), 0);
    EXPECT_EQ(part, "VALUE");
    ref = "T3.value";
    EXPECT_EQ(LedgrixUtil::ParseTagReference(ref, part), 0);
    EXPECT_EQ(part, "value");  // kept as written

    for (const auto& [bad, code] :
         {std::pair{"ABCDEFGHI", 2}, {"ABCDEFGHI.FIELD", 3}, {"TAG1.FIELD", 3}, {"   ", 1}}) {
        ref = bad;
        part = "keep";
        EXPECT_EQ(LedgrixUtil::ParseTagReference(ref, part), code) << bad;
        EXPECT_EQ(ref, bad);
        EXPECT_EQ(part, "keep");
    }
    ref = ".VALUE";
    EXPECT_EQ(LedgrixUtil::ParseTagReference(ref, part), 0);
    EXPECT_EQ(ref, "");
}

// The lookup read once must answer every query as the scanning reader does: every section and
// key named anywhere in each settings file of the test data, in other letter cases too, and the
// edge texts of the line rules.
TEST(SettingText, LookupAnswersAsTheScanningReader) {
    QStringList texts{"[Basic]\r\ndbSCaption=Plant [North]\r\nkey=after\r\nkey=again\r\n[]\r\n[x\r\nk =1",
                      "top=1\r\n[S]\rtop=2\n[ s ]\r\ntop=3\r\n  [a]b]  \r\na]b=2\r\nx]\r\nk=\r\n"};
    QDirIterator files(QStringLiteral(LEDGRIX_TEST_DATA), {"*.svc", "*.svl", "*.set"}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile f(files.next());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        texts << QString::fromUtf8(f.readAll());
    }
    ASSERT_GT(texts.size(), 10);
    for (const QString& text : texts) {
        QStringList sections{"", "nope"}, keys{"nope"};
        for (const QString& line : text.split(QRegularExpression("\r\n|\r|\n"))) {
            const QString t = line.trimmed();
            if (t.startsWith(u'[')) sections << t.mid(1, t.indexOf(u']') - 1).trimmed();
            if (t.contains(u'=')) keys << t.left(t.indexOf(u'=')).trimmed();
        }
        const SettingLookup lookup(text);
        for (const QString& section : sections)
            for (const QString& key : keys)
                for (const QString& k : {key, key.toLower(), key.toUpper()})
                    ASSERT_EQ(lookup.Value(section.toLower(), k, "<default>"), Get(section, k, text))
                        << qPrintable(section) << " / " << qPrintable(k);
    }
}

// Lines kept as read (a caption, a flag this program does not edit) must be told apart from
// lines the file does not have, also when their value is empty.
TEST(SettingText, FindTellsAMissingLineFromAnEmptyValue) {
    const QString text = "[Basic]\r\nempty=\r\nkey=v\r\n[CSV]\r\nother=1\r\n";
    const SettingLookup lookup(text);
    for (const auto& [section, key, expected] :
         {std::tuple<QString, QString, std::optional<QString>>{"basic", "EMPTY", QString("")},
          {"Basic", "key", QString("v")},
          {"Basic", "other", std::nullopt},
          {"CSV", "key", std::nullopt}}) {
        EXPECT_EQ(FindSettingValue(section, key, text), expected) << qPrintable(section + "/" + key);
        EXPECT_EQ(lookup.Find(section, key), expected) << qPrintable(section + "/" + key);
    }
}

TEST(SettingText, UpperEqualsIsUpperCasedEquality) {
    for (const QString text : {"^datetime", "^DateTime", "^DATETIMEx", "Msg", "msgs", "", "straße", "STRASSE",
                               "ı", "^datetıme", "ﬀ"})
        for (const char* upper : {"^DATETIME", "MSG", "STRASSE", "I", "^DATETIME", "FF", ""})
            EXPECT_EQ(UpperEquals(text, QLatin1String(upper)), text.toUpper() == QLatin1String(upper))
                << qPrintable(text) << " " << upper;
}
