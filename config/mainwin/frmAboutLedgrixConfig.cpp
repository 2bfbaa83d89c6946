#include "config/mainwin/frmAboutLedgrixConfig.h"

#include "common/ProgramState.h"
#include "common/ProgramVersion.h"
#include "config/forms/ConfigImages.h"
#include "config/forms/FormSupport.h"

namespace {
constexpr TextPair kCaption{"About LedgrixConfig....", "關於 LedgrixConfig 資料庫存檔設定工具程式"};
constexpr TextPair kVersion{"Version: ", "版別："};
constexpr const char* kProgramName = "LedgrixConfig";
constexpr const char* kProductDescription = "資料庫存檔設定工具程式";
}  // namespace

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
    lblVersion->setText(Tx(kVersion) + ProgramVersionText());
    lblRights->setText(ProgramLegalNotice());
    adjustSize();
}

void frmAboutLedgrixConfig::cmdOK_Click() {
    accept();
}
