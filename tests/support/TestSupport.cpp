#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include "common/ProgramState.h"

void ProgramFixture::SetUp() {
    ResetState();
    ProgramHooks::InstallTestHooks(&log, &boxes);
    ASSERT_TRUE(root.isValid());
    previousDir_ = QDir::currentPath();
    // The program folder: <root>/bin, with the projects beside it in <root>/Project.
    QDir(root.path()).mkpath(QStringLiteral("bin"));
    QDir::setCurrent(root.path() + QStringLiteral("/bin"));
    // Registry values go to a file of the test, never to the user's, and window captions to a
    // folder of the test: a saver, demo or benchmark of the same user is never seen.
    qputenv("LEDGRIX_REGISTRY_FILE", (root.path() + QStringLiteral("/registry.ini")).toUtf8());
    previousWindowDir_ = qgetenv("LEDGRIX_WINDOW_DIR");
    QDir(root.path()).mkpath(QStringLiteral("windows"));
    qputenv("LEDGRIX_WINDOW_DIR", QFile::encodeName(Path(QStringLiteral("windows"))));
}

void ProgramFixture::TearDown() {
    if (previousWindowDir_.isEmpty())
        qunsetenv("LEDGRIX_WINDOW_DIR");
    else
        qputenv("LEDGRIX_WINDOW_DIR", previousWindowDir_);
    QDir::setCurrent(previousDir_);
    ProgramHooks::SetMessageService(nullptr);
}

QString ProgramFixture::Path(const QString& relative) const {
    return root.path() + u'/' + relative;
}

QString ProgramFixture::WriteFile(const QString& relative, const QByteArray& content) const {
    const QString p = Path(relative);
    QDir().mkpath(QFileInfo(p).path());
    QFile f(p);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    return p;
}

QByteArray ProgramFixture::ReadFile(const QString& relative) const {
    QFile f(Path(relative));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

QString TestData(const QString& relative) {
    return QStringLiteral(LEDGRIX_TEST_DATA "/") + relative;
}

QStringList SqliteRows(const QString& file, const QStringList& statements,
                       const std::function<QString(const QVariant&)>& cellText) {
    QDir().mkpath(QFileInfo(file).path());
    const QString name = QUuid::createUuid().toString();
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        EXPECT_TRUE(db.open());
        for (const QString& sql : statements) {
            QSqlQuery q(db);
            EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
            while (q.next()) {
                QStringList cols;
                for (int i = 0; i < q.record().count(); ++i)
                    cols << (cellText ? cellText(q.value(i)) : q.value(i).toString());
                rows << cols.join(u'|');
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

bool AnotherProcessSeesLocks(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open(native.constData(), O_RDWR);
        struct flock l {};
        l.l_type = F_WRLCK;
        l.l_whence = SEEK_SET;
        const bool held = fd >= 0 && fcntl(fd, F_GETLK, &l) == 0 && l.l_type != F_UNLCK;
        _exit(held ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
