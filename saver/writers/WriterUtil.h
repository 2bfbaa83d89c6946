// Small helpers shared by the record writers.
#pragma once
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <optional>

#include "common/Settings.h"

namespace ado {
class Connection;
}

namespace WriterUtil {

constexpr const char* kCRLF = "\r\n";

// Date-time as the log writes it: "yyyy/MM/dd HH:mm:ss AMPM".
QString LogTime(double date);
QString NowText();

// A target whose driver names Excel, or whose type is "EXCEL" / "EXCEL2007".
bool IsExcelTarget(const xSvcSettings& s);
bool IsOpen(const std::shared_ptr<ado::Connection>& conn);

// A text as the inside of an SQL string literal: single quotes doubled.
QString SqlText(const QString& text);

// The number a value field holds (a number, or a text that is wholly a number); nothing
// otherwise.
std::optional<double> FieldNumber(const QVariant& value);

// A date-time variant (a date value, or a date text) as a date value; nothing when it holds none.
bool VariantToDate(const QVariant& v, double& date);
// A date-time variant in a pattern; a text that is no date is returned as it is.
QString FormatVariantDate(const QVariant& v, const QString& pattern);

// A folder or file name taken from a tag: one path component, no "..", no drive, no characters
// that a file name cannot hold.
bool IsSafeNamePart(const QString& name);

// The note that ends the failure line of a record whose outcome is not known (its statement was
// given up after its timeout, and the server may still carry it out), and the description of a
// record whose statement the program stopped waiting for.
QString OutcomeUnknownNote();
QString StoppedBeforeAnswer();

// The line of a file that the group holds and that has left its path (moved, deleted or
// replaced): it names the file and what the path names now, no file or another one.
enum class HeldFile { Database, CSV };
QString FileLeftLine(const QString& moduleName, HeldFile kind, const QString& path, bool missing);

// The no-fields box and the orderly exit.
[[noreturn]] void NoFieldsExit();

// Calls into the runtime (each a no-op when the runtime has not installed it).
void GetFieldValues(int16_t group);
bool GetTagRefData(const QString& ref, QString& kind, double& value, QString& message, int16_t& readFlag);
uint16_t FindTagHandle(const QString& name);
void WriteStatusTag(int32_t bankIndex, double value);
void CloseDBConnection(int16_t group);
void ShowRecordCount(int16_t group);
void ShowTargetPath(const QString& path);

// Folder and file of a dispersed target, from the folder tag and the file-name tag.
struct DispersedPath {
    QString folder;  // D, with a trailing "\" (or the root)
    QString file;    // F
    QString full;    // P
};
// The error line of a dispersed file's full path that is refused (`rootKey` as below).
QString BadFullPathLine(const QString& moduleName, const QString& rootKey, const QString& path);
// The root setting gets its closing "\" here, stored back. `rootKey`: "dbSDB" or "dbSCSVDB",
// naming the error lines; `defaultName`: used when the
// file-name tag gives an empty name.
DispersedPath ResolveDispersedPath(xTag& dirTag, xTag& fileTag, QString& root, const QString& templatePath,
                                   const QString& defaultName, const QString& moduleName,
                                   const QString& rootKey);

}  // namespace WriterUtil
