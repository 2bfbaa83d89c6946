// What every form of the configuration program shares: one instance for the whole run, the
// captions of its controls from a bilingual table, and the words its OK and Finish leave.
#pragma once
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <utility>

#include "common/Texts.h"

class QPushButton;
class QRadioButton;
class QWidget;

// The word that OK leaves in a dialog's mString for its caller to compare.
inline const QString kResultOK = QStringLiteral("確定");
// The word that the wizard's Finish leaves in the last page's mString.
inline const QString kResultFinish = QStringLiteral("完成");

// The one instance of a form, made on first use and only hidden between uses, so its public
// variables keep the last answers. A form that was deleted is made again.
template <class Form>
Form& FormObj() {
    static QPointer<Form> form;
    if (!form) form = new Form;
    return *form;
}

// The captions of the buttons that most dialogs carry.
constexpr TextPair kCaptionOK{"OK", "確定"};
constexpr TextPair kCaptionCancel{"Cancel", "取消"};
constexpr TextPair kCaptionHelp{"Help", "說明"};

// The caption of one control in both languages; the control is named by its object name, and
// the form's own name stands for its window caption.
struct Caption {
    const char* control;
    TextPair text;
};

// Gives each named control its caption in the current language: the window caption of the form,
// the text of a label or button, the title of a frame.
void ApplyCaptions(QWidget& form, std::initializer_list<Caption> captions);
// The same for one control.
void SetCaption(QWidget& control, const QString& text);

// Makes each pair of option buttons a choice of its own, also where one pair lies inside the
// frame of another (Qt would otherwise make every option of a frame one choice).
void PairOptions(QWidget& owner, std::initializer_list<std::pair<QRadioButton*, QRadioButton*>> pairs);

// Sorts names without regard to letter case (names that differ only in case: exact order).
void SortIgnoringCase(QStringList& names);

// Every editable list of the form keeps the text as typed: no completion from its items, and
// Enter adds nothing to them.
void KeepTypedTexts(QWidget& form);

// A message box whose text is the given lines joined by CR LF (what failed, why, what to do).
int MsgLines(std::initializer_list<QString> lines, int style, const QString& title);

// A dialog of the configuration program: LoadFormObj fills it and shows it modally,
// CheckFormObj validates (one message, the control to focus in mFocusObj), SaveFormObj copies
// the inputs into the public result variables, and OK leaves "確定" in mString. Cancel, Escape
// and the window's close button all run cmdCancel_Click, which only hides the dialog.
class ConfigDialog : public QDialog {
    Q_OBJECT
  public:
    QWidget* mFocusObj = nullptr;  // the control that the last failed check wants focused
    QString mString;               // "確定" after OK; empty after loading and after Cancel

    virtual bool CheckFormObj() = 0;
    virtual void SaveFormObj() = 0;

    // Checks; on success saves, leaves "確定" and hides the dialog; otherwise focuses mFocusObj
    // and the dialog stays open.
    virtual void cmdOK_Click();
    // Empties mString and hides the dialog.
    virtual void cmdCancel_Click();
    // The help topic of this dialog.
    void cmdHelp_Click();

    // Shows the dialog modally, owned by the window that opens it (the active modal window), so
    // it stays in front of it, with its editable lists keeping what is typed; returns when the
    // dialog is hidden.
    int exec() override;

  protected:
    explicit ConfigDialog(QWidget* parent = nullptr) : QDialog(parent) {}
    // Binds the buttons to their handlers; a dialog without a help button passes null.
    void BindButtons(QPushButton* ok, QPushButton* cancel, QPushButton* help);
    void reject() override;

  private:
    int designedMinimumWidth_ = -1;  // the form's own minimum width, before its title's
};
