#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>

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
    QDir(root.path())
        .mkdir(QStringLiteral("windows"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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

SqliteShell::SqliteShell(const QString& file) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return;
    }
    const QByteArray path = QFile::encodeName(file);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::execlp("sqlite3", "sqlite3", path.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    in_ = in[1];
    out_ = out[0];
}

SqliteShell::~SqliteShell() {
    Finish(10000);
    if (out_ >= 0) ::close(out_);
}

void SqliteShell::Write(const QByteArray& text) {
    if (in_ >= 0) [[maybe_unused]]
        const ssize_t n = ::write(in_, text.constData(), static_cast<size_t>(text.size()));
}

bool SqliteShell::WaitForOutput(const QByteArray& text, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!output_.contains(text)) {
        pollfd p{out_, POLLIN, 0};
        if (t.elapsed() > timeoutMs || ::poll(&p, 1, 100) < 0) return false;
        char buffer[4096];
        if (p.revents & POLLIN) {
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0) return false;
            output_.append(buffer, n);
        }
    }
    return true;
}

bool SqliteShell::Finish(int timeoutMs) {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
    if (pid_ <= 0) return false;
    QElapsedTimer t;
    t.start();
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (t.elapsed() > timeoutMs) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        ::usleep(10000);
    }
    pid_ = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
