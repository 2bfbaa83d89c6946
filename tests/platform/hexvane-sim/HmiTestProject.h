// Test helpers for the HMI runtime stand-in: a private runtime folder and a project folder with
// a tag database. Other tests (the saver's end-to-end tests) use them too.
#pragma once
#include <QDir>
#include <QFileInfo>
#include <QPair>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QTemporaryDir>
#include <QUuid>
#include <QVector>

// Points LEDGRIX_WINDOW_DIR to a fresh folder while it lives, so that parallel tests never see
// each other's captions or runtime.
class PrivateRuntimeFolder {
  public:
    PrivateRuntimeFolder() : previous_(qgetenv("LEDGRIX_WINDOW_DIR")) {
        qputenv("LEDGRIX_WINDOW_DIR", QFile::encodeName(dir_.path()));
    }
    ~PrivateRuntimeFolder() {
        if (previous_.isEmpty())
            qunsetenv("LEDGRIX_WINDOW_DIR");
        else
            qputenv("LEDGRIX_WINDOW_DIR", previous_);
    }
    QString Path() const { return dir_.path(); }

  private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

// Whether a folder holds no entry at all.
inline bool FolderHoldsNothing(const QString& folder) {
    return QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// Writes the tag database <file> with table Tag(TagName, Class) and these rows, in order.
inline bool WriteTagDatabase(const QString& file, const QVector<QPair<QString, QString>>& tags) {
    QDir().mkpath(QFileInfo(file).path());
    QFile::remove(file);
    const QString name = QStringLiteral("tagdb-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("CREATE TABLE Tag (TagName TEXT, Class TEXT)"));
            for (const auto& t : tags) {
                q.prepare(QStringLiteral("INSERT INTO Tag (TagName, Class) VALUES (?, ?)"));
                q.addBindValue(t.first);
                q.addBindValue(t.second);
                ok = ok && q.exec();
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// A project folder <parent>/<name> whose tag database <name>.pam holds these tags.
inline QString MakeHmiProject(const QString& parent, const QString& name,
                              const QVector<QPair<QString, QString>>& tags) {
    const QString folder = parent + u'/' + name;
    return WriteTagDatabase(folder + u'/' + name + QStringLiteral(".pam"), tags) ? folder : QString();
}
