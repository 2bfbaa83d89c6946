// The record writers: preparing a save group's target, writing one record, purging.
#pragma once
#include <QString>
#include <cstdint>

#include "platform/ado/Ado.h"
#include "saver/writers/GroupWork.h"

// Work on a group's target waits for the server without holding up its thread, one piece at a
// time per group (GroupWork.h); on SQLite files it runs straight through unless another program
// holds the file's lock. The entry points take the group's index and wait for its turn (a record
// does not wait: it is dropped and counted when the target is busy); the others take the work of
// a caller that holds the turn.

// Prepares the group's single database target; gives the timing text, or the failure's
// description (empty after a failed check). `cause`, when given, is set to why it failed, in one
// line (the failed check with what it names), or emptied.
ado::Task<QString> PrepareDB(int16_t groupIndex, bool showError);
ado::Task<QString> PrepareDB(GroupWork& work, bool showError, QString* cause = nullptr);
// Writes one record of the group; the record time is the sentinel (the group's current target,
// read when the record starts) or a time of its own.
ado::Task<void> DBAppend(int16_t groupIndex, double recordTime);
// Deletes the group's expired records (-2: all; 0 or more: older than that many days).
ado::Task<void> PurgeDatabase(int16_t groupIndex, int16_t keepDays);
ado::Task<void> PurgeDatabase(GroupWork& work, int16_t keepDays);
// Prepares the group's dispersed database file and connection; `cause` as for PrepareDB.
ado::Task<void> PrepareRootDir(int16_t groupIndex);
ado::Task<void> PrepareRootDir(GroupWork& work, QString* cause = nullptr);
// Closes the group's connection and logs it.
ado::Task<void> CloseTargetConnection(int16_t groupIndex);
// A group's target at start: its database, its CSV file and the purge the command line asked
// for (-2 or 0 and more), in this order, as one piece of work.
ado::Task<void> PrepareTargetAtStart(int16_t groupIndex, int16_t purgeDays);
// The check flag for a file found cut shorter than the group wrote it: on top of the title
// check, the file must begin with the whole title line and end with a whole line.
constexpr int16_t kCheckCutFile = 1;
// Prepares the group's single CSV file (check flag 0: no title check).
void PrepareCSVDB(int16_t& groupIndex, int16_t checkFlag, int16_t unused = 0);
// Prepares the group's dispersed CSV file.
void PrepareCSVRootDir(int16_t groupIndex, int16_t checkFlag);
bool CSVTitleLineDiffers(int16_t groupIndex, const QString& filePath);
QString GetCSVTitleLine(int16_t groupIndex);
QString PadToWidth(const QString& text, int16_t width);
// Writes the group's record to its CSV file. The record time is the sentinel, a time of its own,
// or, with `slot`, a fast group's slot fixed when the record started.
void SaveRecordToCSV(int16_t groupIndex, bool readValues, bool countRecord, double& recordTime,
                     const DatetimeWithMilliSeconds* slot = nullptr);
