#include "config/mainwin/QtConfigWindows.h"

#include <QAbstractFileIconProvider>
#include <QComboBox>
#include <QFileDialog>
#include <QIcon>
#include <QMimeDatabase>

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

// The picker's icons and type names, from a file's name and kind only. Qt's own provider reads
// the first bytes of a file whose name does not tell its type, and the descriptor it closes
// drops every lock this program holds on that file: a database file open in the wizard would be
// left without the engine's locks.
class NameOnlyIconProvider : public QAbstractFileIconProvider {
  public:
    QIcon icon(IconType type) const override { return QAbstractFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo& info) const override {
        if (!info.isFile()) return QAbstractFileIconProvider::icon(info.isDir() ? Folder : File);
        const QIcon themed = QIcon::fromTheme(Mime(info).iconName());
        return themed.isNull() ? QAbstractFileIconProvider::icon(File) : themed;
    }
    QString type(const QFileInfo& info) const override {
        if (!info.isFile()) return QAbstractFileIconProvider::type(info);
        const QMimeType mime = Mime(info);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }

  private:
    QMimeType Mime(const QFileInfo& info) const {
        return mimeTypes_.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    }
    QMimeDatabase mimeTypes_;
};

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
    NameOnlyIconProvider icons;
    dialog.setIconProvider(&icons);
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
