#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryFile>
#include <QTimer>
#include <cstdio>

#include "common/Texts.h"
#include "platform/msgbox/QtMessageService.h"
#include "tests/support/Screens.h"

namespace {

TEST(QtMessageServiceTest, BoxIsAsWideAsItsTitleWithButtonsInTheProgramsLanguage) {
    const QString title = QStringLiteral("Ledgrix config- Settings of Data group [Cyclic1s]");
    for (int language : {0, 1}) {
        UseToolkitTranslations(language);
        const auto box =
            QtMessageService::MakeBox(QStringLiteral("Saved."), MsgStyle::Question | MsgStyle::YesNo,
                                      language == 0 ? title : QStringLiteral("儲存專案"));
        box->adjustSize();
        EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->windowTitle()));
        EXPECT_EQ(box->button(QMessageBox::No)->text(), language == 0 ? "&No" : "否(&N)");
        SaveScreen(box.get(), QStringLiteral("MsgBox"), language);
    }
    UseToolkitTranslations(0);
}

TEST(QtMessageServiceTest, HeadlessBoxesAreOneStderrLineAnsweredOk) {
    EXPECT_EQ(
        QtMessageService::StderrLine(QStringLiteral("first\r\nsecond\nthird"), 16, QStringLiteral("Title")),
        QStringLiteral("MSGBOX|16|Title|first\\nsecond\\nthird"));
    EXPECT_EQ(QtMessageService::StderrLine(QStringLiteral("..\\Project\\x"), 48, QStringLiteral("T")),
              QStringLiteral("MSGBOX|48|T|..\\Project\\x"));
    EXPECT_EQ(
        QtMessageService::StderrLine(QStringLiteral("usage"), 64 | MsgStyle::FixedPitch, QStringLiteral("T")),
        QStringLiteral("MSGBOX|64|T|usage"));

    QTemporaryFile capture;
    ASSERT_TRUE(capture.open());
    std::fflush(stderr);
    const int saved = dup(fileno(stderr));
    ASSERT_GE(saved, 0);
    dup2(capture.handle(), fileno(stderr));
    qputenv("LEDGRIX_MSGBOX", "stderr");
    QtMessageService service;
    const int answer = service.Show(QStringLiteral("Will you close the program?\r\n中文"),
                                    MsgStyle::Critical | MsgStyle::OkCancel, QStringLiteral("連線"));
    qunsetenv("LEDGRIX_MSGBOX");
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);

    EXPECT_EQ(answer, MsgAnswer::Ok);
    QFile written(capture.fileName());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()),
              QStringLiteral("MSGBOX|17|連線|Will you close the program?\\n中文\n"));
}

TEST(QtMessageServiceTest, HeadlessBoxesTakeTheScriptedAnswersInOrderThenTheirDefault) {
    qputenv("LEDGRIX_MSGBOX", "stderr");
    qputenv("LEDGRIX_MSGBOX_ANSWERS", "no,CANCEL,yes,bogus");
    QtMessageService service;
    const int yesNo = MsgStyle::Question | MsgStyle::YesNo;
    EXPECT_EQ(service.Show(QStringLiteral("a"), yesNo, QString()), MsgAnswer::No);
    EXPECT_EQ(service.Show(QStringLiteral("b"), MsgStyle::OkCancel, QString()), MsgAnswer::Cancel);
    EXPECT_EQ(service.Show(QStringLiteral("c"), MsgStyle::OkOnly, QString()), MsgAnswer::Ok);
    EXPECT_EQ(service.Show(QStringLiteral("d"), yesNo, QString()),
              MsgAnswer::Yes);  // not an answer: the default
    EXPECT_EQ(service.Show(QStringLiteral("e"), yesNo | MsgStyle::DefaultButton2, QString()), MsgAnswer::No);
    EXPECT_EQ(service.Show(QStringLiteral("f"), MsgStyle::OkCancel, QString()), MsgAnswer::Ok);
    qunsetenv("LEDGRIX_MSGBOX_ANSWERS");
    qunsetenv("LEDGRIX_MSGBOX");
}

TEST(QtMessageServiceTest, FixedPitchBoxesShowTheirTextAsWritten) {
    qputenv("LEDGRIX_MSGBOX", "window");
    QString shown;
    QTimer::singleShot(50, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) shown = box->text();
    });
    QtMessageService service;
    EXPECT_EQ(service.Show(QStringLiteral("  /NT    no <window>\r\n  /ONCE  once"),
                           MsgStyle::Information | MsgStyle::FixedPitch, QStringLiteral("Help")),
              MsgAnswer::Ok);
    qunsetenv("LEDGRIX_MSGBOX");
    EXPECT_EQ(shown, QStringLiteral("<pre>  /NT    no &lt;window&gt;\n  /ONCE  once</pre>"));
}

}  // namespace
