// The record writers: preparing a save group's target, writing one record, purging.
#pragma once
#include <QString>
#include <cstdint>

#include "platform/ado/Ado.h"

// The work on a group's database target waits for the server without holding up its thread, one
// piece at a time per group (the group's TargetTurn); on SQLite files it runs straight through.

// Prepares the group's single database target once its turn comes; gives the timing text, or
// the failure's description (empty after a failed check).
ado::Task<QString> PrepareDB(int16_t groupIndex, bool showError);
// The same, for work that holds the group's turn.
ado::Task<QString> PrepareDBInTurn(int16_t groupIndex, bool showError);
// Writes one record of the group; the record time is the sentinel or the current time. A record
// that finds the group's target busy is dropped and counted as an overrun.
ado::Task<void> DBAppend(int16_t groupIndex, double recordTime);
// Deletes the group's expired records (-2: all; 0 or more: older than that many days), once its
// turn comes.
ado::Task<void> PurgeDatabase(int16_t groupIndex, int16_t keepDays);
// Prepares the group's dispersed database file and connection (for work that holds the turn).
ado::Task<void> PrepareRootDir(int16_t groupIndex);
// Prepares the group's single CSV file (check flag 0: no title check).
void PrepareCSVDB(int16_t& groupIndex, int16_t checkFlag, int16_t unused = 0);
// Prepares the group's dispersed CSV file.
void PrepareCSVRootDir(int16_t groupIndex, int16_t checkFlag);
bool CSVTitleLineDiffers(int16_t groupIndex, const QString& filePath);
QString GetCSVTitleLine(int16_t groupIndex);
QString PadToWidth(const QString& text, int16_t width);
void SaveRecordToCSV(int16_t groupIndex, bool readValues, bool countRecord, double& recordTime);
