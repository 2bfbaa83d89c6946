#include "saver/runtime/SaverWindow.h"

namespace {

// Shows nothing and is never made.
class NoWindow : public SaverWindow {
  public:
    bool Exists() const override { return false; }
    void ShowMain(bool) override {}
    void ShowNow(const QString&) override {}
    void ShowNextSaveTime(const QString&) override {}
    void ShowRecordCount(const QString&) override {}
    void ShowTargetPath(const QString&) override {}
    void ShowLogFilePath(const QString&) override {}
    void ShowSettingsText(const QString&) override {}
    void ShowLinkPicture(bool) override {}
    void ShowLinkStatus(const QString&) override {}
    QStringList TagViewTags() const override { return {}; }
    void ShowTagValue(int, const QString&) override {}
    void AddLogLine(const QString&, bool) override {}
    void ShowHeldLogLines() override {}
    void StartTimer(int) override {}
    void StopTimer() override {}
    int32_t ClientHandle() override { return 1; }
};

NoWindow g_noWindow;
SaverWindow* g_window = nullptr;

}  // namespace

void SetSaverWindow(SaverWindow* window) {
    g_window = window;
}

SaverWindow& Window() {
    return g_window ? *g_window : g_noWindow;
}
