// The settings text reader, its text helpers, and the readers of the program setting file, the
// workstation file and the save-group files. Both programs use them unchanged.
#pragma once
#include <QHash>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "common/Settings.h"

namespace SettingUtil {

// ---- Settings text and text helpers ----

// The value of a key in a section of a settings text, or the default. Lines end at CR, CR LF or a
// lone LF. A header is a line "[name]"; a key line has its first "=" at position 3 or later.
// Sections and keys match in any letter case; the first matching key line wins; "key=" yields
// the empty text.
QString GetSettingValue(const QString& section, const QString& key, const QString& defaultValue,
                        const QString& settingText);
// The same lookup, telling a missing key line (nothing) from an empty value.
std::optional<QString> FindSettingValue(const QString& section, const QString& key,
                                        const QString& settingText);

// The settings text as it may be shown: the value of every "dbPassword" key line (as the reader
// finds it, in any section) becomes "****"; everything else stays as it was.
QString MaskPasswordSettings(const QString& settingText);

// A settings text read once: the same answers as GetSettingValue, from one walk of the text.
class SettingLookup {
  public:
    explicit SettingLookup(const QString& settingText);
    QString Value(const QString& section, const QString& key, const QString& defaultValue = QString()) const;
    std::optional<QString> Find(const QString& section, const QString& key) const;

  private:
    QHash<QString, QString> values_;  // "SECTION\nKEY", upper case: the value of the first line
};

// Splits a text into lines, one per slot from slot 1 up to the last slot of `rows`; empty lines
// are not stored. When slot 0 holds a number, lines are stored as their leading number, else as
// text. Returns the last line number (0 for an empty text, which leaves `rows` untouched).
int16_t TextToArray(const QString& text, std::vector<QVariant>& rows);
// The same walk into cells: ";", ",", ":" and TAB end a cell, CR ends a row. `grid[row][col]`,
// 1-based; cells outside the grid are dropped.
int16_t TextToArray(const QString& text, std::vector<std::vector<QVariant>>& grid);

// Splits at every separator; item k (from 0) goes to slot k + 1, the vector grows when needed.
// Returns the number of items; an empty text yields 0 and leaves `items` untouched.
int16_t SplitString(const QString& text, std::vector<QString>& items, const QString& separator);

// "head {inner}": the trimmed text before the opening delimiter and the trimmed text between the
// delimiters. No opening delimiter: the whole text is the head. No closing one: both empty.
void CutDelimited(const QString& text, const QString& opening, const QString& closing, QString& head,
                  QString& inner);

// A null variant gives the empty text; any other its value as text.
QString NullToEmpty(const QVariant& value);

// True when an item of the collection (indexed from 0, with Count() and Item(i).Name) has the name.
template <typename Collection>
bool IsInCollection(const QString& name, const Collection& collection, bool ignoreCase) {
    const Qt::CaseSensitivity cs = ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (int i = 0; i < collection.Count(); ++i)
        if (collection.Item(i).Name.compare(name, cs) == 0) return true;
    return false;
}

// True when the text, upper-cased, is `upper` (an upper-case ASCII text), as text.toUpper() ==
// upper is; plain ASCII texts are compared without making the upper-case copy.
bool UpperEquals(QStringView text, QLatin1StringView upper);

// Text trimmed of blanks only (tabs and line ends stay).
QString TrimSpaces(const QString& text);

// ---- Program setting file ----

// Reads the program setting file: language, timer and the database-type templates. Ends the
// program when the file is missing.
void LoadProgramSettings();
// A line for a message about a path that names a folder, device, pipe or socket instead of a
// file ("\r\n[path] is a pipe, not a file."); empty for a file or nothing.
QString NotAFileLine(const QString& path);
// The whole text of a settings file. A file that exists but cannot be read is a settings error
// that names it: a critical box, then the program's exit.
QString ReadSettingFile(const QString& path);
// The first template whose type name (or description) equals the text exactly; null when none.
std::shared_ptr<xDBSettings> FindDBSettingsByTypeName(const QString& typeName);
// Copies the keys that a group takes from its database-type template: provider, driver, persist
// security info, the ODBC and delimiter flags, the date function and the extended properties.
void TakeTemplateKeys(xSvcSettings& s, const xDBSettings& t);
std::shared_ptr<xDBSettings> FindDBSettingsByTypeDsc(const QString& typeDsc);

// ---- Workstation file and project paths ----

// Reads the workstation file: the system settings and the list of save groups.
void LoadWorkstationSettings();
// The same from the workstation file's text, already read.
void LoadWorkstationSettings(const SettingLookup& workstation);

// One [ModuleList] value: '<group name>,<file>' followed by options '/<KEY>:<value>'.
struct ModuleLine {
    QString groupName;             // empty when the value has no comma
    QString file;                  // the file part, trimmed
    QString options;               // the options as written, from the first '/' ("/PURGE:30")
    std::optional<QString> purge;  // the value of a PURGE option
};
ModuleLine SplitModuleLine(const QString& value);
// The dbSIsSvcDefaultPath value of a workstation file's text (0 unless a whole number).
int16_t SvcDefaultPathValue(const QString& workstationText);
int16_t SvcDefaultPathValue(const SettingLookup& workstation);
// The group file a module line names: with dbSIsSvcDefaultPath 1 the file in the workstation's
// cfg folder, else the file part as written (relative to the program folder).
QString ModuleFilePath(const QString& file, int16_t svcDefaultPath, const QString& project,
                       const QString& workstation);

// Settles the log file's path in dbSLogFileName, creating its folder and an empty file (one that
// another program makes at the same moment is as good); false, with dbSLogFileName unchanged, on
// a bad path, which `settled` then names (the default file for an empty setting). When the path is
// good but its folder or file cannot be made, `cause` tells why.
bool SettleLogFilePath(QString* cause = nullptr, QString* settled = nullptr);
// Shows the bad log path message for the settled path, else the configured name (also left in
// ErrorText/ErrorCaption), with the line that names what a path that is no file is; with a cause,
// the message names the file that could not be made and why.
void ReportBadLogPath(const QString& configured, const QString& cause = QString(),
                      const QString& settled = QString());
// SettleLogFilePath; a bad path is reported and ends the program.
bool CheckLogFilePath();
// The workstation's cfg folder "..\Project\<project>\cfg\<workstation>".
QString CfgFolder(const QString& project, const QString& workstation);
// A file in the project's data folder as a group with the default file path names it:
// "..\PROJECT\<project>\DAT\LEDGRIX\<file>" (the folder itself for an empty name).
QString DataFilePath(const QString& project, const QString& fileName);
// True when a path names its file by itself: it holds a drive (":") or is rooted ("/...", or
// "\..." as a server share); any other path is taken in the folder it is given for.
bool IsFullPath(const QString& path);
bool ProjectExists(const QString& projectName);
bool ProjectCfgExists(const QString& projectName, const QString& workstationName);
bool SvlExists(const QString& projectName, const QString& workstationName);
// Creates an empty workstation file when there is none, or with `replace` in place of one (in one
// step: a failure leaves the old file); false when it cannot be written, `why` telling why.
bool CreateEmptySvl(const QString& projectName, const QString& workstationName, bool replace = false,
                    QString* why = nullptr);

// ---- Save-group files ----

// Reads the settings file of every save group 1 to SaveGroupCount, then fills the tag-role table.
void LoadSaveGroupSettings();
// Group files' texts by group index (slot 0 unused): nothing where a file is still to be read.
using GroupFileTexts = std::vector<std::optional<QString>>;
// The same, taking the texts already read instead of reading those files again.
void LoadSaveGroupSettings(const GroupFileTexts& texts);
// A cycle below a second as the saver schedules it: the seconds to four decimals, in
// milliseconds. Nothing for a cycle outside (0, 1) or one that rounds below a millisecond.
std::optional<Numbers::Fixed4> SubSecondCycle(double seconds);
// A cycle the saver can schedule: more than 0, at least a millisecond on its grid, and no more
// whole seconds than it counts.
bool SchedulableCycle(double seconds);
// True when the key has a non-empty value in the group's file (the text it was read from); otherwise
// shows the blank-setting message and returns false.
bool CheckSettingNotBlank(int16_t groupIndex, const QString& section, const QString& key);

}  // namespace SettingUtil

// Registers the SQL Server client alias of save group `groupIndex` (its `dbDataSource`) in the
// registry; the save-group reader calls it for every group whose provider is "SQLOLEDB.1".
void SetSQLServerClientAlias(int16_t& groupIndex);

namespace LedgrixUtil {

// Tag reference results.
namespace TagRef {
constexpr int16_t Valid = 0;
constexpr int16_t Empty = 1;
constexpr int16_t NameTooLong = 2;
constexpr int16_t BadPart = 3;
}  // namespace TagRef

// Splits "NAME", "NAME.VALUE", "NAME.MSG" or "NAME.MESSAGE". On success `reference` becomes the
// tag name and `part` the part used ("VALUE", "MESSAGE"); otherwise both stay unchanged.
int16_t ParseTagReference(QString& reference, QString& part);

}  // namespace LedgrixUtil
