#include "common/Texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include "common/ProgramState.h"

QString Tx(const TextPair& pair, int languageIndex) {
    return QString::fromUtf8(languageIndex == 1 ? pair.zh : pair.en);
}

QString Tx(const TextPair& pair) {
    return Tx(pair, State().LanguageIndex);
}

void UseToolkitTranslations(int languageIndex) {
    static QPointer<QTranslator> chinese;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    if (chinese) QCoreApplication::removeTranslator(chinese);
    if (languageIndex != 1) return;
    if (!chinese) {
        auto* loaded = new QTranslator(app);
        if (!loaded->load(QStringLiteral("qtbase_zh_TW"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            delete loaded;
            return;
        }
        chinese = loaded;
    }
    QCoreApplication::installTranslator(chinese);
}
