#include "platform/hexvane-sim/HexvaneScript.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "platform/hexvane-sim/HexvaneServer.h"

namespace {

// The longest time of a script: a thousand years.
constexpr double kMaxSeconds = 1000.0 * 365 * 86400;

struct Word {
    QString text;
    qsizetype end;  // position after the word in the line
};

std::optional<double> Number(const QString& text) {
    bool ok = false;
    const double v = text.toDouble(&ok);  // C locale, always
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

}  // namespace

std::optional<HexvaneScript> HexvaneScript::Parse(const QString& text,
                                                  const std::function<bool(const QString&)>& tagKnown,
                                                  QString* error) {
    static const QRegularExpression wordPattern(QStringLiteral("\\S+"));
    HexvaneScript script;
    const QStringList rawLines = text.split(u'\n');
    for (qsizetype n = 0; n < rawLines.size(); ++n) {
        QString line = rawLines[n];
        if (line.endsWith(u'\r')) line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#')) continue;

        std::vector<Word> w;
        for (auto it = wordPattern.globalMatch(line); it.hasNext();) {
            const auto m = it.next();
            w.push_back({m.captured(), m.capturedEnd()});
        }
        HexvaneScriptLine s;
        s.lineNumber = static_cast<int>(n + 1);
        auto fail = [&](const QString& what) {
            *error = QStringLiteral("line %1: %2").arg(s.lineNumber).arg(what);
            return std::nullopt;
        };
        auto is = [&](std::size_t i, const char* keyword) {
            return i < w.size() && w[i].text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
        };
        // Every time counts in whole milliseconds: a time must fit them.
        auto seconds = [&](std::size_t i, const char* what) -> std::optional<double> {
            const auto v = i < w.size() ? Number(w[i].text) : std::nullopt;
            if (!v || *v < 0 || *v > kMaxSeconds) {
                *error =
                    QStringLiteral("line %1: %2 must be a number of seconds up to 31536000000, not \"%3\"")
                        .arg(s.lineNumber)
                        .arg(QLatin1String(what), i < w.size() ? w[i].text : QString());
                return std::nullopt;
            }
            return v;
        };

        std::size_t i = 0;
        if (is(0, "every")) {
            s.repeat = true;
            const auto p = seconds(1, "the period");
            if (!p) return std::nullopt;
            if (*p < 0.001) return fail(QStringLiteral("the period must be at least 0.001 seconds"));
            s.period = *p;
            i = 2;
            if (is(i, "from")) {
                const auto f = seconds(i + 1, "from");
                if (!f) return std::nullopt;
                s.from = *f;
                i += 2;
            }
            if (is(i, "until")) {
                const auto u = seconds(i + 1, "until");
                if (!u) return std::nullopt;
                if (*u < s.from) return fail(QStringLiteral("until lies before from"));
                s.until = *u;
                i += 2;
            }
        } else {
            const auto t = seconds(0, "the time");
            if (!t) return std::nullopt;
            s.at = *t;
            i = 1;
        }

        if (i >= w.size()) return fail(QStringLiteral("set, msg, pulse or quit expected"));
        auto tagAt = [&](std::size_t k) -> bool {
            if (k >= w.size()) return false;
            s.tag = w[k].text;
            return true;
        };
        if (is(i, "quit")) {
            if (s.repeat) return fail(QStringLiteral("quit cannot repeat"));
            if (w.size() != i + 1) return fail(QStringLiteral("quit takes nothing after it"));
            s.action = HexvaneScriptLine::Action::Quit;
        } else if (is(i, "pulse")) {
            if (!tagAt(i + 1) || w.size() != i + 2) return fail(QStringLiteral("pulse needs one tag name"));
            s.action = HexvaneScriptLine::Action::Pulse;
        } else if (is(i, "msg")) {
            if (!tagAt(i + 1)) return fail(QStringLiteral("msg needs a tag name and a text"));
            s.action = HexvaneScriptLine::Action::Msg;
            s.text = line.mid(w[i + 1].end).trimmed();
        } else if (is(i, "set")) {
            s.action = HexvaneScriptLine::Action::Set;
            if (!tagAt(i + 1) || w.size() < i + 3)
                return fail(QStringLiteral("set needs a tag name and a value"));
            const std::size_t v = i + 2;
            std::vector<double> args;
            for (std::size_t k = v + (is(v, "ramp") || is(v, "random") ? 1 : 0); k < w.size(); ++k) {
                const auto x = Number(w[k].text);
                if (!x) return fail(QStringLiteral("\"%1\" is not a number").arg(w[k].text));
                args.push_back(*x);
            }
            if (is(v, "ramp")) {
                if (!s.repeat) return fail(QStringLiteral("ramp needs every"));
                if (args.size() != 3) return fail(QStringLiteral("ramp needs start, end and step"));
                s.mode = HexvaneScriptLine::Mode::Ramp;
                s.start = args[0];
                s.end = args[1];
                s.step = args[2];
                if (s.step == 0 || (s.end - s.start) * s.step < 0)
                    return fail(QStringLiteral("the ramp's step must lead from start to end"));
            } else if (is(v, "random")) {
                if (!s.repeat) return fail(QStringLiteral("random needs every"));
                if (args.size() != 2) return fail(QStringLiteral("random needs low and high"));
                if (args[0] > args[1]) return fail(QStringLiteral("random's low is above its high"));
                s.mode = HexvaneScriptLine::Mode::Random;
                s.low = args[0];
                s.high = args[1];
            } else {
                if (args.size() != 1) return fail(QStringLiteral("set takes one value"));
                s.value = args[0];
            }
        } else {
            return fail(QStringLiteral("unknown instruction \"%1\"").arg(w[i].text));
        }
        if (s.action != HexvaneScriptLine::Action::Quit && tagKnown && !tagKnown(s.tag))
            return fail(QStringLiteral("unknown tag \"%1\"").arg(s.tag));
        script.lines << s;
    }
    return script;
}

std::optional<HexvaneScript> HexvaneScript::Load(const QString& path,
                                                 const std::function<bool(const QString&)>& tagKnown,
                                                 QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": cannot read the script");
        return std::nullopt;
    }
    QByteArray content = f.readAll();
    if (content.startsWith("\xEF\xBB\xBF")) content.remove(0, 3);
    auto script = Parse(QString::fromUtf8(content), tagKnown, error);
    if (!script) *error = path + QStringLiteral(", ") + *error;
    return script;
}

qint64 HexvaneScriptPlayer::Entry::NextMs() const {
    const double t = line.repeat ? line.from + static_cast<double>(count) * line.period : line.at;
    return std::llround(t * 1000.0);
}

HexvaneScriptPlayer::HexvaneScriptPlayer(const HexvaneScript& script, HexvaneServer* server, QObject* parent)
    : QObject(parent), server_(server), timer_(this), random_(std::random_device{}()) {
    for (const HexvaneScriptLine& l : script.lines) {
        Entry e;
        e.line = l;
        e.rampValue = l.start;
        entries_.push_back(e);
    }
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { Fire(); });
}

void HexvaneScriptPlayer::Start() {
    clock_.start();
    Schedule();
}

void HexvaneScriptPlayer::Perform(Entry& e) {
    const HexvaneScriptLine& l = e.line;
    switch (l.action) {
        case HexvaneScriptLine::Action::Quit:
            server_->RequestQuit();
            break;
        case HexvaneScriptLine::Action::Pulse:
            server_->SetValue(l.tag, 1);
            break;
        case HexvaneScriptLine::Action::Msg:
            server_->SetMessage(l.tag, l.text);
            break;
        case HexvaneScriptLine::Action::Set:
            if (l.mode == HexvaneScriptLine::Mode::Fixed) {
                server_->SetValue(l.tag, l.value);
            } else if (l.mode == HexvaneScriptLine::Mode::Random) {
                server_->SetValue(l.tag, std::uniform_real_distribution<double>(l.low, l.high)(random_));
            } else {
                server_->SetValue(l.tag, e.rampValue);
                e.rampValue += l.step;
                if (l.step > 0 ? e.rampValue > l.end : e.rampValue < l.end) e.rampValue = l.start;
            }
            break;
    }
}

void HexvaneScriptPlayer::Fire() {
    const qint64 now = clock_.elapsed();
    // Everything due, in time order, lines of one time in file order.
    std::vector<Entry*> due;
    for (Entry& e : entries_)
        if (!e.done && e.NextMs() <= now) due.push_back(&e);
    std::stable_sort(due.begin(), due.end(),
                     [](const Entry* a, const Entry* b) { return a->NextMs() < b->NextMs(); });
    for (Entry* e : due) {
        Perform(*e);
        if (e->line.action == HexvaneScriptLine::Action::Quit) {
            for (Entry& x : entries_) x.done = true;
            return;
        }
        if (!e->line.repeat) {
            e->done = true;
            continue;
        }
        // A late repeat fires once and goes on with the next slot to come.
        do ++e->count;
        while (e->NextMs() <= now);
        if (e->line.until && e->NextMs() > std::llround(*e->line.until * 1000.0)) e->done = true;
    }
    Schedule();
}

void HexvaneScriptPlayer::Schedule() {
    qint64 next = -1;
    for (const Entry& e : entries_)
        if (!e.done && (next < 0 || e.NextMs() < next)) next = e.NextMs();
    if (next < 0) return;
    timer_.start(static_cast<int>(std::clamp<qint64>(next - clock_.elapsed(), 0, 24LL * 3600 * 1000)));
}
