// The system settings dialog: how it shows the workstation's settings, what its checks refuse,
// and what OK stores.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "common/ProgramState.h"
#include "config/mainwin/frmBasicConfig.h"
#include "tests/config/mainwin/MainWindowFixture.h"

namespace {

class BasicConfig : public MainWindowFixture {
  protected:
    void Run(const std::function<void(QDialog&)>& action) {
        NextModal drive(action);
        FormObj<frmBasicConfig>().LoadFormObj();
    }
    static bool Ticked(QDialog& dlg, const char* box) { return Child<QCheckBox>(dlg, box).isChecked(); }
    static bool On(QDialog& dlg, const char* name) { return Child<QWidget>(dlg, name).isEnabled(); }
    static QStringList Items(QDialog& dlg) {
        QStringList items;
        auto& box = Child<QComboBox>(dlg, "cmbTagList");
        for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
        return items;
    }
};

TEST_F(BasicConfig, ShowsAndStoresTheWorkstationSettings) {
    OpenDemo();
    ProgramState& st = State();
    st.dbSLiveAlone = 1;
    st.dbSLogDisable = 1;
    st.dbSLogFileName = QStringLiteral("x.log");
    st.AliveTag.Name.clear();
    SqliteRows(Path("Project/Demo/WS1.pam"), {"INSERT INTO Tag VALUES ('$SYS', 'SYSTEM')"});
    for (int language : {0, 1}) {
        st.LanguageIndex = static_cast<int16_t>(language);
        Run([&](QDialog& dlg) {
            EXPECT_TRUE(Ticked(dlg, "chkLiveAlone"));
            EXPECT_FALSE(Ticked(dlg, "chkLogDisable"));
            EXPECT_EQ(TextOf(dlg, "txtLogFileName"), "");
            EXPECT_FALSE(On(dlg, "txtLogFileName"));
            EXPECT_FALSE(On(dlg, "cmdSelectLogFile"));
            EXPECT_EQ(TextOf(dlg, "txtStopTag"), "STOP");
            EXPECT_FALSE(On(dlg, "txtAliveTag"));
            EXPECT_EQ(TextOf(dlg, "cmdAll"), "列舉 Tag");
            EXPECT_EQ(TextOf(dlg, "chkUserMode"),
                      language == 0 ? "Allow operator to exit Ledgrix" : "允許操作人員結束本程式");
            Click(dlg, "cmdNotListSysTag");
            EXPECT_EQ(Items(dlg).join(u','),
                      "ALIVE,BATCH,ENA,FLOW,LEVEL,NREC,PURGE,SAVING,STOP,TEMP,TRIG,WEIGHT");
            Click(dlg, "cmdAll");
            EXPECT_EQ(Items(dlg).first(), "$SYS");
            Child<QCheckBox>(dlg, "chkLiveAlone").setChecked(false);
            EXPECT_TRUE(Ticked(dlg, "chkLiveAlone"));
            SaveScreen(&dlg, QStringLiteral("frmBasicConfig"), language);
            Click(dlg, "cmdCancel");
        });
        EXPECT_EQ(st.dbSLiveAlone, 1);  // Cancel keeps what was read
    }
    st.LanguageIndex = 0;
    Run([&](QDialog& dlg) {
        Child<QCheckBox>(dlg, "chkAliveTag").setChecked(true);
        SetText(dlg, "txtAliveTag", " LIFE ");
        Child<QCheckBox>(dlg, "chkStopTag").setChecked(false);
        EXPECT_EQ(TextOf(dlg, "txtStopTag"), "");
        Click(dlg, "cmdOK");
        EXPECT_EQ(TextOf(dlg, "txtAliveTag"), "LIFE");
    });
    EXPECT_EQ(st.dbSLiveAlone, 0);
    EXPECT_EQ(st.dbSLogDisable, 1);
    EXPECT_EQ(st.dbSLogFileName, "");
    EXPECT_EQ(st.AliveTag.Name, "LIFE");
    EXPECT_EQ(st.StopTag.Name, "");
    EXPECT_EQ(st.StopTag.ID, -1);
    EXPECT_EQ(Config().IsModified, -1);
}

TEST_F(BasicConfig, RefusesBadTagsAndALogPathThatIsAFolder) {
    Open(QStringLiteral("P"), QStringLiteral("W"));
    ProgramState& st = State();
    st.dbSLogDisable = 0;
    st.dbSLogFileName = QStringLiteral("..\\Project\\P\\cfg\\W\\Ledgrix.log");
    st.StopTag.Name = QStringLiteral("STOP");
    const struct {
        const char* box;
        const char* text;
        const char* message;
    } cases[] = {
        {"txtLogFileName", "..\\Project\\P\\cfg\\",
         "Log path[..\\Project\\P\\cfg\\] error!\r\nThe log path must name a file, not a folder.\r\nPlease "
         "enter the "
         "log path again or cancel the operation."},
        {"txtLogFileName", "..\\Project\\P\\cfg\\W", ""},
        {"txtStopTag", " ",
         "Fail to specify the Tag name!\r\nThe Tag name cannot be blank.\r\nPlease enter Tag name "
         "again or cancel the operation."},
        {"txtStopTag", "ABCDEFGHI",
         "Tag name[ABCDEFGHI] error!\r\nThe length of Tag name cannot exceed 8 characters."
         "\r\nPlease enter Tag name again or cancel the operation."},
        {"txtStopTag", "S.MSG",
         "Tag name[S.MSG] error!\r\nThis function [Runtime Display and Exit control- Exit is "
         "controlled by Tag] does not support this Tag field[MESSAGE].\r\nPlease enter Tag name "
         "again or cancel the operation."},
        {"txtStopTag", "S.Hi", ""},
    };
    Run([&](QDialog& dlg) {
        for (const auto& c : cases) {
            boxes.boxes.clear();
            const QString before = TextOf(dlg, c.box);
            SetText(dlg, c.box, QString::fromUtf8(c.text));
            Click(dlg, "cmdOK");
            ASSERT_TRUE(dlg.isVisible()) << c.text;
            ASSERT_EQ(boxes.boxes.size(), 1u) << c.text;
            if (*c.message) {
                EXPECT_EQ(boxes.boxes[0].text.toStdString(), c.message);
            }
            EXPECT_EQ(FormObj<frmBasicConfig>().mFocusObj, &Child<QWidget>(dlg, c.box));
            SetText(dlg, c.box, before);
        }
        EXPECT_TRUE(boxes.boxes[0].text.contains("Tag field[Hi]"));
        SetText(dlg, "txtStopTag", "ABCDEFGH.value");
        Click(dlg, "cmdOK");
    });
    EXPECT_EQ(st.StopTag.Name, "ABCDEFGH.value");
    EXPECT_EQ(st.dbSLogFileName, "..\\Project\\P\\cfg\\W\\Ledgrix.log");
}

}  // namespace
