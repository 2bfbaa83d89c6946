#include "platform/registry/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringList>
#include <optional>

#include "platform/fileio/FileIO.h"

namespace Registry {
namespace {

QString RootName(Root root) {
    switch (root) {
        case Root::LocalMachine:
            break;
    }
    return QStringLiteral("HKEY_LOCAL_MACHINE");
}

QString SectionName(const Key& key) {
    return RootName(key.root) + u'\\' + key.path;
}

QString Quote(const QString& text) {
    QString q = text;
    q.replace(u'\\', QStringLiteral("\\\\"));
    q.replace(u'"', QStringLiteral("\\\""));
    return u'"' + q + u'"';
}

// Reads a quoted text starting at `pos` (on the opening quote); moves `pos` past the closing one.
std::optional<QString> Unquote(const QString& line, int& pos) {
    if (pos >= line.size() || line[pos] != u'"') return std::nullopt;
    QString out;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return out;
        }
        if (c == u'\\' && pos + 1 < line.size())
            out += line[++pos];
        else
            out += c;
    }
    return std::nullopt;
}

// '"name"="text"' or '@="text"'.
bool ParseValueLine(const QString& line, QString& name, QString& value) {
    int pos = 0;
    if (line.startsWith(QLatin1String("@="))) {
        name.clear();
        pos = 1;
    } else {
        auto n = Unquote(line, pos);
        if (!n) return false;
        name = *n;
    }
    if (pos >= line.size() || line[pos] != u'=') return false;
    ++pos;
    auto v = Unquote(line, pos);
    if (!v) return false;
    value = *v;
    return true;
}

QString ValueLine(const QString& name, const QString& value) {
    return (name.isEmpty() ? QStringLiteral("@") : Quote(name)) + u'=' + Quote(value);
}

struct Section {
    QString name;
    QStringList lines;
};

// The whole file: lines before the first section, then the sections in file order.
struct Document {
    QStringList preamble;
    QList<Section> sections;

    Section* Find(const QString& name) {
        for (Section& s : sections)
            if (s.name.compare(name, Qt::CaseInsensitive) == 0) return &s;
        return nullptr;
    }
};

Document Load() {
    Document doc;
    QByteArray bytes;
    // A missing file, or anything but a regular file, holds no keys.
    if (!FileIO::ReadAll(FilePath(), bytes).isEmpty()) return doc;
    const QString text = QString::fromUtf8(bytes);
    for (QString line : text.split(u'\n')) {
        if (line.endsWith(u'\r')) line.chop(1);
        const QString t = line.trimmed();
        if (t.startsWith(u'[') && t.endsWith(u']')) {
            doc.sections.append({t.mid(1, t.size() - 2), {}});
        } else if (!t.isEmpty()) {
            (doc.sections.isEmpty() ? doc.preamble : doc.sections.last().lines).append(t);
        }
    }
    return doc;
}

bool Save(const Document& doc) {
    QString text;
    for (const QString& l : doc.preamble) text += l + QStringLiteral("\r\n");
    for (const Section& s : doc.sections) {
        text += u'[' + s.name + QStringLiteral("]\r\n");
        for (const QString& l : s.lines) text += l + QStringLiteral("\r\n");
        text += QStringLiteral("\r\n");
    }
    const QString path = FilePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    // A full disk or a file that is no regular file leaves the old file as it was.
    return FileIO::Replace(path, text.toUtf8()).isEmpty();
}

// Holds the file's lock while the file is read and rewritten, so that both programs can write.
class FileLock {
  public:
    FileLock() : lock_(FilePath() + QStringLiteral(".lock")) {
        QDir().mkpath(QFileInfo(FilePath()).absolutePath());
        locked_ = lock_.tryLock(5000);
    }
    bool Locked() const { return locked_; }

  private:
    QLockFile lock_;
    bool locked_ = false;
};

std::optional<QString> FindValue(const Key& key, const QString& name) {
    Document doc = Load();
    Section* s = doc.Find(SectionName(key));
    if (!s) return std::nullopt;
    for (const QString& l : s->lines) {
        QString n, v;
        if (ParseValueLine(l, n, v) && n.compare(name, Qt::CaseInsensitive) == 0) return v;
    }
    return std::nullopt;
}

}  // namespace

QString FilePath() {
    const QString env = qEnvironmentVariable("LEDGRIX_REGISTRY_FILE");
    if (!env.isEmpty()) return env;
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/ledgrix/registry.ini");
}

bool CreateKey(Root root, const QString& path, Key& key) {
    QString p = path;
    p.replace(u'/', u'\\');
    while (p.endsWith(u'\\')) p.chop(1);
    while (p.startsWith(u'\\')) p.remove(0, 1);
    if (p.isEmpty()) return false;
    const Key k{root, p};
    FileLock lock;
    if (!lock.Locked()) return false;
    Document doc = Load();
    if (!doc.Find(SectionName(k))) {
        doc.sections.append({SectionName(k), {}});
        if (!Save(doc)) return false;
    }
    key = k;
    return true;
}

bool ValueExists(const Key& key, const QString& name) {
    return FindValue(key, name).has_value();
}

QString QueryStringValue(const Key& key, const QString& name) {
    return FindValue(key, name).value_or(QString());
}

bool SetStringValue(const Key& key, const QString& name, const QString& value) {
    FileLock lock;
    if (!lock.Locked()) return false;
    Document doc = Load();
    Section* s = doc.Find(SectionName(key));
    if (!s) {
        doc.sections.append({SectionName(key), {}});
        s = &doc.sections.last();
    }
    bool replaced = false;
    for (QString& l : s->lines) {
        QString n, v;
        if (ParseValueLine(l, n, v) && n.compare(name, Qt::CaseInsensitive) == 0) {
            l = ValueLine(name, value);
            replaced = true;
            break;
        }
    }
    if (!replaced) s->lines.append(ValueLine(name, value));
    return Save(doc);
}

}  // namespace Registry
