#include "platform/msgbox/QtMessageService.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <utility>

#include "platform/msgbox/OwnerWindow.h"

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

// The first and the second button of a style; the second is none for an OK box.
std::pair<QMessageBox::StandardButton, QMessageBox::StandardButton> ButtonsOf(int style) {
    switch (style & MsgStyle::Buttons) {
        case MsgStyle::OkCancel:
            return {QMessageBox::Ok, QMessageBox::Cancel};
        case MsgStyle::YesNo:
            return {QMessageBox::Yes, QMessageBox::No};
        default:
            return {QMessageBox::Ok, QMessageBox::NoButton};
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
    const std::unique_ptr<QMessageBox> made = MakeBox(text, style, title);
    QMessageBox& box = *made;
    const auto buttons = ButtonsOf(style);
    const QMessageBox::StandardButton first = buttons.first, second = buttons.second;
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

std::unique_ptr<QMessageBox> QtMessageService::MakeBox(const QString& text, int style, const QString& title) {
    auto box = std::make_unique<QMessageBox>(IconOf(style), EffectiveTitle(title), text,
                                             QMessageBox::NoButton, OwnerWindow());
    const auto [first, second] = ButtonsOf(style);
    box->setStandardButtons(second == QMessageBox::NoButton ? first : first | second);
    box->setDefaultButton((style & MsgStyle::DefaultButton2) && second != QMessageBox::NoButton ? second
                                                                                                : first);
    box->setEscapeButton(second == QMessageBox::NoButton ? first : second);
    if (style & MsgStyle::FixedPitch) {
        // Preformatted: a fixed-width font, line breaks and blanks kept, so the columns line up.
        box->setTextFormat(Qt::RichText);
        QString lines = text;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        box->setText(QStringLiteral("<pre>") + lines.toHtmlEscaped() + QStringLiteral("</pre>"));
    }
    // The window is at least as wide as its title and the title bar's icon and buttons, so the
    // window manager does not cut the title short.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(new QSpacerItem(TitleBarWidth(*box), 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box;
}

void InstallQtMessageService() {
    static QtMessageService service;
    InstallMessageService(&service);
}
