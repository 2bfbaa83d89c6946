// The /PAM workstation actions on disk.
#include "config/core/WorkstationActions.h"
#include "tests/config/core/ConfigFixture.h"

using namespace WorkstationUtil;

namespace {

const QString P = QStringLiteral("P");
const QString W1 = QStringLiteral("W1");

}  // namespace

class WorkstationActionsTest : public ConfigFixture {
  protected:
    // W1 lists a group file in its own folder and one shared from the project folder; W2 lists
    // a bare name (files in its own folder) with a purge option.
    void SetUp() override {
        ConfigFixture::SetUp();
        WriteFile(
            QStringLiteral("Project/P/cfg/W1/Ledgrix.svl"),
            "[SystemBasic]\r\ndbSLogFileName=..\\Project\\P\\cfg\\W1\\Ledgrix.log\r\n[ModuleList]\r\n"
            "Module1=A,..\\Project\\P\\cfg\\W1\\a.svc\r\nModule2=Shared,..\\Project\\P\\shared.svc\r\n");
        WriteFile(
            QStringLiteral("Project/P/cfg/W1/a.svc"),
            "[CSV]\r\ndbCSVFilePath=..\\project\\p\\CFG\\w1\\a.csv\r\nold=..\\Project\\P\\cfg\\W10\\x\r\n");
        WriteFile(QStringLiteral("Project/P/shared.svc"),
                  "[CSV]\r\ndbCSVFilePath=..\\Project\\P\\cfg\\W1\\s.csv\r\n");
        WriteFile(QStringLiteral("Project/P/cfg/W2/Ledgrix.svl"),
                  "[SystemBasic]\r\ndbSIsSvcDefaultPath=1\r\n[ModuleList]\r\nModule1=G,g.svc/PURGE:30\r\n");
        WriteFile(QStringLiteral("Project/P/cfg/W2/g.svc"), "[Basic]\r\n");
        WriteFile(QStringLiteral("Project/P/dat/Ledgrix/W1/rec.mdb"), "data");
        source = Snapshot();
    }
    // Every file below the project, with its bytes.
    QMap<QString, QByteArray> Snapshot() const {
        QMap<QString, QByteArray> files;
        QDirIterator it(Path(QStringLiteral("Project")), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = it.next();
            files.insert(f.mid(root.path().size() + 1), ReadFile(f.mid(root.path().size() + 1)));
        }
        return files;
    }
    QMap<QString, QByteArray> source;
};

TEST_F(WorkstationActionsTest, PathsAreReplacedAsWholeComponentsInUpperCase) {
    const QString find = QStringLiteral("..\\Project\\P\\cfg\\W1");
    EXPECT_EQ(
        ReplacePathBytes(
            (QStringLiteral("a=..\\project\\p\\CFG\\w1\\a.svc\r\nb=..\\Project\\P\\cfg\\W10\\x\nc=") + find)
                .toUtf8(),
            find, QStringLiteral("..\\Project\\P\\cfg\\W2")),
        QStringLiteral(
            "a=..\\PROJECT\\P\\CFG\\W2\\a.svc\r\nb=..\\Project\\P\\cfg\\W10\\x\nc=..\\PROJECT\\P\\CFG\\W2")
            .toUtf8());
    EXPECT_EQ(ReplacePathBytes("abc", QString(), QStringLiteral("x")), QByteArray("abc"));
}

TEST_F(WorkstationActionsTest, NamesThatLeaveTheFoldersAreRefusedBeforeTheDiskIsTouched) {
    for (const QString& bad :
         {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("a\\..\\b"),
          QStringLiteral("a/b"), QStringLiteral("C:x"), QStringLiteral("a\tb")}) {
        boxes.boxes.clear();
        EXPECT_FALSE(DeleteWorkstation(P, bad)) << bad.toStdString();
        EXPECT_FALSE(CopyWorkstation(bad, W1, QStringLiteral("W3")));
        EXPECT_FALSE(AddWorkstation(P, bad));
        ASSERT_EQ(boxes.boxes.size(), 3u);
        EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Ledgrix 程式 - 刪除工作站失敗!"));
        EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("名稱[") + bad + u']'));
    }
    EXPECT_EQ(Snapshot(), source);
}

TEST_F(WorkstationActionsTest, NamesNoFolderCanHoldAreRefusedEvenWhereTheirCfgFolderExists) {
    for (const QString& bad : {QStringLiteral("W*"), QStringLiteral("W?"), QStringLiteral("W|"),
                               QStringLiteral("W\""), QStringLiteral("W<"), QStringLiteral("W>")}) {
        QDir().mkpath(Path(QStringLiteral("Project/P/cfg/") + bad));
        EXPECT_FALSE(AddWorkstation(P, bad));
        EXPECT_TRUE(
            boxes.boxes.back().text.contains(QStringLiteral("名稱[") + bad + QStringLiteral("]不能作為")));
    }
    EXPECT_EQ(boxes.boxes.size(), 6u);
    EXPECT_EQ(Snapshot(), source);
}

TEST_F(WorkstationActionsTest, ChineseNamesGoIntoBig5FilesInBig5OrAreRefusedBeforeAnythingChanges) {
    const QByteArray zh = "\xA5\xCD\xB2\xA3";  // 生產 in Big5
    const QString svl = WriteFile(QStringLiteral("Project/P/cfg/B/Ledgrix.svl"),
                                  "[ModuleList]\r\nModule1=" + zh + ",..\\Project\\P\\cfg\\B\\b.svc\r\n");
    WriteFile(QStringLiteral("Project/P/cfg/B/b.svc"),
              "[CSV]\r\ndbCSVFilePath=..\\Project\\P\\cfg\\B\\" + zh + "\r\n");
    const QString chinese = QString::fromUtf8("生產"), B = QStringLiteral("B");
    ASSERT_TRUE(CopyWorkstation(P, B, chinese));
    const QByteArray moved = "..\\PROJECT\\P\\CFG\\" + zh;
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/生產/b.svc")),
              "[CSV]\r\ndbCSVFilePath=" + moved + '\\' + zh + "\r\n");

    const auto before = Snapshot();  // 简 has no Big5 form
    EXPECT_FALSE(CopyWorkstation(P, B, QString::fromUtf8("简")));
    EXPECT_FALSE(RenameWorkstation(P, B, QString::fromUtf8("简")));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(boxes.boxes.size(), 2u);
    for (const auto& box : boxes.boxes)
        EXPECT_TRUE(box.text.contains(
            QString::fromUtf8("[..\\Project\\P\\cfg\\B\\Ledgrix.svl]: Big5 text cannot hold \"简\"")));
    EXPECT_TRUE(RenameWorkstation(P, B, chinese + u'2'));
    EXPECT_TRUE(ReadFile(svl.mid(root.path().size() + 1)).contains(moved + "2\\b.svc"));
}

TEST_F(WorkstationActionsTest, AddCreatesAnEmptyWorkstationFileAndTheDataFolder) {
    QDir().mkpath(Path(QStringLiteral("Project/P/cfg/W3")));
    EXPECT_TRUE(AddWorkstation(P, QStringLiteral("W3")));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W3/Ledgrix.svl")),
              "[SystemBasic]\r\n\r\n[ModuleList]\r\n\r\n");
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("Project/P/dat/Ledgrix/W3"))).isDir());
    EXPECT_TRUE(boxes.boxes.empty());

    // An existing file: Cancel keeps it, OK empties it; the data folder is made either way.
    boxes.answers = {MsgAnswer::Cancel, MsgAnswer::Ok};
    EXPECT_TRUE(AddWorkstation(P, QStringLiteral("W2")));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W2/Ledgrix.svl")),
              source.value(QStringLiteral("Project/P/cfg/W2/Ledgrix.svl")));
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("Project/P/dat/Ledgrix/W2"))).isDir());
    EXPECT_TRUE(AddWorkstation(P, QStringLiteral("W2")));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W2/Ledgrix.svl")),
              "[SystemBasic]\r\n\r\n[ModuleList]\r\n\r\n");
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(
        boxes.boxes[0].text,
        QStringLiteral("基本設定檔[..\\Project\\P\\cfg\\W2\\Ledgrix.svl]已存在! \r\n是否覆蓋此基本設定檔?"));
    EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Question | MsgStyle::OkCancel);

    EXPECT_FALSE(AddWorkstation(QStringLiteral("Q"), W1));
    EXPECT_EQ(boxes.boxes.back().text,
              QStringLiteral("新增工作站失敗!\r\n找不到所指定的專案名稱[ Q]。\r\n本動作無法執行!"));
    EXPECT_FALSE(AddWorkstation(P, QStringLiteral("W9")));
    EXPECT_EQ(boxes.boxes.back().text,
              QStringLiteral("新增工作站失敗!\r\n找不到所指定的工作站名稱[W9]。\r\n專案名稱: [P]\r\n"
                             "本動作無法執行!"));
}

TEST_F(WorkstationActionsTest, RenameRewritesTheOldFolderPathAndMovesTheDataFolder) {
    EXPECT_TRUE(RenameWorkstation(P, W1, QStringLiteral("W3")));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W1/Ledgrix.svl")),
              "[SystemBasic]\r\ndbSLogFileName=..\\PROJECT\\P\\CFG\\W3\\Ledgrix.log\r\n[ModuleList]\r\n"
              "Module1=A,..\\PROJECT\\P\\CFG\\W3\\a.svc\r\nModule2=Shared,..\\Project\\P\\shared.svc\r\n");
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/dat/Ledgrix/W3/rec.mdb")), "data");
    EXPECT_FALSE(Exists(QStringLiteral("Project/P/dat/Ledgrix/W1")));

    EXPECT_FALSE(RenameWorkstation(P, QStringLiteral("W2"), W1));
    EXPECT_EQ(boxes.boxes.back().text,
              QStringLiteral("更名工作站失敗!\r\n所指定的新工作站名稱[W1]已存在。\r\n專案名稱: [P]\r\n"
                             "本動作無法執行!"));
    EXPECT_FALSE(RenameWorkstation(QStringLiteral("Q"), W1, QStringLiteral("W4")));
    EXPECT_EQ(boxes.boxes.back().title, QStringLiteral("Ledgrix 程式 -更名工作站失敗!"));
}

TEST_F(WorkstationActionsTest, CopyRewritesOnlyTheCopiesAndRefusesItself) {
    EXPECT_TRUE(CopyWorkstation(P, W1, QStringLiteral("W3")));
    const auto after = Snapshot();
    for (auto it = source.begin(); it != source.end(); ++it)
        EXPECT_EQ(after.value(it.key()), it.value()) << "source changed: " << it.key().toStdString();
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W3/Ledgrix.svl")),
              "[SystemBasic]\r\ndbSLogFileName=..\\PROJECT\\P\\CFG\\W3\\Ledgrix.log\r\n[ModuleList]\r\n"
              "Module1=A,..\\PROJECT\\P\\CFG\\W3\\a.svc\r\nModule2=Shared,..\\Project\\P\\shared.svc\r\n");
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W3/a.svc")),
              "[CSV]\r\ndbCSVFilePath=..\\PROJECT\\P\\CFG\\W3\\a.csv\r\nold=..\\Project\\P\\cfg\\W10\\x\r\n");
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W3/shared.svc")),
              "[CSV]\r\ndbCSVFilePath=..\\PROJECT\\P\\CFG\\W3\\s.csv\r\n");
    EXPECT_FALSE(Exists(QStringLiteral("Project/P/dat/Ledgrix/W3")));

    // Bare names are the files in the source workstation's folder; the option stays on the line.
    EXPECT_TRUE(CopyWorkstation(P, QStringLiteral("W2"), QStringLiteral("W4")));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W4/g.svc")), "[Basic]\r\n");
    EXPECT_TRUE(
        ReadFile(QStringLiteral("Project/P/cfg/W4/Ledgrix.svl")).endsWith("Module1=G,g.svc/PURGE:30\r\n"));

    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(CopyWorkstation(P, W1, QStringLiteral("w1")));
    EXPECT_EQ(boxes.boxes.back().text,
              QStringLiteral("複製工作站失敗!\r\n來源工作站與目的工作站相同[w1]。\r\n專案名稱: [P]\r\n"
                             "本動作無法執行!"));
    // Onto an existing workstation only after OK.
    WriteFile(QStringLiteral("Project/P/cfg/W4/a.svc"), "keep");
    boxes.answers = {MsgAnswer::Cancel};
    EXPECT_FALSE(CopyWorkstation(P, W1, QStringLiteral("W4")));
    EXPECT_EQ(boxes.boxes.back().text, QStringLiteral("工作站名稱[W4]已存在! \r\n是否覆蓋此工作站?"));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W4/a.svc")), "keep");
    EXPECT_TRUE(CopyWorkstation(P, W1, QStringLiteral("W4")));
    EXPECT_TRUE(ReadFile(QStringLiteral("Project/P/cfg/W4/a.svc")).contains("\\W4\\a.csv"));
}

TEST_F(WorkstationActionsTest, DeleteRemovesOnlyTheWorkstationsOwnFiles) {
    boxes.answers = {MsgAnswer::Ok};
    EXPECT_TRUE(DeleteWorkstation(P, W1));
    EXPECT_FALSE(Exists(QStringLiteral("Project/P/cfg/W1/Ledgrix.svl")));
    EXPECT_FALSE(Exists(QStringLiteral("Project/P/cfg/W1/a.svc")));
    EXPECT_TRUE(Exists(QStringLiteral("Project/P/shared.svc")));  // may belong to another workstation
    EXPECT_FALSE(Exists(QStringLiteral("Project/P/dat/Ledgrix/W1")));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              QStringLiteral("是否一併刪除資料目錄夾[..\\Project\\P\\dat\\Ledgrix\\W1]?"));

    // A bare name is the file in the workstation's own folder.
    EXPECT_TRUE(DeleteWorkstation(P, QStringLiteral("W2")));
    EXPECT_FALSE(Exists(QStringLiteral("Project/P/cfg/W2/g.svc")));
}
