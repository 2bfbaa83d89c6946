#include "saver/runtime/window/frmAbout.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "common/ProgramState.h"
#include "common/ProgramVersion.h"
#include "common/Texts.h"
#include "saver/runtime/window/DrawnImages.h"

namespace {
constexpr TextPair kAboutCaption{"About Ledgrix for Windows", "關於 Ledgrix 資料庫存檔工具程式"};
constexpr TextPair kLabel1{"Ledgrix for Windows", "Ledgrix 資料庫存檔工具程式"};
constexpr TextPair kVersion{"Version: ", "版別："};
constexpr TextPair kOK{"OK", "OK"};
}  // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setModal(true);
    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(DrawnImages::ProgramIcon());
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont big = Label1->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    Label1->setFont(big);
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblRights = new QLabel(this);
    lblRights->setObjectName(QStringLiteral("lblRights"));
    lblRights->setWordWrap(true);
    cmdOK = new QPushButton(this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    auto* top = new QHBoxLayout;
    top->addWidget(picIcon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->addWidget(Label1);
    texts->addWidget(lblVersion);
    top->addLayout(texts, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(cmdOK);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(lblRights);
    all->addLayout(bottom);
    setMinimumWidth(420);

    // Built-in captions, then the language, then the version after the label's own caption.
    setWindowTitle(Tx(kAboutCaption, 1));
    Label1->setText(Tx(kLabel1, 1));
    lblVersion->setText(Tx(kVersion, 1));
    cmdOK->setText(Tx(kOK, 1));
    SetLanguage();
    lblVersion->setText(lblVersion->text() + ProgramVersionText());
    lblRights->setText(ProgramLegalNotice());
}

void frmAbout::SetLanguage() {
    if (State().LanguageIndex != 0) return;
    setWindowTitle(Tx(kAboutCaption, 0));
    Label1->setText(Tx(kLabel1, 0));
    lblVersion->setText(Tx(kVersion, 0));
    cmdOK->setText(Tx(kOK, 0));
}

void frmAbout::cmdOK_Click() {
    accept();
}
