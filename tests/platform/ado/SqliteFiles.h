// Database files for the tests, made with QtSql directly (the engine under test never creates one).
#pragma once
#include <gtest/gtest.h>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

inline void MakeSqliteDb(const QString& path, const QStringList& statements) {
    const QString name = QStringLiteral("test-maker");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const QString& s : statements) ASSERT_TRUE(q.exec(s)) << q.lastError().text().toStdString();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// The rows of a query, one text per row with values joined by "|".
inline QStringList QueryRows(const QString& path, const QString& sql) {
    QStringList rows;
    const QString name = QStringLiteral("test-reader");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
        while (q.next()) {
            QStringList v;
            for (int i = 0; i < q.record().count(); ++i) v << q.value(i).toString();
            rows << v.join(u'|');
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

// Readable texts in test failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '{' << l.join(QStringLiteral(", ")).toStdString() << '}';
}
