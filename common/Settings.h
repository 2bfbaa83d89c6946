// The settings records: what the program setting file, the workstation file and the save-group
// files say. Plain records with public fields; the readers fill them.
#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <cstdint>
#include <memory>

#include "common/Numbers.h"
#include "common/xRuntimeInfo.h"

constexpr uint16_t kNoTag = 65535;  // the HMI system does not define the tag

struct xTag {
    int16_t ID = 0;  // tag handle; -1 (65535) when not found
    QString Name;
    double Value = 0;
    QString Msg;
    double DateTime = 0;
    int32_t UserParm = 0;  // tag-bank index
    QString DataType;      // the part named by a reference: "VALUE", "MSG", "MESSAGE"
    uint16_t Handle() const { return static_cast<uint16_t>(ID); }
    bool IsDefined() const { return Handle() != kNoTag; }
};

struct xField {
    bool IsDeleted = false;
    QString FieldName;
    int16_t TagID = 0;
    QString TagName;
    QString TagType;
    QVariant TagValue;
    QVariant TagTime;
    QString TagMessage;
    int16_t DecimalPlaces = 0;
    QString DatetimeFormatString;
    int16_t TagDataLength = 0;
    int16_t TagMessageLength = 0;
    int32_t UserParm = 0;
    QStringList TagValues;
    QString TagAggregateMethod;
};

struct xDBSettings {
    QString DBTypeName;
    QString DBTypeDsc;
    QString dbProvider;
    QString dbDriver;
    QString dbDataSource;
    QString dbInitialCatalog;
    QString dbUserID;
    QString dbPassword;
    QString dbPersistSecurityInfo;
    bool dbNoOLEBDB = false;
    bool dbNoTableNameDelimiter = false;
    bool dbNoFieldNameDelimiter = false;
    QString dbDateFunctionName;
    QString dbExtendedProperties;
    QString DBFilter;
};

struct xSvcSettings {
    QString SvcFilePath;
    QString ModuleOptions;  // options of the group's module line after its file ("/PURGE:30"), as read
    QString SaveGroupName;
    QString dbSettingString;
    QString dbFilePath;
    QString dbTableName;
    QString dbDBTypeName;
    bool IsOfflineConfigDB = false;
    int16_t dbIsDefaultFilePath = 0;
    QString dbFileName;
    QString dbFullPath;
    QString dbProvider;
    QString dbDriver;
    QString dbDataSource;
    QString dbInitialCatalog;
    QString dbUserID;
    QString dbPassword;
    QString dbPersistSecurityInfo;
    bool dbNoOLEDB = false;
    bool dbNoTableNameDelimiter = false;
    bool dbNoFieldNameDelimiter = false;
    QString dbDateFunctionName;
    QString dbExtendedProperties;
    double dbSNoWaitForRoundTime = 0;
    int32_t dbSWriteMode = 0;
    xTag dbSEnableTag;
    xTag dbSTriggerTag;
    xTag dbSNumRecordsSavedTag;
    xTag dbSPurgeTag;
    double dbSPurgeKeepDays = 0;
    QString dbSPurgeFieldName;
    QString dbSDataBaseRootDir;
    xTag dbSDirTag;
    xTag dbSFileNameTag;
    bool dbSCount2Zero = false;
    QString dbSTaskName;
    bool dbSIsSaveCSV = false;
    QString dbCSVFilePath;
    bool dbSCSVIsFixDataLength = false;
    int16_t dbSCSVFixDataLength = 0;
    QString dbSCSVDelimiterCharacter;
    QString dbSCSVNewlineCharacter;
    bool dbSCSVIsUseFieldTitle = false;
    int16_t dbSCSVKeepConnectionAliveAfterSaveData = 0;
    QString dbSCSVDataBaseRootDir;
    xTag dbSCSVDirTag;
    xTag dbSCSVFileNameTag;
    QString dbCSVFileName;
    QString dbCSVFullPath;
    double SaveTimeInterval = 0;
    int16_t dbSCloseConnectionWhileDisabled = 0;
    int16_t dbSKeepConnectionAliveAfterSaveDataForExcel = 0;
    Numbers::Fixed4 SaveTimeIntervalWithMilliSeconds;
};

constexpr int kMaxSaveGroups = 64;
constexpr int kMaxFieldSlots = 1000;
constexpr int kMaxFields = 255;
constexpr int kMaxDBTypes = 64;

// One element of the save-group table. Objects are created when first needed.
struct SaveGroupRecord {
    int16_t IsGroupDeleted = 0;
    std::shared_ptr<xSvcSettings> Settings;
    std::shared_ptr<xRuntimeInfo> RunState;
    std::array<std::shared_ptr<xField>, kMaxFieldSlots + 1> Fields;  // slot 0 stays empty
    int16_t FieldCount = 0;
    std::array<QString, 256> NameList;
    int16_t NameCount = 0;

    xSvcSettings& S() {
        if (!Settings) Settings = std::make_shared<xSvcSettings>();
        return *Settings;
    }
    xRuntimeInfo& R() {
        if (!RunState) RunState = std::make_shared<xRuntimeInfo>();
        return *RunState;
    }
    xField& F(int slot) {
        auto& f = Fields.at(static_cast<size_t>(slot));
        if (!f) f = std::make_shared<xField>();
        return *f;
    }
};
