// Reading, quoting and masking connection strings, and the choice of engine for one.
#include <QRegularExpression>

#include "platform/ado/Ado.h"

namespace ado {

namespace {

bool IsPasswordKey(const QString& key) {
    const QString k = key.trimmed().toUpper();
    return k == QLatin1String("PASSWORD") || k == QLatin1String("PWD") ||
           k == QLatin1String("JET OLEDB:DATABASE PASSWORD") ||
           k == QLatin1String("JET OLEDB:NEW DATABASE PASSWORD");
}

// Reads one value starting at i (just after "="); leaves i on the ";" that ends it, or at the end.
QString ReadValue(const QString& text, qsizetype& i) {
    const qsizetype n = text.size();
    qsizetype j = i;
    while (j < n && text[j] == u' ') ++j;
    if (j < n && (text[j] == u'{' || text[j] == u'"' || text[j] == u'\'')) {
        const QChar open = text[j];
        const QChar close = open == u'{' ? QChar(u'}') : open;
        QString v;
        qsizetype k = j + 1;
        bool closed = false;
        while (k < n) {
            if (text[k] == close) {
                if (k + 1 < n && text[k + 1] == close) {
                    v += close;
                    k += 2;
                    continue;
                }
                closed = true;
                ++k;
                break;
            }
            v += text[k++];
        }
        if (closed) {
            // Only blanks may follow the closing quote before the ";".
            qsizetype m = k;
            while (m < n && text[m] == u' ') ++m;
            if (m >= n || text[m] == u';') {
                i = m;
                return v;
            }
        }
    }
    // Plain value up to the next ";".
    qsizetype e = text.indexOf(u';', i);
    if (e < 0) e = n;
    const QString v = text.mid(i, e - i).trimmed();
    i = e;
    return v;
}

}  // namespace

namespace {

// Walks the pieces of a connection string as the reader splits them: the key's text and the
// span of its value (from just after "=" to the ";" that ends it, or the end).
template <typename Piece>
void ForEachPiece(const QString& text, Piece piece) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(u'=', i);
        const qsizetype semi = text.indexOf(u';', i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // A piece without "=": skipped.
            if (semi < 0) break;
            i = semi + 1;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        const qsizetype valueStart = i;
        const QString value = ReadValue(text, i);
        piece(key, value, valueStart, i);
        if (i < n && text[i] == u';') ++i;
    }
}

// A password key, also at the end of a text that leads up to it ("...string:Password").
bool EndsInPasswordKey(const QString& key) {
    if (IsPasswordKey(key)) return true;
    const QString k = key.toUpper();
    for (const QLatin1String word : {QLatin1String("PASSWORD"), QLatin1String("PWD")}) {
        if (!k.endsWith(word)) continue;
        const qsizetype before = k.size() - word.size() - 1;
        if (before < 0 || !k[before].isLetterOrNumber()) return true;
    }
    return false;
}

}  // namespace

ConnectionStringPieces ParseConnectionString(const QString& text) {
    ConnectionStringPieces out;
    ForEachPiece(text, [&](const QString& key, const QString& value, qsizetype, qsizetype) {
        if (!key.isEmpty()) out.append({key, value});
    });
    return out;
}

QString ConnectionStringValue(const ConnectionStringPieces& pieces, const QString& key) {
    QString v;
    for (const auto& p : pieces)
        if (p.first.compare(key, Qt::CaseInsensitive) == 0)
            v = p.second.isNull() ? QStringLiteral("") : p.second;
    return v;
}

namespace {

// One value in braces or double quotes, its closing character doubled inside.
bool IsWhollyQuoted(const QString& v) {
    if (v.size() < 2 || (v.front() != u'{' && v.front() != u'"')) return false;
    const QChar close = v.front() == u'{' ? QChar(u'}') : QChar(u'"');
    if (v.back() != close) return false;
    for (qsizetype k = 1; k + 1 < v.size(); ++k) {
        if (v[k] != close) continue;
        if (k + 2 < v.size() && v[k + 1] == close) {
            ++k;
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace

QString QuoteConnectionValue(const QString& value, bool keepQuoted) {
    if (keepQuoted && IsWhollyQuoted(value)) return value;
    const bool plain = !value.contains(u';') && !value.startsWith(u'{') && !value.startsWith(u'"') &&
                       !value.startsWith(u'\'') && value == value.trimmed();
    if (plain) return value;
    QString v = value;
    v.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + v + u'}';
}

QString DoubleQuoteConnectionValue(const QString& value) {
    QString v = value;
    v.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + v + u'"';
}

QString MaskPasswords(const QString& text) {
    // The values are masked exactly where the reader splits them, so text inside another value
    // (a user name holding "PWD=") is never taken for a password key.
    QString out;
    qsizetype from = 0;
    ForEachPiece(text, [&](const QString& key, const QString&, qsizetype valueStart, qsizetype valueEnd) {
        if (!EndsInPasswordKey(key)) return;
        out += text.mid(from, valueStart - from) + QStringLiteral("****");
        from = valueEnd;
    });
    out += text.mid(from);
    return out;
}

namespace {

QString StripBraces(const QString& s) {
    QString t = s.trimmed();
    if (t.startsWith(u'{') && t.endsWith(u'}')) t = t.mid(1, t.size() - 2);
    return t.trimmed();
}

// An ODBC attribute value, braced when it needs to be. (ODBC strings here end without ";": a
// driver may refuse an empty last piece.)
QString OdbcValue(const QString& v) {
    if (!v.contains(u';') && !v.contains(u'{') && !v.contains(u'}') && v == v.trimmed()) return v;
    QString t = v;
    t.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + t + u'}';
}

// "host", "host:port" or "host,port".
void SplitHostPort(const QString& server, QString& host, QString& port) {
    static const QRegularExpression re(QStringLiteral(R"(^(.*?)[,:](\d+)$)"));
    const auto m = re.match(server.trimmed());
    if (m.hasMatch()) {
        host = m.captured(1).trimmed();
        port = m.captured(2);
    } else {
        host = server.trimmed();
        port.clear();
    }
}

void AddSecret(ConnectionPlan& plan, const QString& s) {
    if (!s.isEmpty() && !plan.secrets.contains(s)) plan.secrets.append(s);
}

}  // namespace

bool OracleOdbcDriverInstalled();  // Engine.cpp

ConnectionPlan PlanConnection(const QString& connectionString) {
    const ConnectionStringPieces pieces = ParseConnectionString(connectionString);
    auto value = [&](const char* k) { return ConnectionStringValue(pieces, QString::fromLatin1(k)); };
    ConnectionPlan plan;
    for (const auto& p : pieces)
        if (IsPasswordKey(p.first)) AddSecret(plan, p.second);

    const QString provider = value("Provider").trimmed().toUpper();
    const QString driver = StripBraces(value("Driver"));
    const QString driverUpper = driver.toUpper();
    const QString user =
        !value("User ID").isNull() && !value("User ID").isEmpty() ? value("User ID") : value("UID");
    const QString password = !value("Password").isEmpty() ? value("Password") : value("PWD");
    const QString dataSource = value("Data Source");
    const QString extended = value("Extended Properties");

    if (provider == QLatin1String("MICROSOFT.JET.OLEDB.4.0") ||
        provider == QLatin1String("MICROSOFT.ACE.OLEDB.12.0") ||
        (provider.isEmpty() && driverUpper.contains(QLatin1String("EXCEL"))) ||
        (provider == QLatin1String("MSDASQL.1") && driverUpper.contains(QLatin1String("EXCEL")))) {
        plan.kind = ConnectionPlan::Kind::SQLite;
        plan.jet = true;
        if (driverUpper.contains(QLatin1String("EXCEL"))) {
            plan.excel = true;
            plan.filePath = value("DBQ");
        } else {
            plan.filePath = dataSource;
            plan.excel = extended.toUpper().contains(QLatin1String("EXCEL"));
        }
        if (plan.filePath.trimmed().isEmpty())
            throw Error(adErrProvider, QStringLiteral("No database file is named in the connection string."));
        return plan;
    }

    plan.kind = ConnectionPlan::Kind::Odbc;
    AddSecret(plan, password);
    if (provider == QLatin1String("SQLOLEDB.1") ||
        (provider == QLatin1String("MSDASQL.1") && driverUpper.contains(QLatin1String("SQL SERVER")))) {
        // host, host,port or host\instance.
        QString server = dataSource.isEmpty() ? value("SERVER") : dataSource;
        QString host, port;
        SplitHostPort(server, host, port);
        QString catalog = value("Initial Catalog");
        if (catalog.isEmpty()) catalog = value("DATABASE");
        QString s = QStringLiteral("DRIVER={FreeTDS};SERVER=") + OdbcValue(host) + u';';
        if (!port.isEmpty()) s += QStringLiteral("PORT=") + port + u';';
        if (!catalog.isEmpty()) s += QStringLiteral("DATABASE=") + OdbcValue(catalog) + u';';
        s += QStringLiteral("UID=") + OdbcValue(user) + QStringLiteral(";PWD=") + OdbcValue(password) +
             QStringLiteral(";ClientCharset=UTF-8");
        plan.odbcDatabase = s;
        plan.freeTds = true;
        return plan;
    }
    if (provider == QLatin1String("MSDASQL.1") && driverUpper.contains(QLatin1String("MYSQL"))) {
        QString host, port;
        SplitHostPort(value("SERVER").isEmpty() ? dataSource : value("SERVER"), host, port);
        QString database = value("DATABASE");
        if (database.isEmpty()) database = value("Initial Catalog");
        QString s = QStringLiteral("DRIVER={MariaDB Unicode};SERVER=") + OdbcValue(host) + u';';
        if (!port.isEmpty()) s += QStringLiteral("PORT=") + port + u';';
        if (!database.isEmpty()) s += QStringLiteral("DATABASE=") + OdbcValue(database) + u';';
        s += QStringLiteral("UID=") + OdbcValue(user) + QStringLiteral(";PWD=") + OdbcValue(password) +
             QStringLiteral(";CHARSET=utf8mb4");
        plan.odbcDatabase = s;
        plan.mysql = true;
        return plan;
    }
    if (provider == QLatin1String("MSDAORA.1")) {
        if (!OracleOdbcDriverInstalled())
            throw Error(adErrProvider,
                        QStringLiteral("Cannot open the Oracle data source [%1]: no Oracle ODBC driver "
                                       "is installed.")
                            .arg(dataSource));
        plan.odbcDatabase = dataSource;
        plan.odbcUser = user;
        plan.odbcPassword = password;
        return plan;
    }
    if (provider == QLatin1String("MSDASQL.1") || provider.isEmpty()) {
        if (!driver.isEmpty()) {
            QString s = QStringLiteral("DRIVER={") + driver + QStringLiteral("};");
            const QString server = value("SERVER").isEmpty() ? dataSource : value("SERVER");
            if (!server.isEmpty()) s += QStringLiteral("SERVER=") + OdbcValue(server) + u';';
            QString database = value("DATABASE");
            if (database.isEmpty()) database = value("Initial Catalog");
            if (!database.isEmpty()) s += QStringLiteral("DATABASE=") + OdbcValue(database) + u';';
            s += QStringLiteral("UID=") + OdbcValue(user) + QStringLiteral(";PWD=") + OdbcValue(password);
            plan.odbcDatabase = s;
            return plan;
        }
        QString dsn = value("DSN");
        if (dsn.isEmpty()) dsn = dataSource;
        if (!dsn.isEmpty()) {
            plan.odbcDatabase = dsn;
            plan.odbcUser = user;
            plan.odbcPassword = password;
            return plan;
        }
    }
    throw Error(adErrProvider,
                QStringLiteral("Provider cannot be found. It may not be properly installed. [%1]")
                    .arg(value("Provider")));
}

bool IsServerConnectionString(const QString& connectionString) {
    try {
        return PlanConnection(connectionString).kind == ConnectionPlan::Kind::Odbc;
    } catch (const Error&) {
        return false;  // refused when opened
    }
}

}  // namespace ado
