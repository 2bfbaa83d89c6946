// CSV groups: title line, record line, line ends, fixed widths, quoting and backups.
#include <cstdio>

#include "common/FileUtil.h"
#include "saver/writers/CSVText.h"
#include "tests/saver/writers/WriterFixture.h"
#include "tests/support/FullDisk.h"

namespace {

class CSVWriterTest : public WriterFixture {
  protected:
    // A CSV group with a value (2 decimals), a message (3 characters) and a record-time field.
    SaveGroupRecord& CsvGroup(const QString& delimiter = QStringLiteral(","),
                              const QString& lineEnd = QStringLiteral("\r\n")) {
        SaveGroupRecord& g = AccessGroup(1, QString(), QString());
        xSvcSettings& s = g.S();
        s.dbDBTypeName = QStringLiteral("CSV");
        s.dbCSVFullPath = QStringLiteral("..\\Project\\P\\dat\\g1.csv");
        s.dbSCSVDelimiterCharacter = delimiter;
        s.dbSCSVNewlineCharacter = lineEnd;
        s.dbSCSVIsUseFieldTitle = true;
        AddField(g, QStringLiteral("Temp"), QStringLiteral("T1"), QStringLiteral("VALUE")).DecimalPlaces = 2;
        AddField(g, QStringLiteral("Msg"), QStringLiteral("M1"), QStringLiteral("MSG")).TagMessageLength = 3;
        AddField(g, QStringLiteral("Time"), QStringLiteral("^DATETIME"), QString()).DatetimeFormatString =
            QStringLiteral("yyyy/MM/dd HH:mm:ss");
        Values(3.14159, QStringLiteral("hello"));
        return g;
    }
    void Values(const QVariant& value, const QString& message) {
        onReadValues = [value, message](int16_t g) {
            State().Group(g).F(1).TagValue = value;
            State().Group(g).F(2).TagMessage = message;
        };
    }
    void Record(int second) {
        double t = At(2024, 3, 5, 9, 0, second);
        ado::WaitFor(DBAppend(1, t));
    }
    // A later preparation as after a restart: no stream, nothing counted yet.
    void Restart() {
        State().Group(1).R().CSVFSO.reset();
        State().Group(1).R().NumRecordsSaved = 0;
    }
    QByteArray File(const QString& name = QStringLiteral("g1.csv")) {
        return ReadFile(QStringLiteral("Project/P/dat/") + name);
    }
    // The line of a record that is lost, written at 2024-03-05 09:00:<second>.
    int LostLines(int second) const {
        return CountLog(QStringLiteral("2024/03/05 09:00:%1 | Error | Ledgrix.G1 | Append Data to CSV file "
                                       "Fail! Please check CSV File.")
                            .arg(second, 2, 10, QLatin1Char('0')));
    }
};

TEST_F(CSVWriterTest, TitleAndRecordsUseTheDelimiterAndLineEnd) {
    for (const QByteArray& end : {QByteArray("\r\n"), QByteArray("\n"), QByteArray("\r")}) {
        ResetState();
        QFile::remove(Path(QStringLiteral("Project/P/dat/g1.csv")));
        SaveGroupRecord& g = CsvGroup(QStringLiteral(";"), QString::fromLatin1(end));
        Record(1);
        Values(12.6, QString());
        g.F(1).DecimalPlaces = 0;
        Record(2);
        EXPECT_EQ(File(), "Temp;Msg;Time" + end + "3.14;hel;2024/03/05 09:00:01" + end +
                              "13;;2024/03/05 09:00:02" + end);
        EXPECT_EQ(g.R().NumRecordsSaved, 2);
    }
    EXPECT_EQ(
        CountLog(QStringLiteral("2024/03/05 09:00:02  | Message | Ledgrix.G1 |  Append to CSV file, Command "
                                "string:13;;2024/03/05 09:00:02 (0)")),
        3);
}

TEST_F(CSVWriterTest, ItemsHoldingDelimiterQuoteOrLineBreakAreQuoted) {
    SaveGroupRecord& g = CsvGroup();
    g.F(2).TagMessageLength = -1;
    Values(QStringLiteral("x"), QStringLiteral("a,b \"c\"\nd"));
    Record(1);
    EXPECT_EQ(File(), QByteArray("Temp,Msg,Time\r\nx,\"a,b \"\"c\"\"\nd\",2024/03/05 09:00:01\r\n"));
}

TEST_F(CSVWriterTest, FixedWidthsPadCutTitlesAndReportOverlongValues) {
    SaveGroupRecord& g = CsvGroup();
    g.S().dbSCSVIsFixDataLength = true;
    g.F(1).TagDataLength = 6;
    g.F(1).DecimalPlaces = -1;
    g.F(2).TagDataLength = 2;
    g.F(3).TagDataLength = 19;
    Values(42, QStringLiteral("ok"));
    Record(1);
    Values(1234567, QStringLiteral("toolong"));
    g.F(2).TagMessageLength = 0;
    Record(2);
    EXPECT_EQ(File(), "  Temp,sg," + QByteArray(15, ' ') + "Time\r\n    42,ok,2024/03/05 09:00:01\r\n" +
                          "1234567,toolong,2024/03/05 09:00:02\r\n");
    EXPECT_EQ(CountLog(QStringLiteral("資料長度超過設定的固定長度")), 1);
}

// A fixed width holds an item as written, quotes included: a title is cut to fit it whole.
TEST_F(CSVWriterTest, FixedWidthsHoldQuotedItems) {
    SaveGroupRecord& g = CsvGroup(QStringLiteral(";"));
    g.S().dbSCSVIsFixDataLength = true;
    g.F(1).TagDataLength = 4;
    g.F(2).FieldName = QStringLiteral("Flow;rate");
    g.F(2).TagDataLength = 8;
    g.F(2).TagMessageLength = -1;
    g.F(3).TagDataLength = 19;
    Values(3.14159, QStringLiteral("a;b"));
    Record(1);
    Values(3.14159, QStringLiteral("a;b\"c"));
    Record(2);
    Values(3.14159, QStringLiteral("a;b\"cd"));
    Record(3);
    EXPECT_EQ(File(), "Temp;\"w;rate\";" + QByteArray(15, ' ') + "Time\r\n" +
                          "3.14;   \"a;b\";2024/03/05 09:00:01\r\n3.14;\"a;b\"\"c\";2024/03/05 09:00:02\r\n" +
                          "3.14;\"a;b\"\"cd\";2024/03/05 09:00:03\r\n");
    EXPECT_EQ(CountLog(QStringLiteral("資料長度超過設定的固定長度")), 1);
    EXPECT_EQ(
        CountLog(QStringLiteral("2024/03/05 09:00:03 | Message | Ledgrix.G1 | 資料長度超過設定的固定長度")),
        1);
}

// Widths count characters: one outside the Basic Multilingual Plane is one, as a CJK one is, and
// a cut never splits it.
TEST_F(CSVWriterTest, FixedWidthsCountCharactersOutsideTheBasicPlaneOnce) {
    SaveGroupRecord& g = CsvGroup();
    g.S().dbSCSVIsFixDataLength = true;
    g.F(1).FieldName = QStringLiteral("a😀Temp");
    g.F(1).TagDataLength = 5;
    g.F(2).TagDataLength = 6;
    g.F(2).TagMessageLength = -1;
    g.F(3).TagDataLength = 19;
    Values(1.5, QStringLiteral("😀😀😀"));
    Record(1);
    Values(1.5, QStringLiteral("中文字"));
    Record(2);
    Values(1.5, QStringLiteral("𠀀😀😀😀😀😀"));
    Record(3);
    EXPECT_EQ(File(), QStringLiteral("😀Temp,   Msg,               Time\r\n"
                                     " 1.50,   😀😀😀,2024/03/05 09:00:01\r\n"
                                     " 1.50,   中文字,2024/03/05 09:00:02\r\n"
                                     " 1.50,𠀀😀😀😀😀😀,2024/03/05 09:00:03\r\n")
                          .toUtf8());
    EXPECT_EQ(CountLog(QStringLiteral("資料長度超過設定的固定長度")), 0);
}

TEST_F(CSVWriterTest, TitleMismatchMovesTheOldFileToNumberedBackups) {
    WriteFile(QStringLiteral("Project/P/dat/g1.csv"), "a,b\r\n1,2\r\n");
    SaveGroupRecord& g = CsvGroup();
    Record(1);
    EXPECT_EQ(File(QStringLiteral("g1.bak1")), QByteArray("a,b\r\n1,2\r\n"));
    const QByteArray second = "Temp,Msg,Time\r\n3.14,hel,2024/03/05 09:00:01\r\n";
    EXPECT_EQ(File(), second);

    Restart();  // a fourth field: the three-column file goes to the next number
    AddField(g, QStringLiteral("Extra"), QStringLiteral("X1"), QStringLiteral("VALUE"));
    Record(2);
    EXPECT_EQ(File(QStringLiteral("g1.bak2")), second);
    EXPECT_TRUE(File().startsWith("Temp,Msg,Time,Extra\r\n"));

    WriteFile(QStringLiteral("Project/P/dat/g1.csv"), "w,x,y,z\r\n");  // other names, same count
    Restart();
    Record(3);
    EXPECT_TRUE(File().startsWith("w,x,y,z\r\n3.14,hel,"));
    EXPECT_FALSE(FileUtil::FileExists(QStringLiteral("..\\Project\\P\\dat\\g1.bak3")));
}

TEST_F(CSVWriterTest, EmptyFilesMissingFoldersAndKeepAliveZero) {
    SaveGroupRecord& g = CsvGroup();
    g.S().dbCSVFullPath = QStringLiteral("..\\Project\\P\\dat\\new\\sub\\g1.csv");
    g.S().dbSCSVKeepConnectionAliveAfterSaveData = 0;
    Record(1);
    EXPECT_EQ(File(QStringLiteral("new/sub/g1.csv")),
              QByteArray("Temp,Msg,Time\r\n3.14,hel,2024/03/05 09:00:01\r\n"));
    EXPECT_FALSE(g.R().CSVFSO);

    // An empty existing file is a new file: the title, then the records.
    WriteFile(QStringLiteral("Project/P/dat/empty.csv"), "");
    g.S().dbCSVFullPath = QStringLiteral("..\\Project\\P\\dat\\empty.csv");
    Restart();
    Record(2);
    Record(3);
    EXPECT_EQ(
        File(QStringLiteral("empty.csv")),
        QByteArray("Temp,Msg,Time\r\n3.14,hel,2024/03/05 09:00:02\r\n3.14,hel,2024/03/05 09:00:03\r\n"));
    EXPECT_EQ(CountLog(QStringLiteral("Fail")), 0);
}

TEST_F(CSVWriterTest, AFileThatCannotBeOpenedLosesItsRecordsUntilItCan) {
    // Its folder is a file: no open succeeds, not even as root (whom a read-only folder lets in).
    SaveGroupRecord& g = CsvGroup();
    g.S().dbCSVFullPath = QStringLiteral("..\\Project\\P\\dat\\blocked\\g1.csv");
    WriteFile(QStringLiteral("Project/P/dat/blocked"), "a file");
    Record(1);
    EXPECT_EQ(CountLog(QStringLiteral(" | Message | Ledgrix.G1 | PrepareCSVDB Fail!  ")), 1);
    EXPECT_EQ(LostLines(1), 1);
    EXPECT_EQ(g.R().NumRecordsSaved, 0);
    Record(2);  // tried again, lost again
    EXPECT_EQ(LostLines(2), 1);

    ASSERT_TRUE(QFile::remove(Path(QStringLiteral("Project/P/dat/blocked"))));
    Record(3);
    EXPECT_EQ(File(QStringLiteral("blocked/g1.csv")),
              QByteArray("Temp,Msg,Time\r\n3.14,hel,2024/03/05 09:00:03\r\n"));
    EXPECT_EQ(g.R().NumRecordsSaved, 1);
}

TEST_F(CSVWriterTest, AWriteToAFullFileSystemLosesTheRecordAndLeavesTheFileAsItWas) {
    FullDisk disk;
    if (const QString why = disk.Mount(Path(QStringLiteral("Project/P/dat/full")), 64); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const std::shared_ptr<void> release(nullptr, [](void*) { State().Group(1).R().CSVFSO.reset(); });
    disk.Fill();

    // The file is made (empty, without a title), the record's write fails.
    SaveGroupRecord& g = CsvGroup();
    g.S().dbCSVFullPath = QStringLiteral("..\\Project\\P\\dat\\full\\g1.csv");
    g.S().dbSCSVIsUseFieldTitle = false;
    Record(1);
    EXPECT_EQ(CountLog(QStringLiteral("Prepare CSVDB OK!")), 1);
    EXPECT_EQ(LostLines(1), 1);
    EXPECT_EQ(g.R().NumRecordsSaved, 0);

    disk.Free();
    Record(2);
    const QByteArray saved = "3.14,hel,2024/03/05 09:00:02\r\n";
    EXPECT_EQ(File(QStringLiteral("full/g1.csv")), saved);
    EXPECT_EQ(g.R().NumRecordsSaved, 1);

    // A record longer than the room left in the file's last block: the disk takes part of it and
    // refuses the rest. The part is cut off again, the reason named; a shorter record after it
    // fits, on a line of its own.
    disk.Fill();
    g.F(2).TagMessageLength = -1;
    Values(1, QString(6000, u'm'));
    Record(3);
    EXPECT_EQ(LostLines(3), 1);
    EXPECT_EQ(
        CountLog(QStringLiteral("Error Description = Device I/O error: ..\\Project\\P\\dat\\full\\g1.csv "
                                "(No space left on device)")),
        2);
    EXPECT_EQ(File(QStringLiteral("full/g1.csv")), saved);
    Values(4, QStringLiteral("ok"));
    Record(4);
    disk.Free();
    Values(5, QString(6000, u'm'));
    Record(5);
    EXPECT_EQ(File(QStringLiteral("full/g1.csv")), saved + "4.00,ok,2024/03/05 09:00:04\r\n5.00," +
                                                       QByteArray(6000, 'm') + ",2024/03/05 09:00:05\r\n");
    EXPECT_EQ(g.R().NumRecordsSaved, 3);
}

// A file kept open is moved, deleted or replaced while the group writes: the group says so, and
// the next line goes to the path, into a file made again with its title or appended to the file
// there, as a group that opens its file per record does. A file emptied in place (a log rotation's
// copy and cut) is a new file too, with its title.
TEST_F(CSVWriterTest, AKeptOpenFileThatLeftItsPathIsPreparedAgain) {
    const QByteArray title = "Temp,Msg,Time\r\n", first = "3.14,hel,2024/03/05 09:00:01\r\n",
                     second = "3.14,hel,2024/03/05 09:00:02\r\n";
    for (const QString& change :
         {QStringLiteral("mv"), QStringLiteral("rm"), QStringLiteral("replace"), QStringLiteral("cut")}) {
        SCOPED_TRACE(change.toStdString());
        ResetState();
        log.clear();
        QFile::remove(Path(QStringLiteral("Project/P/dat/g1.csv")));
        CsvGroup();
        Record(1);
        const QByteArray g1 = QFile::encodeName(Path(QStringLiteral("Project/P/dat/g1.csv")));
        if (change == QLatin1String("mv")) {
            ASSERT_EQ(std::rename(g1, QFile::encodeName(Path(QStringLiteral("Project/P/dat/moved.csv")))), 0);
        } else if (change == QLatin1String("rm")) {
            ASSERT_EQ(std::remove(g1), 0);
        } else if (change == QLatin1String("cut")) {
            ASSERT_TRUE(QFile::resize(QFile::decodeName(g1), 0));
        } else {
            const QString backup =
                WriteFile(QStringLiteral("Project/P/dat/backup.csv"), title + "1.00,old,2024/03/01 00:00:00");
            ASSERT_EQ(std::rename(QFile::encodeName(backup), g1), 0);
        }
        Record(2);
        if (change == QLatin1String("cut")) {
            Record(3);
            EXPECT_EQ(File(), title + second + "3.14,hel,2024/03/05 09:00:03\r\n");
            EXPECT_EQ(CountLog(QStringLiteral(" | Warning | ")), 0);
            continue;
        }
        const bool replaced = change == QLatin1String("replace");
        EXPECT_EQ(
            CountLog(QStringLiteral(" | Warning | Ledgrix.G1 | The CSV file [..\\Project\\P\\dat\\g1.csv] "
                                    "has left its path: %1 is there now.")
                         .arg(replaced ? QStringLiteral("another file") : QStringLiteral("no file"))),
            1);
        EXPECT_EQ(File(), replaced ? title + "1.00,old,2024/03/01 00:00:00\r\n" + second : title + second);
        if (change == QLatin1String("mv")) {
            EXPECT_EQ(File(QStringLiteral("moved.csv")), title + first);
        }
    }
}

// A kept-open file cut short keeps no part of a line: cut into its title or into a record, or
// holding lines without the title, it goes to its backup and begins anew with its title; cut at a
// line's end, it is appended to. A copy and cut that lands between the look at the file and the
// write leaves the record after the title.
TEST_F(CSVWriterTest, AKeptOpenFileCutShortBeginsWithItsWholeTitle) {
    const QByteArray title = "Temp,Msg,Time\r\n", first = "3.14,hel,2024/03/05 09:00:01\r\n",
                     second = "3.14,hel,2024/03/05 09:00:02\r\n", untitled = "1.00,old,2024/03/01\r\n";
    const QString g1 = Path(QStringLiteral("Project/P/dat/g1.csv"));
    for (const int size : {5, 21, 15, 0, -1}) {
        SCOPED_TRACE(size);
        ResetState();
        QFile::remove(g1);
        QFile::remove(Path(QStringLiteral("Project/P/dat/g1.bak1")));
        CsvGroup();
        Record(1);
        const FileCallsRestored restored;
        if (size > 0) {
            ASSERT_TRUE(QFile::resize(g1, size));
        } else if (size == 0) {
            WriteFile(QStringLiteral("Project/P/dat/g1.csv"), untitled);
        } else {
            static QString rotated;
            rotated = g1;
            FileIO::Calls().write = [](int fd, const void* data, size_t n) -> ssize_t {
                FileIO::Calls().write = FileIO::DefaultCalls().write;
                QFile::copy(rotated, rotated + QStringLiteral(".1"));
                QFile::resize(rotated, 0);
                return FileIO::DefaultCalls().write(fd, data, n);
            };
        }
        Record(2);
        EXPECT_EQ(File(), title + second);
        const QByteArray backup = size == 0                          ? untitled
                                  : size == title.size() || size < 0 ? QByteArray()
                                                                     : (title + first).left(size);
        EXPECT_EQ(ReadFile(QStringLiteral("Project/P/dat/g1.bak1")), backup);
        if (size < 0) {
            EXPECT_EQ(File(QStringLiteral("g1.csv.1")), title + first);
        }
    }
}

TEST_F(CSVWriterTest, DispersedFilesFollowTheTagsAndStayInsideTheRoot) {
    SaveGroupRecord& g = CsvGroup();
    g.S().dbSCSVDataBaseRootDir = QStringLiteral("..\\Project\\P\\dat\\csv");
    g.S().dbSCSVDirTag = xTag{-1, QStringLiteral("DIR"), 0, {}, 0, 0, QStringLiteral("VALUE")};
    g.S().dbSCSVFileNameTag = xTag{-1, QStringLiteral("FN"), 0, {}, 0, 0, QStringLiteral("MSG")};
    tags[QStringLiteral("DIR")] = {7, {}, 11};
    tags[QStringLiteral("FN")] = {0, QStringLiteral("line1"), 12};
    Record(1);
    EXPECT_EQ(File(QStringLiteral("csv/7/line1.csv")),
              QByteArray("Temp,Msg,Time\r\n3.14,hel,2024/03/05 09:00:01\r\n"));
    EXPECT_EQ(shownPaths, QStringList{QStringLiteral("..\\Project\\P\\dat\\csv\\7\\line1.csv")});

    tags[QStringLiteral("FN")].message.clear();  // empty name: the group's name
    Record(2);
    EXPECT_EQ(g.R().LastdbSCSVFullPath, QStringLiteral("..\\Project\\P\\dat\\csv\\7\\G1.csv"));

    tags[QStringLiteral("FN")].message = QStringLiteral("..\\..\\..\\escape");
    Record(3);
    EXPECT_EQ(CountLog(QStringLiteral(
                  "[dbSCSVDBFullPath=..\\Project\\P\\dat\\csv\\7\\..\\..\\..\\escape.csv] Is Error!!")),
              1);
    EXPECT_EQ(g.R().LastdbSCSVFullPath, QStringLiteral("..\\Project\\P\\dat\\csv\\g1.csv"));
    EXPECT_FALSE(FileUtil::FileExists(QStringLiteral("..\\Project\\P\\escape.csv")));
}

}  // namespace

TEST(CSVText, EachOfDelimiterQuoteAndLineBreaksAloneQuotesAnItem) {
    EXPECT_EQ(CSVText::Field("plain 1.5", ","), "plain 1.5");
    EXPECT_EQ(CSVText::Field("a;b", ","), "a;b");
    for (const char* item : {"a,b", "a\"b", "a\rb", "a\nb"})
        EXPECT_TRUE(CSVText::Field(item, ",").startsWith(u'"')) << item;
    EXPECT_EQ(CSVText::Field("a\"b", ";"), "\"a\"\"b\"");
    EXPECT_EQ(CSVText::Field("a;;b", ";;"), "\"a;;b\"");
    EXPECT_EQ(CSVText::Field("a;b", ";;"), "a;b");
}
