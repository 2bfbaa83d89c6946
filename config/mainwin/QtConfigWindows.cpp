#include "config/mainwin/QtConfigWindows.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QFileDialog>
#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTreeWidget>

#include "common/ProgramState.h"
#include "common/Texts.h"
#include "config/core/ConfigMain.h"
#include "config/mainwin/frmOpenProj.h"
#include "config/mainwin/frmSelectWksName.h"
#include "platform/captions/Captions.h"
#include "platform/msgbox/QtMessageService.h"

namespace {

const TextPair kProjectNode{"Project [", "專案 ["};

// A headless run has nobody to answer a picker.
bool Headless() {
    return QtMessageService::UseStderr();
}

}  // namespace

class QtConfigWindows::MainWindow : public QMainWindow {
  public:
    MainWindow() {
        setObjectName(QStringLiteral("frmConfigMain"));
        tree_ = new QTreeWidget(this);
        tree_->setObjectName(QStringLiteral("tvTreeView"));
        tree_->setHeaderHidden(true);
        setCentralWidget(tree_);
        const QString date = QDate::currentDate().toString(QStringLiteral("yyyy/M/d"));
        for (const auto& [key, text] :
             {std::pair{"Status", QStringLiteral("Welcom to LedgrixConfig")},
              std::pair{"ProjName", QString()}, std::pair{"Mode", QStringLiteral("Config")},
              std::pair{"Date", date}}) {
            auto* panel = new QLabel(text, this);
            panels_.insert(QString::fromLatin1(key), panel);
            statusBar()->addWidget(panel, QLatin1String(key) == QLatin1String("Status") ? 1 : 0);
        }
        resize(640, 420);
    }

    void Load() {
        setWindowTitle(LedgrixConfigMain::MainCaption());
        caption_.Acquire(windowTitle());
    }

    void Fill() {
        const ProgramState& st = State();
        tree_->clear();
        auto* project = new QTreeWidgetItem(
            tree_, {Tx(kProjectNode) + st.ProjectName + QStringLiteral(" - ") + st.WorkstationName + u']'});
        for (int i = 1; i <= st.SaveGroupCount && i <= kMaxSaveGroups; ++i) {
            const SaveGroupRecord& g = st.SaveGroups[static_cast<size_t>(i)];
            const QString name = g.Settings ? g.Settings->SaveGroupName : QString();
            if (name.isEmpty()) break;
            if (g.IsGroupDeleted == 0) new QTreeWidgetItem(project, {name});
        }
        project->setExpanded(true);
        tree_->sortItems(0, Qt::AscendingOrder);
    }

    void SetPanel(const QString& key, const QString& text) {
        if (QLabel* panel = panels_.value(key)) panel->setText(text);
    }

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        LedgrixConfigMain::sysExit(0);
    }

  private:
    QTreeWidget* tree_ = nullptr;
    QHash<QString, QLabel*> panels_;
    CaptionHold caption_;
};

QtConfigWindows::QtConfigWindows() = default;
QtConfigWindows::~QtConfigWindows() = default;

QtConfigWindows::MainWindow& QtConfigWindows::Main() {
    if (!main_) main_ = std::make_unique<MainWindow>();
    return *main_;
}

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
    Main().Load();
    Main().Fill();
    Main().show();
}

void QtConfigWindows::RefreshTree() {
    Main().Fill();
}

void QtConfigWindows::SetStatusPanel(const QString& key, const QString& text) {
    Main().SetPanel(key, text);
}

std::optional<QString> QtConfigWindows::OpenFile(const QString& initialFolder, const QString& description,
                                                 const QString& pattern) {
    const QString filter =
        description.contains(u'(') ? description : description + QStringLiteral(" (") + pattern + u')';
    QFileDialog dialog(main_.get(), QString(), initialFolder, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void QtConfigWindows::CloseMain() {
    if (main_ && main_->isVisible())
        main_->close();
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
