#include "config/mainwin/frmAboutLedgrixConfig.h"

#include "common/ProgramState.h"
#include "config/mainwin/ConfigImages.h"
#include "config/mainwin/FormSupport.h"

#ifndef LEDGRIX_VERSION_MAJOR
#error "LEDGRIX_VERSION_MAJOR, _MINOR and _PATCH come from the project version"
#endif

namespace {
constexpr TextPair kCaption{"About LedgrixConfig....", "關於 LedgrixConfig 資料庫存檔設定工具程式"};
constexpr TextPair kVersion{"Version: ", "版別："};
constexpr const char* kProgramName = "LedgrixConfig";
constexpr const char* kProductDescription = "資料庫存檔設定工具程式";
constexpr const char* kLegalNotice =
    "Copyright (C) The Ledgrix developers. All rights reserved.\n"
    "This program is protected by copyright law. Unauthorized reproduction or distribution of "
    "this program, or any portion of it, may result in civil and criminal penalties.";
}  // namespace

QString ConfigVersionText() {
    return QStringLiteral("%1.%2.%3")
        .arg(LEDGRIX_VERSION_MAJOR)
        .arg(LEDGRIX_VERSION_MINOR)
        .arg(LEDGRIX_VERSION_PATCH);
}

frmAboutLedgrixConfig::frmAboutLedgrixConfig(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    picIcon->setPixmap(ConfigImage(QStringLiteral("Program")));
    connect(cmdOK, &QPushButton::clicked, this, &frmAboutLedgrixConfig::cmdOK_Click);
    Form_Load();
}

void frmAboutLedgrixConfig::ShowModal(QWidget* parent) {
    frmAboutLedgrixConfig box(parent);
    box.exec();
}

void frmAboutLedgrixConfig::Form_Load() {
    const bool english = State().LanguageIndex == 0;
    ApplyCaptions(*this, {{"frmAboutLedgrixConfig", kCaption}, {"cmdOK", kCaptionOK}});
    Label1->setText(QString::fromLatin1(kProgramName));
    Label2->setText(QString::fromUtf8(kProductDescription));
    Label2->setVisible(!english);
    lblVersion->setText(Tx(kVersion) + ConfigVersionText());
    lblRights->setText(QString::fromUtf8(kLegalNotice));
    adjustSize();
}

void frmAboutLedgrixConfig::cmdOK_Click() {
    accept();
}
