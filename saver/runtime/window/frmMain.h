// The saver's only window: one save group at a time, the log list, the tag view, the link state.
// Child widgets carry their control names as objectName and are public, as the runtime writes
// into them directly.
#pragma once
#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <array>

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    frmMain();

    // Fills the window (called once before it is shown).
    void LoadFormObj();
    // English captions when the language index is 0.
    void SetLanguage();

    QTabWidget* SSTabMain = nullptr;
    // Log tab
    QListWidget* ListBoxResult = nullptr;
    QLabel* lblLogFilePath = nullptr;
    QLabel* lblNextSaveTime = nullptr;
    QLabel* lblNumRecSaved = nullptr;
    // Tag view tab
    QTreeWidget* ListViewSpcTag = nullptr;
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
    std::array<QMenu*, 8> mFileModuleBlocks{};      // mFileModule1To8 .. mFileModule57To64
    std::array<QAction*, 65> mFileModule{};         // mFileModule1 .. mFileModule64 (slot 0 unused)
    QAction* mFileExit = nullptr;
    QMenu* mHelp = nullptr;
    QAction* mAbout = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;  // Form_Unload
};

// The main window, created on first use.
frmMain& MainForm();
bool MainFormExists();
