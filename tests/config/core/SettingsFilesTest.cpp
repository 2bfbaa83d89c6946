// Settings files on a full disk and in legacy Big5 text: every write leaves a whole file.
#include "config/core/OpenProject.h"
#include "config/core/SaveProject.h"
#include "config/core/WorkstationActions.h"
#include "tests/config/core/ConfigFixture.h"
#include "tests/support/FullDisk.h"

using ProjectUtil::OpenProject;
using SettingWriter::SaveProject;

class SettingsFilesTest : public ConfigFixture {
  protected:
    // Mounts a small file system over the projects folder; false (the test skipped) where none
    // can be mounted.
    bool MountProjects() {
        const QString why = disk.Mount(Path(QStringLiteral("Project")));
        if (why.isEmpty()) return true;
        skipped = why;
        return false;
    }
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
    QString skipped;
};

TEST_F(SettingsFilesTest, AFullDiskLeavesTheFilesWholeWhenSavingOrUpgrading) {
    if (!MountProjects()) GTEST_SKIP() << skipped.toStdString();
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

    // The format upgrade saves in place; the layout upgrade copies first.
    boxes.boxes.clear();
    boxes.answers = {MsgAnswer::Yes, MsgAnswer::Ok, MsgAnswer::No};
    State().ProjectName.clear();
    EXPECT_THROW(OpenProject(QStringLiteral("Q"), false), ProgramExit);
    ASSERT_GE(BoxTexts().size(), 2);
    EXPECT_TRUE(BoxTexts()[1].contains(QStringLiteral("[..\\Project\\Q\\cfg\\W\\g.svc]")));
    boxes.boxes.clear();
    boxes.answers = {MsgAnswer::Yes};
    State().ProjectName.clear();
    EXPECT_FALSE(OpenProject(QStringLiteral("R"), false));
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_TRUE(BoxTexts()[1].contains(QStringLiteral("[..\\PROJECT\\R\\CFG\\W\\h.svc]")));
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(SettingsFilesTest, WorkstationActionsOnAFullDiskFailAndLeaveTheFilesWhole) {
    if (!MountProjects()) GTEST_SKIP() << skipped.toStdString();
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
    EXPECT_TRUE(texts[1].contains(QStringLiteral("[..\\Project\\P\\cfg\\W2\\Ledgrix.svl]: ")));
    EXPECT_TRUE(texts[2].contains(QStringLiteral("[..\\Project\\P\\cfg\\W1\\Ledgrix.svl]: ")));
    EXPECT_TRUE(texts[3].contains(QStringLiteral("[..\\Project\\P\\cfg\\W4\\Ledgrix.svl]: ")));
    EXPECT_EQ(boxes.boxes[3].title, QStringLiteral("Ledgrix 程式 - 複製工作站失敗!"));
    // Deleting needs no room.
    EXPECT_TRUE(WorkstationUtil::DeleteWorkstation(QStringLiteral("P"), QStringLiteral("W1")));
    EXPECT_FALSE(Exists(QStringLiteral("Project/P/cfg/W1/a.svc")));
}

TEST_F(SettingsFilesTest, Big5SettingsAreSavedBackInBig5) {
    // 生產 in Big5 as the group's name in the workstation file and a field's name in its file.
    WriteFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"),
              "[SystemBasic]\r\ndbSCaption=\xA5\xCD\xB2\xA3\r\n[ModuleList]\r\n"
              "Module1=\xA5\xCD\xB2\xA3,..\\PROJECT\\P\\CFG\\W\\g.svc\r\n");
    WriteFile(QStringLiteral("Project/P/cfg/W/g.svc"),
              "[Basic]\r\ndbDBTypeName=CSV\r\n[FieldList]\r\nfd1=\xA5\xCD\xB2\xA3,T1.VALUE,2,-1\r\n");
    State().WorkstationName = QStringLiteral("W");
    ASSERT_TRUE(OpenProject(QStringLiteral("P"), false));
    EXPECT_EQ(State().Group(1).R().ModuleName, QStringLiteral("生產"));
    EXPECT_EQ(State().Group(1).F(1).FieldName, QStringLiteral("生產"));

    Config().IsModified = -1;
    ASSERT_TRUE(SaveProject(true, false));
    EXPECT_TRUE(ReadFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"))
                    .contains("\r\nModule1=\xA5\xCD\xB2\xA3,..\\PROJECT\\P\\CFG\\W\\g.svc\r\n"));
    EXPECT_TRUE(ReadFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"))
                    .contains("\r\ndbSCaption=\xA5\xCD\xB2\xA3\r\n"));
    EXPECT_TRUE(ReadFile(QStringLiteral("Project/P/cfg/W/g.svc"))
                    .contains("\r\nfd1=\xA5\xCD\xB2\xA3,T1.VALUE,2,-1\r\n"));

    // A name that Big5 cannot hold is refused, naming the file, and the change stays unsaved.
    const QByteArray group = ReadFile(QStringLiteral("Project/P/cfg/W/g.svc"));
    State().Group(1).F(1).FieldName = QStringLiteral("简");
    Config().IsModified = -1;
    EXPECT_FALSE(SaveProject(true, false));
    EXPECT_EQ(Config().IsModified, -1);
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W/g.svc")), group);
    EXPECT_TRUE(BoxTexts().last().contains(QStringLiteral("[..\\PROJECT\\P\\CFG\\W\\g.svc]")) &&
                BoxTexts().last().contains(QStringLiteral("简")));
}
