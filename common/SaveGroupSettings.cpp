// The save-group settings files: target, saving rules, status tags, CSV options and field list of
// every group of the open workstation.
#include <cmath>

#include "common/FileUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "common/Texts.h"

namespace SettingUtil {
namespace {

const TextPair kMissingHead{"Cannot find the setting file:", "找不到設定檔:"};
const TextPair kMissingCaption{"Setting file error", "找不到設定檔"};
const TextPair kBlankHead{"Settings error!\r\n[", "設定錯誤!\r\n在設定檔中，["};
const TextPair kBlankTail{"] is blank.", "] 設定為空。\r\n請重新輸入請設定值!\r\n"};
const TextPair kBlankCaption{"Settings error", "設定錯誤"};
const char* const kDefaultTimeFormat = "yyyy/MM/dd HH:mm:ss";

struct TagRole {
    const char* key;
    TextPair description;
};
const TagRole kTagRoles[9] = {
    {"dbSEnableTag", {"Enable/Disable data saving", "利用圖控Tag, 提供存檔致能或失能。"}},
    {"dbSTriggerTag", {"Data saving trigger", "利用圖控Tag, 提供事件觸發的存檔方式。"}},
    {"dbSStopTag", {"Control Ledgrix exitting", "利用圖控Tag, 強迫Ledgri程式結束。"}},
    {"dbSNumRecordsSavedTag",
     {"Report the number of data records saved", "利用圖控Tag, 得知Ledgrix已經存檔次數。"}},
    {"dbSAliveTag", {"Report Ledgrix running status", "利用圖控Tag, 得知Ledgrix正在執行中。"}},
    {"dbSDuringSavingTag", {"Report data saving status", "利用圖控Tag, 得知Ledgrix正在執行存檔動作中。"}},
    {"dbSPurgeTag", {"Trigger expired data purge", "利用圖控Tag, 觸發Purge功能。"}},
    {"dbSDirTag", {"Database file subfolder name", "利用圖控Tag, 決定檔案次目錄"}},
    {"dbSFileNameTag", {"Dtatabase file name", "利用圖控Tag, 決定檔案名稱"}},
};

bool IsTrueText(const QString& v) {
    return v.toUpper() == QLatin1String("TRUE");
}

// True when the value is not empty and its whole part is 1.
bool WholePartIsOne(const QString& v) {
    return !v.isEmpty() && std::floor(Numbers::LeadingNumber(v)) == 1.0;
}

// The whole part of a value that must be a number; the fallback when it is none or does not fit.
int16_t WholePart(const QString& v, int16_t fallback) {
    const auto n = Numbers::WholeTextNumber(v);
    if (!n) return fallback;
    return Numbers::ToInt16(std::floor(*n)).value_or(fallback);
}

int16_t RoundedNumber(const QString& v, int16_t fallback) {
    return Numbers::ToInt16(Numbers::LeadingNumber(v)).value_or(fallback);
}

// Directory and file-name tags: "NAME" or "NAME.PART".
void ReadTagReference(xTag& tag, const QString& value) {
    if (value.isEmpty()) {
        tag.Name.clear();
        return;
    }
    const int dot = static_cast<int>(value.indexOf(u'.'));
    if (dot >= 1) {
        tag.Name = value.left(dot);
        tag.DataType = value.mid(dot + 1).toUpper();
    } else {
        tag.Name = value;
        tag.DataType = QStringLiteral("VALUE");
    }
}

QString TypeFromProvider(const QString& provider, const QString& driver, const QString& extended) {
    const QString p = provider.toUpper();
    auto officeType = [&](const char* database) -> QString {
        if (extended.isEmpty()) return QString::fromLatin1(database);
        if (extended.contains(QLatin1String("Excel 8.0"))) return QStringLiteral("EXCEL");
        if (extended.contains(QLatin1String("Excel 12.0"))) return QStringLiteral("EXCEL2007");
        return QString();
    };
    if (p == QLatin1String("MICROSOFT.JET.OLEDB.4.0")) return officeType("ACCESS");
    if (p == QLatin1String("MICROSOFT.ACE.OLEDB.12.0")) return officeType("ACCESS2007");
    if (p == QLatin1String("MSDASQL.1"))
        return driver.toUpper().contains(QLatin1String("MYSQL")) ? QStringLiteral("MYSQL")
                                                                 : QStringLiteral("EXCEL");
    if (p == QLatin1String("SQLOLEDB.1")) return QStringLiteral("SQLSERVER");
    if (p == QLatin1String("MSDAORA.1")) return QStringLiteral("ORACLE");
    return QString();
}

void ReadField(SaveGroupRecord& g, int n, const QString& value) {
    xSvcSettings& s = g.S();
    xField& f = g.F(n);
    QStringList items = value.split(u',');
    for (QString& item : items) item = TrimSpaces(item);
    const int count = static_cast<int>(items.size());

    f.FieldName = items[0];
    QString reference = items[0];
    if (count == 1) {
        if (reference.toUpper() == QLatin1String("DATETIME")) reference = QStringLiteral("^DATETIME");
    } else {
        reference = items[1];
    }
    const bool isDateTime = reference.toUpper() == QLatin1String("^DATETIME");
    if (count >= 2 && isDateTime) s.dbSPurgeFieldName = f.FieldName;
    if (count >= 3 && isDateTime && !items[2].isEmpty()) f.DatetimeFormatString = items[2];

    const int dot = static_cast<int>(reference.indexOf(u'.'));
    if (dot >= 1) {
        f.TagName = reference.left(dot);
        f.TagType = reference.mid(dot + 1).toUpper();
    } else {
        f.TagName = reference;
        f.TagType = isDateTime ? QStringLiteral("DATETIME") : QStringLiteral("VALUE");
    }

    f.DecimalPlaces = -1;
    if (count >= 3) {
        const QString type = f.TagType.toUpper();
        const QString& param = items[2];
        if (type == QLatin1String("VALUE") || type == QLatin1String("VAL")) {
            f.DecimalPlaces = param.isEmpty() ? int16_t(-1) : WholePart(param, -1);
        } else if (type == QLatin1String("MESSAGE") || type == QLatin1String("MSG")) {
            f.TagMessageLength = param.isEmpty() ? int16_t(-1) : WholePart(param, -1);
        } else if (type == QLatin1String("DATETIME")) {
            f.DatetimeFormatString = param.isEmpty() ? QString::fromLatin1(kDefaultTimeFormat) : param;
        }
    }
    if (count >= 4) f.TagDataLength = WholePart(items[3], 0);

    f.TagValue = QVariant(QString(""));
    g.FieldCount = static_cast<int16_t>(n);
    DoEvents();
}

void LoadGroup(int16_t i, const std::optional<QString>& readText) {
    ProgramState& st = State();
    SaveGroupRecord& g = st.Group(i);
    g.NameCount = 0;
    xSvcSettings& s = g.S();

    if (!FileUtil::FileExists(s.SvcFilePath)) {
        MsgBox(Tx(kMissingHead) + s.SvcFilePath + NotAFileLine(s.SvcFilePath), MsgStyle::Critical,
               Tx(kMissingCaption));
        sysExit(-1);
    }
    const QString text = readText ? *readText : ReadSettingFile(s.SvcFilePath);
    s.dbSettingString = text;
    const SettingLookup lookup(text);
    const QString basic = QStringLiteral("Basic");
    auto get = [&](const char* key, const char* def = "") {
        return lookup.Value(basic, QString::fromLatin1(key), QString::fromLatin1(def));
    };

    // Target and its template.
    const auto defaultPath = Numbers::WholeTextNumber(get("dbIsDefaultFilePath", "0"));
    s.dbIsDefaultFilePath = defaultPath ? Numbers::ToInt16(*defaultPath).value_or(0) : 0;
    s.dbFileName = get("dbFileName");
    s.dbFilePath = get("dbFilePath");
    s.dbFullPath = s.dbIsDefaultFilePath == 1 ? DataFilePath(st.ProjectName, s.dbFileName) : s.dbFilePath;
    s.dbTableName = get("dbTableName");
    s.dbDBTypeName = TrimSpaces(get("dbDBTypeName"));

    if (!s.dbDBTypeName.isEmpty()) {
        if (auto t = FindDBSettingsByTypeName(s.dbDBTypeName)) TakeTemplateKeys(s, *t);
    } else {
        s.dbProvider = get("dbProvider");
        s.dbDriver = get("dbDriver");
        s.dbExtendedProperties = get("dbExtendedProperties");
        s.dbDBTypeName = TypeFromProvider(s.dbProvider, s.dbDriver, s.dbExtendedProperties);
        s.dbPersistSecurityInfo = get("dbPersistSecurityInfo");
        s.dbNoOLEDB = IsTrueText(get("dbNoOLEDB", "False"));
        s.dbNoTableNameDelimiter = IsTrueText(get("dbNoTableNameDelimiter", "False"));
        s.dbNoFieldNameDelimiter = IsTrueText(get("dbNoFieldNameDelimiter", "False"));
        s.dbDateFunctionName = get("dbDateFunctionName");
    }
    const bool excelType =
        s.dbDBTypeName == QLatin1String("EXCEL") || s.dbDBTypeName == QLatin1String("EXCEL2007");
    if (excelType && !s.dbTableName.endsWith(u'$')) s.dbTableName += u'$';

    s.dbDataSource = get("dbDataSource");
    s.dbInitialCatalog = get("dbInitialCatalog");
    s.dbUserID = get("dbUserID");
    s.dbPassword = get("dbPassword");
    s.dbSKeepConnectionAliveAfterSaveDataForExcel =
        RoundedNumber(get("dbSKeepConnectionAliveAfterSaveDataForExcel", "0"), 0);

    // Saving rules.
    xRuntimeInfo& r = g.R();
    r.IsHighSpeedSaver = false;
    s.SaveTimeInterval = Numbers::LeadingNumber(get("SaveTimeInterval", "0"));
    // A negative cycle, or one that rounds below a millisecond, cannot be scheduled: the group
    // saves by trigger only (the saver's settings check reports it). The sign is tested first,
    // so no conversion meets a value out of its range.
    if (s.SaveTimeInterval < 0) {
        s.SaveTimeInterval = 0;
    } else if (s.SaveTimeInterval > 0 && s.SaveTimeInterval < 1) {
        if (const auto ms = SubSecondCycle(s.SaveTimeInterval)) {
            r.IsHighSpeedSaver = true;
            s.SaveTimeIntervalWithMilliSeconds = *ms;
        } else {
            s.SaveTimeInterval = 0;
        }
    }
    const QString writeMode = get("dbSWriteMode", "0");
    s.dbSWriteMode = writeMode == QLatin1String("1") ? 1 : writeMode == QLatin1String("2") ? 2 : 0;
    s.dbSNoWaitForRoundTime = Numbers::LeadingNumber(get("dbSNoWaitForRoundTime", "0"));
    s.dbSEnableTag.Name = get("dbSEnableTag");
    s.dbSCloseConnectionWhileDisabled = RoundedNumber(get("dbSCloseConnectionWhileDisabled", "0"), 0);
    s.dbSTriggerTag.Name = get("dbSTriggerTag");
    s.dbSTaskName = FileUtil::GetBaseName(s.SvcFilePath);
    s.dbSNumRecordsSavedTag.Name = get("dbSNumRecordsSavedTag");
    if (st.dbSCaption.isEmpty()) st.dbSCaption = QStringLiteral("Ledgrix 資料庫存檔工具程式");

    s.dbSDataBaseRootDir = get("dbSDataBaseRootDir");
    ReadTagReference(s.dbSDirTag, get("dbSDirTag"));
    ReadTagReference(s.dbSFileNameTag, get("dbSFileNameTag"));
    s.dbSCount2Zero = Numbers::LeadingNumber(get("dbSCount2Zero", "0")) == 1.0;
    s.dbSPurgeTag.Name = get("dbSPurgeTag");

    const bool excelDriver = s.dbDriver.toUpper().contains(QLatin1String("EXCEL"));
    if (s.dbDataSource.isEmpty() && !s.dbFullPath.isEmpty() &&
        (FileUtil::FolderExists(s.dbFullPath) || FileUtil::FileExists(s.dbFullPath)) && !excelDriver)
        s.dbDataSource = s.dbFullPath;

    if (s.dbProvider.isEmpty()) {
        s.dbProvider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
    } else if (s.dbProvider.toUpper() == QLatin1String("SQLOLEDB.1")) {
        int16_t index = i;
        SetSQLServerClientAlias(index);
    }

    s.dbSIsSaveCSV = false;
    s.dbSIsSaveCSV = WholePartIsOne(get("dbSSaveCSV", "0"));

    // CSV copy.
    const QString csv = QStringLiteral("CSV");
    auto getCsv = [&](const char* key, const QString& def = QString()) {
        return lookup.Value(csv, QString::fromLatin1(key), def);
    };
    s.dbCSVFilePath =
        getCsv("dbCSVFilePath", st.DataFolder + u'\\' + s.SaveGroupName + QStringLiteral(".csv"));
    if (s.dbCSVFilePath.isEmpty())
        s.dbCSVFilePath = st.DataFolder + u'\\' + s.SaveGroupName + QStringLiteral(".csv");
    s.dbCSVFullPath = s.dbCSVFilePath;
    s.dbSCSVIsFixDataLength = false;
    s.dbSCSVIsFixDataLength = WholePartIsOne(getCsv("dbSCSVFixDataLength", QStringLiteral("0")));
    s.dbSCSVDelimiterCharacter = TrimSpaces(getCsv("dbSCSVDelimiterCharacter", QStringLiteral(",")));
    s.dbSCSVIsUseFieldTitle = false;
    s.dbSCSVIsUseFieldTitle = WholePartIsOne(getCsv("dbSCSVUseFieldTitle", QStringLiteral("0")));
    s.dbSCSVNewlineCharacter.clear();
    const QString newline = getCsv("dbSCSVNewlineCharacter", QStringLiteral("CRLF")).toUpper();
    if (newline == QLatin1String("CRLF"))
        s.dbSCSVNewlineCharacter = QStringLiteral("\r\n");
    else if (newline == QLatin1String("CR"))
        s.dbSCSVNewlineCharacter = QStringLiteral("\r");
    else if (newline == QLatin1String("LF"))
        s.dbSCSVNewlineCharacter = QStringLiteral("\n");
    s.dbSCSVKeepConnectionAliveAfterSaveData = 1;
    const QString keepAlive = getCsv("dbSCSVKeepConnectionAliveAfterSaveData");
    if (!keepAlive.isEmpty()) s.dbSCSVKeepConnectionAliveAfterSaveData = WholePart(keepAlive, 1);
    s.dbSCSVDataBaseRootDir = getCsv("dbSCSVDataBaseRootDir");
    ReadTagReference(s.dbSCSVDirTag, getCsv("dbSCSVDirTag"));
    ReadTagReference(s.dbSCSVFileNameTag, getCsv("dbSCSVFileNameTag"));

    // Field list: fd1, fd2 ... up to the first missing line.
    for (int n = 1; n <= kMaxFields; ++n) {
        const QString value =
            lookup.Value(QStringLiteral("FieldList"), QStringLiteral("fd") + QString::number(n));
        if (value.isEmpty()) break;
        ReadField(g, n, value);
    }

    // Purge keep days: only a database target of its own with a purge tag reads them here.
    const bool excelTarget = excelDriver || excelType;
    if (s.dbSDataBaseRootDir.isEmpty() && !excelTarget && !s.dbSPurgeTag.Name.isEmpty()) {
        if (!CheckSettingNotBlank(i, basic, QStringLiteral("dbSPurgeKeepDays")))
            s.dbSPurgeKeepDays = -1;
        else
            s.dbSPurgeKeepDays = Numbers::WholeTextNumber(get("dbSPurgeKeepDays")).value_or(-1);
    }
}

}  // namespace

void TakeTemplateKeys(xSvcSettings& s, const xDBSettings& t) {
    s.dbProvider = t.dbProvider;
    s.dbDriver = t.dbDriver;
    s.dbPersistSecurityInfo = t.dbPersistSecurityInfo;
    s.dbNoOLEDB = t.dbNoOLEBDB;
    s.dbNoTableNameDelimiter = t.dbNoTableNameDelimiter;
    s.dbNoFieldNameDelimiter = t.dbNoFieldNameDelimiter;
    s.dbDateFunctionName = t.dbDateFunctionName;
    s.dbExtendedProperties = t.dbExtendedProperties;
}

void LoadSaveGroupSettings() {
    LoadSaveGroupSettings(GroupFileTexts());
}

void LoadSaveGroupSettings(const GroupFileTexts& texts) {
    ProgramState& st = State();
    for (int16_t i = 1; i <= st.SaveGroupCount && i <= kMaxSaveGroups; ++i)
        LoadGroup(i, static_cast<size_t>(i) < texts.size() ? texts[static_cast<size_t>(i)] : std::nullopt);

    for (size_t k = 0; k < std::size(kTagRoles); ++k) {
        st.TagRoleKeys[k] = QString::fromLatin1(kTagRoles[k].key);
        if (st.LanguageIndex == 0 || st.LanguageIndex == 1)
            st.TagRoleDescriptions[k] = Tx(kTagRoles[k].description);
    }
}

std::optional<Numbers::Fixed4> SubSecondCycle(double seconds) {
    if (!(seconds > 0 && seconds < 1)) return std::nullopt;
    const auto ms = Numbers::Fixed4::FromRaw(Numbers::Fixed4::FromDouble(seconds).raw * 1000);
    if (Numbers::RoundHalfEven(ms.ToDouble()) < 1) return std::nullopt;
    return ms;
}

bool SchedulableCycle(double seconds) {
    if (!(seconds > 0) || !Numbers::ToInt32(seconds)) return false;
    return seconds >= 1 || SubSecondCycle(seconds).has_value();
}

bool CheckSettingNotBlank(int16_t groupIndex, const QString& section, const QString& key) {
    ProgramState& st = State();
    const xSvcSettings& s = st.Group(groupIndex).S();
    const QString& path = s.SvcFilePath;
    if (!GetSettingValue(section, key, QString(), s.dbSettingString).isEmpty()) return true;
    st.ErrorText = Tx(kBlankHead) + key + Tx(kBlankTail);
    if (st.LanguageIndex == 1) st.ErrorText += path;
    st.ErrorCaption = Tx(kBlankCaption);
    MsgBox(st.ErrorText, MsgStyle::Critical, st.ErrorCaption);
    return false;
}

}  // namespace SettingUtil
