// The saver's own module state beside the shared program state: command-line modes, log-file
// state, link state and the tag data bank count. One instance; tests reset it.
#pragma once
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <set>

class TextFileStream;

struct SaverState {
    bool IsNT = false;
    QString RunMode;  // "ONCE" after /ONCE
    int16_t PurgeDaysAtStart = -1;
    QString ReferenceDateTime;  // start date and time, changed by /D and /T
    bool IsLogFileReady = false;
    bool LogFileStreamSet = false;  // the log file was opened at least once
    int32_t LogListMaxWidth = 0;    // widest log list line so far, in pixels; only grows
    bool IsLinkOnline = false;
    double LinkOfflineSince = 0;             // the runtime last heard before the link went offline; 0 online
    bool RuntimeFolderNamed = false;         // the unusable runtime folder has had its log line
    uint32_t LinkGenerationSeen = 0;         // the library's connection count the saver's tags were made for
    uint32_t AliveWrittenGeneration = 0;     // the connection count when the alive tag was last written 1
    uint32_t LinkFaultSeen = 0;              // the library's last reason for a lost link that was logged
    bool TagsCheckedWithoutRuntime = false;  // the undefined tags were listed while no runtime answered
    std::set<uint16_t> TagsAbsent;           // handles of tags named as gone from the runtime
    std::set<uint16_t> TagsFaulted;          // handles of tags whose unreadable value was named
    int16_t ShownGroupIndex = 1;
    bool IsScheduleRunning = false;  // the cyclic groups have their first targets
    // Read by the tag manager's callback thread; the bank grows when a new connection defines tags.
    std::atomic<int32_t> TagDataBankCount = 0;
    int32_t RecordsUnderWay = 0;  // database records of every group under way (the during-saving tag)
    QString HelpText;
    QString LogLine;
};

SaverState& Saver();
void ResetSaverState();

// The record-time sentinel: 1995-01-01 00:00:01, the group's current target save time.
constexpr double kRecordTimeSentinel = 34700.00001157408;
bool IsRecordTimeSentinel(double recordTime);  // compares all 64 bits
