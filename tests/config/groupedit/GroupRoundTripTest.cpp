// A group edited in the save-group editor and its dialogs, confirmed, written by SaveProject,
// read back by the saver's readers, and recorded by the real Ledgrix with the HMI runtime
// stand-in.
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QTreeWidget>

#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/core/ConfigState.h"
#include "config/core/ConfigWindows.h"
#include "config/core/OpenProject.h"
#include "config/core/SaveProject.h"
#include "config/groupedit/frmGroupConfig.h"
#include "tests/saver/SaverProcessFixture.h"
#include "tests/support/Dialogs.h"
#include "tests/support/TestSupport.h"

namespace {

QTreeWidgetItem* RowNamed(QWidget& form, const QString& name) {
    auto& list = Child<QTreeWidget>(form, QStringLiteral("lvFields"));
    const auto found = list.findItems(name, Qt::MatchExactly, 0);
    return found.isEmpty() ? nullptr : found.first();
}

}  // namespace

class GroupRoundTrip : public SaverProcessFixture {
  protected:
    void SetUp() override {
        MakeProgramFolder(BinFile(QStringLiteral("Ledgrix.set")), QStringLiteral(LEDGRIX_TEST_DATA "/config"),
                          QStringLiteral("P"),
                          {{QStringLiteral("STOP"), QStringLiteral("DIGITAL")},
                           {QStringLiteral("ALIVE"), QStringLiteral("DIGITAL")},
                           {QStringLiteral("BUSY"), QStringLiteral("DIGITAL")},
                           {QStringLiteral("NREC"), QStringLiteral("ANALOG")},
                           {QStringLiteral("FLOW"), QStringLiteral("ANALOG")},
                           {QStringLiteral("LEVEL"), QStringLiteral("ANALOG")}});
        // The configuration program in this process, in the same program folder.
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(bin);
        ResetState();
        ResetConfigState();
        ProgramHooks::InstallTestHooks(&log_, &boxes_);
        SetConfigWindows(&windows_);
        Config().AppPath = bin;
        SettingUtil::LoadProgramSettings();
        State().LanguageIndex = 0;
        State().WorkstationName = QStringLiteral("W");
        ASSERT_TRUE(ProjectUtil::OpenProject(QStringLiteral("P"), false));
    }
    void TearDown() override {
        SetConfigWindows(nullptr);
        ProgramHooks::SetMessageService(nullptr);
        QDir::setCurrent(previousDir_);
        SaverProcessFixture::TearDown();
    }

    QStringList log_;
    RecordingMessageService boxes_;
    RecordingConfigWindows windows_;
    QString previousDir_;
};

TEST_F(GroupRoundTrip, AGroupEditedHereIsWrittenReadBackAndRecordedByTheSaver) {
    const QString plant = project + QStringLiteral("/dat/Ledgrix/plant.mdb");
    SqliteRows(plant, {QStringLiteral("CREATE TABLE Readings (Time DATETIME, Flow DOUBLE, Level DOUBLE)")});

    NextModal edit([&](QDialog& dlg) {
        SetText(dlg, "txtSaveTimeInterval", "1");
        Child<QAbstractButton>(dlg, "chkTriggerTag").setChecked(false);
        Child<QAbstractButton>(dlg, "chkEnableTag").setChecked(false);
        Child<QAbstractButton>(dlg, "chkPurgeTag").setChecked(false);
        SetText(dlg, "txtNumRecordsSavedTag", "NREC.VALUE");
        Child<QComboBox>(dlg, "cmbWriteMode").setCurrentIndex(0);
        {
            NextModal content([&](QDialog& d) {
                SetText(d, "txtDBSetting1", "plant.mdb");
                SetText(d, "txtDBSetting2", "Readings");
                Click(d, "cmdOK");
            });
            Click(dlg, "cmdDBContent");
        }
        for (const char* gone : {"Note", "Spare"}) {
            Child<QTreeWidget>(dlg, "lvFields").setCurrentItem(RowNamed(dlg, QLatin1String(gone)));
            Click(dlg, "cmdDeleteField");
        }
        {
            NextModal add([&](QDialog& d) {
                SetText(d, "cmbFieldName", "Level");
                SetText(d, "txtTagName", "LEVEL");
                Click(d, "cmdOK");
            });
            Click(dlg, "cmdAddNewField");
        }
        Click(dlg, "cmdConnectDB");
        Click(dlg, "cmdOK");
    });
    FormObj<frmGroupConfig>().LoadFormObj(QStringLiteral("flow"), false);
    ASSERT_EQ(boxes_.boxes.size(), 3u);  // two deletions asked, the connection test's success
    EXPECT_EQ(boxes_.boxes[2].title, "Connect Database");

    State().Group(2).IsGroupDeleted = 1;  // the saver runs this group alone
    ASSERT_TRUE(SettingWriter::SaveProject(true, false));
    const QByteArray file = ProjectFile(QStringLiteral("cfg/W/flow.svc"));
    EXPECT_TRUE(
        file.contains("\r\ndbFilePath=..\\PROJECT\\P\\DAT\\LEDGRIX\\plant.mdb\r\ndbFileName=\r\n"
                      "dbTableName=Readings\r\n"))
        << file.toStdString();

    // The saver's readers find what the editor stored.
    ResetState();
    State().ProjectName = QStringLiteral("P");
    State().WorkstationName = QStringLiteral("W");
    State().WorkstationFilePath = QStringLiteral("..\\Project\\P\\cfg\\W\\Ledgrix.svl");
    State().DataFolder = QStringLiteral("..\\Project\\P\\dat\\Ledgrix");
    SettingUtil::LoadProgramSettings();
    SettingUtil::LoadWorkstationSettings();
    SettingUtil::LoadSaveGroupSettings();
    ASSERT_EQ(State().SaveGroupCount, 1);
    SaveGroupRecord& g = State().Group(1);
    EXPECT_EQ(g.S().SaveTimeInterval, 1);
    EXPECT_EQ(g.S().dbSTriggerTag.Name, "");
    EXPECT_EQ(g.S().dbSNumRecordsSavedTag.Name, "NREC");
    EXPECT_EQ(g.S().dbSWriteMode, 0);
    QStringList fields;
    for (int n = 1; n <= g.FieldCount; ++n) fields << g.F(n).FieldName + u'=' + g.F(n).TagName;
    EXPECT_EQ(fields, (QStringList{"Time=^DATETIME", "Flow=FLOW", "Level=LEVEL"}));

    ASSERT_TRUE(server->SetValue(QStringLiteral("FLOW"), 2.5));
    ASSERT_TRUE(server->SetValue(QStringLiteral("LEVEL"), 7));
    QProcess& saver = StartSaver({QStringLiteral("P"), QStringLiteral("W")});
    ASSERT_TRUE(WaitUntil([&] { return server->Value(QStringLiteral("NREC")) >= 2; }, 20000))
        << saver.readAllStandardError().toStdString();
    StopSaver(saver);
    const QStringList rows = SqliteRows(plant, {QStringLiteral("SELECT Flow, Level FROM Readings")});
    EXPECT_GE(rows.size(), 2);
    for (const QString& row : rows) EXPECT_EQ(row, QStringLiteral("2.5|7"));
}
