#include "saver/runtime/window/LogList.h"

#include <QFontMetricsF>
#include <QHash>
#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "saver/SaverState.h"
#include "saver/runtime/window/frmMain.h"

namespace {

constexpr int kMaxDisplayChars = 500;
constexpr int kMaxListLines = 21;

// Widths of log lines in the window's font. Shaping a whole line of several hundred characters
// costs more than the rest of a record's work, so a line of plain characters (Latin, CJK) is
// measured from the shaped widths of its characters and of each neighbouring pair (which carry
// the kerning), every one shaped once. A line with other characters is shaped whole.
class LineWidths {
  public:
    int Width(const QFont& font, QStringView line) {
        if (!metrics_ || font != font_) Reset(font);
        if (line.isEmpty()) return 0;
        for (const QChar c : line)
            if (!IsPlain(c.unicode())) return qRound(metrics_->horizontalAdvance(line.toString()));
        // The sum of the pairs' widths counts every inner character twice.
        qreal width = Single(line[0].unicode());
        for (qsizetype i = 1; i < line.size(); ++i) {
            const char16_t a = line[i - 1].unicode(), b = line[i].unicode();
            width += Pair(a, b) - Single(a);
        }
        return qRound(width);
    }

  private:
    static bool IsPlain(char16_t c) {
        return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF) || (c >= 0x3000 && c <= 0x303F) ||
               (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xFF00 && c <= 0xFFEF);
    }
    void Reset(const QFont& font) {
        font_ = font;
        metrics_ = std::make_unique<QFontMetricsF>(font);
        singles_.clear();
        pairs_.clear();
        latinSingles_.fill(-1);
        latinPairs_.assign(256 * 256, -1);
    }
    qreal Shaped(QStringView text) const { return metrics_->horizontalAdvance(text.toString()); }
    qreal Single(char16_t c) {
        if (c < 256) {
            qreal& w = latinSingles_[c];
            if (w < 0) w = Shaped(QStringView(&c, 1));
            return w;
        }
        const auto it = singles_.constFind(c);
        if (it != singles_.cend()) return *it;
        return *singles_.insert(c, Shaped(QStringView(&c, 1)));
    }
    qreal Pair(char16_t a, char16_t b) {
        const char16_t pair[2] = {a, b};
        if (a < 256 && b < 256) {
            qreal& w = latinPairs_[static_cast<size_t>(a) * 256 + b];
            if (w < 0) w = Shaped(QStringView(pair, 2));
            return w;
        }
        const uint32_t key = (uint32_t{a} << 16) | b;
        const auto it = pairs_.constFind(key);
        if (it != pairs_.cend()) return *it;
        return *pairs_.insert(key, Shaped(QStringView(pair, 2)));
    }

    QFont font_;
    std::unique_ptr<QFontMetricsF> metrics_;
    QHash<char16_t, qreal> singles_;
    QHash<uint32_t, qreal> pairs_;
    std::array<qreal, 256> latinSingles_{};  // Latin-1 characters; -1 until shaped
    std::vector<qreal> latinPairs_;          // pairs of Latin-1 characters; -1 until shaped
};

// The width of a text in the window's font: the widest of its lines.
int TextWidth(const QFont& font, const QString& text) {
    static LineWidths widths;
    int widest = 0;
    QStringView rest(text);
    for (;;) {
        const qsizetype nl = rest.indexOf(u'\n');
        QStringView line = nl < 0 ? rest : rest.left(nl);
        if (line.endsWith(u'\r')) line.chop(1);
        widest = std::max(widest, widths.Width(font, line));
        if (nl < 0) break;
        rest = rest.mid(nl + 1);
    }
    return widest;
}

QStringList g_held;    // lines for the list while it is held, the newest last, at most a listful
int g_heldWidest = 0;  // the widest of the held lines that no longer fit the list

// Adds lines to the list, which keeps the newest kMaxListLines with the newest selected. The
// horizontal extent follows the widest line so far (`widest` is that of lines not shown) and
// never shrinks.
void ShowInList(frmMain& form, const QStringList& lines, int widest = 0) {
    LogListBox* list = form.ListBoxResult;
    for (const QString& line : lines) widest = std::max(widest, TextWidth(form.font(), line));
    SaverState& sv = Saver();
    if (widest > sv.LogListMaxWidth) {
        sv.LogListMaxWidth = widest;
        list->SetHorizontalExtent(sv.LogListMaxWidth);
    }
    list->HoldRepaint();
    const int surplus = static_cast<int>(list->count() + lines.size()) - kMaxListLines;
    if (surplus > 0) list->model()->removeRows(0, surplus);
    list->addItems(lines);
    list->setCurrentRow(list->count() - 1);
    // A list out of view scrolls to its current line when it is shown again.
    if (list->isVisible()) list->scrollToItem(list->item(list->count() - 1));
}

}  // namespace

namespace LogList {

void AddLine(const QString& text, bool held) {
    frmMain& form = MainForm();
    const QString display =
        text.size() > kMaxDisplayChars ? text.left(kMaxDisplayChars) + QStringLiteral(" ...") : text;
    if (!held) {
        ShowInList(form, QStringList{display});
    } else {
        g_held.append(display);
        if (g_held.size() > kMaxListLines)
            g_heldWidest = std::max(g_heldWidest, TextWidth(form.font(), g_held.takeFirst()));
    }
}

void ShowHeldLines() {
    if (g_held.isEmpty()) return;
    const QStringList lines = std::exchange(g_held, QStringList());
    ShowInList(MainForm(), lines, std::exchange(g_heldWidest, 0));
}

}  // namespace LogList
