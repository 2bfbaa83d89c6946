// Settings files on a full disk: every write leaves a whole file and says which one failed.
#include "config/core/OpenProject.h"
#include "config/core/SaveProject.h"
#include "config/core/WorkstationActions.h"
#include "tests/config/core/ConfigFixture.h"
#include "tests/support/FullDisk.h"

using ProjectUtil::OpenProject;
using SettingWriter::SaveProject;

// A small file system over the projects folder; the test is skipped where none can be mounted.
#define MOUNT_PROJECTS(...)                                                                         \
    if (const QString why = disk.Mount(Path(QStringLiteral("Project")) __VA_OPT__(, ) __VA_ARGS__); \
        !why.isEmpty())                                                                             \
    GTEST_SKIP() << why.toStdString()

class FullDiskTest : public ConfigFixture {
  protected:
    // Every file below the projects folder, hidden ones included, with its bytes.
    QMap<QString, QByteArray> Snapshot() const {
        QMap<QString, QByteArray> files;
        QDirIterator it(Path(QStringLiteral("Project")), QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = it.next().mid(root.path().size() + 1);
            if (!f.endsWith(QLatin1String("/.filler"))) files.insert(f, ReadFile(f));
        }
        return files;
    }
    FullDisk disk;
};

TEST_F(FullDiskTest, AFullDiskLeavesTheFilesWholeWhenSavingOrUpgrading) {
    MOUNT_PROJECTS();
    CopyData();
    // An old-format group in the workstation folder; an old-layout group beside the project,
    // whose place in the workstation folder already holds a file.
    WriteFile(QStringLiteral("Project/Q/cfg/W/Ledgrix.svl"),
              "[ModuleList]\r\nModule1=G,..\\Project\\Q\\cfg\\W\\g.svc\r\n");
    WriteFile(QStringLiteral("Project/Q/cfg/W/g.svc"), "[Basic]\r\ndbProvider=SQLOLEDB.1\r\n");
    WriteFile(QStringLiteral("Project/R/cfg/W/Ledgrix.svl"),
              "[ModuleList]\r\nModule1=H,..\\Project\\R\\h.svc\r\n");
    WriteFile(QStringLiteral("Project/R/h.svc"), "[Basic]\r\ndbDBTypeName=CSV\r\n");
    WriteFile(QStringLiteral("Project/R/cfg/W/h.svc"), "[Basic]\r\ndbDBTypeName=CSV\r\ndbTableName=Real\r\n");
    for (const char* project : {"Q", "R"})
        WriteFile(QStringLiteral("Project/%1/cfg/W/Ledgrix.log").arg(project), {});
    State().WorkstationName = QStringLiteral("W");
    ASSERT_TRUE(OpenProject(QStringLiteral("P"), false));
    const auto before = Snapshot();
    disk.Fill();

    Config().IsModified = -1;
    EXPECT_FALSE(SaveProject(true, true));
    EXPECT_EQ(Config().IsModified, -1);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("[..\\PROJECT\\P\\CFG\\W\\flow.svc]")) &&
                boxes.boxes[0].text.contains(QStringLiteral("No space left on device")))
        << boxes.boxes[0].text.toStdString();

    // The format upgrade saves in place; the layout upgrade copies first. A failed upgrade is
    // reported once and leaves the project unloaded: nothing asks or saves it again.
    boxes.boxes.clear();
    boxes.answers = {MsgAnswer::Yes, MsgAnswer::Ok};
    State().ProjectName.clear();
    EXPECT_FALSE(OpenProject(QStringLiteral("Q"), false));
    ASSERT_EQ(BoxTexts().size(), 2);
    EXPECT_TRUE(BoxTexts()[1].contains(QStringLiteral("[..\\Project\\Q\\cfg\\W\\g.svc]")));
    EXPECT_FALSE(Config().IsProjectLoaded);
    EXPECT_FALSE(SaveProject(false, false));
    EXPECT_EQ(BoxTexts().size(), 2);
    boxes.boxes.clear();
    boxes.answers = {MsgAnswer::Yes};
    State().ProjectName.clear();
    EXPECT_FALSE(OpenProject(QStringLiteral("R"), false));
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_TRUE(BoxTexts()[1].contains(QStringLiteral("[..\\PROJECT\\R\\CFG\\W\\h.svc]")));
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(FullDiskTest, WorkstationActionsOnAFullDiskFailAndLeaveTheFilesWhole) {
    MOUNT_PROJECTS();
    WriteFile(QStringLiteral("Project/P/cfg/W1/Ledgrix.svl"),
              "[SystemBasic]\r\n[ModuleList]\r\nModule1=A,..\\Project\\P\\cfg\\W1\\a.svc\r\n");
    WriteFile(QStringLiteral("Project/P/cfg/W1/a.svc"),
              "[CSV]\r\ndbCSVFilePath=..\\Project\\P\\cfg\\W1\\a.csv\r\n");
    WriteFile(QStringLiteral("Project/P/cfg/W2/Ledgrix.svl"), "[SystemBasic]\r\n[ModuleList]\r\n");
    const auto before = Snapshot();
    disk.Fill();

    boxes.answers = {MsgAnswer::Ok};
    EXPECT_FALSE(WorkstationUtil::AddWorkstation(QStringLiteral("P"), QStringLiteral("W2")));
    EXPECT_FALSE(
        WorkstationUtil::RenameWorkstation(QStringLiteral("P"), QStringLiteral("W1"), QStringLiteral("W3")));
    EXPECT_FALSE(
        WorkstationUtil::CopyWorkstation(QStringLiteral("P"), QStringLiteral("W1"), QStringLiteral("W4")));
    EXPECT_EQ(Snapshot(), before);
    const QStringList texts = BoxTexts();
    ASSERT_EQ(texts.size(), 4);
    EXPECT_TRUE(texts[1].contains(QStringLiteral("[..\\Project\\P\\cfg\\W2\\Ledgrix.svl]: ")) &&
                texts[1].endsWith(QStringLiteral("\r\n原有檔案保持不變。")));
    EXPECT_TRUE(texts[2].contains(QStringLiteral("[..\\Project\\P\\cfg\\W1\\Ledgrix.svl]: ")));
    EXPECT_TRUE(texts[3].contains(QStringLiteral("[..\\Project\\P\\cfg\\W4\\a.svc]: ")));
    EXPECT_EQ(boxes.boxes[3].title, QStringLiteral("Ledgrix 程式 - 複製工作站失敗!"));
    // Deleting needs no room.
    EXPECT_TRUE(WorkstationUtil::DeleteWorkstation(QStringLiteral("P"), QStringLiteral("W1")));
    EXPECT_FALSE(Exists(QStringLiteral("Project/P/cfg/W1/a.svc")));
}

TEST_F(FullDiskTest, ACopyCutShortLeavesNoWorkstationFileNamingMissingGroups) {
    MOUNT_PROJECTS(1024);
    QByteArray svl = "[ModuleList]\r\n";
    for (int i = 1; i <= 64; ++i) {
        svl += QStringLiteral("Module%1=G,..\\Project\\P\\cfg\\W1\\g%1.svc\r\n").arg(i).toUtf8();
        WriteFile(QStringLiteral("Project/P/cfg/W1/g%1.svc").arg(i), "[Basic]\r\n");
    }
    WriteFile(QStringLiteral("Project/P/cfg/W1/Ledgrix.svl"), svl);
    WriteFile(QStringLiteral("Project/room"), QByteArray(5 * 4096, 'r'));  // room for a few files
    disk.Fill();
    QFile::remove(Path(QStringLiteral("Project/room")));
    EXPECT_FALSE(
        WorkstationUtil::CopyWorkstation(QStringLiteral("P"), QStringLiteral("W1"), QStringLiteral("W2")));
    EXPECT_FALSE(Exists(QStringLiteral("Project/P/cfg/W2/Ledgrix.svl")));
    EXPECT_TRUE(BoxTexts().value(0).contains(QStringLiteral("No space left on device")));
}

// Room for every file of the copy, but none for rewriting one after it is written: each copy is
// written once with the new workstation's paths, or not at all.
TEST_F(FullDiskTest, AWorkstationCopyIsWrittenOnceWithItsOwnPathsOrNotAtAll) {
    MOUNT_PROJECTS(1024);
    QByteArray svl =
        "[SystemBasic]\r\ndbSLogFileName=..\\Project\\P\\cfg\\W1\\Ledgrix.log\r\n[ModuleList]\r\n";
    for (int i = 1; i <= 64; ++i) {
        svl += QStringLiteral("Module%1=G,..\\Project\\P\\cfg\\W1\\g%1.svc\r\n").arg(i).toUtf8();
        WriteFile(QStringLiteral("Project/P/cfg/W1/g%1.svc").arg(i),
                  "[CSV]\r\ndbCSVFilePath=..\\Project\\P\\cfg\\W1\r\n");
    }
    WriteFile(QStringLiteral("Project/P/cfg/W1/Ledgrix.svl"), svl);
    // One page for each of the 65 files.
    WriteFile(QStringLiteral("Project/room"), QByteArray(65 * 4096, 'r'));
    disk.Fill();
    QFile::remove(Path(QStringLiteral("Project/room")));
    EXPECT_TRUE(
        WorkstationUtil::CopyWorkstation(QStringLiteral("P"), QStringLiteral("W1"), QStringLiteral("W2")));
    const QByteArray copy = ReadFile(QStringLiteral("Project/P/cfg/W2/Ledgrix.svl"));
    EXPECT_TRUE(copy.contains("dbSLogFileName=..\\PROJECT\\P\\CFG\\W2\\Ledgrix.log") &&
                copy.contains("Module64=G,..\\PROJECT\\P\\CFG\\W2\\g64.svc") && !copy.contains("W1"))
        << copy.toStdString();
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W2/g64.svc")),
              "[CSV]\r\ndbCSVFilePath=..\\PROJECT\\P\\CFG\\W2\r\n");
    EXPECT_TRUE(boxes.boxes.empty());

    // One page short: the new workstation file is not made, and the box says no more.
    QDir(Path(QStringLiteral("Project/P/cfg/W2"))).removeRecursively();
    WriteFile(QStringLiteral("Project/page"), QByteArray(4096, 'p'));
    EXPECT_FALSE(
        WorkstationUtil::CopyWorkstation(QStringLiteral("P"), QStringLiteral("W1"), QStringLiteral("W3")));
    EXPECT_FALSE(Exists(QStringLiteral("Project/P/cfg/W3/Ledgrix.svl")));
    EXPECT_EQ(BoxTexts(),
              QStringList{QStringLiteral("複製工作站失敗!\r\n無法寫入檔案[..\\Project\\P\\cfg\\W3\\"
                                         "Ledgrix.svl]: No space left on device")});
}

TEST_F(FullDiskTest, ALogFileThatCannotBeMadeIsReportedByItsCause) {
    MOUNT_PROJECTS(256, 64);
    WriteFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"), "[SystemBasic]\r\ndbSLogDisable=0\r\n");
    disk.UseUpInodes();
    State().WorkstationName = QStringLiteral("W");
    EXPECT_TRUE(OpenProject(QStringLiteral("P"), false));
    EXPECT_EQ(BoxTexts(),
              QStringList{QStringLiteral("Settings error!\r\nThe log file [..\\Project\\P\\cfg\\W\\"
                                         "Ledgrix.log] cannot be made: No space left on device")});
}
