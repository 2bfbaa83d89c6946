#include "common/TextEncoding.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

namespace TextEncoding {
namespace {

const char kBig5[] = "Big5";
const QByteArray kBom("\xEF\xBB\xBF");

// A Big5 character is one byte, or a lead byte 0x81-0xFE with a trail byte 0x40-0x7E or
// 0xA1-0xFE. Each is decoded by itself, so every character knows its bytes and a stray byte
// spoils no more than itself.
qsizetype Big5Length(const QByteArray& b, qsizetype i) {
    const auto lead = static_cast<uchar>(b[i]);
    if (lead < 0x81 || lead > 0xFE || i + 1 >= b.size()) return 1;
    const auto trail = static_cast<uchar>(b[i + 1]);
    return (trail >= 0x40 && trail <= 0x7E) || (trail >= 0xA1 && trail <= 0xFE) ? 2 : 1;
}

qsizetype Utf8Length(uchar lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    return 2;
}

}  // namespace

Encoding Detect(const QByteArray& bytes) {
    return QByteArrayView(bytes).isValidUtf8() ? Encoding::Utf8 : Encoding::Big5;
}

QString Decode(const QByteArray& bytes, Encoding encoding, std::vector<qsizetype>* starts) {
    if (starts) starts->clear();
    qsizetype i = encoding == Encoding::Utf8 && bytes.startsWith(kBom) ? kBom.size() : 0;
    if (encoding == Encoding::Utf8 && !starts)
        return QString::fromUtf8(bytes.constData() + i, bytes.size() - i);
    QString text;
    text.reserve(bytes.size() - i);
    // Stateless: every character is decoded whole and by itself.
    QStringDecoder big5(kBig5, QStringConverter::Flag::Stateless);
    while (i < bytes.size()) {
        const auto c = static_cast<uchar>(bytes[i]);
        qsizetype length = 1;
        if (c < 0x80) {
            text += QChar(c);
        } else if (encoding == Encoding::Utf8) {
            length = std::min(Utf8Length(c), bytes.size() - i);
            text += QString::fromUtf8(bytes.constData() + i, length);
        } else {
            length = Big5Length(bytes, i);
            const QString character =
                big5.isValid() ? big5.decode(QByteArrayView(bytes.constData() + i, length)) : QString();
            text += character.isEmpty() ? QString(QChar::ReplacementCharacter) : character;
        }
        if (starts) starts->resize(static_cast<size_t>(text.size()), i);
        i += length;
    }
    if (starts) starts->push_back(bytes.size());
    return text;
}

QString Decode(const QByteArray& bytes) {
    return Decode(bytes, Detect(bytes));
}

bool Encode(const QString& text, Encoding encoding, QByteArray& bytes, QString* why) {
    if (encoding == Encoding::Utf8) {
        bytes = text.toUtf8();
        return true;
    }
    QStringEncoder big5(kBig5, QStringConverter::Flag::Stateless);
    bytes = big5.isValid() ? QByteArray(big5.encode(text)) : QByteArray();
    if (big5.isValid() && !big5.hasError()) return true;
    bytes.clear();
    if (!why) return false;
    // The first character that has no Big5 bytes.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QStringEncoder one(kBig5, QStringConverter::Flag::Stateless);
        (void)QByteArray(one.encode(QStringView(text).mid(i, n)));
        if (!one.isValid() || one.hasError()) {
            const QString character = text.mid(i, n);
            *why = QStringLiteral("Big5 text cannot hold \"") + character + QStringLiteral("\" (U+") +
                   QString::number(character.toUcs4().value(0), 16).toUpper().rightJustified(4, u'0') + u')';
            break;
        }
        i += n - 1;
    }
    return false;
}

}  // namespace TextEncoding
