#include "common/Texts.h"

#include "common/ProgramState.h"

QString Tx(const TextPair& pair, int languageIndex) {
    return QString::fromUtf8(languageIndex == 1 ? pair.zh : pair.en);
}

QString Tx(const TextPair& pair) {
    return Tx(pair, State().LanguageIndex);
}
