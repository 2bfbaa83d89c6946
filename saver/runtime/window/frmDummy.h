// The hidden window whose handle identifies the saver to the tag-manager library.
#pragma once
#include <QDialog>
#include <cstdint>

class frmDummy : public QDialog {
    Q_OBJECT
  public:
    frmDummy();
    // Shown modally it hides itself at once on activation, so the showing returns at once
    // and the window is never seen; its native window exists afterwards.
    void ShowModal();
    void HideForm() { hide(); }

  protected:
    void changeEvent(QEvent* event) override;
};

// The one hidden window of the saver, created on first use.
frmDummy& DummyForm();
// The tag-manager client handle: non-zero and the same for the whole run.
int32_t ClientHandle();
