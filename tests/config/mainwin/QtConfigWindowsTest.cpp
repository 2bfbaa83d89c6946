// The program's window service: the pickers behind the core's calls and the main window.
#include <QApplication>
#include <QLabel>
#include <QTreeWidget>

#include "common/ProgramState.h"
#include "config/mainwin/QtConfigWindows.h"
#include "platform/captions/Captions.h"
#include "tests/platform/hexvane-sim/HmiTestProject.h"
#include "tests/support/Dialogs.h"
#include "tests/support/TestSupport.h"

TEST_F(ProgramFixture, PickersAnswerTheChosenFolderOrNothing) {
    QDir().mkpath(Path(QStringLiteral("Project/P/CFG/W1")));
    QtConfigWindows windows;
    NextModal ok([](QDialog& dlg) { Click(dlg, QStringLiteral("cmdOK")); });
    EXPECT_EQ(windows.PickProject(), QStringLiteral("P"));
    NextModal cancel([](QDialog& dlg) { Click(dlg, QStringLiteral("cmdCancel")); });
    EXPECT_EQ(windows.PickWorkstation(QStringLiteral("P")), std::nullopt);
    qputenv("LEDGRIX_MSGBOX", "stderr");  // headless: nobody to answer
    EXPECT_EQ(windows.PickProject(), std::nullopt);
    qunsetenv("LEDGRIX_MSGBOX");
}

TEST_F(ProgramFixture, MainWindowCarriesItsCaptionTheGroupsAndTheStatus) {
    PrivateRuntimeFolder windowDir;
    ProgramState& st = State();
    st.ProjectName = QStringLiteral("P");
    st.WorkstationName = QStringLiteral("W");
    st.SaveGroupCount = 2;
    st.Group(1).S().SaveGroupName = QStringLiteral("Zeta");
    st.Group(2).S().SaveGroupName = QStringLiteral("Alpha");
    QtConfigWindows windows;
    windows.RefreshTree();
    windows.SetStatusPanel(QStringLiteral("ProjName"), QStringLiteral("Project name：P"));
    windows.ShowMain();
    EXPECT_TRUE(WindowCaptionExists(QStringLiteral("LedgrixConfig")));
    QWidget* main = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmConfigMain")) main = w;
    ASSERT_TRUE(main);
    QTreeWidgetItem* project = Child<QTreeWidget>(*main, QStringLiteral("tvTreeView")).topLevelItem(0);
    EXPECT_EQ(project->text(0), QStringLiteral("Project [P - W]"));
    ASSERT_EQ(project->childCount(), 2);
    EXPECT_EQ(project->child(0)->text(0), QStringLiteral("Alpha"));
    QStringList panels;
    for (const QLabel* l : main->findChildren<QLabel*>()) panels << l->text();
    EXPECT_TRUE(panels.contains(QStringLiteral("Project name：P")));
}
