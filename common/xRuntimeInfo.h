// The run state of one save group: its open database objects, current file names, counters
// and the cyclic schedule with its lost-slot accounting.
#pragma once
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "common/DatetimeWithMilliSeconds.h"
#include "common/Numbers.h"
#include "platform/ado/Turn.h"

namespace ado {
class Connection;
class Recordset;
class DriverCalls;
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

    // The group's target serves one piece of work at a time (a record, a preparation, a purge,
    // a close: saver/writers/GroupWork.h); the others wait their turn. A record that finds it
    // taken is dropped and counted.
    ado::Turn TargetTurn;
    // The calls of the group's server connections that may still be in the driver: the last
    // connection's, and those of connections whose calls were given up (saver/writers/PrepareDB).
    std::vector<std::shared_ptr<const ado::DriverCalls>> ServerCalls;
    // After an opening of a server connection that timed out, the next is not tried before this
    // time, one connection timeout later.
    std::chrono::steady_clock::time_point NextServerOpen{};
    // The record under way, while one holds the group's turn: its time (a fast group's slot with
    // its milliseconds, fixed when the record starts) and, once its statement is with the server,
    // its failure line, logged as a record of unknown outcome when the program stops before the
    // server answers.
    std::optional<DatetimeWithMilliSeconds> RecordUnderWay;
    QString RecordWithServer;

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

    // Counts the current target slot as lost (its record could not be started: the group's
    // target was still busy with earlier work). The schedule step that follows counts it no more.
    void CountBusySlot();
    // Counts a record that was due and is not written (dropped while the group was busy, or still
    // under way at the exit); the series' first lost time is the earliest such record.
    void CountLostRecord(const DatetimeWithMilliSeconds& time);
    // Counts, without moving the target, the slots due from the current target up to the time
    // given (the orderly exit's summary).
    void CountDueSlots(double tmpNow, const DatetimeWithMilliSeconds& tmpNowWithMilliSeconds);
    // The schedule is ahead of the clock by more than its cycle (the clock stepped back).
    bool IsAheadOfClock(double tmpNow, const DatetimeWithMilliSeconds& tmpNowWithMilliSeconds) const;
    // Starts the schedule again from the clock: the next target follows the time given.
    void RestartFromClock(double tmpNow, const DatetimeWithMilliSeconds& tmpNowWithMilliSeconds);

    // Releases the open objects (used at exit and by resets).
    void ReleaseDatabaseObjects();

    // The group's target is busy with earlier work: a record, or a preparation, purge or close.
    bool IsTargetBusy() const { return TargetTurn.Held(); }
    // A record write of the group is in progress.
    bool IsDBAppending() const { return RecordUnderWay.has_value(); }

  private:
    // Adds n lost slots to the series, whose first lost time is the earliest given.
    void CountLost(double first, const DatetimeWithMilliSeconds& firstWithMilliSeconds, double n);

    // The last slot already counted as lost in the running series, so that a series is never
    // counted twice.
    double lastCountedSlot_ = 0;
    DatetimeWithMilliSeconds lastCountedSlotWithMilliSeconds_;
};
