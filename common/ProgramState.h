// The program-wide tables and values that the settings readers fill and both programs read.
// One instance per program; tests reset it.
#pragma once
#include <QString>
#include <array>
#include <memory>

#include "common/Settings.h"

struct ProgramState {
    // Save groups of the open workstation, 1-based (slot 0 unused).
    std::array<SaveGroupRecord, kMaxSaveGroups + 1> SaveGroups;
    int16_t SaveGroupCount = 0;
    std::array<QString, kMaxSaveGroups + 1> SvcFileList;
    int16_t SvcFileCount = 0;

    // Database-type templates, 1-based; a slot is created when first needed.
    std::array<std::shared_ptr<xDBSettings>, kMaxDBTypes + 1> DBTypeTemplates;
    int16_t DBTypeCount = 0;

    int16_t LanguageIndex = 0;  // 0 English, 1 Traditional Chinese
    bool IsUseTimer = false;
    int32_t TimerInterval = 500;

    // System settings of the workstation.
    QString dbSCaption;
    int16_t dbSLiveAlone = 0;
    int16_t dbSUserMode = 0;
    bool IsUserMode = false;
    xTag StopTag;
    xTag AliveTag;
    xTag DuringSavingTag;
    int16_t dbSLogDisable = 1;
    QString dbSLogFileName;
    QString WorkstationTaskName;
    int16_t dbSIsSvcDefaultPath = 0;
    bool dbSIsHideLedgrix = false;

    QString ErrorText;
    QString ErrorCaption;
    std::array<QString, 9> TagRoleKeys;
    std::array<QString, 9> TagRoleDescriptions;

    // Paths and names set at start-up, before any reader runs (Windows form).
    QString ProjectName;
    QString WorkstationName;
    QString ProjectFolder;
    QString DataFolder;
    QString WorkstationFilePath;
    QString ProgramSettingFilePath = QStringLiteral("Ledgrix.set");

    // Program modes that the shared code reads.
    int16_t DebugLevel = 0;
    int16_t IsInteractive = 1;  // the configuration program's mode; the saver is always 1

    // Help topics: the 57 rows of the help file, then the program's own dialogs.
    QString HelpFile = QStringLiteral("Hexvane.chm");
    int16_t HelpIDCount = 0;
    std::array<QString, 101> HelpIDTable;

    SaveGroupRecord& Group(int index) { return SaveGroups.at(static_cast<size_t>(index)); }
    xDBSettings& Template(int index) {
        auto& t = DBTypeTemplates.at(static_cast<size_t>(index));
        if (!t) t = std::make_shared<xDBSettings>();
        return *t;
    }
};

ProgramState& State();
// Starts the program state afresh (tests, and a new run of the start-up).
void ResetState();
