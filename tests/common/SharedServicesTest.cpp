#include <gtest/gtest.h>
#include <QDesktopServices>
#include <QFile>
#include <QObject>
#include <QUrl>

#include "common/CommandLineUtil.h"
#include "common/Failure.h"
#include "common/HelpUtil.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "platform/registry/Registry.h"
#include "tests/support/TestSupport.h"

namespace {

const QString kClient = "SOFTWARE\\Microsoft\\MSSQLServer\\Client\\";

QString RegistryValue(const QString& key, const QString& name) {
    Registry::Key k;
    if (!Registry::CreateKey(Registry::Root::LocalMachine, kClient + key, k)) return "<no key>";
    return Registry::ValueExists(k, name) ? Registry::QueryStringValue(k, name) : "<none>";
}

class SharedServices : public ProgramFixture {
  protected:
    void Alias(const QString& server) {
        State().Group(1).S().dbDataSource = server;
        int16_t index = 1;
        SetSQLServerClientAlias(index);
    }
};

// Catches what the desktop would open.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void open(const QUrl& url) { opened.append(url); }
};

}  // namespace

TEST_F(SharedServices, SqlServerAliasIsWrittenOnce) {
    Alias("srv1");
    EXPECT_EQ(RegistryValue("ConnectTo", "srv1"), "DBMSSOCN,srv1,1433");
    EXPECT_EQ(RegistryValue("TDS", "srv1"), "7.0");
    EXPECT_TRUE(ReadFile("registry.ini")
                    .contains("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\DB-Lib]"));

    // An existing value is never changed, whatever it holds; names match in any letter case.
    Registry::Key connectTo;
    ASSERT_TRUE(Registry::CreateKey(Registry::Root::LocalMachine, kClient + "ConnectTo", connectTo));
    ASSERT_TRUE(Registry::SetStringValue(connectTo, "host\\inst", "DBNMPNTW,\\\\host\\pipe\\sql"));
    Alias("HOST\\INST");
    Alias("SRV1");
    EXPECT_EQ(RegistryValue("ConnectTo", "host\\inst"), "DBNMPNTW,\\\\host\\pipe\\sql");
    EXPECT_EQ(RegistryValue("TDS", "host\\inst"), "7.0");
    EXPECT_EQ(RegistryValue("ConnectTo", "srv1"), "DBMSSOCN,srv1,1433");
    EXPECT_EQ(ReadFile("registry.ini").count("srv1"), 3);  // two values of "srv1" only

    // No server name: nothing is written, not even the keys' default values.
    QFile::remove(Path("registry.ini"));
    Alias("");
    EXPECT_FALSE(QFile::exists(Path("registry.ini")));

    // A registry that cannot be written is skipped without a message.
    WriteFile("blocker", "");
    qputenv("LEDGRIX_REGISTRY_FILE", Path("blocker/registry.ini").toUtf8());
    Alias("srv3");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SharedServices, EveryTestHasAWindowFolderAndRegistryFileOfItsOwn) {
    EXPECT_TRUE(qEnvironmentVariable("LEDGRIX_WINDOW_DIR").startsWith(root.path()));
    EXPECT_TRUE(qEnvironmentVariable("LEDGRIX_REGISTRY_FILE").startsWith(root.path()));
}

TEST_F(SharedServices, HelpTable) {
    HelpUtil::InitHelpIDTable();
    const ProgramState& st = State();
    ASSERT_EQ(st.HelpIDCount, 57);
    EXPECT_EQ(st.HelpIDTable[40], "frmOpenProj");
    QStringList rows;
    for (int i = 1; i <= 57; ++i) rows << st.HelpIDTable[static_cast<size_t>(i)].toUpper();
    EXPECT_EQ(rows.removeDuplicates(), 0);
    EXPECT_EQ(HelpUtil::FindHelpID("FRMOPENPROJ"), 40);
    // The system's own dialogs other than the project picker have no topic.
    for (const char* own : {"frmGroupConfig", "frmConfigMain", "frmDBSetup1", "frmFieldContent", "frmAbout",
                            "frmBasicConfig", "frmSelectWksName", "frmRename", "frmMain", "frmDummy"})
        EXPECT_EQ(HelpUtil::FindHelpID(own), 0) << own;
    EXPECT_EQ(HelpUtil::FindHelpID("frmOpen"), 0);  // whole names only
}

TEST_F(SharedServices, ShowHelp) {
    HelpUtil::InitHelpIDTable();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    ProgramState& st = State();

    // A missing help file is reported first; the table is not searched.
    HelpUtil::ShowHelp("frmNotInTable");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Help file error!\r\nHelp file[Hexvane.chm] is not exist!");
    EXPECT_EQ(boxes.boxes[0].title, "Help file error");
    EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Critical);
    EXPECT_EQ(st.ErrorText, boxes.boxes[0].text);
    st.LanguageIndex = 1;
    HelpUtil::ShowHelp("frmOpenProj");
    EXPECT_EQ(boxes.boxes[1].text, "說明檔錯誤!\r\n說明檔[Hexvane.chm], 找不到。\r\n請檢查說明檔是否存在!");
    EXPECT_EQ(st.ErrorCaption, "說明檔錯誤");
    EXPECT_TRUE(catcher.opened.isEmpty());

    // With the file: a known dialog opens it, any other gets the HelpID message.
    WriteFile("bin/Hexvane.chm", "help");
    boxes.boxes.clear();
    QObject picker;
    picker.setObjectName("FrmOpenProj");
    HelpUtil::ShowHelp(picker);
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0].toLocalFile(), Path("bin/Hexvane.chm"));
    HelpUtil::ShowHelp("frmGroupConfig");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "HelpID 找不到, 請重新定義 HelpID 的陣列!");
    EXPECT_EQ(boxes.boxes[0].title, "找不到 Help");
    EXPECT_EQ(catcher.opened.size(), 1);
    QDesktopServices::unsetUrlHandler("file");
}

TEST(CommandLine, SplitsIntoArgumentsAndSwitches) {
    std::vector<QString> args(100), switches(100);
    int16_t argc = 7, switchc = 7;
    CommandLineUtil::ParseCommandLine("", args, argc, switches, switchc);
    EXPECT_EQ(argc, 0);
    EXPECT_EQ(switchc, 0);

    CommandLineUtil::ParseCommandLine(" P  /Purge:30 W /DEBUG / ", args, argc, switches, switchc);
    ASSERT_EQ(argc, 5);
    EXPECT_EQ(args[1], "");
    EXPECT_EQ(args[2], "P");
    EXPECT_EQ(args[3], "");
    EXPECT_EQ(args[4], "W");
    EXPECT_EQ(args[5], "");
    ASSERT_EQ(switchc, 3);
    EXPECT_EQ(switches[1], "/Purge:30");
    EXPECT_EQ(switches[2], "/DEBUG");
    EXPECT_EQ(switches[3], "/");
}

TEST(CommandLine, LongLinesLoseNoWord) {
    // More words than the callers' 99 entries: the tables grow.
    QStringList words;
    for (int i = 1; i <= 150; ++i) words << QString::number(i) << "/S" + QString::number(i);
    std::vector<QString> args(100), switches(100);
    int16_t argc = 0, switchc = 0;
    CommandLineUtil::ParseCommandLine(words.join(' '), args, argc, switches, switchc);
    EXPECT_EQ(argc, 150);
    EXPECT_EQ(switchc, 150);
    ASSERT_GE(args.size(), 151u);
    EXPECT_EQ(args[150], "150");
    EXPECT_EQ(switches[120], "/S120");

    // Beyond the 16-bit count: an overflow failure, the words before it kept.
    const QString huge = QString("a ").repeated(32767) + "last";
    try {
        CommandLineUtil::ParseCommandLine(huge, args, argc, switches, switchc);
        FAIL() << "no overflow";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number, FailureNumber::Overflow);
    }
    EXPECT_EQ(argc, 32767);
    EXPECT_EQ(args[32767], "a");
}

#include "SharedServicesTest.moc"
