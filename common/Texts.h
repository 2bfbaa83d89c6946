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

// The texts of the toolkit's own windows (the standard buttons of message boxes, the file
// dialogs) in the program's language: its Traditional Chinese translations for index 1, its
// English texts otherwise. Each program calls it once its language is known.
void UseToolkitTranslations(int languageIndex);
