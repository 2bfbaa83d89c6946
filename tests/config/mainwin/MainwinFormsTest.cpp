// The About box and the project and workstation pickers, driven as a user would.
#include <QListWidget>

#include "common/ProgramState.h"
#include "config/forms/FormSupport.h"
#include "config/mainwin/frmAboutLedgrixConfig.h"
#include "config/mainwin/frmDummy.h"
#include "config/mainwin/frmOpenProj.h"
#include "config/mainwin/frmSelectWksName.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Screens.h"
#include "tests/support/TestSupport.h"

namespace {

class MainwinForms : public ProgramFixture {
  protected:
    void MakeFolder(const QString& relative) { QDir().mkpath(Path(relative)); }
    static QStringList Items(QDialog& dlg, const QString& list) {
        QStringList out;
        auto& lv = Child<QListWidget>(dlg, list);
        for (int i = 0; i < lv.count(); ++i) out << lv.item(i)->text();
        return out;
    }
};

TEST_F(MainwinForms, AboutBoxShowsVersionAndDescriptionByLanguage) {
    const QString version = QStringLiteral("%1.%2.%3")
                                .arg(LEDGRIX_VERSION_MAJOR)
                                .arg(LEDGRIX_VERSION_MINOR)
                                .arg(LEDGRIX_VERSION_PATCH);
    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        NextModal drive([&](QDialog& dlg) {
            SaveScreen(&dlg, QStringLiteral("frmAboutLedgrixConfig"), language);
            if (language == 0) {
                EXPECT_EQ(dlg.windowTitle(), "About LedgrixConfig....");
                EXPECT_EQ(TextOf(dlg, "lblVersion"), "Version: " + version);
                EXPECT_FALSE(Child<QLabel>(dlg, "Label2").isVisible());
                EXPECT_EQ(TextOf(dlg, "cmdOK"), "OK");
            } else {
                EXPECT_EQ(dlg.windowTitle(), "關於 LedgrixConfig 資料庫存檔設定工具程式");
                EXPECT_EQ(TextOf(dlg, "lblVersion"), "版別：" + version);
                EXPECT_TRUE(Child<QLabel>(dlg, "Label2").isVisible());
                EXPECT_EQ(TextOf(dlg, "cmdOK"), "確定");
            }
            Click(dlg, "cmdOK");
        });
        frmAboutLedgrixConfig::ShowModal();
    }
}

TEST_F(MainwinForms, ProjectPickerListsFoldersOnlyInNameOrderAndReturnsTheChoice) {
    MakeFolder("Project/beta");
    MakeFolder("Project/Alpha");
    MakeFolder("Project/Gamma");
    MakeFolder("Project/Old.bak");     // a name with a dot is no project
    WriteFile("Project/readme", "x");  // nor is a file
    frmOpenProj& form = FormObj<frmOpenProj>();
    NextModal drive([&](QDialog& dlg) {
        EXPECT_EQ(Items(dlg, "lvProjList"), QStringList({"Alpha", "beta", "Gamma"}));
        EXPECT_EQ(TextOf(dlg, "lblProjName"), "Alpha");
        EXPECT_EQ(TextOf(dlg, "lblTotalProjNum"), "3");
        SaveScreen(&dlg, QStringLiteral("frmOpenProj"), 0);
        Child<QListWidget>(dlg, "lvProjList").setCurrentRow(1);
        EXPECT_EQ(TextOf(dlg, "lblProjName"), "beta");
        Click(dlg, "cmdOK");
    });
    form.LoadFormObj();
    EXPECT_TRUE(form.mbuttonOK);
    EXPECT_EQ(form.mString, kResultOK);
    EXPECT_EQ(form.mProjName, "beta");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainwinForms, ProjectPickerWithoutProjectsRefusesOkAndForgetsTheLastAnswer) {
    MakeFolder("Project/P1");
    State().LanguageIndex = 1;
    frmOpenProj& form = FormObj<frmOpenProj>();
    {
        NextModal drive([&](QDialog& dlg) { Click(dlg, "cmdOK"); });
        form.LoadFormObj();
    }
    ASSERT_TRUE(form.mbuttonOK);
    QDir(Path("Project/P1")).removeRecursively();
    NextModal drive([&](QDialog& dlg) {
        EXPECT_FALSE(form.mbuttonOK);
        EXPECT_EQ(TextOf(dlg, "lblProjName"), "");
        EXPECT_EQ(TextOf(dlg, "lblTotalProjNum"), "0");
        SaveScreen(&dlg, QStringLiteral("frmOpenProj"), 1);
        Click(dlg, "cmdOK");
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text,
                  "開啟圖控專案失敗!\r\n沒有選擇任何一個圖控專案。\r\n請指定一個現有的圖控專案名稱!");
        EXPECT_EQ(boxes.boxes[0].title, "開啟圖控專案失敗");
        EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Critical);
        EXPECT_TRUE(dlg.isVisible());
        Click(dlg, "cmdCancel");
    });
    form.LoadFormObj();
    EXPECT_FALSE(form.mbuttonOK);
    EXPECT_EQ(form.mString, "");
}

TEST_F(MainwinForms, WorkstationPickerListsTheProjectsCfgFoldersAndTakesADoubleClick) {
    MakeFolder("Project/P/cfg/WS2");
    MakeFolder("Project/P/cfg/ws1");
    WriteFile("Project/P/cfg/WS3", "not a folder");
    frmSelectWksName& form = FormObj<frmSelectWksName>();
    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        NextModal drive([&](QDialog& dlg) {
            EXPECT_EQ(Items(dlg, "lvDBList"), QStringList({"ws1", "WS2"}));
            EXPECT_EQ(TextOf(dlg, "Label1"), language == 0 ? "Workstation name: " : "工作站名稱：");
            SaveScreen(&dlg, QStringLiteral("frmSelectWksName"), language);
            auto& list = Child<QListWidget>(dlg, "lvDBList");
            list.setCurrentRow(1);
            emit list.itemDoubleClicked(list.item(1));
        });
        form.LoadFormObj(QStringLiteral("P"));
        EXPECT_TRUE(form.mbuttonOK);
        EXPECT_EQ(form.mDBName, "WS2");
    }
    NextModal drive([&](QDialog& dlg) {
        Click(dlg, "cmdOK");
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].title, "開啟工作站失敗");
        Click(dlg, "cmdCancel");
    });
    form.LoadFormObj(QStringLiteral("NoSuchProject"));
    EXPECT_FALSE(form.mbuttonOK);
}

TEST_F(MainwinForms, DummyFormIsBlankAndHidesItself) {
    frmDummy form;
    form.show();
    form.InvokeFormMember();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), "Form1");
    for (int language : {0, 1}) SaveScreen(&form, QStringLiteral("frmDummy"), language);
}

}  // namespace
