#include "config/wizard/frmSelectDataBaseRootDir.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QStorageInfo>
#include <QStyle>
#include <algorithm>

#include "common/FileUtil.h"
#include "common/ProgramState.h"

namespace {

constexpr int kPathRole = Qt::UserRole;

// The folder itself when it exists, else its nearest parent that does (at last the root).
QString NearestFolder(QString path) {
    path = QDir::cleanPath(path);
    while (!QFileInfo(path).isDir() && path != QLatin1String("/")) path = QFileInfo(path).path();
    return path.isEmpty() ? QStringLiteral("/") : path;
}

QString DriveOf(const QString& path) {
    const QStorageInfo volume(path);
    return volume.isValid() ? volume.rootPath() : QStringLiteral("/");
}

}  // namespace

QStringList DriveRoots() {
    QStringList roots{QStringLiteral("/")};
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QString root = v.rootPath();
        if (v.isValid() && v.isReady() && v.device().startsWith("/dev/") && QFileInfo(root).isDir() &&
            !roots.contains(root))
            roots << root;
    }
    std::sort(roots.begin(), roots.end());
    return roots;
}

frmSelectDataBaseRootDir::frmSelectDataBaseRootDir(QWidget* parent) : ConfigDialog(parent) {
    setupUi(this);
    BindButtons(cmdOK, cmdCancel, cmdHelp);
    connect(lstDir, &QListWidget::itemSelectionChanged, this, &frmSelectDataBaseRootDir::lstDir_Click);
    connect(lstDir, &QListWidget::itemDoubleClicked, this, &frmSelectDataBaseRootDir::lstDir_DblClick);
    connect(lstDrive, &QComboBox::currentIndexChanged, this, &frmSelectDataBaseRootDir::lstDrive_Change);
}

void frmSelectDataBaseRootDir::LoadFormObj(const QString& tmpDBRootDir) {
    mFocusObj = nullptr;
    mString.clear();
    mDataBaseRootDir.clear();
    lblDatabaseRootDir->clear();
    const QString start =
        tmpDBRootDir.isEmpty() ? FileUtil::GetAbsolutePathName(State().ProjectFolder) : tmpDBRootDir;
    const QString folder = NearestFolder(FileUtil::ResolvePath(start));
    SetDrive(DriveOf(folder));
    SetDirPath(folder);
    lblDatabaseRootDir->setText(dirPath_);
    ApplyCaptions(*this, {{"frmSelectDataBaseRootDir",
                           {"Select Distributed Database Root Directory", "選擇分散資料檔的根目錄路徑"}},
                          {"Frame1", {"Distributed Database Root Directory", "分散資料檔的根目錄"}},
                          {"cmdOK", kCaptionOK},
                          {"cmdCancel", kCaptionCancel},
                          {"cmdHelp", kCaptionHelp}});
    exec();
}

bool frmSelectDataBaseRootDir::CheckFormObj() {
    mFocusObj = nullptr;
    return true;
}

void frmSelectDataBaseRootDir::SaveFormObj() {
    mDataBaseRootDir = lblDatabaseRootDir->text();
}

void frmSelectDataBaseRootDir::SetDrive(const QString& root) {
    const QSignalBlocker quiet(lstDrive);
    lstDrive->clear();
    QStringList roots = DriveRoots();
    if (!roots.contains(root)) roots << root;
    lstDrive->addItems(roots);
    lstDrive->setCurrentIndex(static_cast<int>(roots.indexOf(root)));
}

// The folder list as a folder list box shows it: the folder's parents from the root down, the
// folder itself (the current entry), then its subfolders; each entry holds its full path.
void frmSelectDataBaseRootDir::SetDirPath(const QString& path) {
    const QSignalBlocker quiet(lstDir);
    dirPath_ = path;
    lstDir->clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [&](const QIcon& icon, const QString& name, const QString& full, int depth) {
        auto* item = new QListWidgetItem(icon, QString(depth * 3, u' ') + name);
        item->setData(kPathRole, full);
        lstDir->addItem(item);
        return item;
    };
    QString full = QStringLiteral("/");
    QListWidgetItem* current = add(open, full, full, 0);
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    for (int i = 0; i < parts.size(); ++i) {
        full = QDir::cleanPath(full + u'/' + parts[i]);
        current = add(open, parts[i], full, i + 1);
    }
    QStringList subfolders = QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    SortIgnoringCase(subfolders);
    for (const QString& name : subfolders)
        add(closed, name, QDir::cleanPath(path + u'/' + name), static_cast<int>(parts.size()) + 1);
    lstDir->setCurrentItem(current);
    lstDir->scrollToItem(current);
}

void frmSelectDataBaseRootDir::lstDir_Click() {
    const QList<QListWidgetItem*> chosen = lstDir->selectedItems();
    if (!chosen.isEmpty()) lblDatabaseRootDir->setText(chosen.first()->data(kPathRole).toString());
}

void frmSelectDataBaseRootDir::lstDir_DblClick() {
    const QList<QListWidgetItem*> chosen = lstDir->selectedItems();
    if (chosen.isEmpty()) return;
    lstDir_Click();
    SetDirPath(chosen.first()->data(kPathRole).toString());
}

void frmSelectDataBaseRootDir::lstDrive_Change() {
    const QString root = lstDrive->currentText();
    const QFileInfo drive(root);
    if (!drive.isDir() || !drive.isReadable()) return;
    SetDirPath(QDir::cleanPath(root));
}
