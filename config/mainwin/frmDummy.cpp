#include "config/mainwin/frmDummy.h"

#include <QEvent>

frmDummy::frmDummy(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    setWindowTitle(QStringLiteral("Form1"));
}

void frmDummy::InvokeFormMember() {
    hide();
}

void frmDummy::Form_Activate() {
    hide();
}

bool frmDummy::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) Form_Activate();
    return QDialog::event(e);
}
