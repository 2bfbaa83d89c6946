#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/registry/Registry.h"

namespace {

class RegistryFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        file = dir.path() + "/sub/registry.ini";
        qputenv("LEDGRIX_REGISTRY_FILE", file.toUtf8());
    }
    QByteArray Content() const {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
    QString file;
};

}  // namespace

TEST_F(RegistryFile, KeysAndValuesSurviveRewrites) {
    EXPECT_EQ(Registry::FilePath(), file);
    Registry::Key a, b;
    ASSERT_TRUE(Registry::CreateKey(Registry::Root::LocalMachine, "SOFTWARE\\Test\\A", a));
    ASSERT_TRUE(Registry::CreateKey(Registry::Root::LocalMachine, "SOFTWARE/Test/B\\", b));
    EXPECT_EQ(b.path, "SOFTWARE\\Test\\B");
    EXPECT_FALSE(Registry::ValueExists(a, "x"));

    // Names and texts with quotes, backslashes and "=" read back unchanged.
    const QString odd = "say \"hi\" = C:\\dir\\";
    ASSERT_TRUE(Registry::SetStringValue(a, "n=\"1\"\\", odd));
    ASSERT_TRUE(Registry::SetStringValue(a, "", "default"));
    ASSERT_TRUE(Registry::SetStringValue(b, "x", "in B"));
    EXPECT_EQ(Registry::QueryStringValue(a, "N=\"1\"\\"), odd);
    EXPECT_EQ(Registry::QueryStringValue(a, ""), "default");
    EXPECT_FALSE(Registry::ValueExists(a, "x"));

    // Reopening a key in another letter case finds the same values; a rewrite replaces one value.
    Registry::Key again;
    ASSERT_TRUE(Registry::CreateKey(Registry::Root::LocalMachine, "software\\test\\a", again));
    ASSERT_TRUE(Registry::SetStringValue(again, "", "changed"));
    EXPECT_EQ(Registry::QueryStringValue(a, ""), "changed");
    EXPECT_EQ(Registry::QueryStringValue(b, "x"), "in B");
    const QByteArray text = Content();
    EXPECT_EQ(text.count("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\A]\r\n"), 1);
    EXPECT_EQ(text.count("@="), 1);
    EXPECT_EQ(text.count("\r\n"), text.count('\n'));

    // Lines it does not understand are kept.
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("; note\r\n");
    f.close();
    ASSERT_TRUE(Registry::SetStringValue(b, "y", "2"));
    EXPECT_TRUE(Content().contains("; note"));
    EXPECT_EQ(Registry::QueryStringValue(b, "x"), "in B");
}

TEST_F(RegistryFile, UnwritableFileFails) {
    QFile blocker(dir.path() + "/sub");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
    blocker.close();
    Registry::Key k;
    EXPECT_FALSE(Registry::CreateKey(Registry::Root::LocalMachine, "SOFTWARE\\X", k));
    EXPECT_FALSE(Registry::CreateKey(Registry::Root::LocalMachine, "\\", k));
    EXPECT_FALSE(Registry::ValueExists(k, "v"));
}

TEST_F(RegistryFile, APipeInPlaceOfTheFileIsNeitherWaitedForNorWritten) {
    QDir().mkpath(dir.path() + "/sub");
    ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    Registry::Key k;
    EXPECT_FALSE(Registry::CreateKey(Registry::Root::LocalMachine, "SOFTWARE\\X", k));
    EXPECT_FALSE(Registry::ValueExists(Registry::Key{Registry::Root::LocalMachine, "SOFTWARE\\X"}, "v"));
    EXPECT_FALSE(QFileInfo(file).isFile());
}
