// The saver's only window: one save group at a time, the log list, the tag view, the link state.
// Child widgets carry their control names as objectName and are public: the runtime reaches them
// through QtSaverWindow, tests directly. Its timer runs the runtime's timer form.
#pragma once
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/Texts.h"

class CaptionHold;

// The log list: a list box whose horizontal extent is set by its owner and never derived from
// the lines it holds at the moment.
class LogListBox : public QListWidget {
    Q_OBJECT
  public:
    // Every line is one text line high and as wide as the extent, so the list never lays out
    // its (long) lines to size them; only painting shapes the lines in view.
    explicit LogListBox(QWidget* parent = nullptr);
    void SetHorizontalExtent(int pixels);
    // A busy log repaints at most every tenth of a second; its lines are all kept.
    void HoldRepaint();
    static constexpr int kRepaintHoldMs = 100;
    int HorizontalExtent() const { return extent_; }

  protected:
    void updateGeometries() override;

  private:
    int extent_ = 0;
    void ReleaseRepaint();

    bool adjusting_ = false;
    bool holding_ = false;
};

class frmMain : public QMainWindow {
    Q_OBJECT
  public:
    frmMain();
    ~frmMain() override;

    // Fills the window (called once before it is shown).
    void LoadFormObj();
    // English captions when the language index is 0.
    void SetLanguage();
    // Runs once when the window object is created (MainForm).
    void Form_Load();
    // A close by the operator or the system; sets cancel to keep the window open.
    void Form_Unload(bool& cancel);

    // The save-group menu and the group view.
    void mkModuleMenu();
    void ShowSaveGroupInfo(int16_t groupIndex);
    void mFileModule_Click(int itemIndex);  // the handler of every item mFileModule1..64

    void CmdDBAppend_Click();
    void cmdExit_Click();
    void cmdOpenSourceDB_Click();
    void cmdOpenTargetDB_Click();
    void mFileExit_Click();
    void mAbout_Click();
    void SSTabMain_Click(int currentTab);

    // The pictures of the link state, by key "online" or "offline".
    QPixmap StatusImage(const QString& key) const;

    QTabWidget* SSTabMain = nullptr;
    // Log tab
    LogListBox* ListBoxResult = nullptr;
    QLabel* lblLogFilePath = nullptr;
    QLabel* lblNextSaveTime = nullptr;
    QLabel* lblNumRecSaved = nullptr;
    // Tag view tab
    QTreeWidget* ListViewSpcTag = nullptr;
    std::array<QIcon, 3> ImageListSpcTag{};  // 1: role with a tag, 2: role without one
    QLabel* lblStatus = nullptr;
    QLabel* imgStatus = nullptr;
    // Database tab
    QPlainTextEdit* txtSourceDB = nullptr;
    QPushButton* cmdOpenSourceDB = nullptr;
    QPlainTextEdit* txtTargetDB = nullptr;
    QPushButton* cmdOpenTargetDB = nullptr;
    QLabel* lblSaveMode = nullptr;
    QLabel* lblStartTime = nullptr;
    QLabel* lblNumRecSavedinDB = nullptr;
    QLabel* lblNote1 = nullptr;
    QLabel* lblNote2 = nullptr;
    // Settings tab (debug only)
    QPlainTextEdit* txtCfgSetting = nullptr;
    // Outside the tabs
    QLabel* lblModuleName = nullptr;
    QLabel* lblNow = nullptr;
    QPushButton* CmdDBAppend = nullptr;
    QPushButton* cmdExit = nullptr;
    QTimer* tmrLedgrix = nullptr;
    // Menus
    QMenu* mFile = nullptr;
    std::array<QMenu*, 8> mFileModuleBlocks{};  // mFileModule1To8 .. mFileModule57To64
    std::array<QAction*, 65> mFileModule{};     // mFileModule1 .. mFileModule64 (slot 0 unused)
    QAction* mFileSpace1 = nullptr;
    QAction* mFileExit = nullptr;
    QMenu* mHelp = nullptr;
    QAction* mAbout = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;  // Form_Unload
    // A minimised window repaints nothing until it is shown again.
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;  // takes the window's captions

  private:
    void OpenDatabase(bool target);
    struct Caption {
        std::function<void(const QString&)> apply;
        QString en;  // applied by SetLanguage with the language index 0
        QString zh;  // built in
    };
    // A caption with its English and built-in (Chinese) text; the built-in one is applied now.
    void AddCaption(std::function<void(const QString&)> apply, const QString& en, const QString& zh);
    void AddCaption(std::function<void(const QString&)> apply, TextPair texts);
    QLabel* CaptionLabel(const char* name, TextPair texts, QWidget* parent);

    std::vector<Caption> captions_;

    std::array<QPixmap, 2> statusImages_{};  // online, offline
    std::unique_ptr<CaptionHold> captionHold_;
    std::unique_ptr<CaptionHold> settingsCaptionHold_;
};

// The main window, created on first use (its Form_Load runs then). Creating it does not show it.
frmMain& MainForm();
bool MainFormExists();
// Destroys the main window (tests).
void DestroyMainForm();
