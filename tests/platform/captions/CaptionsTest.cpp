#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include "platform/captions/Captions.h"
#include "tests/platform/hexvane-sim/HmiTestProject.h"

TEST(Captions, HoldersOfOneCaptionAndReleaseOrder) {
    PrivateRuntimeFolder folder;
    EXPECT_EQ(RuntimeFolder(), folder.Path());
    const QString caption = QStringLiteral("Ledgrix for Windows");
    EXPECT_FALSE(WindowCaptionExists(caption));
    {
        CaptionHold first(caption);
        ASSERT_TRUE(first.IsHeld());
        EXPECT_TRUE(WindowCaptionExists(caption));
        // Testing leaves no lock behind: a second test still sees the holder, and a second
        // window may carry the same caption.
        EXPECT_TRUE(WindowCaptionExists(caption));
        CaptionHold second;
        EXPECT_TRUE(second.Acquire(caption));
        first.Release();
        EXPECT_FALSE(first.IsHeld());
        EXPECT_TRUE(WindowCaptionExists(caption));
        // A window that changes its caption gives up the old one.
        EXPECT_TRUE(second.Acquire(QStringLiteral("Other")));
        EXPECT_FALSE(WindowCaptionExists(caption));
        EXPECT_TRUE(WindowCaptionExists(QStringLiteral("Other")));
    }
    // Destruction releases; the lock file stays but holds nothing.
    EXPECT_TRUE(QFileInfo::exists(CaptionLockPath(caption)));
    EXPECT_FALSE(WindowCaptionExists(QStringLiteral("Other")));
}

TEST(Captions, ExactCaptionsWithAnyCharacters) {
    PrivateRuntimeFolder folder;
    const QStringList captions = {QStringLiteral("Ledgrix 資料庫存檔工具程式"),
                                  QStringLiteral("Ledgrix for Windows [Ledgrix]"),
                                  QStringLiteral("a/b\\c"),
                                  QStringLiteral(".."),
                                  QStringLiteral("50% done"),
                                  QStringLiteral("x").repeated(300),
                                  QStringLiteral("x").repeated(299) + u'y'};
    std::vector<std::unique_ptr<CaptionHold>> holds;
    for (const QString& c : captions) {
        holds.push_back(std::make_unique<CaptionHold>(c));
        EXPECT_TRUE(holds.back()->IsHeld()) << c.toStdString();
        EXPECT_EQ(QFileInfo(CaptionLockPath(c)).path(), folder.Path()) << c.toStdString();
    }
    for (qsizetype i = 0; i < captions.size(); ++i) {
        holds[i]->Release();
        for (qsizetype j = 0; j < captions.size(); ++j)
            EXPECT_EQ(WindowCaptionExists(captions[j]), j > i) << i << " " << j;
    }
    // Captions are matched exactly: letter case and a caption's prefix are other captions.
    CaptionHold hold(QStringLiteral("Vellumdock for Windows"));
    EXPECT_FALSE(WindowCaptionExists(QStringLiteral("VELLUMDOCK FOR WINDOWS")));
    EXPECT_FALSE(WindowCaptionExists(QStringLiteral("Vellumdock")));
    EXPECT_FALSE(WindowCaptionExists(QString()));
    EXPECT_FALSE(CaptionHold(QString()).IsHeld());
}

TEST(Captions, RuntimeFolderFallsBackToTheUserRuntimeFolder) {
    PrivateRuntimeFolder own;
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("LEDGRIX_WINDOW_DIR");
    // Missing parents are made; the folder itself is the owner's only.
    const QString made = own.Path() + QStringLiteral("/user/run/ledgrix-windows");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(own.Path() + QStringLiteral("/user/run")));
    EXPECT_EQ(RuntimeFolder(), made);
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(made).constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    if (xdg.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", xdg);
}

// A folder another user could write to, or a name that is not the folder itself, is refused:
// no caption is taken and nothing is made there.
TEST(Captions, OpenLinkedOrNoFolderIsRefusedAndNothingIsMadeThere) {
    PrivateRuntimeFolder keep;  // restores the variable
    QTemporaryDir base;
    const QString open = base.path() + QStringLiteral("/open"), own = base.path() + QStringLiteral("/own"),
                  link = base.path() + QStringLiteral("/link"), file = base.path() + QStringLiteral("/file");
    ASSERT_TRUE(QDir(base.path()).mkdir(QStringLiteral("open")));
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0777), 0);
    // Open to its group only, with or without the group's write.
    const QString group = base.path() + QStringLiteral("/group"),
                  groupRead = base.path() + QStringLiteral("/gr");
    ASSERT_EQ(::mkdir(QFile::encodeName(group).constData(), 0700), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(group).constData(), 0770), 0);
    ASSERT_EQ(::mkdir(QFile::encodeName(groupRead).constData(), 0700), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(groupRead).constData(), 0750), 0);
    ASSERT_EQ(::mkdir(QFile::encodeName(own).constData(), 0700), 0);
    ASSERT_TRUE(QFile::link(own, link));
    QFile plain(file);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();

    const std::pair<QString, RuntimeFolderFault> refused[] = {
        {open, RuntimeFolderFault::OpenToOthers},        {group, RuntimeFolderFault::OpenToOthers},
        {groupRead, RuntimeFolderFault::OpenToOthers},   {link, RuntimeFolderFault::SymbolicLink},
        {link + u'/', RuntimeFolderFault::SymbolicLink}, {file, RuntimeFolderFault::NotAFolder}};
    for (const auto& [path, fault] : refused) {
        qputenv("LEDGRIX_WINDOW_DIR", QFile::encodeName(path));
        EXPECT_EQ(CheckRuntimeFolder(LedgrixRuntimeFolderPath()).fault, fault) << path.toStdString();
        EXPECT_TRUE(RuntimeFolder().isEmpty()) << path.toStdString();
        EXPECT_FALSE(CaptionHold(QStringLiteral("Ledgrix for Windows")).IsHeld()) << path.toStdString();
    }
    for (const QString& folder : {open, group, groupRead}) EXPECT_TRUE(FolderHoldsNothing(folder));
    EXPECT_TRUE(FolderHoldsNothing(own));
}

TEST(Captions, AnotherUsersRuntimeFolderIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
    PrivateRuntimeFolder folder;
    ASSERT_EQ(::chown(QFile::encodeName(folder.Path()).constData(), 65534, static_cast<gid_t>(-1)), 0);
    const RuntimeFolderState state = CheckRuntimeFolder(LedgrixRuntimeFolderPath());
    EXPECT_EQ(state.fault, RuntimeFolderFault::OtherOwner);
    EXPECT_EQ(state.owner, 65534u);
    EXPECT_FALSE(CaptionHold(QStringLiteral("Ledgrix for Windows")).IsHeld());
    EXPECT_TRUE(FolderHoldsNothing(folder.Path()));
}
