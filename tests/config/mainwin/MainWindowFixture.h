// The main window on a project of a temporary program folder, with the program's real windows
// (the pickers are not needed: project and workstation are given).
#pragma once
#include <QSettings>
#include <QTreeWidget>

#include "config/core/ConfigMain.h"
#include "config/core/OpenProject.h"
#include "config/forms/FormSupport.h"
#include "config/mainwin/QtConfigWindows.h"
#include "config/mainwin/frmConfigMain.h"
#include "tests/config/core/ConfigFixture.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Screens.h"

class MainWindowFixture : public ConfigFixture {
  protected:
    void SetUp() override {
        ConfigFixture::SetUp();
        // The forms that an earlier test's close left to be deleted are gone before this test
        // makes them again.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetConfigWindows(&qtWindows);
        // Per-user window settings stay in the test's folder.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path(QStringLiteral("config")));
    }

    // Copies the bundled demo project (with its tag database under the workstation's name).
    void CopyDemo() {
        const QString source = QStringLiteral(LEDGRIX_TEST_DATA "/../../demo/Project/Demo");
        QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            WriteFile(QStringLiteral("Project/Demo") + it.filePath().mid(source.size()), f.readAll());
        }
        QFile::copy(Path(QStringLiteral("Project/Demo/Demo.pam")),
                    Path(QStringLiteral("Project/Demo/WS1.pam")));
    }

    // Opens the project and workstation as the start-up does and shows the main window.
    frmConfigMain& Open(const QString& project, const QString& workstation, int language = 0) {
        State().LanguageIndex = static_cast<int16_t>(language);
        State().ProjectName.clear();
        State().WorkstationName = workstation;
        QDir().mkpath(Path(QStringLiteral("Project/") + project));
        EXPECT_TRUE(ProjectUtil::OpenProject(project, false));
        LedgrixConfigMain::ShowConfigMain();
        return main();
    }

    // The demo project's workstation WS1 in the main window.
    frmConfigMain& OpenDemo() {
        CopyDemo();
        return Open(QStringLiteral("Demo"), QStringLiteral("WS1"));
    }

    static frmConfigMain& main() { return FormObj<frmConfigMain>(); }
    // Selects the tree node with this tag.
    static void Select(const QString& tag) {
        QTreeWidgetItem* node = main().FindNode(tag);
        ASSERT_TRUE(node) << tag.toStdString();
        main().tvTreeView->setCurrentItem(node);
    }
    // The rows of the content list, columns joined by "|", rows by new lines.
    static std::string Rows() {
        QStringList rows;
        QTreeWidget* list = main().lvListView;
        for (int r = 0; r < list->topLevelItemCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < list->columnCount(); ++c) cells << list->topLevelItem(r)->text(c);
            rows << cells.join(u'|');
        }
        return rows.join(u'\n').toStdString();
    }
    static QStringList Columns() {
        QStringList titles;
        for (int c = 0; c < main().lvListView->columnCount(); ++c)
            titles << main().lvListView->headerItem()->text(c);
        return titles;
    }
    // The texts of a node's children, in tree order.
    static std::string Children(const QString& tag) {
        QStringList names;
        if (QTreeWidgetItem* node = main().FindNode(tag))
            for (int i = 0; i < node->childCount(); ++i) names << node->child(i)->text(0);
        return names.join(u',').toStdString();
    }
    QString Text(const QString& relative) const { return QString::fromUtf8(ReadFile(relative)); }
    // The texts of the boxes shown so far, one line each.
    std::string Boxes() const { return BoxTexts().join(u'\n').toStdString(); }

    QtConfigWindows qtWindows;
};
