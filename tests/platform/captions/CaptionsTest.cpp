#include <gtest/gtest.h>

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
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(own.Path()));
    EXPECT_EQ(RuntimeFolder(), own.Path() + QStringLiteral("/ledgrix-windows"));
    EXPECT_TRUE(QFileInfo(own.Path() + QStringLiteral("/ledgrix-windows")).isDir());
    if (xdg.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", xdg);
}
