// The program's window service: the pickers behind the core's calls and the main window.
#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/ProgramState.h"
#include "config/mainwin/QtConfigWindows.h"
#include "config/mainwin/ServerWaits.h"
#include "platform/ado/Ado.h"
#include "platform/ado/Task.h"
#include "platform/captions/Captions.h"
#include "tests/platform/hexvane-sim/HmiTestProject.h"
#include "tests/support/Dialogs.h"
#include "tests/support/SilentServer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowManager.h"

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

// While the program waits for a server that never answers, it shows a busy cursor and keeps
// processing what is not user input (paints, timers); the cursor is back once the wait ends.
TEST_F(ProgramFixture, AWaitForAServerShowsABusyCursorAndKeepsTheWindowsAlive) {
    SilentServer server;
    ASSERT_TRUE(server.IsListening());
    int stops = 0;
    InstallServerWaits([] { return false; }, [&stops] { ++stops; });
    bool timerRan = false;
    Qt::CursorShape during = Qt::ArrowCursor;
    QTimer::singleShot(300, [&] {
        timerRan = true;
        if (const QCursor* c = QApplication::overrideCursor()) during = c->shape();
    });
    ado::Connection c;
    c.ConnectionTimeout = 1;
    EXPECT_THROW(
        c.Open(QStringLiteral("Provider=MSDASQL.1;User ID=u;Driver={MySQL ODBC 3.51 Driver};SERVER=") +
               server.Address()),
        ado::Error);
    ado::SetWaitHook(nullptr);
    ado::SetWaitEndHook(nullptr);
    EXPECT_TRUE(timerRan);
    EXPECT_EQ(during, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(stops, 0);
}

namespace {

// One wait for a server as a connection runs it: its hook a few times, then its end; `meanwhile`
// comes in during the first.
void ServerWait(const std::function<void()>& meanwhile) {
    const ado::WaitScope wait;
    QTimer::singleShot(0, meanwhile);
    for (int i = 0; i < 5; ++i) ado::CallWaitHook();
}

// Runs the program's events until the condition holds, at most two seconds.
bool Eventually(const std::function<bool()>& condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 2000) QTest::qWait(10);
    return condition();
}

}  // namespace

// Input during a wait is dropped, so nothing the user did acts on a form in the middle of its
// work; afterwards the form takes it as usual.
TEST_F(ProgramFixture, ClicksAndKeysDuringAServerWaitAreNotActedOn) {
    InstallServerWaits([] { return false; }, [] {});
    QDialog form;
    auto* layout = new QVBoxLayout(&form);
    auto* button = new QPushButton(QStringLiteral("OK"), &form);
    auto* text = new QLineEdit(&form);
    layout->addWidget(button);
    layout->addWidget(text);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    form.show();
    const auto input = [&] {
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClicks(text, QStringLiteral("abc"));
        QTest::keyClick(&form, Qt::Key_Escape);
    };
    ServerWait(input);
    QTest::qWait(50);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(text->text(), QString());
    EXPECT_TRUE(form.isVisible());
    input();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(text->text(), QStringLiteral("abc"));
    EXPECT_FALSE(form.isVisible());
    ado::SetWaitHook(nullptr);
    ado::SetWaitEndHook(nullptr);
}

// The window manager's close during a wait is done once the wait ends, after a box shown then.
TEST_F(ProgramFixture, AWindowClosedDuringAServerWaitClosesOnceTheWaitEnds) {
    InstallServerWaits([] { return false; }, [] {});
    QDialog editor;
    editor.show();
    const auto close = [&] { CloseAsTheWindowManager(editor.windowHandle()); };
    ServerWait(close);
    EXPECT_TRUE(editor.isVisible());
    EXPECT_TRUE(Eventually([&] { return !editor.isVisible(); }));

    editor.show();
    ServerWait(close);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Failed"), QStringLiteral("No answer"),
                    QMessageBox::Ok, &editor);
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    QTest::qWait(300);
    EXPECT_TRUE(editor.isVisible());
    box.hide();
    EXPECT_TRUE(Eventually([&] { return !editor.isVisible(); }));
    ado::SetWaitHook(nullptr);
    ado::SetWaitEndHook(nullptr);
}

// The file picker lists database files that this program may hold open (the wizard's
// connection) without opening them: its icons and types come from the names.
TEST_F(ProgramFixture, TheFilePickerKeepsTheLocksOfADatabaseFileOpenHere) {
    const QString file = Path(QStringLiteral("dat/plant.dat"));  // a name that tells no type
    SqliteRows(file, {QStringLiteral("CREATE TABLE T (A)")});
    ado::Connection conn;
    conn.Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + file);
    conn.Execute(QStringLiteral("INSERT INTO T VALUES (1)"));
    ASSERT_TRUE(AnotherProcessSeesLocks(file));
    QtConfigWindows windows;
    NextModal look([&](QDialog& dlg) {
        // The listing and its icons are fetched on a thread of the picker's.
        QTest::qWait(1000);
        EXPECT_TRUE(AnotherProcessSeesLocks(file));
        dlg.reject();
    });
    EXPECT_EQ(windows.OpenFile(Path(QStringLiteral("dat")), QStringLiteral("Data"), QStringLiteral("*.*")),
              std::nullopt);
}
