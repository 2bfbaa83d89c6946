#include "config/core/SaveGroupModel.h"

#include <algorithm>

#include "common/FileUtil.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"

namespace SaveGroupUtil {
namespace {

int GroupCount() {
    return std::clamp<int>(State().SaveGroupCount, 0, kMaxSaveGroups);
}

QString NameOf(SaveGroupRecord& g) {
    return g.Settings ? g.Settings->SaveGroupName : QString();
}

// A field's name, tag and formats.
void CopyFieldSettings(const xField& f, xField& t) {
    t.FieldName = f.FieldName;
    t.TagName = f.TagName;
    t.TagType = f.TagType;
    t.DecimalPlaces = f.DecimalPlaces;
    t.DatetimeFormatString = f.DatetimeFormatString;
    t.TagDataLength = f.TagDataLength;
    t.TagMessageLength = f.TagMessageLength;
}

}  // namespace

bool SaveGroupExists(const QString& name) {
    const QString wanted = name.toUpper();
    for (int i = 1; i <= GroupCount(); ++i)
        if (NameOf(State().Group(i)).toUpper() == wanted) return true;
    return false;
}

int16_t GetSaveGroupIndex(const QString& name) {
    for (int i = 1; i <= GroupCount(); ++i)
        if (NameOf(State().Group(i)) == name) return static_cast<int16_t>(i);
    return -1;
}

QString GetSaveGroupTableName(const QString& name) {
    const int16_t i = GetSaveGroupIndex(name);
    return i < 0 ? QString() : SettingUtil::TrimSpaces(State().Group(i).S().dbTableName);
}

bool FieldExists(SaveGroupRecord& group, const QString& fieldName) {
    for (int n = 1; n <= group.FieldCount && n <= kMaxFieldSlots; ++n)
        if (group.F(n).FieldName == fieldName) return true;
    return false;
}

bool IsFileDBType(const QString& typeName) {
    return typeName == QLatin1String("ACCESS") || typeName == QLatin1String("ACCESS2007") ||
           IsSheetDBType(typeName);
}

bool IsSheetDBType(const QString& typeName) {
    return typeName == QLatin1String("EXCEL") || typeName == QLatin1String("EXCEL2007");
}

bool IsServerDBType(const QString& typeName) {
    return typeName == QLatin1String("SQLSERVER") || typeName == QLatin1String("MYSQL") ||
           typeName == QLatin1String("ORACLE");
}

bool KeepsNoDatabaseFiles(const QString& typeName) {
    const QString t = typeName.toUpper();
    return IsServerDBType(t) || t == QLatin1String("POSTGRESQL");
}

bool IsSameFieldName(const QString& a, const QString& b, const QString& typeName) {
    const bool csv = typeName == QLatin1String("CSV");
    return a.compare(b, csv ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

bool FieldNameTaken(SaveGroupRecord& group, const QString& fieldName, const QString& typeName) {
    for (int n = 1; n <= group.FieldCount && n <= kMaxFieldSlots; ++n)
        if (IsSameFieldName(group.F(n).FieldName, fieldName, typeName)) return true;
    return false;
}

bool GetFieldSettings(const QString& groupName, const QString& fieldName, xField& target) {
    const int16_t i = GetSaveGroupIndex(groupName);
    if (i < 0) return false;
    SaveGroupRecord& g = State().Group(i);
    for (int n = 1; n <= g.FieldCount && n <= kMaxFieldSlots; ++n) {
        const xField& f = g.F(n);
        if (f.FieldName != fieldName) continue;
        CopyFieldSettings(f, target);
        return true;
    }
    return false;
}

int16_t GroupUsingFile(const QString& path, int except) {
    const QString wanted = FileUtil::ResolvePath(path).toUpper();
    for (int i = 1; i <= GroupCount(); ++i) {
        if (i == except) continue;
        const QString other = State().Group(i).S().SvcFilePath;
        if (!other.isEmpty() && FileUtil::ResolvePath(other).toUpper() == wanted)
            return static_cast<int16_t>(i);
    }
    return -1;
}

int16_t RemoveSaveGroup(SaveGroupTable& table) {
    auto kept = std::make_unique<SaveGroupTable>();  // too large for the stack
    int16_t count = 0;
    for (size_t i = 1; i < table.size(); ++i) {
        if (NameOf(table[i]).isEmpty()) break;
        if (table[i].IsGroupDeleted == 0) (*kept)[static_cast<size_t>(++count)] = table[i];
    }
    for (size_t i = 1; i < table.size(); ++i) table[i] = (*kept)[i];
    return count;
}

int16_t RemoveField(FieldTable& fields) {
    FieldTable kept;
    int16_t count = 0;
    for (size_t i = 1; i < fields.size(); ++i) {
        if (!fields[i] || fields[i]->FieldName.isEmpty()) break;
        if (!fields[i]->IsDeleted) kept[static_cast<size_t>(++count)] = fields[i];
    }
    for (size_t i = 1; i < fields.size(); ++i) fields[i] = kept[i];
    return count;
}

void CopySvcSettings(SaveGroupRecord& source, SaveGroupRecord& destination) {
    destination.IsGroupDeleted = source.IsGroupDeleted;

    auto settings = std::make_shared<xSvcSettings>(source.S());
    const xSvcSettings fresh;
    settings->IsOfflineConfigDB = fresh.IsOfflineConfigDB;
    settings->dbSCSVFixDataLength = fresh.dbSCSVFixDataLength;
    settings->dbCSVFileName = fresh.dbCSVFileName;
    settings->dbCSVFullPath = fresh.dbCSVFullPath;
    settings->SaveTimeIntervalWithMilliSeconds = fresh.SaveTimeIntervalWithMilliSeconds;
    destination.Settings = settings;

    const xRuntimeInfo& from = source.R();
    auto run = std::make_shared<xRuntimeInfo>();
    run->conn = from.conn;
    run->rs = from.rs;
    run->Strconnect = from.Strconnect;
    run->ModuleName = from.ModuleName;
    run->LastSavedTime = from.LastSavedTime;
    run->LastdbSTriggerTagValue = from.LastdbSTriggerTagValue;
    run->LastdbSPurgeTagValue = from.LastdbSPurgeTagValue;
    run->LastdbSFilePath = from.LastdbSFilePath;
    run->LastdbSFileName = from.LastdbSFileName;
    run->LastdbSFullPath = from.LastdbSFullPath;
    run->LastdbSCSVFilePath = from.LastdbSCSVFilePath;
    run->LastdbSCSVFileName = from.LastdbSCSVFileName;
    run->LastdbSCSVFullPath = from.LastdbSCSVFullPath;
    run->NumRecordsSaved = from.NumRecordsSaved;
    destination.RunState = run;

    for (size_t n = 1; n < destination.Fields.size(); ++n) destination.Fields[n] = std::make_shared<xField>();
    destination.FieldCount = source.FieldCount;
    for (int n = 1; n <= source.FieldCount && n <= kMaxFieldSlots; ++n) {
        const xField& f = source.F(n);
        xField& t = destination.F(n);
        CopyFieldSettings(f, t);
        t.IsDeleted = f.IsDeleted;
        t.TagID = f.TagID;
        t.TagMessage = f.TagMessage;
        t.TagTime = f.TagTime;
        t.TagValue = f.TagValue;
    }

    destination.NameCount = source.NameCount;
    for (int n = 1; n <= source.NameCount && n < static_cast<int>(source.NameList.size()); ++n)
        destination.NameList[static_cast<size_t>(n)] = source.NameList[static_cast<size_t>(n)];
}

void CopyGroupRecord(SaveGroupRecord& source, SaveGroupRecord& destination) {
    destination.IsGroupDeleted = source.IsGroupDeleted;
    destination.Settings = std::make_shared<xSvcSettings>(source.S());
    destination.RunState = std::make_shared<xRuntimeInfo>(source.R());
    for (size_t n = 1; n < destination.Fields.size(); ++n)
        destination.Fields[n] = source.Fields[n] ? std::make_shared<xField>(*source.Fields[n]) : nullptr;
    destination.FieldCount = source.FieldCount;
    destination.NameList = source.NameList;
    destination.NameCount = source.NameCount;
}

}  // namespace SaveGroupUtil
