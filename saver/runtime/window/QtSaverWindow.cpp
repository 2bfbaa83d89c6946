#include "saver/runtime/window/QtSaverWindow.h"

#include "platform/msgbox/WaitEvents.h"
#include "saver/runtime/window/LogList.h"
#include "saver/runtime/window/frmDummy.h"
#include "saver/runtime/window/frmMain.h"

bool QtSaverWindow::Exists() const {
    return MainFormExists();
}

void QtSaverWindow::ShowMain(bool hidden) {
    frmMain& form = MainForm();
    form.LoadFormObj();
    form.show();
    form.setWindowState(form.windowState() | Qt::WindowMinimized);
    if (hidden) form.hide();
}

void QtSaverWindow::ShowNow(const QString& text) {
    MainForm().lblNow->setText(text);
}

void QtSaverWindow::ShowNextSaveTime(const QString& text) {
    MainForm().lblNextSaveTime->setText(text);
}

void QtSaverWindow::ShowRecordCount(const QString& text) {
    MainForm().lblNumRecSaved->setText(text);
    MainForm().lblNumRecSavedinDB->setText(text);
}

void QtSaverWindow::ShowTargetPath(const QString& path) {
    MainForm().txtTargetDB->setPlainText(path);
}

void QtSaverWindow::ShowLogFilePath(const QString& text) {
    MainForm().lblLogFilePath->setText(text);
}

void QtSaverWindow::ShowSettingsText(const QString& text) {
    MainForm().txtCfgSetting->setPlainText(text);
}

void QtSaverWindow::ShowLinkPicture(bool online) {
    const QString key = online ? QStringLiteral("online") : QStringLiteral("offline");
    QLabel* img = MainForm().imgStatus;
    img->setPixmap(MainForm().StatusImage(key));
    img->setProperty("pictureKey", key);
}

void QtSaverWindow::ShowLinkStatus(const QString& text) {
    MainForm().lblStatus->setText(text);
}

QStringList QtSaverWindow::TagViewTags() const {
    QStringList tags;
    const QTreeWidget* view = MainForm().ListViewSpcTag;
    for (int row = 0; row < view->topLevelItemCount(); ++row) tags << view->topLevelItem(row)->text(1);
    return tags;
}

void QtSaverWindow::ShowTagValue(int row, const QString& text) {
    if (QTreeWidgetItem* item = MainForm().ListViewSpcTag->topLevelItem(row)) item->setText(2, text);
}

void QtSaverWindow::AddLogLine(const QString& line, bool held) {
    LogList::AddLine(line, held);
}

void QtSaverWindow::ShowHeldLogLines() {
    LogList::ShowHeldLines();
}

void QtSaverWindow::StartTimer(int intervalMs) {
    QTimer* timer = MainForm().tmrLedgrix;
    timer->setInterval(intervalMs);
    timer->start();
}

void QtSaverWindow::StopTimer() {
    MainForm().tmrLedgrix->stop();
}

int32_t QtSaverWindow::ClientHandle() {
    return ::ClientHandle();
}

bool QtSaverWindow::IsCloseNoted() const {
    return MainFormExists() && WaitEvents::Instance().IsCloseNoted(MainForm().windowHandle());
}
