// The configuration core in a temporary program folder (<root>/bin, projects in
// <root>/Project): fresh program and configuration state, recording windows and message boxes,
// the default program setting file read.
#pragma once
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/core/ConfigState.h"
#include "config/core/ConfigWindows.h"
#include "tests/support/TestSupport.h"

class ConfigFixture : public ProgramFixture {
  protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        ResetConfigState();
        SetConfigWindows(&windows);
        QFile set(QStringLiteral(LEDGRIX_BIN_DIR "/Ledgrix.set"));
        ASSERT_TRUE(set.open(QIODevice::ReadOnly));
        WriteFile(QStringLiteral("bin/Ledgrix.set"),
                  set.readAll().replace("AppliedLangName=AUTO", "AppliedLangName=ENGLISH"));
        Config().AppPath = QDir::currentPath();
        SettingUtil::LoadProgramSettings();
        State().LanguageIndex = 0;
        State().IsInteractive = 1;
    }
    void TearDown() override {
        SetConfigWindows(nullptr);
        ProgramFixture::TearDown();
    }

    // Copies the files below tests/data/config/<from> into the temporary root.
    void CopyData(const QString& from = QStringLiteral("Project")) {
        const QString base = TestData(QStringLiteral("config/"));
        QDirIterator it(base + from, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString src = it.next();
            QFile f(src);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            WriteFile(src.mid(base.size()), f.readAll());
        }
    }
    QByteArray DataFile(const QString& relative) const {
        QFile f(TestData(QStringLiteral("config/")) + relative);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool Exists(const QString& relative) const { return QFileInfo::exists(Path(relative)); }
    // The texts of the boxes shown so far, one line each.
    QStringList BoxTexts() const {
        QStringList texts;
        for (const auto& b : boxes.boxes) texts << b.text;
        return texts;
    }

    RecordingConfigWindows windows;
};
