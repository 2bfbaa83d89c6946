#include "platform/msgbox/QtMessageService.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
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
    return QStringLiteral("MSGBOX|%1|%2|%3").arg(QString::number(style & ~MsgStyle::FixedPitch), t, body);
}

QString QtMessageService::NextScriptedWord() {
    const QStringList script = qEnvironmentVariable("LEDGRIX_MSGBOX_ANSWERS").split(u',', Qt::SkipEmptyParts);
    const QString word = answered_ < script.size() ? script[answered_] : QString();
    ++answered_;
    return word;
}

int QtMessageService::ScriptedAnswer(const QString& word, int style) {
    const QString w = word.trimmed().toLower();
    if (w == QLatin1String("ok") || w == QLatin1String("yes")) return FirstButtonAnswer(style);
    if (w == QLatin1String("cancel") || w == QLatin1String("no")) return SecondButtonAnswer(style);
    return DefaultAnswer(style);
}

int QtMessageService::Show(const QString& text, int style, const QString& title) {
    if (UseStderr() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        const QByteArray line = (StderrLine(text, style, title) + u'\n').toUtf8();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        std::fflush(stderr);
        return ScriptedAnswer(NextScriptedWord(), style);
    }
    QMessageBox box(IconOf(style), EffectiveTitle(title), text);
    if (style & MsgStyle::FixedPitch) {
        // Preformatted: a fixed-width font, line breaks and blanks kept, so the columns line up.
        box.setTextFormat(Qt::RichText);
        QString lines = text;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        box.setText(QStringLiteral("<pre>") + lines.toHtmlEscaped() + QStringLiteral("</pre>"));
    }
    QMessageBox::StandardButton first = QMessageBox::Ok, second = QMessageBox::NoButton;
    switch (style & MsgStyle::Buttons) {
        case MsgStyle::OkCancel:
            second = QMessageBox::Cancel;
            break;
        case MsgStyle::YesNo:
            first = QMessageBox::Yes;
            second = QMessageBox::No;
            break;
        default:
            break;
    }
    box.setStandardButtons(second == QMessageBox::NoButton ? first : first | second);
    box.setDefaultButton((style & MsgStyle::DefaultButton2) && second != QMessageBox::NoButton ? second
                                                                                               : first);
    box.setEscapeButton(second == QMessageBox::NoButton ? first : second);
    if (qEnvironmentVariable("LEDGRIX_MSGBOX").compare(QStringLiteral("window"), Qt::CaseInsensitive) == 0) {
        // A real window that its scripted answer closes as an operator would: the escape
        // button's answer by closing the window, any other by its button.
        const int answer = ScriptedAnswer(NextScriptedWord(), style);
        QTimer::singleShot(200, &box, [&box, answer, first, second] {
            const QMessageBox::StandardButton pressed =
                answer == MsgAnswer::Cancel || answer == MsgAnswer::No ? second : first;
            if (pressed == box.standardButton(box.escapeButton()) || pressed == QMessageBox::NoButton)
                box.close();
            else if (QAbstractButton* b = box.button(pressed))
                b->click();
        });
    }
    switch (box.exec()) {
        case QMessageBox::Cancel:
            return MsgAnswer::Cancel;
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        default:
            return MsgAnswer::Ok;
    }
}

void InstallQtMessageService() {
    static QtMessageService service;
    ProgramHooks::SetMessageService(&service);
}
