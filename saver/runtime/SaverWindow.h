// Every window call of the saver's runtime: what the main window shows (the clock, the shown
// group's next save time, record count and target path, the log file, the link state, the log
// list, the tag view's values, the settings text), its timer, and the client handle that the
// hidden window gives. The program installs its Qt window (window/QtSaverWindow.h); tests install
// a recording fake. The runtime includes no window header and no QtWidgets; the window calls the
// runtime, never the other way round.
#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>

class SaverWindow {
  public:
    virtual ~SaverWindow() = default;

    // Whether the main window is made yet. Each call below that shows something makes it first
    // (its load step runs); the runtime asks this where a window not yet made is left alone.
    virtual bool Exists() const = 0;
    // Fills the main window (LoadFormObj) and shows it minimised; a hidden saver's window is
    // hidden again at once.
    virtual void ShowMain(bool hidden) = 0;

    // The current time (lblNow).
    virtual void ShowNow(const QString& text) = 0;
    // The shown group's next save time (lblNextSaveTime).
    virtual void ShowNextSaveTime(const QString& text) = 0;
    // The shown group's records saved, on the log and the database tab.
    virtual void ShowRecordCount(const QString& text) = 0;
    // The shown group's target file (txtTargetDB).
    virtual void ShowTargetPath(const QString& path) = 0;
    // The log file, or the text that file logging is off (lblLogFilePath).
    virtual void ShowLogFilePath(const QString& text) = 0;
    // The first group's settings text (txtCfgSetting).
    virtual void ShowSettingsText(const QString& text) = 0;
    // The picture of the link to the tag manager (imgStatus).
    virtual void ShowLinkPicture(bool online) = 0;
    // The text of the link state (lblStatus).
    virtual void ShowLinkStatus(const QString& text) = 0;

    // The tag view: the tag reference in each row, in order (empty for a role without a tag).
    virtual QStringList TagViewTags() const = 0;
    // The value shown in a row of the tag view (from 0).
    virtual void ShowTagValue(int row, const QString& text) = 0;

    // The log list: one whole line. While `held` the list keeps it back until ShowHeldLogLines.
    virtual void AddLogLine(const QString& line, bool held) = 0;
    // The list takes the lines held back for it now.
    virtual void ShowHeldLogLines() = 0;

    // The timer form: a pass (tmrLedgrix_Timer) every `intervalMs` milliseconds, until stopped.
    virtual void StartTimer(int intervalMs) = 0;
    virtual void StopTimer() = 0;

    // The tag-manager client handle of the hidden window: non-zero, the same for the whole run.
    virtual int32_t ClientHandle() = 0;

    // Whether a close of the main window came while the window thread waited for the HMI
    // runtime, not yet done (it is done once the wait is over).
    virtual bool IsCloseNoted() const { return false; }
};

// Installs the saver's window (not owned); null restores the fallback, which shows nothing,
// has no tag view rows and gives the client handle 1.
void SetSaverWindow(SaverWindow* window);
SaverWindow& Window();
