#include "config/groupedit/CsvLineEnd.h"

#include <QComboBox>

namespace {

struct LineEnd {
    const char* item;
    const char* chars;
};
constexpr LineEnd kLineEnds[] = {{"CR+LF (Windows)", "\r\n"}, {"LF (Linux)", "\n"}, {"CR (MAC)", "\r"}};

}  // namespace

void FillLineEndList(QComboBox& list) {
    list.clear();
    for (const LineEnd& e : kLineEnds) list.addItem(QString::fromLatin1(e.item));
    list.setCurrentIndex(0);
}

void ShowLineEndList(QComboBox& list, bool on) {
    list.setEnabled(on);
    if (on) FillLineEndList(list);
}

QString LineEndItem(const QString& chars) {
    for (const LineEnd& e : kLineEnds)
        if (chars == QLatin1String(e.chars)) return QString::fromLatin1(e.item);
    return QString::fromLatin1(kLineEnds[0].item);
}

QString LineEndChars(const QString& item, const QString& unknown) {
    for (const LineEnd& e : kLineEnds)
        if (item == QLatin1String(e.item)) return QString::fromLatin1(e.chars);
    return unknown;
}
