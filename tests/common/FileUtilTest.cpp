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
#include <tuple>
#include <utility>

#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "platform/fileio/FileIO.h"
#include "tests/support/FullDisk.h"
#include "tests/support/TeamUsers.h"
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
            },
            ::ftruncate};
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

TEST_F(FileUtilTest, AFailedAppendLeavesTheFileAsItWasOrItsNextLineOnALineOfItsOwn) {
    // Another program left the last line unfinished: the next one starts on a line of its own.
    const QString csv = WriteFile("dat/g.csv", "a,b\n1,2");
    TextFileStream stream(csv, TextFileStream::Mode::Append, "\n");
    stream.Write("3,4\n");
    EXPECT_EQ(ReadFile("dat/g.csv"), "a,b\n1,2\n3,4\n");

    // The disk takes part of a line, then refuses the rest: the part is cut off, the system's
    // reason named.
    const FileCallsRestored restored;
    TakePartOfEachAppend(2, false);
    EXPECT_EQ(FailureOf([&] { stream.Write("5,6\n"); }),
              "Device I/O error: " + csv + " (No space left on device)");
    EXPECT_EQ(ReadFile("dat/g.csv"), "a,b\n1,2\n3,4\n");
    EXPECT_FALSE(stream.KeepsPartOfALine());

    // A part that cannot be cut off is named; the next line starts on its own, from this stream
    // and from the next one opened.
    TakePartOfEachAppend(2, true);
    EXPECT_TRUE(FailureOf([&] { stream.Write("7,8\n"); })
                    .endsWith("(No space left on device; the 2 bytes written could not be removed: "
                              "Input/output error; the next line starts on a line of its own)"));
    EXPECT_TRUE(stream.KeepsPartOfALine());
    FileCallsRestored::Restore();
    stream.Write("9,0\n");
    TakePartOfEachAppend(2, true);
    EXPECT_FALSE(FailureOf([&] { stream.Write("1,1\n"); }).isEmpty());
    FileCallsRestored::Restore();
    TextFileStream(csv, TextFileStream::Mode::Append, "\n").Write("2,2\n");
    EXPECT_EQ(ReadFile("dat/g.csv"), "a,b\n1,2\n3,4\n7,\n9,0\n1,\n2,2\n");
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
    for (const QString& file : refused) {
        EXPECT_TRUE(
            FailureOf([&] { ReplaceTextFile("replaced", file); }).contains(file + " (Permission denied)"))
            << file.toStdString();
        QString why;
        EXPECT_FALSE(CopyFileOverwrite(folder + "/mine.svc", file, 1, true, &why));
        EXPECT_EQ(why, "Permission denied");
    }
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

// A project folder that two engineers share through a group (files 0664, folders 0775, no
// set-group-id bit): each one's replacement keeps the group, so the other can still save.
TEST_F(FileUtilTest, ReplacementsKeepTheGroupThatATeamSharesAFileThrough) {
    TeamUsers team;
    if (const QString why = team.Make(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
    const auto own = [](const QString& path, uid_t uid, gid_t gid, mode_t mode) {
        const QByteArray p = QFile::encodeName(path);
        EXPECT_EQ(::chown(p.constData(), uid, gid), 0);
        EXPECT_EQ(::chmod(p.constData(), mode), 0);
    };
    const QString shared = WriteFile("cfg/shared.svc", "by root"),
                  rootOnly = WriteFile("cfg/root.svc", "kept"),
                  teamRoot = WriteFile("cfg/teamroot.svc", "by root"),
                  outsider = WriteFile("cfg/outsider.svc", "kept");
    own(root.path(), 0, 0, 0755);
    own(Path("cfg"), 0, team.teamGid, 0775);
    own(shared, team.uid[0], team.teamGid, 0664);
    own(rootOnly, 0, 0, 0666);                 // writable by all, in a group the engineers are not in
    own(teamRoot, 0, team.teamGid, 0664);      // writable through the group
    own(outsider, 65534, team.teamGid, 0664);  // its owner is no member of the group
    const auto replace = [](const QString& file, const char* text) {
        return [=] { return FailureOf([&] { ReplaceTextFile(QString::fromLatin1(text), file); }); };
    };
    const auto ids = [](const QString& file) {
        struct stat st {};
        ::stat(QFile::encodeName(file).constData(), &st);
        return std::tuple(st.st_uid, st.st_gid, st.st_mode & 07777);
    };

    EXPECT_EQ(team.RunAs(1, replace(shared, "by 2")).toStdString(), "");
    EXPECT_EQ(ids(shared), std::tuple(team.uid[1], team.teamGid, 0664u));
    EXPECT_EQ(team.RunAs(0, replace(shared, "by 1")).toStdString(), "");
    EXPECT_EQ(ReadTextFile(shared), "by 1");
    EXPECT_EQ(team.RunAs(1, replace(teamRoot, "by 2")).toStdString(), "");
    EXPECT_EQ(ids(teamRoot), std::tuple(team.uid[1], team.teamGid, 0664u));
    // A copy takes its source's group too.
    const auto copy = [&] { return CopyFileToFolder(shared, Path("cfg/copy.svc"), 1) ? "" : "failed"; };
    EXPECT_EQ(team.RunAs(1, copy).toStdString(), "");
    EXPECT_EQ(ids(Path("cfg/copy.svc")), std::tuple(team.uid[1], team.teamGid, 0664u));

    // Replacements that would lock others out are refused, and the files stay as they were.
    const QString group = team.RunAs(1, replace(rootOnly, "lost")),
                  owner = team.RunAs(1, replace(outsider, "lost"));
    EXPECT_TRUE(group.endsWith("(its group root cannot be kept)")) << group.toStdString();
    EXPECT_TRUE(owner.contains("(its owner ") && owner.endsWith(" would lose access)"))
        << owner.toStdString();
    EXPECT_EQ(ids(rootOnly), std::tuple(0u, 0u, 0666u));
    EXPECT_EQ(ReadTextFile(rootOnly) + ReadTextFile(outsider), "keptkept");
}

// A CSV or log file that the user may write but not read (a drop folder's file) is appended to;
// its last line is taken as finished.
TEST_F(FileUtilTest, AFileTheUserMayWriteButNotReadIsAppendedTo) {
    TeamUsers team;
    if (const QString why = team.Make(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
    const QString csv = WriteFile("dat/g.csv", "a,b\n");
    for (const QString& folder : {root.path(), Path("dat")})
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    ASSERT_EQ(::chown(QFile::encodeName(csv).constData(), team.uid[0], team.gid[0]), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(csv).constData(), 0200), 0);
    const QString answer = team.RunAs(0, [&] {
        return FailureOf([&] { TextFileStream(csv, TextFileStream::Mode::Append, "\n").Write("1,2\n"); });
    });
    EXPECT_EQ(answer.toStdString(), "");
    EXPECT_EQ(ReadFile("dat/g.csv"), "a,b\n1,2\n");
}
