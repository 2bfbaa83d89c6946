#include "saver/runtime/window/frmDummy.h"

#include <QEvent>

frmDummy::frmDummy() {
    setObjectName(QStringLiteral("frmDummy"));
    setWindowTitle(QString());
}

void frmDummy::ShowModal() {
    // The activation would hide it before anything is drawn: only the native window is made.
    (void)winId();
}

void frmDummy::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) hide();
    QDialog::changeEvent(event);
}

frmDummy& DummyForm() {
    static frmDummy* form = new frmDummy();  // lives until the process ends
    return *form;
}

int32_t ClientHandle() {
    static const int32_t handle = [] {
        const auto id = static_cast<uint64_t>(DummyForm().winId());
        auto value = static_cast<int32_t>(static_cast<uint32_t>(id ^ (id >> 32)));
        return value == 0 ? 1 : value;
    }();
    return handle;
}
