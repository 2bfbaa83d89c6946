// The run state of one save group: its open database objects, current file names, counters
// and the cyclic schedule with its lost-slot accounting.
#pragma once
#include <QString>
#include <cstdint>
#include <memory>

#include "common/DatetimeWithMilliSeconds.h"
#include "common/Numbers.h"

namespace ado {
class Connection;
class Recordset;
}  // namespace ado
class TextFileStream;

class xRuntimeInfo {
  public:
    std::shared_ptr<ado::Connection> conn;
    QString Strconnect;
    std::shared_ptr<ado::Recordset> rs;
    std::shared_ptr<TextFileStream> CSVFSO;
    QString ModuleName;
    double LastSavedTime = 0;
    double LastdbSTriggerTagValue = 0;
    double LastdbSPurgeTagValue = 0;
    QString LastdbSFilePath;
    QString LastdbSFileName;
    QString LastdbSFullPath;
    double NumRecordsSaved = 0;
    bool IsDisableDBAppend = false;
    bool IsFirstSaveTime = false;
    QString LastdbSCSVFilePath;
    QString LastdbSCSVFileName;
    QString LastdbSCSVFullPath;
    DatetimeWithMilliSeconds LastSavedTimeWithMilliSeconds;
    bool IsHighSpeedSaver = false;
    bool IsDBAppending = false;
    int16_t CountinuousOverrunCount = 0;
    double FirstOverrunTime = 0;
    DatetimeWithMilliSeconds FirstOverrunTimeWithMilliSeconds;
    double SaveTimeInterval = 0;
    double TargetSaveTime = 0;
    double StartSaveTime = 0;
    int32_t CyclicTimerIntervalSec = 0;
    Numbers::Fixed4 SaveTimeIntervalWithMilliSeconds;
    DatetimeWithMilliSeconds TargetSaveTimeWithMilliSeconds;
    DatetimeWithMilliSeconds StartSaveTimeWithMilliSeconds;

    // One step of the seconds schedule with the current time.
    void SetupNextTargetSaveTime(double tmpNow);
    // One step of the millisecond schedule with the current time.
    void SetupNextTargetSaveTimeWithMilliSeconds(const DatetimeWithMilliSeconds& tmpNowWithMilliSeconds);
    // The latest grid time at or before StartDT on the same day.
    double SearchLastTargetSaveTime(double StartDT, int32_t TimeInterval) const;
    DatetimeWithMilliSeconds SearchLastTargetSaveTimeWithMilliSeconds(
        const DatetimeWithMilliSeconds& tmpStartDatetimeWithMilliSeconds,
        Numbers::Fixed4 tmpTimeIntervalWithMilliSeconds) const;
    void SetDisableDBAppend(bool tmpIsDisableDBAppend) { IsDisableDBAppend = tmpIsDisableDBAppend; }
    void SetFirstSaveTime(bool tmpIsFirstSaveTime) { IsFirstSaveTime = tmpIsFirstSaveTime; }

    // Releases the open objects (used at exit and by resets).
    void ReleaseDatabaseObjects();

  private:
    // The last slot already counted as lost in the running series, so that a series is never
    // counted twice.
    double lastCountedSlot_ = 0;
    DatetimeWithMilliSeconds lastCountedSlotWithMilliSeconds_;
};
