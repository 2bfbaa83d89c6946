#include "config/groupedit/TypedText.h"

#include <QStringList>

#include "common/ProgramHooks.h"
#include "common/ProgramState.h"

std::optional<TextFault> FindTextFault(const QString& text, bool noComma, bool noDot) {
    if (text.contains(u'\r') || text.contains(u'\n')) return TextFault::LineBreak;
    if (noComma && text.contains(u',')) return TextFault::Comma;
    if (noDot && text.contains(u'.')) return TextFault::Dot;
    return std::nullopt;
}

void ShowTextFault(const QString& what, const QString& text, TextFault fault) {
    const bool en = State().LanguageIndex == 0;
    QString shown = text;
    shown.replace(u'\r', u' ').replace(u'\n', u' ');
    QString reason;
    switch (fault) {
        case TextFault::LineBreak:
            reason = en ? QStringLiteral("The ") + what + QStringLiteral(" cannot contain a line break.")
                        : what + QStringLiteral("中不得含有換行字元。");
            break;
        case TextFault::Comma:
        case TextFault::Dot: {
            const QString mark = fault == TextFault::Comma ? QStringLiteral("[,]") : QStringLiteral("[.]");
            reason = en ? QStringLiteral("The ") + what + QStringLiteral(" cannot contain ") + mark + u'.'
                        : what + QStringLiteral("中不得含有") + mark + QStringLiteral("符號。");
            break;
        }
    }
    const QStringList lines{en ? what + u'[' + shown + QStringLiteral("] error!")
                               : what + u'[' + shown + QStringLiteral("]輸入錯誤!"),
                            reason,
                            en ? QStringLiteral("Please enter ") + what + QStringLiteral(" again.")
                               : QStringLiteral("請重新輸入") + what + u'!'};
    MsgBox(lines.join(QStringLiteral("\r\n")), MsgStyle::Critical | MsgStyle::OkOnly,
           en ? QStringLiteral("Error-") + what : what + QStringLiteral("輸入錯誤"));
}
