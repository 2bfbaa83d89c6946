// The configuration program's own program-wide state beside the shared program state
// (State(): save groups, type templates, language, workstation settings, paths, debug level,
// the configuration mode in IsInteractive). One instance; tests reset it.
#pragma once
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/Settings.h"

namespace ado {
class Connection;
}

// One column of a listed table.
struct TableFieldInfo {
    QString Name;
    int32_t FieldType = 0;  // the engine's column type code
};

constexpr int kMaxTableNames = 9999;
constexpr int kMaxTableFields = 999;

struct ConfigState {
    QString AppPath;         // the program folder at start-up
    QString SavedAppPath;    // the program folder, made current again after every file dialog
    int16_t IsModified = 0;  // -1 when the settings in memory differ from the files
    // True once every group of the open project is loaded; a project that is still being opened
    // (or failed half-way) is never saved.
    bool IsProjectLoaded = false;
    // Settings of the open project's files that were not loaded (field lines after fd255, module
    // lines after Module64), one line each: a save would drop them, so the project is not saved.
    QStringList NotLoaded;
    QString RunMode;  // "ONCE" after /ONCE
    int16_t IsNT = 0;
    QString ReferenceDateTime;
    QString HelpText;  // help.txt, shown for /HELP

    // The settings files of groups removed since the last complete save. The workstation file on
    // disk still lists them, so each is deleted only once a save has written the files without it.
    QStringList FilesOfRemovedGroups;

    // The window caption of the open workstation file as written there ("dbSCaption="), which
    // this program does not edit and writes back unchanged; not held when the file had none.
    bool HasCaptionLine = false;
    QString CaptionAsRead;

    // The save-group editor's working copy of the group being edited; the editor's dialogs and
    // the wizard change only this record, and the editor's OK stores it into the table.
    SaveGroupRecord WorkingGroup;

    // The wizard's connection and the tables and fields it listed.
    std::shared_ptr<ado::Connection> WizardConnection;
    std::vector<QString> TableNames = std::vector<QString>(kMaxTableNames + 1);  // 1-based
    int32_t TableNameCount = 0;
    std::vector<TableFieldInfo> TableFields = std::vector<TableFieldInfo>(kMaxTableFields + 1);  // 1-based
    int16_t TableFieldCount = 0;
};

ConfigState& Config();
// Starts the configuration program's state afresh (tests).
void ResetConfigState();
