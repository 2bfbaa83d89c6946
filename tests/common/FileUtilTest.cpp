#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "tests/support/TestSupport.h"

using namespace FileUtil;

class FileUtilTest : public ProgramFixture {};

TEST_F(FileUtilTest, WindowsPathsResolveWithoutRegardToLetterCase) {
    WriteFile("Project/P/cfg/W/g.svc", "x");
    const QString expected = QFileInfo(Path("Project/P/cfg/W/g.svc")).canonicalFilePath();
    EXPECT_EQ(ResolvePath("..\\PROJECT\\P\\CFG\\W\\g.svc"), expected);
    EXPECT_EQ(ResolvePath("..\\Project\\P\\cfg\\W\\G.SVC"), expected);
    EXPECT_TRUE(FileExists("..\\PROJECT\\P\\CFG\\W\\g.svc"));
    EXPECT_TRUE(FolderExists("..\\project\\p\\CFG\\w"));
    EXPECT_FALSE(FileExists("..\\PROJECT\\P\\CFG\\W"));

    // A new file reuses the spelling that exists: one folder, not two.
    CreateTextFile("[Basic]\r\n", "..\\PROJECT\\P\\CFG\\W\\new.svc");
    EXPECT_TRUE(QFile::exists(Path("Project/P/cfg/W/new.svc")));
    EXPECT_FALSE(QDir(Path("PROJECT")).exists());
    EXPECT_TRUE(MakeFullDir("..\\PROJECT\\P\\DAT\\Ledgrix"));
    EXPECT_TRUE(QDir(Path("Project/P/DAT/Ledgrix")).exists());
    EXPECT_EQ(QDir(Path("Project/P")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
}

TEST_F(FileUtilTest, FolderCreationAndDeletion) {
    QDir().mkpath(Path("a"));
    WriteFile("a/keep.txt", "k");
    EXPECT_TRUE(MakeFullDir(Path("a/b/c")));
    EXPECT_TRUE(QDir(Path("a/b/c")).exists());
    EXPECT_TRUE(MakeFullDir(Path("a")));
    EXPECT_FALSE(RecreateFolder(Path("a")));
    EXPECT_TRUE(QFile::exists(Path("a/keep.txt")));
    // A path that names a file cannot become a folder: no success reported.
    EXPECT_FALSE(MakeFullDir(Path("a/keep.txt/sub")));

    EXPECT_TRUE(DeleteFolderAndWait(Path("nothing-here"), 0));
    EXPECT_TRUE(DeleteFolderAndWait(Path("a/b"), 2));
    EXPECT_FALSE(QDir(Path("a/b")).exists());
    EXPECT_TRUE(DeleteFileWait(Path("a/keep.txt"), 2));
    EXPECT_FALSE(QFile::exists(Path("a/keep.txt")));
}

TEST_F(FileUtilTest, CopiesWaitForTheirTarget) {
    WriteFile("src.db", "template");
    WriteFile("dst.db", "old");
    EXPECT_TRUE(CopyFileOverwrite(Path("src.db"), Path("dst.db"), 2, false));
    EXPECT_EQ(ReadFile("dst.db"), "template");
    EXPECT_FALSE(CopyFileOverwrite(Path("missing.db"), Path("dst.db"), 2, true));
    EXPECT_EQ(ReadFile("dst.db"), "template");
    EXPECT_TRUE(CopyFileToFolder(Path("src.db"), Path("x/y/z.db"), 2));
    EXPECT_EQ(ReadFile("x/y/z.db"), "template");
    EXPECT_TRUE(CopyFolderTo(Path("x"), Path("copy/of/x"), 2));
    EXPECT_EQ(ReadFile("copy/of/x/y/z.db"), "template");
    EXPECT_TRUE(DirExists(Path("src.db")));
    EXPECT_TRUE(DirExists(Path("*.db")));
    EXPECT_FALSE(DirExists(Path("*.none")));
}

TEST_F(FileUtilTest, TextFilesAndPathParts) {
    EXPECT_EQ(ReadTextFile(Path("missing.txt")), "");
    EXPECT_EQ(CreateTextFile("", Path("empty.txt")), 0);
    EXPECT_TRUE(QFile::exists(Path("empty.txt")));
    EXPECT_EQ(ReadTextFile(Path("empty.txt")), "");
    WriteFile("bom.txt", "\xEF\xBB\xBF[ML]\r\n");
    EXPECT_EQ(ReadTextFile(Path("bom.txt")), "[ML]\r\n");
    EXPECT_EQ(CreateTextFile("資料\r\n", Path("zh.txt")), 4);
    EXPECT_EQ(ReadTextFile(Path("zh.txt")), "資料\r\n");

    EXPECT_EQ(GetFileName("..\\Project\\P\\Ledgrix.svl"), "Ledgrix.svl");
    EXPECT_EQ(GetBaseName("..\\Project\\P\\Ledgrix.svl"), "Ledgrix");
    EXPECT_EQ(GetExtensionName("a\\b.tar.gz"), "gz");
    EXPECT_EQ(GetExtensionName("a\\noext"), "");
    EXPECT_EQ(GetParentFolderName("..\\Project\\P\\Ledgrix.svl"), "..\\Project\\P");
    EXPECT_TRUE(IsValidPath("C:\\data\\3\\"));
    EXPECT_FALSE(IsValidPath("C:\\da|ta"));
    EXPECT_FALSE(IsValidPath("a\\b?"));

    EXPECT_THROW(TextFileStream(Path("nope.csv"), TextFileStream::Mode::Append), Failure);
    {
        TextFileStream s(Path("out.csv"), TextFileStream::Mode::Create);
        s.Write("a,b\r\n");
    }
    {
        TextFileStream s(Path("out.csv"), TextFileStream::Mode::Append);
        s.Write("1,2\r\n");
    }
    EXPECT_EQ(ReadFile("out.csv"), "a,b\r\n1,2\r\n");
    EXPECT_EQ(ReadFirstLine(Path("out.csv")), "a,b");
    EXPECT_THROW(ReadFirstLine(Path("empty.txt")), Failure);
}

TEST_F(FileUtilTest, OnlyRegularFilesAreReadOrWrittenAndNothingWaitsForAPipe) {
    WriteFile("src.db", "template");
    QDir().mkpath(Path("folder.svc"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe.svc")).constData(), 0600), 0);
    for (const QString& path : {Path("folder.svc"), Path("pipe.svc"), QString("/dev/null")}) {
        QString text;
        EXPECT_FALSE(ReadTextFile(path, text)) << path.toStdString();
        try {
            CreateTextFile("[Basic]\r\n", path);
            ADD_FAILURE() << "written: " << path.toStdString();
        } catch (const Failure& f) {
            EXPECT_TRUE(f.description.contains(path) && f.description.contains("not a file"))
                << f.description.toStdString();
        }
        EXPECT_FALSE(CopyFileOverwrite(Path("src.db"), path, 1, true));
    }
    // A log file chosen anywhere is the engineer's choice, but a pipe is no log file.
    State().dbSLogFileName = Path("pipe.svc");
    EXPECT_FALSE(SettingUtil::SettleLogFilePath());
    EXPECT_TRUE(QFileInfo(Path("folder.svc")).isDir());
    EXPECT_EQ(QFileInfo(Path("pipe.svc")).size(), 0);
}

TEST_F(FileUtilTest, Big5FilesAreReadAndWrittenBackAsBig5) {
    // 生產 "許" (its second byte is a backslash) in Big5; 简 has no Big5 form.
    const QByteArray big5 = "[Basic]\r\nName=\xA5\xCD\xB2\xA3 \xB3\x5C\r\n";
    WriteFile("cfg/g.svc", big5);
    const QString text = ReadTextFile(Path("cfg/g.svc"));
    EXPECT_EQ(text, QString::fromUtf8("[Basic]\r\nName=生產 許\r\n"));
    WriteFile("cfg/.g.svc.ledgrix-tmp", "left by a killed save");
    ReplaceTextFile(text + "x=1\r\n", Path("cfg/g.svc"));
    EXPECT_EQ(ReadFile("cfg/g.svc"), big5 + "x=1\r\n");
    EXPECT_EQ(QDir(Path("cfg")).entryList(QDir::Files | QDir::Hidden), QStringList{"g.svc"});
    try {
        ReplaceTextFile(QString::fromUtf8("Name=简"), Path("cfg/g.svc"));
        ADD_FAILURE() << "written";
    } catch (const Failure& f) {
        EXPECT_TRUE(f.description.contains(Path("cfg/g.svc")) &&
                    f.description.contains(QString::fromUtf8("简")))
            << f.description.toStdString();
    }
    EXPECT_EQ(ReadFile("cfg/g.svc"), big5 + "x=1\r\n");

    // A UTF-8 file stays UTF-8; bytes that are no Big5 either read as U+FFFD.
    WriteFile("cfg/u.svc", "Name=\xE7\x94\x9F\r\n");
    ReplaceTextFile(QString::fromUtf8("Name=简"), Path("cfg/u.svc"));
    EXPECT_EQ(ReadFile("cfg/u.svc"), "Name=\xE7\xAE\x80");
    WriteFile("cfg/bad.svc", "a\xA5\r\nb\xA5");
    EXPECT_EQ(ReadTextFile(Path("cfg/bad.svc")), QString::fromUtf8("a\xEF\xBF\xBD\r\nb\xEF\xBF\xBD"));
}
