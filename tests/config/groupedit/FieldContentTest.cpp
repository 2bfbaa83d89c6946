// The field dialog: how it shows a stored field, which inputs it enables, what its checks
// refuse, what it warns of, and what OK returns.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>

#include "common/ProgramState.h"
#include "config/forms/FormSupport.h"
#include "config/groupedit/frmFieldContent.h"
#include "config/wizard/frmAddNewOfflineField.h"
#include "tests/platform/hexvane-sim/HmiTestProject.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Screens.h"
#include "tests/support/TestSupport.h"

namespace {

struct Field {
    QString type = QStringLiteral("ACCESS");
    QString tag = QStringLiteral("T1");
    QString tagType = QStringLiteral("VALUE");
    bool saveCSV = false;
    bool fixLength = false;
    int16_t dataLength = -1;
    int16_t decimals = -1;
    QString format = QString();
    int16_t messageLength = -1;
};

class FieldContent : public ProgramFixture {
  protected:
    frmFieldContent& form = FormObj<frmFieldContent>();

    void Open(const Field& f, const std::function<void(QDialog&)>& action) {
        NextModal drive(action);
        form.LoadFormObj(f.type, QStringLiteral("Readings"), QStringLiteral("Flow"), f.tag, f.tagType,
                         f.saveCSV, f.fixLength, f.dataLength, f.decimals, f.format, f.messageLength);
    }
    static bool On(QDialog& dlg, const QString& name) { return Child<QWidget>(dlg, name).isEnabled(); }
};

TEST_F(FieldContent, OpensAStoredFieldAsItWasSavedAndReturnsItOnOk) {
    Open({.tagType = "MSG", .messageLength = 20}, [&](QDialog& dlg) {
        EXPECT_EQ(TextOf(dlg, "cmbTagType"), "MESSAGE");
        EXPECT_TRUE(Child<QCheckBox>(dlg, "chkUseDataFormat").isChecked());
        EXPECT_EQ(TextOf(dlg, "txtMessageLength"), "20");
        EXPECT_EQ(TextOf(dlg, "lblTableName"), "Readings");
        Click(dlg, "cmdOK");
    });
    EXPECT_EQ(form.mString, kResultOK);
    EXPECT_EQ(form.mTagName, "T1");
    EXPECT_EQ(form.mTagType, "MESSAGE");
    EXPECT_EQ(form.mMessageLength, 20);
    EXPECT_EQ(form.mDecimalPlaces, -1);

    Open({.tag = "^datetime", .tagType = "DATETIME", .format = "HH:mm"}, [&](QDialog& dlg) {
        EXPECT_TRUE(Child<QRadioButton>(dlg, "optSaveDateTime").isChecked());
        EXPECT_FALSE(On(dlg, "txtTagName"));
        EXPECT_EQ(TextOf(dlg, "txtTagName"), "");
        EXPECT_EQ(TextOf(dlg, "cmbDatetimeFormat"), "HH:mm");
        EXPECT_TRUE(On(dlg, "cmbDatetimeFormat"));
        Click(dlg, "cmdOK");
    });
    EXPECT_EQ(form.mTagName, "^DateTime");
    EXPECT_EQ(form.mTagType, "DATETIME");
    EXPECT_EQ(form.mDatetimeFormat, "HH:mm");

    // Nothing custom: the format inputs are ignored, and -1 and an empty format come back.
    Open({}, [&](QDialog& dlg) {
        EXPECT_FALSE(Child<QCheckBox>(dlg, "chkUseDataFormat").isChecked());
        EXPECT_EQ(TextOf(dlg, "txtDecimalPlaces"), "");
        EXPECT_EQ(TextOf(dlg, "cmbDatetimeFormat"), "yyyy/MM/dd HH:mm:ss");
        SetText(dlg, "txtMessageLength", "x");
        Click(dlg, "cmdOK");
    });
    EXPECT_EQ(form.mString, kResultOK);
    EXPECT_EQ(form.mDecimalPlaces, -1);
    EXPECT_EQ(form.mMessageLength, -1);
    EXPECT_EQ(form.mDatetimeFormat, "");
    EXPECT_EQ(form.mDataLength, -1);
}

TEST_F(FieldContent, EnablesTheInputsThatTheSourceAndPartUse) {
    Open({}, [&](QDialog& dlg) {
        // A part is kept as typed: no completion from the list as the box loses the focus.
        auto& part = Child<QComboBox>(dlg, "cmbTagType");
        for (const char* typed : {"d", "value"}) {
            part.lineEdit()->clear();
            for (const QChar c : QString::fromLatin1(typed)) {  // typed key by key
                QKeyEvent key(QEvent::KeyPress, Qt::Key_A + (c.toUpper().unicode() - 'A'), Qt::NoModifier, c);
                QCoreApplication::sendEvent(part.lineEdit(), &key);
            }
            emit part.lineEdit()->editingFinished();
            EXPECT_EQ(part.currentText(), typed);
        }
        SetText(dlg, "cmbTagType", "VALUE");
        for (const char* input :
             {"txtDecimalPlaces", "txtMessageLength", "cmbDatetimeFormat", "frmFormatSetting"})
            EXPECT_FALSE(On(dlg, input)) << input;
        Child<QCheckBox>(dlg, "chkUseDataFormat").setChecked(true);  // by code: its handler still runs
        EXPECT_TRUE(On(dlg, "txtDecimalPlaces"));
        EXPECT_FALSE(On(dlg, "txtMessageLength"));
        SetText(dlg, "cmbTagType", "MESSAGE");
        EXPECT_FALSE(On(dlg, "txtDecimalPlaces"));
        EXPECT_TRUE(On(dlg, "txtMessageLength"));
        SetText(dlg, "cmbTagType", "value");  // any letter case, as the checks read the part
        EXPECT_FALSE(On(dlg, "txtMessageLength"));
        EXPECT_TRUE(On(dlg, "txtDecimalPlaces"));
        SetText(dlg, "cmbTagType", "msg");  // no part here: the groups stay as they were
        EXPECT_TRUE(On(dlg, "txtDecimalPlaces"));
        Child<QRadioButton>(dlg, "optSaveDateTime").setChecked(true);
        EXPECT_TRUE(On(dlg, "cmbDatetimeFormat"));
        EXPECT_FALSE(On(dlg, "txtTagName"));
        EXPECT_FALSE(On(dlg, "cmbTagType"));
        EXPECT_FALSE(On(dlg, "txtDataLength"));
        Click(dlg, "cmdCancel");
    });
    EXPECT_EQ(form.mString, "");
}

TEST_F(FieldContent, ChecksRefuseBadInputWithTheirMessageAndFocus) {
    struct Case {
        Field field;
        std::function<void(QDialog&)> type;
        QString text;
        const char* focus;
    };
    auto custom = [](QDialog& dlg, const char* part, const char* box, const char* value) {
        Child<QCheckBox>(dlg, "chkUseDataFormat").setChecked(true);
        SetText(dlg, "cmbTagType", part);
        SetText(dlg, box, value);
    };
    const QString failed = "Fail to modify the data field.\r\n";
    const std::vector<Case> cases = {
        {{},
         [](QDialog& d) { SetText(d, "txtTagName", "ABCDEFGHI"); },
         failed + "The length of Tag name cannot exceed 8 characters.\r\nPlease specify the Tag name.",
         "txtTagName"},
        {{},
         [](QDialog& d) { SetText(d, "txtTagName", " T.1 "); },
         "Fail to modify the data field!\r\nThe Tag name[T.1] cannot contain [.]!\r\nPlease specify the Tag "
         "name.",
         "txtTagName"},
        {{},
         [](QDialog& d) { SetText(d, "txtTagName", "T,1"); },
         failed + "The Tag name[T,1] cannot contain [,]!\r\nPlease specify the Tag name.",
         "txtTagName"},
        {{},
         [](QDialog& d) { SetText(d, "txtTagName", "T\n1"); },
         failed + "The Tag name cannot contain a line break.\r\nPlease specify the Tag name.",
         "txtTagName"},
        {{},
         [](QDialog& d) { SetText(d, "txtTagName", "   "); },
         failed + "the Tag name cannot be blank.\r\nPlease specify the Tag name.",
         "txtTagName"},
        {{.tagType = "FOO"},
         [](QDialog&) {},
         failed + "The Tag field cannot be blank.\r\nPlease specify the Tag field.",
         nullptr},
        {{},
         [&](QDialog& d) { custom(d, "VALUE", "txtDecimalPlaces", "-1"); },
         failed + "The decimal places must be greater than or equal to zero.\r\nPlease specify the decimal "
                  "places.",
         "txtDecimalPlaces"},
        {{},
         [&](QDialog& d) { custom(d, "VALUE", "txtDecimalPlaces", "40000"); },
         failed + "The decimal places must be a number.\r\nPlease specify the decimal places.",
         "txtDecimalPlaces"},
        {{},
         [&](QDialog& d) { custom(d, "MESSAGE", "txtMessageLength", "0"); },
         failed + "The message length must be greater than zero.\r\nPlease specify the message length.",
         "txtMessageLength"},
        {{},
         [&](QDialog& d) { custom(d, "DATETIME", "cmbDatetimeFormat", "   "); },
         failed + "The datetime Format cannot be blank.\r\nPlease specify the datetime format.",
         "cmbDatetimeFormat"},
        {{},
         [&](QDialog& d) { custom(d, "DATETIME", "cmbDatetimeFormat", "yyyy,MM"); },
         failed + "The datetime Format[yyyy,MM] cannot contain [,]!\r\nPlease specify the datetime format.",
         "cmbDatetimeFormat"},
        {{.type = "CSV", .fixLength = true},
         [](QDialog&) {},
         failed + "The data length cannot be blank.\r\nPlease specify the data length.",
         "txtDataLength"},
    };
    for (const Case& c : cases) {
        boxes.boxes.clear();
        Open(c.field, [&](QDialog& dlg) {
            c.type(dlg);
            Click(dlg, "cmdOK");
            EXPECT_TRUE(dlg.isVisible()) << c.text.toStdString();
            EXPECT_EQ(form.mFocusObj ? form.mFocusObj->objectName() : QString(),
                      QString::fromLatin1(c.focus));
            Click(dlg, "cmdCancel");
        });
        ASSERT_EQ(boxes.boxes.size(), 1u) << c.text.toStdString();
        EXPECT_EQ(boxes.boxes[0].text, c.text);
        EXPECT_EQ(boxes.boxes[0].title, "Error - modify the data field");
        EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Critical);
        EXPECT_EQ(form.mString, "");
    }
}

TEST_F(FieldContent, ReturnsNumbersRoundedHalfToEvenAndTheFormatAsTyped) {
    for (auto [typed, stored] : {std::pair{"2.5", 2}, {"3.5", 4}, {"0", 0}}) {
        Open({.type = "CSV", .fixLength = true, .dataLength = 12}, [&](QDialog& dlg) {
            EXPECT_EQ(TextOf(dlg, "txtDataLength"), "12");
            Child<QCheckBox>(dlg, "chkUseDataFormat").setChecked(true);
            SetText(dlg, "txtDecimalPlaces", typed);
            Click(dlg, "cmdOK");
        });
        EXPECT_EQ(form.mDecimalPlaces, stored) << typed;
        EXPECT_EQ(form.mDataLength, 12);
    }
    Open({.tag = "^DATETIME", .format = "  HH:mm"}, [&](QDialog& dlg) { Click(dlg, "cmdOK"); });
    EXPECT_EQ(form.mDatetimeFormat, "  HH:mm");
    // Type CSV without fixed length: no data length.
    Open({.type = "CSV", .dataLength = 12}, [&](QDialog& dlg) { Click(dlg, "cmdOK"); });
    EXPECT_EQ(form.mDataLength, -1);
}

TEST_F(FieldContent, SpeaksTheLanguageAndPlacesTheCsvFrame) {
    int heightWithout = 0;
    Open({}, [&](QDialog& dlg) {
        EXPECT_FALSE(Child<QGroupBox>(dlg, "frmCSVSettings").isVisible());
        heightWithout = dlg.height();
        Click(dlg, "cmdCancel");
    });
    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        Open({.type = "CSV", .saveCSV = true, .fixLength = true, .dataLength = 8, .decimals = 2},
             [&](QDialog& dlg) {
                 EXPECT_TRUE(Child<QGroupBox>(dlg, "frmCSVSettings").isVisible());
                 EXPECT_GT(dlg.height(), heightWithout);
                 EXPECT_FALSE(On(dlg, "Label4"));
                 EXPECT_EQ(TextOf(dlg, "Label1"), language == 0 ? "Data Title" : "資料抬頭");
                 EXPECT_EQ(TextOf(dlg, "cmbTagType"), language == 0 ? "VALUE" : "數值");
                 SaveScreen(&dlg, QStringLiteral("frmFieldContent"), language);
                 SetText(dlg, "txtTagName", "");
                 Click(dlg, "cmdOK");
                 Click(dlg, "cmdCancel");
             });
    }
    EXPECT_EQ(form.mFieldCaption, "資料抬頭");
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].text, "修改存檔欄位失敗!\r\nTag 名稱不得為空白!\r\n請重新輸入Tag 名稱!");
    EXPECT_EQ(boxes.boxes[1].title, "修改存檔欄位失敗");
}

TEST_F(FieldContent, WarnsWithoutRefusingATagThatTheProjectsTagListLacks) {
    State().ProjectName = "P";
    State().WorkstationName = "W";
    ASSERT_TRUE(WriteTagDatabase(Path("Project/P/W.pam"), {{"FLOW", "ANALOG"}, {"CLOCK", "SYSTEM"}}));
    for (const char* tag : {"flow", "CLOCK", "FLOWW"})
        Open({.tag = tag}, [&](QDialog& dlg) { Click(dlg, "cmdOK"); });
    EXPECT_EQ(form.mString, kResultOK);
    EXPECT_EQ(form.mTagName, "FLOWW");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              "The Tag name[FLOWW] is not defined in the HMI project[P].\r\nUntil it is defined, the saver "
              "records -1 for this field.\r\nPlease check the Tag name.");
    EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Exclamation);

    // The dialog that adds a field off line warns alike.
    State().LanguageIndex = 1;
    auto& add = FormObj<frmAddNewOfflineField>();
    NextModal drive([&](QDialog& dlg) {
        SetText(dlg, "cmbFieldName", "Level");
        SetText(dlg, "txtTagName", "LEVEL");
        Click(dlg, "cmdOK");
    });
    add.LoadFormObj(true, false, false, "ACCESS", QString(), QString(), QString(), QString(), QString(),
                    false);
    EXPECT_EQ(add.mString, kResultOK);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].title, "警告 - Tag 在圖控中未定義");
    EXPECT_TRUE(boxes.boxes[1].text.startsWith("圖控專案 [P] 中未定義 Tag 名稱 [LEVEL]。\r\n"));
}

}  // namespace
