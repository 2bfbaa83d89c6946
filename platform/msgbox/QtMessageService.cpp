#include "platform/msgbox/QtMessageService.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

namespace {

QString EffectiveTitle(const QString& title) {
    if (!title.isEmpty()) return title;
    const QString app = QCoreApplication::applicationName();
    return app.isEmpty() ? QStringLiteral("Ledgrix") : app;
}

QMessageBox::Icon IconOf(int style) {
    switch (style & 0x70) {
        case MsgStyle::Critical:
            return QMessageBox::Critical;
        case MsgStyle::Question:
            return QMessageBox::Question;
        case MsgStyle::Exclamation:
            return QMessageBox::Warning;
        case MsgStyle::Information:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// The next answer of LEDGRIX_MSGBOX_ANSWERS ("ok" or "cancel", comma-separated, one per box in
// order) for the headless modes; OK when none is left.
int NextHeadlessAnswer() {
    static int next = 0;
    const QStringList answers =
        qEnvironmentVariable("LEDGRIX_MSGBOX_ANSWERS").split(u',', Qt::SkipEmptyParts);
    if (next >= answers.size()) return MsgAnswer::Ok;
    return answers[next++].trimmed().compare(QStringLiteral("cancel"), Qt::CaseInsensitive) == 0
               ? MsgAnswer::Cancel
               : MsgAnswer::Ok;
}

}  // namespace

bool QtMessageService::UseStderr() {
    return qEnvironmentVariable("LEDGRIX_MSGBOX").compare(QStringLiteral("stderr"), Qt::CaseInsensitive) == 0;
}

QString QtMessageService::StderrLine(const QString& text, int style, const QString& title) {
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    body.replace(QChar(u'\r'), QStringLiteral("\\n"));
    body.replace(QChar(u'\n'), QStringLiteral("\\n"));
    QString t = EffectiveTitle(title);
    t.replace(QChar(u'\r'), QChar(u' ')).replace(QChar(u'\n'), QChar(u' '));
    return QStringLiteral("MSGBOX|%1|%2|%3").arg(QString::number(style), t, body);
}

int QtMessageService::Show(const QString& text, int style, const QString& title) {
    if (UseStderr() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        const QByteArray line = (StderrLine(text, style, title) + u'\n').toUtf8();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        std::fflush(stderr);
        return NextHeadlessAnswer();
    }
    QMessageBox box(IconOf(style), EffectiveTitle(title), text);
    if ((style & 0x0F) == MsgStyle::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    if (qEnvironmentVariable("LEDGRIX_MSGBOX").compare(QStringLiteral("window"), Qt::CaseInsensitive) == 0) {
        // A real window that its next headless answer closes as an operator would: the answer of
        // the box's escape button by closing its window, OK by its button.
        const int answer = NextHeadlessAnswer();
        QTimer::singleShot(200, &box, [&box, answer] {
            const bool escape = box.button(QMessageBox::Cancel) ? answer == MsgAnswer::Cancel : true;
            if (escape)
                box.close();
            else
                box.button(QMessageBox::Ok)->click();
        });
    }
    return box.exec() == QMessageBox::Cancel ? MsgAnswer::Cancel : MsgAnswer::Ok;
}

void InstallQtMessageService() {
    static QtMessageService service;
    ProgramHooks::SetMessageService(&service);
}
