// Every window call the configuration core makes: the project and workstation pickers, the main
// window, its tree and status bar, and the file-open dialog. The program installs its Qt
// windows; tests install the recording fake. The core never includes QtWidgets.
#pragma once
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

class ConfigWindows {
  public:
    virtual ~ConfigWindows() = default;

    // The project picker (frmOpenProj): the chosen project, or nothing when cancelled.
    virtual std::optional<QString> PickProject() = 0;
    // The workstation picker (frmSelectWksName) for a project: the chosen workstation, or
    // nothing when cancelled.
    virtual std::optional<QString> PickWorkstation(const QString& project) = 0;
    // Fills the main window (frmConfigMain.LoadFormObj) and shows it, not modally.
    virtual void ShowMain() = 0;
    // Rebuilds the main window's project tree and content list from the model (mkTreeView).
    virtual void RefreshTree() = 0;
    // Sets the text of the main window's status-bar panel with that key ("ProjName").
    virtual void SetStatusPanel(const QString& key, const QString& text) = 0;
    // The modal file-open dialog, opened in `initialFolder` (a path of this machine) with one
    // filter (`description`, e.g. "Log File (*.log)", and `pattern`, e.g. "*.log"): the chosen
    // file's path, or nothing when cancelled.
    virtual std::optional<QString> OpenFile(const QString& initialFolder, const QString& description,
                                            const QString& pattern) = 0;
};

// A combo box that the tag list fills.
class TagListBox {
  public:
    virtual ~TagListBox() = default;
    virtual void Clear() = 0;
    virtual void AddItem(const QString& text) = 0;
    virtual int Count() const = 0;
    virtual void SetCurrentIndex(int index) = 0;
};

// Installs the program's windows (not owned); null restores the fallback, which shows nothing
// and cancels every picker and dialog.
void SetConfigWindows(ConfigWindows* windows);
ConfigWindows& Windows();

// Records every call; pickers and the file dialog answer from their queues, else cancel.
class RecordingConfigWindows : public ConfigWindows {
  public:
    std::deque<std::optional<QString>> projects, workstations, files;
    QStringList calls;  // "PickProject", "PickWorkstation:<project>", "ShowMain", "RefreshTree",
                        // "Status:<key>=<text>", "OpenFile:<folder>|<description>|<pattern>"

    std::optional<QString> PickProject() override;
    std::optional<QString> PickWorkstation(const QString& project) override;
    void ShowMain() override;
    void RefreshTree() override;
    void SetStatusPanel(const QString& key, const QString& text) override;
    std::optional<QString> OpenFile(const QString& initialFolder, const QString& description,
                                    const QString& pattern) override;
};

// A combo box in memory (tests).
class RecordingTagListBox : public TagListBox {
  public:
    QStringList items;
    int current = -1;
    void Clear() override {
        items.clear();
        current = -1;
    }
    void AddItem(const QString& text) override { items << text; }
    int Count() const override { return static_cast<int>(items.size()); }
    void SetCurrentIndex(int index) override { current = index; }
};
