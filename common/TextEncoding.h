// The text of settings files. Files are UTF-8; a file that is not valid UTF-8 comes from a
// Traditional Chinese Windows desktop and is Big5 (code page 950, from the ICU converters that
// Qt uses). Both programs read every settings file through this one rule.
#pragma once
#include <QByteArray>
#include <QString>
#include <vector>

namespace TextEncoding {

enum class Encoding { Utf8, Big5 };

// UTF-8 when the bytes are valid UTF-8 (with or without a BOM), else Big5.
Encoding Detect(const QByteArray& bytes);
// The text of bytes in an encoding, a UTF-8 BOM skipped. A Big5 byte sequence that stands for no
// character reads as U+FFFD. With `starts`: for every UTF-16 position of the text the offset of
// the first byte of its character, and at position text.size() the number of bytes.
QString Decode(const QByteArray& bytes, Encoding encoding, std::vector<qsizetype>* starts = nullptr);
// Detect and Decode.
QString Decode(const QByteArray& bytes);
// The bytes of a text in an encoding. False when the encoding cannot hold a character of the
// text; `why` then names the first such character.
bool Encode(const QString& text, Encoding encoding, QByteArray& bytes, QString* why = nullptr);

}  // namespace TextEncoding
