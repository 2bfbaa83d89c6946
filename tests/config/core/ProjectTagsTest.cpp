// The HMI tag list and the file-open dialog service.
#include "config/core/ProjectTags.h"
#include "tests/config/core/ConfigFixture.h"
#include "tests/platform/hexvane-sim/HmiTestProject.h"

using namespace TagListUtil;

TEST_F(ConfigFixture, TagListComesFromTheWorkstationsTagDatabase) {
    RecordingTagListBox box;
    box.items = {QStringLiteral("kept")};
    EXPECT_EQ(LoadProjectTagList(QStringLiteral("P"), QStringLiteral("W"), box, true), 0);
    EXPECT_EQ(box.items, QStringList{QStringLiteral("kept")});

    ASSERT_TRUE(WriteTagDatabase(Path(QStringLiteral("Project/P/W.pam")),
                                 {{QStringLiteral("OLD"), QStringLiteral("ANALOG")}}));
    ASSERT_TRUE(WriteTagDatabase(Path(QStringLiteral("Project/P/W.pam.mir")),
                                 {{QStringLiteral("ZETA"), QStringLiteral("ANALOG")},
                                  {QStringLiteral("$SEC"), QStringLiteral("system")},
                                  {QStringLiteral("beta"), QString()},
                                  {QStringLiteral("ALPHA"), QString()}}));
    // Sorted without regard to letter case.
    EXPECT_EQ(LoadProjectTagList(QStringLiteral("P"), QStringLiteral("W"), box, false), 3);
    EXPECT_EQ(box.items,
              (QStringList{QStringLiteral("ALPHA"), QStringLiteral("beta"), QStringLiteral("ZETA")}));
    EXPECT_EQ(box.current, 0);
    EXPECT_EQ(LoadProjectTagList(QStringLiteral("P"), QStringLiteral("W"), box, true), 4);
    EXPECT_EQ(box.items.first(), QStringLiteral("$SEC"));
    EXPECT_TRUE(boxes.boxes.empty());
}

namespace {

// A dialog that leaves another current folder behind, as a dialog that browsed elsewhere may.
class WanderingDialog : public RecordingConfigWindows {
  public:
    std::optional<QString> OpenFile(const QString& folder, const QString& description,
                                    const QString& pattern) override {
        QDir::setCurrent(QDir::tempPath());
        return RecordingConfigWindows::OpenFile(folder, description, pattern);
    }
};

}  // namespace

TEST_F(ConfigFixture, FileDialogRepeatsUntilAFileExistsAndGivesTheProgramFolderBack) {
    WanderingDialog dialog;
    SetConfigWindows(&dialog);
    State().ProjectName = QStringLiteral("P");
    const QString log = WriteFile(QStringLiteral("Project/P/dat/Ledgrix/run.log"), "");
    const QString programFolder = QDir::currentPath();
    dialog.files = {Path(QStringLiteral("Project/P/dat/Ledgrix/typo.log")), log};
    EXPECT_EQ(ShowOpenFileDialog(QStringLiteral("LOG"), QStringLiteral("Log File (*.log)"),
                                 QStringLiteral("*.log")),
              log);
    EXPECT_EQ(dialog.calls.size(), 2);
    EXPECT_EQ(dialog.calls[0],
              QStringLiteral("OpenFile:") +
                  QDir::cleanPath(programFolder + QStringLiteral("/../Project/P/dat/Ledgrix")) +
                  QStringLiteral("|Log File (*.log)|*.log"));
    EXPECT_EQ(QDir::currentPath(), programFolder);

    EXPECT_EQ(ShowOpenFileDialog(QStringLiteral("LOG"), QStringLiteral("Log File (*.log)"),
                                 QStringLiteral("*.log")),
              QString());
    EXPECT_EQ(QDir::currentPath(), programFolder);
}
