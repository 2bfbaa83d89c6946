// The folder and file pickers on the Linux file system.
#include <QComboBox>
#include <QListWidget>

#include "common/ProgramState.h"
#include "config/forms/FormSupport.h"
#include "config/wizard/frmSelectDBFileName.h"
#include "config/wizard/frmSelectDataBaseRootDir.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Screens.h"
#include "tests/support/TestSupport.h"

namespace {

class Pickers : public ProgramFixture {
  protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        State().ProjectFolder = QStringLiteral("..\\Project\\P");
        State().DataFolder = QStringLiteral("..\\Project\\P\\dat\\Ledgrix");
    }
    // Highlights the entry of a list whose text (blanks trimmed) is given.
    static void Highlight(QDialog& dlg, const QString& list, const QString& text) {
        auto& lv = Child<QListWidget>(dlg, list);
        const auto found = lv.findItems(text, Qt::MatchEndsWith);
        if (found.isEmpty()) throw std::runtime_error("no entry " + text.toStdString());
        lv.setCurrentItem(found.first());
    }
};

TEST_F(Pickers, FolderPickerStartsInTheProjectFolderAndReturnsTheClickedFolder) {
    QDir().mkpath(Path("Project/P/dat/Ledgrix"));
    QDir().mkpath(Path("Project/P/Zones"));
    frmSelectDataBaseRootDir& form = FormObj<frmSelectDataBaseRootDir>();
    const QString project = QDir(Path("Project/P")).canonicalPath();
    NextModal first([&](QDialog& dlg) {
        EXPECT_EQ(TextOf(dlg, "lblDatabaseRootDir"), project);
        Click(dlg, "cmdOK");
    });
    form.LoadFormObj(QString());
    EXPECT_EQ(form.mString, kResultOK);
    EXPECT_EQ(form.mDataBaseRootDir, project);

    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        NextModal drive([&](QDialog& dlg) {
            SaveScreen(&dlg, QStringLiteral("frmSelectDataBaseRootDir"), language);
            Highlight(dlg, "lstDir", "dat");
            EXPECT_EQ(TextOf(dlg, "lblDatabaseRootDir"), project + "/dat");
            auto& list = Child<QListWidget>(dlg, "lstDir");
            emit list.itemDoubleClicked(list.currentItem());  // opens it
            EXPECT_EQ(form.DirPath(), project + "/dat");
            Highlight(dlg, "lstDir", "Ledgrix");
            Click(dlg, language == 0 ? "cmdOK" : "cmdCancel");
        });
        // A start folder that does not exist opens at its nearest existing parent.
        form.LoadFormObj(Path("Project/P/Missing/Deeper"));
    }
    EXPECT_EQ(form.mString, "");  // the second run was cancelled
    EXPECT_EQ(form.mDataBaseRootDir, "");
}

TEST_F(Pickers, FolderPickerKeepsTheListWhenAnotherDriveCannotBeRead) {
    QDir().mkpath(Path("Project/P"));
    frmSelectDataBaseRootDir& form = FormObj<frmSelectDataBaseRootDir>();
    NextModal drive([&](QDialog& dlg) {
        const QString before = form.DirPath();
        auto& drives = Child<QComboBox>(dlg, "lstDrive");
        drives.addItem(Path("no-such-drive"));
        drives.setCurrentIndex(drives.count() - 1);
        EXPECT_EQ(form.DirPath(), before);
        drives.setCurrentIndex(0);  // the root
        EXPECT_EQ(form.DirPath(), "/");
        EXPECT_EQ(TextOf(dlg, "lblDatabaseRootDir"), QDir(Path("Project/P")).canonicalPath());
        Click(dlg, "cmdCancel");
    });
    form.LoadFormObj(QString());
}

TEST_F(Pickers, FilePickerMakesTheDataFolderListsMatchingFilesAndNeedsAHighlight) {
    frmSelectDBFileName& form = FormObj<frmSelectDBFileName>();
    NextModal empty([&](QDialog& dlg) {
        EXPECT_EQ(Child<QListWidget>(dlg, "lstFile").count(), 0);
        Click(dlg, "cmdCancel");
    });
    form.LoadFormObj(QStringLiteral("ACCESS"), QStringLiteral("*.mdb"));
    ASSERT_TRUE(QFileInfo(Path("Project/P/dat/Ledgrix")).isDir());

    WriteFile("Project/P/dat/Ledgrix/b.mdb", "");
    WriteFile("Project/P/dat/Ledgrix/A.MDB", "");
    WriteFile("Project/P/dat/Ledgrix/notes.txt", "");
    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        boxes.boxes.clear();
        NextModal drive([&](QDialog& dlg) {
            auto& list = Child<QListWidget>(dlg, "lstFile");
            ASSERT_EQ(list.count(), 2);
            EXPECT_EQ(list.item(0)->text(), "A.MDB");
            EXPECT_EQ(list.item(1)->text(), "b.mdb");
            SaveScreen(&dlg, QStringLiteral("frmSelectDBFileName"), language);
            Click(dlg, "cmdOK");  // nothing highlighted: refused
            EXPECT_TRUE(dlg.isVisible());
            list.setCurrentRow(1);
            Click(dlg, "cmdOK");
        });
        form.LoadFormObj(QStringLiteral("ACCESS"), QStringLiteral("*.mdb"));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text,
                  language == 0 ? "Fail to select the database file!\r\nNo database file is "
                                  "selected.\r\nPlease select a database file!"
                                : "選擇資料庫檔案失敗!\r\n沒有選擇任何資料庫檔案。\r\n請選擇資料庫檔案!");
        EXPECT_EQ(form.mString, kResultOK);
        EXPECT_EQ(form.mDBFilePath, QDir(Path("Project/P/dat/Ledgrix")).canonicalPath() + "\\b.mdb");
    }
}

}  // namespace
