// Shared helpers of the tests: a fresh program state with recording hooks, a temporary
// program folder that is the current folder, and file helpers.
#pragma once
#include <gtest/gtest.h>
#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <functional>

#include "common/ProgramHooks.h"

// Resets the program state, installs the test hooks (exit throws ProgramExit, log lines and
// message boxes are recorded) and makes a temporary folder the current folder for the test, with
// a window folder and a registry file of its own.
class ProgramFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Absolute path of a file below the temporary folder.
    QString Path(const QString& relative) const;
    // Writes a file below the temporary folder (folders created); returns its absolute path.
    QString WriteFile(const QString& relative, const QByteArray& content) const;
    QByteArray ReadFile(const QString& relative) const;

    QTemporaryDir root;
    QStringList log;
    RecordingMessageService boxes;

  private:
    QString previousDir_;
    QByteArray previousWindowDir_;
};

// Runs statements on an SQLite file (folders created) and returns the rows they give, columns
// joined by "|"; `cellText` writes one column (by default its text).
QStringList SqliteRows(const QString& file, const QStringList& statements,
                       const std::function<QString(const QVariant&)>& cellText = {});

// Whether another process would be refused a write lock on some byte of the file: the engine of
// an open connection holds its locks there, and other programs rely on them to know that they
// are not alone with the file.
bool AnotherProcessSeesLocks(const QString& path);

// Another program on a database file: the engine's shell (sqlite3), fed statements on its input.
// Started with fork and exec: a thread checker follows fork, not the vfork of QProcess.
class SqliteShell {
  public:
    explicit SqliteShell(const QString& file);
    ~SqliteShell();
    SqliteShell(const SqliteShell&) = delete;
    SqliteShell& operator=(const SqliteShell&) = delete;

    void Write(const QByteArray& text);
    // Waits until the shell has printed the text.
    bool WaitForOutput(const QByteArray& text, int timeoutMs);
    // Ends its input and waits for it to end.
    bool Finish(int timeoutMs);

  private:
    int pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    QByteArray output_;
};

// The path of a file under tests/data.
QString TestData(const QString& relative);
