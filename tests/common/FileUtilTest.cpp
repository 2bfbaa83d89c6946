#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <utility>

#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "platform/fileio/FileIO.h"
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
    // Left by a killed save of an older build: not written for minutes.
    const QString old = WriteFile("cfg/.g.svc.ledgrix-tmp", "left by a killed save");
    std::filesystem::last_write_time(old.toStdString(),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2));
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

namespace {

// The system calls of replacements, in order, through the file helper's seam: `failing` fails,
// `beforeRename` runs once inside the next rename.
QStringList g_calls;
QString g_failing;
std::function<void()> g_beforeRename;

FileIO::SystemCalls Recording() {
    return {[](int fd, const void* data, size_t size) {
                g_calls << "write";
                return ::write(fd, data, size);
            },
            [](int fd) { return g_calls << "fsync", g_failing == "fsync" ? (errno = EIO, -1) : ::fsync(fd); },
            [](const char* from, const char* to) {
                g_calls << "rename";
                if (g_beforeRename) std::exchange(g_beforeRename, {})();
                return g_failing == "rename" ? (errno = EXDEV, -1) : ::rename(from, to);
            }};
}

// The description of the failure the call raises; empty when it raises none.
QString FailureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Failure& f) {
        return f.description;
    }
    return QString();
}

}  // namespace

TEST_F(FileUtilTest, ReplacementsSyncBeforeTheRenameFailWholeAndKeepEachOthersTemporaries) {
    g_calls.clear();
    FileIO::Calls() = Recording();
    const std::shared_ptr<void> restore(nullptr, [](void*) { FileIO::Calls() = FileIO::DefaultCalls(); });
    const QString g = WriteFile("cfg/g.svc", "old");
    const auto files = [&] { return QDir(Path("cfg")).entryList(QDir::Files | QDir::Hidden); };
    // Another program replaces the same file while this one is about to rename.
    g_beforeRename = [&] { ReplaceTextFile("second", g); };
    ReplaceTextFile("first", g);
    EXPECT_EQ(g_calls, (QStringList{"write", "fsync", "rename", "write", "fsync", "rename"}));
    EXPECT_EQ(ReadFile("cfg/g.svc"), "first");
    for (const char* step : {"fsync", "rename"}) {
        g_failing = step;
        EXPECT_TRUE(FailureOf([&] { ReplaceTextFile("lost", g); }).contains(g)) << step;
        EXPECT_EQ(ReadFile("cfg/g.svc"), "first");
        EXPECT_EQ(files(), QStringList{"g.svc"});
    }
    g_failing.clear();
    // Left by an ended program: removed; being written by a running one (pid 1): kept.
    WriteFile("cfg/.g.svc.2147483647.0.ledgrix-tmp", "");
    WriteFile("cfg/.g.svc.1.0.ledgrix-tmp", "");
    ReplaceTextFile("third", g);
    EXPECT_EQ(files(), (QStringList{".g.svc.1.0.ledgrix-tmp", "g.svc"}));
}

TEST_F(FileUtilTest, FilesTheUserMayNotWriteAreRefusedOthersKeepTheirMode) {
    const QString folder = WriteFile("cfg/mine.svc", "").section(u'/', 0, -2);
    QStringList refused{WriteFile("cfg/readonly.svc", "kept")};
    ::chmod(QFile::encodeName(refused[0]).constData(), 0444);
    ::chmod(QFile::encodeName(folder + "/mine.svc").constData(), 0640);
    if (::geteuid() == 0) {  // root writes anything: act as another user
        refused << WriteFile("cfg/roots.svc", "kept");
        for (const QString& p : {root.path(), folder}) ::chmod(QFile::encodeName(p).constData(), 0777);
        ASSERT_EQ(::chown(QFile::encodeName(folder + "/mine.svc").constData(), 65534, 65534), 0);
        ASSERT_EQ(::setegid(65534), 0);
        ASSERT_EQ(::seteuid(65534), 0);
    }
    for (const QString& file : refused)
        EXPECT_TRUE(
            FailureOf([&] { ReplaceTextFile("replaced", file); }).contains(file + " (Permission denied)"))
            << file.toStdString();
    ReplaceTextFile("replaced", folder + "/mine.svc");
    if (::getuid() == 0) {
        ASSERT_EQ(::seteuid(0), 0);
        ASSERT_EQ(::setegid(0), 0);
    }
    for (const QString& file : refused) EXPECT_EQ(ReadTextFile(file), "kept");
    EXPECT_EQ(ReadTextFile(folder + "/mine.svc"), "replaced");
    EXPECT_EQ(QFileInfo(folder + "/mine.svc").permissions() & 0x0777, QFile::Permissions(0x0640));
}

TEST_F(FileUtilTest, AByteOrderMarkIsKeptAndBytesThatAreNoBig5AreNamedByTheirLine) {
    const QString bom = WriteFile("bom.svc", "\xEF\xBB\xBF[Basic]\r\n");
    ReplaceTextFile(ReadTextFile(bom) + "x=1\r\n", bom);
    EXPECT_EQ(ReadFile("bom.svc"), "\xEF\xBB\xBF[Basic]\r\nx=1\r\n");
    // 生產 in Big5, then a byte pair that is no character.
    const QString bad = WriteFile("bad.svc", "[Basic]\r\nName=\xA5\xCD\xB2\xA3\r\nTable=\xA3\xC0x\r\n");
    const QString why = FailureOf([&] { ReplaceTextFile(ReadTextFile(bad), bad); });
    EXPECT_TRUE(why.contains(bad) &&
                why.endsWith(QString::fromUtf8(
                    "(line 3 holds bytes that are no Big5 character: Table=\xEF\xBF\xBDx)")))
        << why.toStdString();
}
