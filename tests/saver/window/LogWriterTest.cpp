#include <sys/stat.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QScrollBar>

#include "saver/runtime/LogWriter.h"
#include "tests/saver/window/WindowFixture.h"
#include "tests/support/FullDisk.h"

namespace Log = LedgrixRuntimeUtil;

namespace {

class LogWriterTest : public WindowFixture {
  protected:
    // File logging on, into an existing file.
    QString EnableFile(const QString& relative) {
        const QString path = WriteFile(relative, QByteArray());
        State().dbSLogDisable = 0;
        State().dbSLogFileName = path;
        Saver().IsLogFileReady = true;
        return path;
    }
    QStringList ListLines() {
        QStringList lines;
        for (int i = 0; i < MainForm().ListBoxResult->count(); ++i)
            lines << MainForm().ListBoxResult->item(i)->text();
        return lines;
    }
};

TEST_F(LogWriterTest, ListCutsLongLinesAndFileKeepsWholeLines) {
    EnableFile(QStringLiteral("log/site.log"));
    const QString long501 = QString(500, u'a') + u'Z';
    const QString exact500 = QString(500, u'b');
    Log::WriteLog(long501);
    Log::WriteLog(exact500);
    Log::WriteLogLines({QStringLiteral("two"), QStringLiteral("lines")});
    Log::WriteLogLines({QStringLiteral("ends with break"), QString()});
    Log::WriteLog(QStringLiteral("中文 記錄"));

    const QStringList lines = ListLines();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QString(500, u'a') + QStringLiteral(" ..."));
    EXPECT_EQ(lines[1], exact500);
    EXPECT_EQ(lines[4], QStringLiteral("中文 記錄"));

    const QByteArray expected = long501.toUtf8() + "\r\n" + exact500.toUtf8() + "\r\n" + "two\r\nlines\r\n" +
                                "ends with break\r\n\r\n" + QStringLiteral("中文 記錄").toUtf8() + "\r\n";
    EXPECT_EQ(ReadFile(QStringLiteral("log/site.log")), expected);
    EXPECT_TRUE(Saver().LogFileStreamSet);
}

// A tag's message (or a file's, a server's text) never splits a log line or forges one: its line
// breaks and other control characters show as escapes. Designed lines stand as designed.
TEST_F(LogWriterTest, TextFromOutsideStaysOnItsLineAndDesignedLinesStand) {
    EnableFile(QStringLiteral("log/one.log"));
    const QString head = QStringLiteral("2024/03/05 10:00:01 AM | Message | Ledgrix.G1 | Note=");
    const QString forged =
        QStringLiteral("2024/03/05 10:00:02 AM | Message | Ledgrix.System | Ledgrix is closed.");
    Log::WriteLog(head + QStringLiteral("a\n") + forged + QStringLiteral("\r\nb\r\tc") + QChar(0x1B) +
                  QStringLiteral("[0m") + QChar(0x85) + QChar(0x2028) + QChar(0));
    Log::WriteLogLines({head + QStringLiteral("Fail!  "), QStringLiteral("Error Description: x\ny")});

    const QString one =
        head + QStringLiteral("a\\n") + forged + QStringLiteral("\\r\\nb\\r\\tc\\x1B[0m\\x85\\u2028\\x00");
    EXPECT_EQ(
        ReadFile(QStringLiteral("log/one.log")),
        (one + QStringLiteral("\r\n") + head + QStringLiteral("Fail!  \r\nError Description: x\\ny\r\n"))
            .toUtf8());
    EXPECT_EQ(ListLines().front(), one);
}

TEST_F(LogWriterTest, ListHoldsTheLast21LinesWithTheNewestSelected) {
    // The first line creates the window without showing it.
    ASSERT_FALSE(MainFormExists());
    InstallSaverLog();
    ::WriteLog(QStringLiteral("line 1"));
    EXPECT_FALSE(MainForm().isVisible());
    for (int i = 2; i <= 25; ++i) Log::WriteLog(QStringLiteral("line %1").arg(i));
    const QStringList lines = ListLines();
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines.front(), QStringLiteral("line 5"));
    EXPECT_EQ(lines.back(), QStringLiteral("line 25"));
    EXPECT_EQ(MainForm().ListBoxResult->currentRow(), 20);
    const auto selected = MainForm().ListBoxResult->selectedItems();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.front()->text(), QStringLiteral("line 25"));
    // A burst of lines holds repaints back only briefly: the list shows again by itself.
    QElapsedTimer waited;
    waited.start();
    while (!MainForm().ListBoxResult->updatesEnabled() && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(MainForm().ListBoxResult->updatesEnabled());

    // While the window is minimised the list keeps its lines without repainting them.
    MainForm().showMinimized();
    Log::WriteLog(QStringLiteral("line 26"));
    waited.restart();
    while (waited.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(MainForm().ListBoxResult->updatesEnabled());
    EXPECT_EQ(ListLines().back(), QStringLiteral("line 26"));
    MainForm().showNormal();
    waited.restart();
    while (!MainForm().ListBoxResult->updatesEnabled() && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(MainForm().ListBoxResult->updatesEnabled());
}

TEST_F(LogWriterTest, HeldLinesReachTheListAtTheEndAsWrittenOneByOne) {
    EnableFile(QStringLiteral("log/held.log"));
    for (int i = 1; i <= 10; ++i) Log::WriteLog(QStringLiteral("before %1").arg(i));
    {
        const Log::HeldLogList outer;
        {
            const Log::HeldLogList inner;
            for (int i = 1; i <= 15; ++i) Log::WriteLog(QStringLiteral("held %1").arg(i));
        }
        EXPECT_EQ(ListLines().size(), 10);  // still held by the outer hold
        EXPECT_TRUE(ReadFile(QStringLiteral("log/held.log")).endsWith("held 15\r\n"));
    }
    QStringList expected;
    for (int i = 5; i <= 10; ++i) expected << QStringLiteral("before %1").arg(i);
    for (int i = 1; i <= 15; ++i) expected << QStringLiteral("held %1").arg(i);
    EXPECT_EQ(ListLines(), expected);
    EXPECT_EQ(MainForm().ListBoxResult->currentItem()->text(), QStringLiteral("held 15"));
    EXPECT_EQ(MainForm().ListBoxResult->selectedItems().size(), 1);
    const int narrow = Saver().LogListMaxWidth;
    {
        // More than a listful: the newest lines alone, the extent as wide as the widest of all.
        const Log::HeldLogList hold;
        Log::WriteLog(QStringLiteral("W").repeated(300));
        EXPECT_EQ(Saver().LogListMaxWidth, narrow);
        for (int i = 1; i <= 30; ++i) Log::WriteLog(QStringLiteral("burst %1").arg(i));
    }
    EXPECT_EQ(ListLines().front(), QStringLiteral("burst 10"));
    EXPECT_EQ(ListLines().back(), QStringLiteral("burst 30"));
    EXPECT_EQ(Saver().LogListMaxWidth, QFontMetrics(MainForm().font()).horizontalAdvance(QString(300, u'W')));
}

TEST_F(LogWriterTest, HorizontalExtentFollowsTheWidestLineAndNeverShrinks) {
    Log::WriteLog(QStringLiteral("short"));
    LogListBox* list = MainForm().ListBoxResult;
    const int narrow = list->HorizontalExtent();
    EXPECT_GT(narrow, 0);
    EXPECT_EQ(Saver().LogListMaxWidth, narrow);

    // Multi-line texts count by their widest line, not their whole length.
    Log::WriteLogLines({QStringLiteral("ab"), QStringLiteral("cd")});
    EXPECT_EQ(list->HorizontalExtent(), narrow);

    const QString wide = QStringLiteral("W").repeated(400);
    Log::WriteLog(wide);
    const int widest = list->HorizontalExtent();
    EXPECT_GT(widest, narrow);
    EXPECT_EQ(Saver().LogListMaxWidth, widest);

    // The wide line leaves the list; the extent stays and still lets the list scroll sideways.
    for (int i = 0; i < 25; ++i) Log::WriteLog(QStringLiteral("tiny"));
    EXPECT_FALSE(ListLines().contains(wide));
    EXPECT_EQ(list->HorizontalExtent(), widest);
    list->resize(200, 200);
    list->doItemsLayout();
    EXPECT_GE(list->horizontalScrollBar()->maximum(), widest - list->viewport()->width());
}

TEST_F(LogWriterTest, FileIsWrittenOnlyWhenReadyAndEnabled) {
    const QString path = EnableFile(QStringLiteral("log/a.log"));
    State().dbSLogDisable = 1;
    Log::WriteLog(QStringLiteral("disabled"));
    State().dbSLogDisable = 0;
    Saver().IsLogFileReady = false;
    Log::WriteLog(QStringLiteral("not ready"));
    EXPECT_TRUE(ReadFile(QStringLiteral("log/a.log")).isEmpty());
    EXPECT_FALSE(Saver().LogFileStreamSet);
    EXPECT_EQ(ListLines(), (QStringList{QStringLiteral("disabled"), QStringLiteral("not ready")}));
}

TEST_F(LogWriterTest, DefaultFileLiesBesideTheWorkstationFile) {
    WriteFile(QStringLiteral("Project/P1/cfg/WS1/Ledgrix.Svl"), "[SystemBasic]\r\n");
    WriteFile(QStringLiteral("Project/P1/cfg/WS1/Ledgrix.log"), QByteArray());
    State().WorkstationFilePath = QStringLiteral("..\\Project\\P1\\cfg\\WS1\\Ledgrix.Svl");
    State().dbSLogDisable = 0;
    Saver().IsLogFileReady = true;
    EXPECT_EQ(LedgrixRuntimeUtil::LogFileName(), QStringLiteral("..\\Project\\P1\\cfg\\WS1\\Ledgrix.log"));
    Log::WriteLog(QStringLiteral("beside"));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P1/cfg/WS1/Ledgrix.log")), QByteArray("beside\r\n"));
}

TEST_F(LogWriterTest, VanishedLogFileIsNotCreatedAndTheListLineStays) {
    const QString path = EnableFile(QStringLiteral("log/gone.log"));
    QFile::remove(path);
    EXPECT_NO_THROW(Log::WriteLog(QStringLiteral("after removal")));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(ListLines(), QStringList{QStringLiteral("after removal")});

    // A pipe in its place is not waited for.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    Log::WriteLog(QStringLiteral("beside a pipe"));
    EXPECT_EQ(ListLines().back(), QStringLiteral("beside a pipe"));
}

TEST_F(LogWriterTest, ALineTheFileCouldNotTakeIsCutOffOrToldInTheList) {
    const QString path = EnableFile(QStringLiteral("log/full.log"));
    Log::WriteLog(QStringLiteral("first"));
    const FileCallsRestored restored;
    TakePartOfEachAppend(3, false);
    Log::WriteLog(QStringLiteral("lost whole"));
    TakePartOfEachAppend(3, true);
    Log::WriteLog(QStringLiteral("lost in part"));
    FileCallsRestored::Restore();
    Log::WriteLog(QStringLiteral("after"));

    EXPECT_EQ(ReadFile(QStringLiteral("log/full.log")), QByteArray("first\r\nlos\r\nafter\r\n"));
    const QStringList lines = ListLines();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(
        lines[3].endsWith(QStringLiteral(" | Error | Ledgrix.System | Device I/O error: ") + path +
                          QStringLiteral(" (No space left on device; the 3 bytes written could not be "
                                         "removed: Input/output error; the next line starts on a line "
                                         "of its own)")))
        << lines[3].toStdString();
    EXPECT_EQ(lines[4], QStringLiteral("after"));
}

}  // namespace

TEST_F(LogWriterTest, ExtentIsTheWidestLineShapedInTheWindowsFont) {
    // Lines grow wider; each must set the extent to its width as the font shapes the whole line
    // (kerning pairs such as "AV", "To" and "Wa" included), also for Chinese and other scripts.
    const QStringList lines{
        QStringLiteral("2024/03/05 10:00:01 AM | Message | Ledgrix.G1 | x"),
        QStringLiteral("2024/03/05 10:00:01 AM  | Message | Ledgrix.G1 |  Append to CSV file, Command string:"
                       "2024/03/05 10:00:01.010,12.5,-3,AVATAR To Wa,ffi fl (0)"),
        QStringLiteral("2024/03/05 下午 10:00:01 | Warning | Ledgrix.組 | 資料長度超過設定的固定長度, "
                       "請檢查設定是否正確。"
                       " [Overrun 2024/03/05 10:00:01.010 AM] Loss 3 times records. (RuntimeMain) ÄÖÜ äöü ß"),
        QStringLiteral("Error Description = ") + QString::fromUcs4(U"\U0001F600 ") +
            QStringLiteral("עברית العربية हिन्दी é̃ ").repeated(4) + QStringLiteral("W").repeated(300)};
    int previous = 0;
    for (const QString& line : lines) {
        Log::WriteLog(line);
        const int width = QFontMetrics(MainForm().font()).horizontalAdvance(line);
        ASSERT_GT(width, previous);
        EXPECT_EQ(Saver().LogListMaxWidth, width) << qPrintable(line);
        previous = width;
    }
}

TEST_F(LogWriterTest, LinesWrittenWhileMinimisedAreInViewWhenShownAgain) {
    Log::WriteLog(QStringLiteral("first"));
    frmMain& form = MainForm();
    form.resize(400, 200);
    form.showNormal();
    form.showMinimized();
    for (int i = 1; i <= 30; ++i) Log::WriteLog(QStringLiteral("line %1").arg(i));
    form.showNormal();
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    LogListBox* list = form.ListBoxResult;
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("line 30"));
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->currentItem())));
}
