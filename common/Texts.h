// Every caption and message exists in English and Traditional Chinese. Texts are kept in tables
// of such pairs beside the code that shows them; the language index picks one.
#pragma once
#include <QString>

struct TextPair {
    const char* en;
    const char* zh;
};

// The text for the current language index (0 English, 1 Traditional Chinese).
QString Tx(const TextPair& pair);
// The text for a given language index.
QString Tx(const TextPair& pair, int languageIndex);
