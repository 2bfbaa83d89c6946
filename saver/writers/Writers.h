// The record writers: preparing a save group's target, writing one record, purging.
#pragma once
#include <QString>
#include <cstdint>

#include "platform/ado/Ado.h"

// Prepares the group's single database target; returns the timing text, or the failure's
// description (empty after a failed check).
QString PrepareDB(int16_t& groupIndex, bool showError);
// Writes one record of the group; the record time is the sentinel or the current time.
void DBAppend(int16_t groupIndex, double& recordTime);
// Deletes the group's expired records (-2: all; 0 or more: older than that many days).
void PurgeDatabase(int16_t groupIndex, int16_t keepDays);
// Prepares the group's dispersed database file and connection.
void PrepareRootDir(int16_t groupIndex);
// Prepares the group's single CSV file (check flag 0: no title check).
void PrepareCSVDB(int16_t& groupIndex, int16_t checkFlag, int16_t unused = 0);
// Prepares the group's dispersed CSV file.
void PrepareCSVRootDir(int16_t groupIndex, int16_t checkFlag);
bool CSVTitleLineDiffers(int16_t groupIndex, const QString& filePath);
QString GetCSVTitleLine(int16_t groupIndex);
QString PadToWidth(const QString& text, int16_t width);
void SaveRecordToCSV(int16_t groupIndex, bool readValues, bool countRecord, double& recordTime);
