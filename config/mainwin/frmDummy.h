// A blank hidden form that the configuration program carries and never opens: whatever shows
// it or calls it, it hides itself.
#pragma once
#include <QDialog>

#include "ui_frmDummy.h"

class frmDummy : public QDialog, public Ui::frmDummy {
    Q_OBJECT
  public:
    explicit frmDummy(QWidget* parent = nullptr);
    void InvokeFormMember();
    void Form_Activate();

  protected:
    bool event(QEvent* e) override;
};
