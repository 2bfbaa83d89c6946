#include "config/mainwin/QtConfigWindows.h"

#include <QComboBox>
#include <QFileDialog>

#include "config/core/ConfigMain.h"
#include "config/mainwin/frmConfigMain.h"
#include "config/mainwin/frmOpenProj.h"
#include "config/mainwin/frmSelectWksName.h"
#include "platform/msgbox/OwnerWindow.h"
#include "platform/msgbox/QtMessageService.h"

namespace {

// A headless run has nobody to answer a picker.
bool Headless() {
    return QtMessageService::UseStderr();
}

}  // namespace

QtConfigWindows::QtConfigWindows() = default;
QtConfigWindows::~QtConfigWindows() = default;

std::optional<QString> QtConfigWindows::PickProject() {
    if (Headless()) return std::nullopt;
    frmOpenProj& picker = FormObj<frmOpenProj>();
    picker.LoadFormObj();
    if (!picker.mbuttonOK) return std::nullopt;
    return picker.mProjName;
}

std::optional<QString> QtConfigWindows::PickWorkstation(const QString& project) {
    if (Headless()) return std::nullopt;
    frmSelectWksName& picker = FormObj<frmSelectWksName>();
    picker.LoadFormObj(project);
    if (!picker.mbuttonOK) return std::nullopt;
    return picker.mDBName;
}

void QtConfigWindows::ShowMain() {
    frmConfigMain& main = FormObj<frmConfigMain>();
    main.LoadFormObj();
    main.show();
}

void QtConfigWindows::RefreshTree() {
    FormObj<frmConfigMain>().mkTreeView();
}

void QtConfigWindows::SetStatusPanel(const QString& key, const QString& text) {
    FormObj<frmConfigMain>().SetStatusPanel(key, text);
}

std::optional<QString> QtConfigWindows::OpenFile(const QString& initialFolder, const QString& description,
                                                 const QString& pattern) {
    const QString filter =
        description.contains(u'(') ? description : description + QStringLiteral(" (") + pattern + u')';
    // The picker belongs to the dialog that opened it, which stays in front when it closes.
    QWidget* owner = OwnerWindow();
    QFileDialog dialog(owner ? owner : &FormObj<frmConfigMain>(), QString(), initialFolder, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void QtConfigWindows::CloseMain() {
    frmConfigMain& main = FormObj<frmConfigMain>();
    if (main.isVisible())
        main.close();
    else
        LedgrixConfigMain::sysExit(0);
}

void ComboTagListBox::Clear() {
    box_->clear();
}

void ComboTagListBox::AddItem(const QString& text) {
    box_->addItem(text);
}

int ComboTagListBox::Count() const {
    return box_->count();
}

void ComboTagListBox::SetCurrentIndex(int index) {
    box_->setCurrentIndex(index);
}
