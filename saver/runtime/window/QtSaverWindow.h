// The saver's window as the runtime sees it: each call lands in the main window frmMain (made on
// first use by MainForm), its log list, or the hidden window frmDummy.
#pragma once
#include "saver/runtime/SaverWindow.h"

class QtSaverWindow : public SaverWindow {
  public:
    bool Exists() const override;
    void ShowMain(bool hidden) override;
    void ShowNow(const QString& text) override;
    void ShowNextSaveTime(const QString& text) override;
    void ShowRecordCount(const QString& text) override;
    void ShowTargetPath(const QString& path) override;
    void ShowLogFilePath(const QString& text) override;
    void ShowSettingsText(const QString& text) override;
    void ShowLinkPicture(bool online) override;
    void ShowLinkStatus(const QString& text) override;
    QStringList TagViewTags() const override;
    void ShowTagValue(int row, const QString& text) override;
    void AddLogLine(const QString& line, bool held) override;
    void ShowHeldLogLines() override;
    void StartTimer(int intervalMs) override;
    void StopTimer() override;
    int32_t ClientHandle() override;
    bool IsCloseNoted() const override;
};
