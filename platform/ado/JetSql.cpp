#include "platform/ado/JetSql.h"

#include <QDate>
#include <QRegularExpression>
#include <QSet>
#include <QTime>
#include <cmath>
#include <vector>

namespace ado::jet {

namespace {

enum class Kind { Space, Text, Quoted, Bracket, Word, Number, Punct, End };

// A token: a view into the statement, or a text of its own once rewritten.
struct Token {
    Kind kind;
    QStringView view;
    QString own;
    bool owns = false;

    QStringView Text() const { return owns ? QStringView(own) : view; }
    void Set(QString text) {
        own = std::move(text);
        owns = true;
    }
};

Token Rewritten(Kind kind, QString text) {
    Token t{kind, {}, {}, false};
    t.Set(std::move(text));
    return t;
}

bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

std::vector<Token> Tokenize(const QString& s) {
    std::vector<Token> out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s[i];
        qsizetype j = i + 1;
        Kind k = Kind::Punct;
        if (c.isSpace()) {
            while (j < n && s[j].isSpace()) ++j;
            k = Kind::Space;
        } else if (c == u'\'' || c == u'"') {
            // A quoted text; a doubled quote stands for one.
            k = c == u'\'' ? Kind::Text : Kind::Quoted;
            while (j < n) {
                if (s[j] == c) {
                    if (j + 1 < n && s[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
        } else if (c == u'[') {
            // A bracketed name; a doubled "]" stands for one.
            k = Kind::Bracket;
            while (j < n) {
                if (s[j] == u']') {
                    if (j + 1 < n && s[j + 1] == u']') {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
        } else if (c == u'#') {
            // A date literal when a closing "#" follows on the same line.
            const qsizetype e = s.indexOf(u'#', i + 1);
            const qsizetype nl = s.indexOf(u'\n', i + 1);
            if (e > i && (nl < 0 || e < nl) && IsoDateText(s.mid(i + 1, e - i - 1), true)) {
                out.push_back(Rewritten(
                    Kind::Text,
                    QStringLiteral("'") + *IsoDateText(s.mid(i + 1, e - i - 1), true) + QStringLiteral("'")));
                i = e + 1;
                continue;
            }
        } else if (c.isDigit()) {
            k = Kind::Number;
            while (j < n && (s[j].isDigit() || s[j] == u'.')) ++j;
        } else if (IsWordChar(c)) {
            k = Kind::Word;
            while (j < n && IsWordChar(s[j])) ++j;
        } else if ((c == u'<' || c == u'>' || c == u'!') && j < n &&
                   (s[j] == u'=' || (c == u'<' && s[j] == u'>'))) {
            ++j;
        }
        out.push_back({k, QStringView(s).mid(i, j - i), {}, false});
        i = j;
    }
    return out;
}

// The name inside a bracket token, a doubled "]" made single.
QString BracketName(const Token& t) {
    QString name = t.Text().mid(1, t.Text().size() - 2).toString();
    name.replace(QStringLiteral("]]"), QStringLiteral("]"));
    return name;
}

// SQLite reads a bracketed name but no doubled "]" in it: such a name is written in quotes.
QString Join(const std::vector<Token>& t) {
    QString s;
    qsizetype size = 0;
    for (const auto& x : t) size += x.Text().size();
    s.reserve(size);
    for (const auto& x : t) {
        if (x.kind == Kind::Bracket && x.Text().contains(QStringLiteral("]]"))) {
            QString name = BracketName(x);
            name.replace(u'"', QStringLiteral("\"\""));
            s += u'"' + name + u'"';
        } else {
            s += x.Text();
        }
    }
    return s;
}

bool IsWord(const Token& t, const char* w) {
    return t.kind == Kind::Word && t.Text().compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
}
bool IsPunct(const Token& t, const char* p) {
    return t.kind == Kind::Punct && t.Text() == QLatin1String(p);
}
bool IsComparison(const Token& t) {
    if (t.kind != Kind::Punct) return false;
    for (const char* op : {"=", "<", ">", "<=", ">=", "<>", "!="})
        if (t.Text() == QLatin1String(op)) return true;
    return false;
}

// Index of the next token that is not blank, or t.size().
size_t NextSolid(const std::vector<Token>& t, size_t i) {
    while (i < t.size() && t[i].kind == Kind::Space) ++i;
    return i;
}
// Index of the previous token that is not blank, or npos.
size_t PrevSolid(const std::vector<Token>& t, size_t i) {
    while (i > 0) {
        --i;
        if (t[i].kind != Kind::Space) return i;
    }
    return std::string::npos;
}

// The name of an identifier token: brackets removed, upper-cased.
QString IdentName(const Token& t) {
    if (t.kind == Kind::Bracket) return BracketName(t).trimmed().toUpper();
    if (t.kind == Kind::Word) return t.Text().toString().toUpper();
    return {};
}

// True when the identifier token names one of the (upper-cased) columns, as IdentName would
// give it; plain ASCII names are compared without an upper-case copy.
bool NamesColumn(const Token& t, const QSet<QString>& columns) {
    QStringView name;
    if (t.kind == Kind::Bracket && t.Text().contains(QStringLiteral("]]")))
        return columns.contains(IdentName(t));  // a doubled "]" stands for one
    if (t.kind == Kind::Bracket)
        name = t.Text().mid(1, t.Text().size() - 2).trimmed();
    else if (t.kind == Kind::Word)
        name = t.Text();
    else
        return false;
    for (const QChar c : name)
        if (c.unicode() >= 0x80) return columns.contains(name.toString().toUpper());
    for (const QString& column : columns) {
        if (column.size() != name.size()) continue;
        qsizetype i = 0;
        for (; i < name.size(); ++i) {
            char16_t c = name[i].unicode();
            if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
            if (c != column[i].unicode()) break;
        }
        if (i == name.size()) return true;
    }
    return false;
}

// The table names of a statement: the identifier after FROM, INTO, UPDATE and JOIN.
QStringList Tables(const std::vector<Token>& t) {
    QStringList names;
    for (size_t i = 0; i < t.size(); ++i) {
        if (!(IsWord(t[i], "FROM") || IsWord(t[i], "INTO") || IsWord(t[i], "UPDATE") || IsWord(t[i], "JOIN")))
            continue;
        const size_t j = NextSolid(t, i + 1);
        if (j < t.size() && (t[j].kind == Kind::Bracket || t[j].kind == Kind::Word)) {
            const QString name = t[j].kind == Kind::Bracket ? BracketName(t[j]) : t[j].Text().toString();
            if (!names.contains(name, Qt::CaseInsensitive)) names.append(name);
        }
    }
    return names;
}

// A text literal's content (quotes removed, doubled quotes made single).
QString LiteralText(const Token& t) {
    QString s = t.Text().mid(1, t.Text().size() - 2).toString();
    s.replace(QStringLiteral("''"), QStringLiteral("'"));
    return s;
}

void ConvertLiteral(Token& t) {
    if (t.kind != Kind::Text || t.Text().size() < 2 || !t.Text().endsWith(u'\'')) return;
    if (const auto iso = IsoDateText(LiteralText(t))) t.Set(u'\'' + *iso + u'\'');
}

// The index of the ")" that closes the "(" at open, or npos.
size_t Closing(const std::vector<Token>& t, size_t open) {
    int depth = 0;
    for (size_t i = open; i < t.size(); ++i) {
        if (IsPunct(t[i], "(")) ++depth;
        if (IsPunct(t[i], ")") && --depth == 0) return i;
    }
    return std::string::npos;
}

// Splits the tokens in [from, to) at commas outside parentheses.
std::vector<std::pair<size_t, size_t>> SplitList(const std::vector<Token>& t, size_t from, size_t to) {
    std::vector<std::pair<size_t, size_t>> items;
    int depth = 0;
    size_t start = from;
    for (size_t i = from; i < to; ++i) {
        if (IsPunct(t[i], "(")) ++depth;
        if (IsPunct(t[i], ")")) --depth;
        if (depth == 0 && IsPunct(t[i], ",")) {
            items.push_back({start, i});
            start = i + 1;
        }
    }
    items.push_back({start, to});
    return items;
}

// The only solid token in [from, to), or npos.
size_t Single(const std::vector<Token>& t, size_t from, size_t to) {
    size_t found = std::string::npos;
    for (size_t i = from; i < to; ++i) {
        if (t[i].kind == Kind::Space) continue;
        if (found != std::string::npos) return std::string::npos;
        found = i;
    }
    return found;
}

// The last identifier of a possibly qualified name ending at i.
QString ColumnAt(const std::vector<Token>& t, size_t i) {
    if (i == std::string::npos || i >= t.size()) return {};
    return IdentName(t[i]);
}

void ConvertDates(std::vector<Token>& t, const QSet<QString>& dateColumns) {
    if (dateColumns.isEmpty()) return;
    std::vector<bool> done(t.size(), false);
    const size_t first = NextSolid(t, 0);
    // INSERT INTO T (columns) VALUES (values)
    if (first < t.size() && IsWord(t[first], "INSERT")) {
        size_t open = std::string::npos;
        for (size_t i = first; i < t.size(); ++i)
            if (IsPunct(t[i], "(")) {
                open = i;
                break;
            }
        const size_t close = open == std::string::npos ? open : Closing(t, open);
        size_t vopen = std::string::npos;
        if (close != std::string::npos) {
            const size_t v = NextSolid(t, close + 1);
            if (v < t.size() && IsWord(t[v], "VALUES")) {
                const size_t p = NextSolid(t, v + 1);
                if (p < t.size() && IsPunct(t[p], "(")) vopen = p;
            }
        }
        const size_t vclose = vopen == std::string::npos ? vopen : Closing(t, vopen);
        if (vclose != std::string::npos) {
            const auto cols = SplitList(t, open + 1, close);
            const auto vals = SplitList(t, vopen + 1, vclose);
            for (size_t k = 0; k < cols.size() && k < vals.size(); ++k) {
                const size_t c = Single(t, cols[k].first, cols[k].second);
                const size_t v = Single(t, vals[k].first, vals[k].second);
                if (c == std::string::npos || v == std::string::npos) continue;
                if (NamesColumn(t[c], dateColumns)) ConvertLiteral(t[v]);
                done[v] = true;
            }
        }
    }
    // Comparisons and assignments: column op 'text', 'text' op column, column BETWEEN 'a' AND 'b'.
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind != Kind::Text || done[i]) continue;
        // Leftwards: ( ... op ) ... column
        size_t j = PrevSolid(t, i);
        while (j != std::string::npos && IsPunct(t[j], "(")) j = PrevSolid(t, j);
        QString column;
        if (j != std::string::npos && IsComparison(t[j])) {
            size_t c = PrevSolid(t, j);
            while (c != std::string::npos && IsPunct(t[c], ")")) c = PrevSolid(t, c);
            column = ColumnAt(t, c);
        } else if (j != std::string::npos && IsWord(t[j], "BETWEEN")) {
            column = ColumnAt(t, PrevSolid(t, j));
        } else if (j != std::string::npos && IsWord(t[j], "AND")) {
            const size_t a = PrevSolid(t, j);
            if (a != std::string::npos && t[a].kind == Kind::Text) {
                const size_t b = PrevSolid(t, a);
                if (b != std::string::npos && IsWord(t[b], "BETWEEN")) column = ColumnAt(t, PrevSolid(t, b));
            }
        }
        if (column.isEmpty()) {
            // Rightwards: 'text' ) ... op ( ... column
            size_t k = NextSolid(t, i + 1);
            while (k < t.size() && IsPunct(t[k], ")")) k = NextSolid(t, k + 1);
            if (k < t.size() && IsComparison(t[k])) {
                size_t c = NextSolid(t, k + 1);
                while (c < t.size() && IsPunct(t[c], "(")) c = NextSolid(t, c + 1);
                // A qualified name: take its last part.
                while (c < t.size()) {
                    const size_t dot = NextSolid(t, c + 1);
                    if (dot < t.size() && IsPunct(t[dot], ".")) {
                        c = NextSolid(t, dot + 1);
                        continue;
                    }
                    break;
                }
                column = ColumnAt(t, c);
            }
        }
        if (!column.isEmpty() && dateColumns.contains(column)) ConvertLiteral(t[i]);
    }
}

// SELECT [DISTINCT] TOP n ... -> SELECT [DISTINCT] ... LIMIT n, innermost scope respected.
bool RewriteOneTop(std::vector<Token>& t) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (!IsWord(t[i], "SELECT")) continue;
        size_t k = NextSolid(t, i + 1);
        if (k < t.size() && (IsWord(t[k], "DISTINCT") || IsWord(t[k], "ALL") || IsWord(t[k], "DISTINCTROW")))
            k = NextSolid(t, k + 1);
        if (k >= t.size() || !IsWord(t[k], "TOP")) continue;
        const size_t num = NextSolid(t, k + 1);
        if (num >= t.size() || t[num].kind != Kind::Number) continue;
        const size_t after = NextSolid(t, num + 1);
        if (after < t.size() && IsWord(t[after], "PERCENT")) continue;
        const QString n = t[num].Text().toString();
        // The end of this SELECT: the ")" that closes its scope, a ";" or the end.
        int depth = 0;
        size_t end = t.size();
        for (size_t p = num + 1; p < t.size(); ++p) {
            if (IsPunct(t[p], "(")) ++depth;
            if (IsPunct(t[p], ")") && --depth < 0) {
                end = p;
                break;
            }
            if (depth == 0 && IsPunct(t[p], ";")) {
                end = p;
                break;
            }
        }
        // Insert after the last solid token before the end.
        size_t at = end;
        while (at > num + 1 && t[at - 1].kind == Kind::Space) --at;
        t.insert(t.begin() + static_cast<long>(at), Rewritten(Kind::Word, QStringLiteral(" LIMIT ") + n));
        // Remove "TOP n" and the blank after it.
        const size_t stop = after < t.size() ? after : num + 1;
        t.erase(t.begin() + static_cast<long>(k), t.begin() + static_cast<long>(stop));
        return true;
    }
    return false;
}

QString IsoFromFields(int y, int mo, int d, int h, int mi, int s, int ms, bool withMs) {
    const QDate date(y, mo, d);
    if (!date.isValid() || h > 23 || mi > 59 || s > 59) return {};
    QString out = date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" %1:%2:%3")
                                                                    .arg(h, 2, 10, QLatin1Char('0'))
                                                                    .arg(mi, 2, 10, QLatin1Char('0'))
                                                                    .arg(s, 2, 10, QLatin1Char('0'));
    if (withMs) out += QStringLiteral(".%1").arg(ms, 3, 10, QLatin1Char('0'));
    return out;
}

}  // namespace

std::optional<QString> IsoDateText(const QString& text, bool monthFirst) {
    static const QRegularExpression ymd(
        QStringLiteral(
            R"(^\s*(\d{4})[/\-.](\d{1,2})[/\-.](\d{1,2})(?:[ T]+(?:(AM|PM|上午|下午)\s*)?(\d{1,2}):(\d{1,2})(?::(\d{1,2})(?:\.(\d{1,3}))?)?(?:\s*(AM|PM|上午|下午))?)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression mdy(
        QStringLiteral(
            R"(^\s*(\d{1,2})/(\d{1,2})/(\d{4})(?:\s+(?:(AM|PM|上午|下午)\s*)?(\d{1,2}):(\d{1,2})(?::(\d{1,2})(?:\.(\d{1,3}))?)?(?:\s*(AM|PM|上午|下午))?)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    auto m = ymd.match(text);
    int y = 0, mo = 0, d = 0;
    if (m.hasMatch()) {
        y = m.captured(1).toInt();
        mo = m.captured(2).toInt();
        d = m.captured(3).toInt();
    } else if (monthFirst && (m = mdy.match(text)).hasMatch()) {
        mo = m.captured(1).toInt();
        d = m.captured(2).toInt();
        y = m.captured(3).toInt();
    } else {
        return std::nullopt;
    }
    int h = 0, mi = 0, s = 0, ms = 0;
    const bool withMs = !m.captured(8).isEmpty();
    if (!m.captured(5).isEmpty()) {
        h = m.captured(5).toInt();
        mi = m.captured(6).toInt();
        s = m.captured(7).isEmpty() ? 0 : m.captured(7).toInt();
        if (withMs) ms = m.captured(8).leftJustified(3, u'0').toInt();
        const QString ampm = (m.captured(4).isEmpty() ? m.captured(9) : m.captured(4)).toUpper();
        // A 24-hour hour wins over its designator ("14:07:09.250 PM").
        if (!ampm.isEmpty() && h >= 1 && h <= 12) {
            const bool pm = ampm == QLatin1String("PM") || ampm == QStringLiteral("下午");
            h = h % 12 + (pm ? 12 : 0);
        }
    }
    const QString iso = IsoFromFields(y, mo, d, h, mi, s, ms, withMs);
    if (iso.isEmpty()) return std::nullopt;
    return iso;
}

bool IsDateType(const QString& declaredType) {
    const QString t = declaredType.toUpper();
    return t.contains(QLatin1String("DATE")) || t.contains(QLatin1String("TIMESTAMP"));
}

QSet<QString> DateColumnsOf(const QHash<QString, QString>& declaredTypes) {
    QSet<QString> dates;
    for (auto it = declaredTypes.begin(); it != declaredTypes.end(); ++it)
        if (IsDateType(it.value())) dates.insert(it.key());
    return dates;
}

QString Translate(const QString& sql, const ColumnTypes& columnTypes) {
    if (!columnTypes) return TranslateWithDateColumns(sql, nullptr);
    return TranslateWithDateColumns(sql,
                                    [&](const QString& table) { return DateColumnsOf(columnTypes(table)); });
}

QString TranslateWithDateColumns(const QString& sql, const DateColumns& dateColumns) {
    std::vector<Token> t = Tokenize(sql);
    if (dateColumns) {
        QSet<QString> dates;
        for (const QString& table : Tables(t)) dates.unite(dateColumns(table));
        ConvertDates(t, dates);
    }
    while (RewriteOneTop(t)) {
    }
    return Join(t);
}

}  // namespace ado::jet
