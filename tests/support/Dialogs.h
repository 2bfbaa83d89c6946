// Drives modal dialogs in headless tests. A dialog's LoadFormObj shows it modally and returns
// only when it is hidden, so the test arranges first what to do once it shows:
//
//     NextModal drive([&](QDialog& dlg) {
//         SetText(dlg, "txtTagName", "T1");
//         Click(dlg, "cmdOK");
//     });
//     FormObj<frmFieldContent>().LoadFormObj(...);
//
// Controls are found by their object names. Message boxes go to the recording message service,
// so they do not stop the action.
#pragma once
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <stdexcept>

// Runs the action on the next modal dialog that shows while this object lives (a dialog shown
// inside another one's action included). A dialog that the action leaves open fails the test
// and is closed, so no test hangs; an action that never ran fails the test when this object
// goes out of scope.
class NextModal {
  public:
    explicit NextModal(std::function<void(QDialog&)> action);
    ~NextModal();
    NextModal(const NextModal&) = delete;
    NextModal& operator=(const NextModal&) = delete;

    bool Ran() const { return ran_; }

  private:
    void Poll();

    std::function<void(QDialog&)> action_;
    QPointer<QWidget> before_;
    QTimer timer_;
    bool ran_ = false;
};

// The named child control of a form, of the given kind; throws when there is none.
template <class W = QWidget>
W& Child(QWidget& form, const QString& name) {
    W* w = form.findChild<W*>(name);
    if (!w) throw std::runtime_error("no control " + name.toStdString() + " of the expected kind");
    return *w;
}

// Clicks the named button (nothing happens when it is disabled, as for a user).
void Click(QWidget& form, const QString& name);
// Replaces the text of the named text box or editable combo box, as typing would.
void SetText(QWidget& form, const QString& name, const QString& text);
// The text of the named label, button, text box or combo box.
QString TextOf(QWidget& form, const QString& name);
