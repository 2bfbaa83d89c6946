#include "config/forms/FolderPicker.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "config/forms/ConfigImages.h"
#include "config/forms/FormSupport.h"

QStringList ListSubfolders(const QString& folder) {
    const QDir dir(FileUtil::ResolvePath(folder));
    QStringList names;
    if (!dir.exists()) return names;
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (!name.contains(u'.')) names << name;
    SortIgnoringCase(names);
    return names;
}

FolderPicker::FolderPicker(QWidget* parent) : ConfigDialog(parent) {}

void FolderPicker::Bind(const PickerTexts& texts, QListWidget* list, QLabel* name, QLabel* total,
                        QPushButton* ok, QPushButton* cancel, QPushButton* help) {
    texts_ = texts;
    list_ = list;
    name_ = name;
    total_ = total;
    connect(list, &QListWidget::itemSelectionChanged, this, &FolderPicker::List_Click);
    connect(list, &QListWidget::itemDoubleClicked, this, &FolderPicker::List_DblClick);
    BindButtons(ok, cancel, help);
}

void FolderPicker::LoadFolder(const QString& folder) {
    mbuttonOK = false;
    mString.clear();
    SetName(QString());
    name_->clear();
    SetCaption(*this, Tx(texts_.caption));
    ApplyCaptions(*this, {{"Label1", texts_.nameLabel},
                          {"Label2", {"Total: ", "總數："}},
                          {"cmdOK", kCaptionOK},
                          {"cmdCancel", kCaptionCancel},
                          {"cmdHelp", kCaptionHelp}});
    setCursor(Qt::WaitCursor);
    {
        const QSignalBlocker quiet(list_);
        list_->clear();
        const QIcon panel(ConfigImage(QStringLiteral("Panel")));
        for (const QString& name : ListSubfolders(folder)) list_->addItem(new QListWidgetItem(panel, name));
        if (list_->count() > 0) {
            list_->setCurrentRow(0);
            name_->setText(list_->item(0)->text());
            list_->scrollToItem(list_->item(0));
        }
    }
    total_->setText(QString::number(list_->count()));
    unsetCursor();
    exec();
}

bool FolderPicker::CheckFormObj() {
    mFocusObj = nullptr;
    if (!name_->text().isEmpty()) return true;
    MsgLines({Tx(texts_.failed), Tx(texts_.noneChosen), Tx(texts_.chooseOne)}, MsgStyle::Critical,
             Tx(texts_.title));
    return false;
}

void FolderPicker::SaveFormObj() {
    mbuttonOK = true;
    SetName(name_->text().trimmed());
}

void FolderPicker::cmdCancel_Click() {
    mbuttonOK = false;
    ConfigDialog::cmdCancel_Click();
}

void FolderPicker::List_Click() {
    const QList<QListWidgetItem*> chosen = list_->selectedItems();
    if (!chosen.isEmpty()) name_->setText(chosen.first()->text());
}

void FolderPicker::List_DblClick() {
    List_Click();
    cmdOK_Click();
}
