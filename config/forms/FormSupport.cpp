#include "config/forms/FormSupport.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QWidget>
#include <algorithm>

#include "common/HelpUtil.h"
#include "common/ProgramHooks.h"
#include "platform/msgbox/OwnerWindow.h"

void SetCaption(QWidget& control, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(&control))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(&control))
        button->setText(text);
    else if (auto* frame = qobject_cast<QGroupBox*>(&control))
        frame->setTitle(text);
    else
        control.setWindowTitle(text);
}

void ApplyCaptions(QWidget& form, std::initializer_list<Caption> captions) {
    for (const Caption& c : captions) {
        const QString name = QString::fromLatin1(c.control);
        QWidget* control = name == form.objectName() ? &form : form.findChild<QWidget*>(name);
        Q_ASSERT_X(control, "ApplyCaptions", c.control);
        if (control) SetCaption(*control, Tx(c.text));
    }
}

void SortIgnoringCase(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

void KeepTypedTexts(QWidget& form) {
    for (QComboBox* list : form.findChildren<QComboBox*>()) {
        if (!list->isEditable()) continue;
        list->setCompleter(nullptr);
        list->setInsertPolicy(QComboBox::NoInsert);
    }
}

int MsgLines(std::initializer_list<QString> lines, int style, const QString& title) {
    return MsgBox(QStringList(lines).join(QStringLiteral("\r\n")), style, title);
}

void ConfigDialog::BindButtons(QPushButton* ok, QPushButton* cancel, QPushButton* help) {
    connect(ok, &QPushButton::clicked, this, &ConfigDialog::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &ConfigDialog::cmdCancel_Click);
    if (help) connect(help, &QPushButton::clicked, this, &ConfigDialog::cmdHelp_Click);
}

void ConfigDialog::cmdOK_Click() {
    if (CheckFormObj()) {
        SaveFormObj();
        mString = kResultOK;
        hide();
    } else if (mFocusObj) {
        mFocusObj->setFocus();
    }
}

void ConfigDialog::cmdCancel_Click() {
    mString.clear();
    hide();
}

void ConfigDialog::reject() {
    cmdCancel_Click();
}

int ConfigDialog::exec() {
    TakeOwnerWindow(*this);
    KeepTypedTexts(*this);
    // At least as wide as its title in the language shown, so the window manager does not cut
    // the title short, and never narrower than its layout needs in that language: a minimum
    // width of its own replaces the layout's, which would let the controls overlap.
    if (designedMinimumWidth_ < 0) designedMinimumWidth_ = minimumWidth();
    setMinimumWidth(std::max({designedMinimumWidth_, minimumSizeHint().width(), TitleBarWidth(*this)}));
    return QDialog::exec();
}

void ConfigDialog::cmdHelp_Click() {
    HelpUtil::ShowHelp(*this);
}

void PairOptions(QWidget& owner, std::initializer_list<std::pair<QRadioButton*, QRadioButton*>> pairs) {
    for (const auto& [a, b] : pairs) {
        auto* group = new QButtonGroup(&owner);
        group->addButton(a);
        group->addButton(b);
    }
}
