// Reading, quoting and masking connection strings, and the engine chosen for each provider.
#include <gtest/gtest.h>

#include "platform/ado/Ado.h"
#include "tests/platform/ado/SqliteFiles.h"

using namespace ado;

TEST(ConnectionStringTest, ReadsPlainQuotedAndBracedValues) {
    const auto p = ParseConnectionString(QStringLiteral(
        "Provider=MSDASQL.1;Password={a;b}}c};User ID=sa;Driver={MySQL ODBC 3.51 Driver};"
        "DBQ=C:\\x.xls;ReadOnly=0; Data Source=;Jet OLEDB:Database Password=\"p\"\"w;\";SERVER=h:3307"));
    EXPECT_EQ(ConnectionStringValue(p, QStringLiteral("password")), QStringLiteral("a;b}c"));
    // A driver in braces reads as its bare name.
    EXPECT_EQ(ConnectionStringValue(p, QStringLiteral("Driver")), QStringLiteral("MySQL ODBC 3.51 Driver"));
    EXPECT_FALSE(ConnectionStringValue(p, QStringLiteral("Data Source")).isNull());
    EXPECT_TRUE(ConnectionStringValue(p, QStringLiteral("Initial Catalog")).isNull());
    EXPECT_EQ(ConnectionStringValue(p, QStringLiteral("Jet OLEDB:Database Password")),
              QStringLiteral("p\"w;"));
    EXPECT_EQ(ConnectionStringValue(p, QStringLiteral("SERVER")), QStringLiteral("h:3307"));
}

TEST(ConnectionStringTest, QuotingLeavesPlainValuesAloneAndRoundTrips) {
    EXPECT_EQ(QuoteConnectionValue(QStringLiteral("secret")), QStringLiteral("secret"));
    for (const QString& v : {QStringLiteral("Pl;an\"t=1"), QStringLiteral("{x}"), QStringLiteral("\"q\""),
                             QStringLiteral(" lead"), QStringLiteral("a}}b;")}) {
        const QString s = QStringLiteral("Password=") + QuoteConnectionValue(v) +
                          QStringLiteral(";Jet OLEDB:Database Password=") + DoubleQuoteConnectionValue(v) +
                          QStringLiteral(";User ID=u");
        const auto p = ParseConnectionString(s);
        EXPECT_EQ(ConnectionStringValue(p, QStringLiteral("Password")), v) << s.toStdString();
        EXPECT_EQ(ConnectionStringValue(p, QStringLiteral("Jet OLEDB:Database Password")), v)
            << s.toStdString();
    }
}

TEST(ConnectionStringTest, MasksEveryPasswordForm) {
    const QString s = QStringLiteral(
        "Provider=SQLOLEDB.1;Password={Pl;an\"t=1};Persist Security Info=True;User ID=sa;Data Source=h;"
        "Jet OLEDB:Database Password=\"top\"\"secret\";PWD=abc;Note=Password");
    EXPECT_EQ(MaskPasswords(s),
              QStringLiteral("Provider=SQLOLEDB.1;Password=****;Persist Security Info=True;User ID=sa;Data "
                             "Source=h;Jet OLEDB:Database Password=****;PWD=****;Note=Password"));
    // A trailing piece without ";" and texts around a connection string.
    EXPECT_EQ(
        MaskPasswords(QStringLiteral("Open database error!\r\nOpen database connection string:Password=x y")),
        QStringLiteral("Open database error!\r\nOpen database connection string:Password=****"));
    // A user name holding a password key is a value, not a key: the password after it is masked whole.
    EXPECT_EQ(MaskPasswords(QStringLiteral(
                  "User ID={a;PWD=\"};Data Source=d;Jet OLEDB:Database Password=\";x\";Note=n")),
              QStringLiteral("User ID={a;PWD=\"};Data Source=d;Jet OLEDB:Database Password=****;Note=n"));
}

TEST(ConnectionStringTest, ProvidersPickTheirEngine) {
    auto plan = PlanConnection(QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;User ID=;Data Source=..\\db\\a.mdb;"
        "Jet OLEDB:Database Password=\"\";"));
    EXPECT_EQ(plan.kind, ConnectionPlan::Kind::SQLite);
    EXPECT_EQ(plan.filePath, QStringLiteral("..\\db\\a.mdb"));
    EXPECT_TRUE(plan.jet);
    EXPECT_FALSE(plan.excel);

    plan = PlanConnection(
        QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;User ID=;Data Source=b.xlsx;"
                       "Jet OLEDB:Database Password=\"\";Extended Properties=\"Excel 12.0;HDR=Yes\";"));
    EXPECT_EQ(plan.filePath, QStringLiteral("b.xlsx"));
    EXPECT_TRUE(plan.excel);

    // An Excel ODBC driver reads the workbook named by DBQ.
    plan = PlanConnection(
        QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;User ID=;"
                       "Driver={Microsoft Excel Driver (*.xls)};DBQ=c.xls;ReadOnly=0; Data Source=;"
                       "Password=;"));
    EXPECT_EQ(plan.kind, ConnectionPlan::Kind::SQLite);
    EXPECT_EQ(plan.filePath, QStringLiteral("c.xls"));
    EXPECT_TRUE(plan.excel);

    plan =
        PlanConnection(QStringLiteral("Provider=MSDASQL.1;Password={Pl;an\"t=1};Persist Security Info=True;"
                                      "User ID=u;Driver={MySQL ODBC 5.1 Driver};DATABASE=db;SERVER=h,3308"));
    EXPECT_EQ(plan.kind, ConnectionPlan::Kind::Odbc);
    EXPECT_EQ(plan.odbcDatabase,
              QStringLiteral("DRIVER={MariaDB Unicode};SERVER=h;PORT=3308;DATABASE=db;UID=u;"
                             "PWD={Pl;an\"t=1};CHARSET=utf8mb4"));
    EXPECT_TRUE(plan.secrets.contains(QStringLiteral("Pl;an\"t=1")));
}

TEST(ConnectionStringTest, SqlServerGoesToFreeTds) {
    const QString head = QStringLiteral(
        "Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=sa;"
        "Initial Catalog=Plant;Data Source=");
    EXPECT_EQ(PlanConnection(head + QStringLiteral("srv")).odbcDatabase,
              QStringLiteral("DRIVER={FreeTDS};SERVER=srv;DATABASE=Plant;UID=sa;PWD=pw;ClientCharset=UTF-8"));
    EXPECT_EQ(PlanConnection(head + QStringLiteral("srv,1444")).odbcDatabase,
              QStringLiteral(
                  "DRIVER={FreeTDS};SERVER=srv;PORT=1444;DATABASE=Plant;UID=sa;PWD=pw;ClientCharset=UTF-8"));
    EXPECT_EQ(
        PlanConnection(head + QStringLiteral("srv\\SQLEXPRESS")).odbcDatabase,
        QStringLiteral(
            "DRIVER={FreeTDS};SERVER=srv\\SQLEXPRESS;DATABASE=Plant;UID=sa;PWD=pw;ClientCharset=UTF-8"));
    // Through ODBC with a Windows SQL Server driver name.
    EXPECT_EQ(
        PlanConnection(QStringLiteral("Provider=MSDASQL.1;Password=;Persist Security Info=False;User ID=sa;"
                                      "Driver={SQL Server};Initial Catalog=P;Data Source=h"))
            .odbcDatabase,
        QStringLiteral("DRIVER={FreeTDS};SERVER=h;DATABASE=P;UID=sa;PWD=;ClientCharset=UTF-8"));
}

TEST(ConnectionStringTest, UnservedProvidersFailWithoutPasswords) {
    // No Oracle ODBC driver is installed here.
    try {
        PlanConnection(
            QStringLiteral("Provider=MSDAORA.1;Persist Security Info=True;User ID=scott;Data Source=ORCL;"
                           "Password=tiger;"));
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description.contains(QStringLiteral("Oracle"))) << e.Description.toStdString();
        EXPECT_TRUE(e.Description.contains(QStringLiteral("ORCL")));
    }
    try {
        Connection c;
        c.Open(QStringLiteral("Provider=Bogus.9;Password=hunter22;User ID=u"));
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_FALSE(e.Description.contains(QStringLiteral("hunter22")));
    }
}
