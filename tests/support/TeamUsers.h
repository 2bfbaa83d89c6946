// Two ordinary users who share a group, each with a primary group of his own, made for one test
// where it runs as root and removed afterwards; elsewhere the test is skipped and says why. Work
// of one of them runs in a child process with his ids and groups.
#pragma once
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>
#include <functional>

class TeamUsers {
  public:
    TeamUsers() = default;
    TeamUsers(const TeamUsers&) = delete;
    TeamUsers& operator=(const TeamUsers&) = delete;
    ~TeamUsers() {
        for (const QString& user : std::as_const(users_)) Run(QStringLiteral("userdel"), {user});
        if (!team.isEmpty()) Run(QStringLiteral("groupdel"), {team});
    }

    // Makes the group and the two users. Empty when done, else why not.
    QString Make() {
        if (::geteuid() != 0) return QStringLiteral("making users needs root");
        const QString stem = QStringLiteral("lgx%1").arg(::getpid());
        if (!Run(QStringLiteral("groupadd"), {stem + u't'})) return QStringLiteral("groupadd failed");
        team = stem + u't';
        for (const QChar letter : {u'a', u'b'}) {
            const QString name = stem + letter;
            if (!Run(QStringLiteral("useradd"),
                     {QStringLiteral("-M"), QStringLiteral("-U"), QStringLiteral("-s"),
                      QStringLiteral("/usr/sbin/nologin"), QStringLiteral("-G"), team, name}))
                return QStringLiteral("useradd failed");
            users_ << name;
            const struct passwd* pw = ::getpwnam(name.toLocal8Bit().constData());
            if (!pw) return QStringLiteral("the new user is not found");
            uid[users_.size() - 1] = pw->pw_uid;
            gid[users_.size() - 1] = pw->pw_gid;
        }
        const struct group* gr = ::getgrnam(team.toLocal8Bit().constData());
        if (!gr) return QStringLiteral("the new group is not found");
        teamGid = gr->gr_gid;
        return QString();
    }

    // Runs the work as user 0 or 1 in a child process: what it answers (empty for success), or
    // how the child ended.
    QString RunAs(int user, const std::function<QString()>& work) const {
        int pipe[2];
        if (::pipe(pipe) != 0) return QStringLiteral("no pipe");
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipe[0]);
            const gid_t groups[] = {gid[user], teamGid};
            if (::setgroups(2, groups) != 0 || ::setgid(gid[user]) != 0 || ::setuid(uid[user]) != 0)
                ::_exit(3);
            const QByteArray answer = work().toUtf8();
            const bool written = ::write(pipe[1], answer.constData(), static_cast<size_t>(answer.size())) ==
                                 static_cast<ssize_t>(answer.size());
            ::_exit(written ? 0 : 4);
        }
        ::close(pipe[1]);
        QByteArray answer;
        char buffer[1024];
        for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, n);
        ::close(pipe[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return QStringLiteral("the child ended with status %1").arg(status);
        return QString::fromUtf8(answer);
    }

    QString team;
    uid_t uid[2] = {};
    gid_t gid[2] = {};
    gid_t teamGid = 0;

  private:
    // Another program may hold the account files' lock for a moment: tried again.
    static bool Run(const QString& program, const QStringList& arguments) {
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (QProcess::execute(program, arguments) == 0) return true;
            QThread::msleep(100);
        }
        return false;
    }

    QStringList users_;
};
