#include "config/core/SaveProject.h"

#include <QStringList>
#include <optional>
#include <vector>

#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "common/Texts.h"
#include "config/core/ConfigState.h"
#include "config/core/OpenProject.h"
#include "config/core/SaveGroupModel.h"

namespace SettingWriter {
namespace {

const QString kCRLF = QStringLiteral("\r\n");
const TextPair kTitle{"Save Project", "儲存專案"};
const TextPair kAskHead{"Can you save changes of the project[", "是否要將變更儲存到專案["};
const TextPair kSaved{"Project saved!", "專案儲存完畢!"};
const TextPair kWriteHead{"Fail to save the project!\r\nThe settings file [",
                          "專案儲存失敗!\r\n無法寫入設定檔["};
const TextPair kWriteTail{"\r\nPlease check the folder and save again!", "\r\n請檢查資料夾後再儲存一次!"};
const TextPair kBadValueHead{"Save group [", "存檔群組 ["};
const TextPair kBadValueHead2{"] settings error, please set it again.", "] 設定錯誤, 請重新設定。"};
const TextPair kLineBreak{"] holds a line break, which its settings file cannot keep: [",
                          "] 含有換行字元, 設定檔無法保存: ["};
const TextPair kSeparator{"] holds \"%1\", which its settings line cannot keep: [",
                          "] 含有 \"%1\" 字元, 設定檔無法保存: ["};
const TextPair kGroupLine{"Save group: ", "存檔群組: "};
const TextPair kServerDispersed{
    "The database type [%1] keeps no dispersed database files: choose Single Database.",
    "資料庫種類 [%1] 不支援分散資料檔, 請選擇單一資料庫。"};

QString Num(double n) {
    return Numbers::NumberText(n);
}

QString Flag(bool b) {
    return b ? QStringLiteral("1") : QStringLiteral("0");
}

// A tag reference "NAME.PART". A name that begins with "." is read back whole, with the part
// VALUE: it is written alone, so that each save does not add another part to it.
QString TagReference(const QString& name, const QString& part) {
    return name.startsWith(u'.') ? name : name + u'.' + part;
}

// A folder or file-name tag: "NAME.PART", or empty.
QString PartTag(const xTag& t) {
    return t.Name.isEmpty() ? QString() : TagReference(t.Name, t.DataType);
}

QString NewlineWord(const QString& chars) {
    if (chars == QLatin1String("\r\n")) return QStringLiteral("CRLF");
    if (chars == QLatin1String("\r")) return QStringLiteral("CR");
    if (chars == QLatin1String("\n")) return QStringLiteral("LF");
    return QString();
}

QString ReferencePart(const xField& f) {
    const QString length = Num(f.TagDataLength);
    if (f.TagName.toUpper() == QLatin1String("^DATETIME"))
        return f.TagName + u',' + f.DatetimeFormatString + u',' + length;
    if (f.TagName.isEmpty()) return QString();
    const QString type = f.TagType.toUpper();
    QString format;
    if (type == QLatin1String("VALUE") || type == QLatin1String("VAL"))
        format = Num(f.DecimalPlaces);
    else if (type == QLatin1String("MESSAGE") || type == QLatin1String("MSG"))
        format = Num(f.TagMessageLength);
    else if (type == QLatin1String("DATETIME"))
        format = f.DatetimeFormatString;
    const QString reference = f.TagType.isEmpty() ? f.TagName : TagReference(f.TagName, f.TagType);
    return reference + u',' + format + u',' + length;
}

QString ModuleFileText(const xSvcSettings& s) {
    return State().dbSIsSvcDefaultPath == 1 ? FileUtil::GetFileName(s.SvcFilePath) : s.SvcFilePath;
}

// A value that its line cannot keep: what it is, its text and the character at fault.
struct BadValue {
    QString what;
    QString value;
    QString separator;  // empty: a line break
};

std::optional<BadValue> FindBadValue(SaveGroupRecord& g) {
    xSvcSettings& s = g.S();
    struct Item {
        QString what;
        QString value;
        QString separators;  // characters that split its line
    };
    std::vector<Item> items = {
        {QStringLiteral("Module"), g.R().ModuleName, QStringLiteral(",")},
        {QStringLiteral("SvcFilePath"), ModuleFileText(s), QStringLiteral("/")},
        {QStringLiteral("dbFilePath"), s.dbFullPath, {}},
        {QStringLiteral("dbFileName"), s.dbFileName, {}},
        {QStringLiteral("dbTableName"), s.dbTableName, {}},
        {QStringLiteral("dbDBTypeName"), s.dbDBTypeName, {}},
        {QStringLiteral("dbDataSource"), s.dbDataSource, {}},
        {QStringLiteral("dbInitialCatalog"), s.dbInitialCatalog, {}},
        {QStringLiteral("dbUserID"), s.dbUserID, {}},
        {QStringLiteral("dbPassword"), s.dbPassword, {}},
        {QStringLiteral("dbSEnableTag"), s.dbSEnableTag.Name, {}},
        {QStringLiteral("dbSTriggerTag"), s.dbSTriggerTag.Name, {}},
        {QStringLiteral("dbSNumRecordsSavedTag"), s.dbSNumRecordsSavedTag.Name, {}},
        {QStringLiteral("dbSPurgeTag"), s.dbSPurgeTag.Name, {}},
        {QStringLiteral("dbSDataBaseRootDir"), s.dbSDataBaseRootDir, {}},
        {QStringLiteral("dbSDirTag"), PartTag(s.dbSDirTag), {}},
        {QStringLiteral("dbSFileNameTag"), PartTag(s.dbSFileNameTag), {}},
        {QStringLiteral("dbCSVFilePath"), s.dbCSVFilePath, {}},
        {QStringLiteral("dbSCSVDelimiterCharacter"), s.dbSCSVDelimiterCharacter, {}},
        {QStringLiteral("dbSCSVDataBaseRootDir"), s.dbSCSVDataBaseRootDir, {}},
        {QStringLiteral("dbSCSVDirTag"), PartTag(s.dbSCSVDirTag), {}},
        {QStringLiteral("dbSCSVFileNameTag"), PartTag(s.dbSCSVFileNameTag), {}},
    };
    for (int n = 1; n <= g.FieldCount && n <= kMaxFieldSlots; ++n) {
        const xField& f = g.F(n);
        const QString fd = QStringLiteral("fd") + QString::number(n) + u' ';
        const QString comma = QStringLiteral(",");
        items.push_back({fd + QStringLiteral("FieldName"), f.FieldName, comma});
        items.push_back({fd + QStringLiteral("TagName"), f.TagName, comma});
        items.push_back({fd + QStringLiteral("TagType"), f.TagType, comma});
        items.push_back({fd + QStringLiteral("DatetimeFormatString"), f.DatetimeFormatString, comma});
    }
    for (const Item& item : items) {
        if (item.value.contains(u'\r') || item.value.contains(u'\n'))
            return BadValue{item.what, item.value, {}};
        for (const QChar c : item.separators)
            if (item.value.contains(c)) return BadValue{item.what, item.value, QString(c)};
    }
    return std::nullopt;
}

bool HasDateTimeField(SaveGroupRecord& g) {
    for (int n = 1; n <= g.FieldCount && n <= kMaxFieldSlots; ++n) {
        const xField& f = g.F(n);
        if (f.TagName == QLatin1String("^DateTime") || f.TagType.toUpper() == QLatin1String("DATETIME"))
            return true;
    }
    return false;
}

// The files of removed groups, once the workstation file no longer lists them; a file that a
// group uses again (a new group of the same name) stays.
void DeleteFilesOfRemovedGroups() {
    for (const QString& file : std::as_const(Config().FilesOfRemovedGroups))
        if (SaveGroupUtil::GroupUsingFile(file, -1) < 0) FileUtil::DeleteFileIfExists(file);
    Config().FilesOfRemovedGroups.clear();
}

}  // namespace

void ReportWriteFailure(const QString& path, const QString& why, const QString& title) {
    MsgBox(Tx(kWriteHead) + path + QStringLiteral("]: ") + why + Tx(kWriteTail),
           MsgStyle::Critical | MsgStyle::OkOnly, title.isEmpty() ? Tx(kTitle) : title);
}

bool CheckSaveGroups(QString& message) {
    message = ProjectUtil::NotSavedMessage();
    if (!message.isEmpty()) return false;
    ProgramState& st = State();
    for (int i = 1; i <= st.SaveGroupCount && i <= kMaxSaveGroups; ++i) {
        SaveGroupRecord& g = st.Group(i);
        const xSvcSettings& s = g.S();
        const QString name = g.R().ModuleName;
        // The database checks answer in Chinese in both languages.
        const QString head = Tx(kBadValueHead, 1) + name + Tx(kBadValueHead2, 1) + kCRLF;
        const QString groupLine = Tx(kGroupLine, 1) + name;
        if (s.dbSWriteMode == 2 && !HasDateTimeField(g)) {
            message = head + QStringLiteral("資料庫欄位必須要含有 [日期時間] 欄位。") + kCRLF + groupLine;
            return false;
        }
        if (g.R().IsHighSpeedSaver && !s.dbDBTypeName.isEmpty() &&
            s.dbDBTypeName != QLatin1String("SQLSERVER") && s.dbDBTypeName != QLatin1String("EXCEL") &&
            s.dbDBTypeName != QLatin1String("EXCEL2007")) {
            message = head + QStringLiteral("高速存檔只適用於 Excel 及 SQL Server 2008以上的版本。") + kCRLF +
                      groupLine + kCRLF + QStringLiteral("資料庫種類: ") + s.dbDBTypeName + kCRLF +
                      QStringLiteral("時間間隔: ") + Num(s.SaveTimeInterval) + QStringLiteral("秒");
            return false;
        }
        // A server has no database file to copy for each folder and file that tags name: the
        // saver would fail every record.
        if (!s.dbSDataBaseRootDir.isEmpty() && SaveGroupUtil::KeepsNoDatabaseFiles(s.dbDBTypeName)) {
            message = Tx(kBadValueHead) + name + Tx(kBadValueHead2) + kCRLF +
                      Tx(kServerDispersed).arg(s.dbDBTypeName) + kCRLF + Tx(kGroupLine) + name;
            return false;
        }
        // A line break, or a separator of its line, in a value would shift or drop settings of
        // this group or the next ones when the files are read again.
        if (const auto bad = FindBadValue(g)) {
            const QString shown =
                bad->what == QLatin1String("dbPassword") ? QStringLiteral("****") : bad->value;
            const QString why =
                bad->separator.isEmpty() ? Tx(kLineBreak) : Tx(kSeparator).arg(bad->separator);
            message = Tx(kBadValueHead) + name + Tx(kBadValueHead2) + kCRLF + u'[' + bad->what + why + shown +
                      u']' + kCRLF + Tx(kGroupLine) + name;
            return false;
        }
    }
    return true;
}

void NormaliseFileLocation(xSvcSettings& s) {
    if (s.dbIsDefaultFilePath == 0) {
        s.dbFileName.clear();
    } else if (s.dbIsDefaultFilePath == 1 &&
               (s.dbFileName.isEmpty() || s.dbFileName.startsWith(QLatin1String("..")))) {
        s.dbIsDefaultFilePath = 0;
        s.dbFileName.clear();
    }
}

QString GroupFileText(SaveGroupRecord& g) {
    const xSvcSettings& s = g.S();
    const QString type = s.dbDBTypeName.toUpper();
    const bool fileType = SaveGroupUtil::IsFileDBType(type) || type == QLatin1String("CSV");
    // A file in the data folder is written by its name alone; the full path stays in memory.
    const QString fullPath = s.dbIsDefaultFilePath == 1 ? QString() : s.dbFullPath;
    QStringList l{
        QStringLiteral("[Basic]"),
        QStringLiteral("dbIsDefaultFilePath=") + Num(s.dbIsDefaultFilePath),
        QStringLiteral("dbFilePath=") + fullPath,
        QStringLiteral("dbFileName=") + s.dbFileName,
        QStringLiteral("dbTableName=") + s.dbTableName,
        QString(),
        QStringLiteral("dbDBTypeName=") + s.dbDBTypeName,
        QStringLiteral("dbDataSource=") + (fileType ? QString() : s.dbDataSource),
        QStringLiteral("dbInitialCatalog=") + s.dbInitialCatalog,
        QStringLiteral("dbUserID=") + s.dbUserID,
        QStringLiteral("dbPassword=") + s.dbPassword,
        QStringLiteral("dbSKeepConnectionAliveAfterSaveDataForExcel=") +
            Num(s.dbSKeepConnectionAliveAfterSaveDataForExcel),
        QStringLiteral("SaveTimeInterval=") + Num(s.SaveTimeInterval),
        QStringLiteral("dbSWriteMode=") + Num(s.dbSWriteMode),
        QStringLiteral("dbSEnableTag=") + s.dbSEnableTag.Name,
        QStringLiteral("dbSCloseConnectionWhileDisabled=") + Num(s.dbSCloseConnectionWhileDisabled),
        QStringLiteral("dbSTriggerTag=") + s.dbSTriggerTag.Name,
        QStringLiteral("dbSNumRecordsSavedTag=") + s.dbSNumRecordsSavedTag.Name,
        QStringLiteral("dbSPurgeTag=") + s.dbSPurgeTag.Name,
        QStringLiteral("dbSPurgeKeepDays=") + Num(s.dbSPurgeKeepDays),
        QStringLiteral("dbSDataBaseRootDir=") + s.dbSDataBaseRootDir,
        QStringLiteral("dbSDirTag=") + PartTag(s.dbSDirTag),
        QStringLiteral("dbSFileNameTag=") + PartTag(s.dbSFileNameTag),
        QStringLiteral("dbSCount2Zero= ") + Flag(s.dbSCount2Zero),
        QStringLiteral("dbSSaveCSV= ") + Flag(s.dbSIsSaveCSV),
    };
    // Read by the saver, not edited here: written back as read.
    if (const auto v = SettingUtil::FindSettingValue(
            QStringLiteral("Basic"), QStringLiteral("dbSNoWaitForRoundTime"), s.dbSettingString))
        l << QStringLiteral("dbSNoWaitForRoundTime=") + *v;
    l << QStringLiteral("[CSV]") << QStringLiteral("dbCSVFilePath=") + s.dbCSVFilePath
      << QStringLiteral("dbSCSVFixDataLength=") + Flag(s.dbSCSVIsFixDataLength)
      << QStringLiteral("dbSCSVDelimiterCharacter=") + s.dbSCSVDelimiterCharacter
      << QStringLiteral("dbSCSVUseFieldTitle=") + Flag(s.dbSCSVIsUseFieldTitle)
      << QStringLiteral("dbSCSVNewlineCharacter=") + NewlineWord(s.dbSCSVNewlineCharacter)
      << QStringLiteral("dbSCSVKeepConnectionAliveAfterSaveData=") +
             Num(s.dbSCSVKeepConnectionAliveAfterSaveData)
      << QStringLiteral("dbSCSVDataBaseRootDir=") + s.dbSCSVDataBaseRootDir
      << QStringLiteral("dbSCSVDirTag=") + PartTag(s.dbSCSVDirTag)
      << QStringLiteral("dbSCSVFileNameTag=") + PartTag(s.dbSCSVFileNameTag) << QStringLiteral("[FieldList]");
    for (int n = 1; n <= g.FieldCount && n <= kMaxFieldSlots; ++n) {
        const xField& f = g.F(n);
        l << QStringLiteral("fd") + QString::number(n) + u'=' + f.FieldName + u',' + ReferencePart(f);
    }
    return l.join(kCRLF) + kCRLF;
}

QString SvlFileText() {
    ProgramState& st = State();
    const ConfigState& cf = Config();
    QStringList l{QStringLiteral("[SystemBasic]")};
    // Read by the saver, not edited here: written back as read.
    if (cf.HasCaptionLine) l << QStringLiteral("dbSCaption=") + cf.CaptionAsRead;
    l << QStringLiteral("dbSLiveAlone=") + Num(st.dbSLiveAlone)
      << QStringLiteral("dbSStopTag=") + st.StopTag.Name << QStringLiteral("dbSAliveTag=") + st.AliveTag.Name
      << QStringLiteral("dbSDuringSavingTag=") + st.DuringSavingTag.Name
      << QStringLiteral("dbSUserMode=") + Num(st.dbSUserMode) << QString()
      << QStringLiteral("dbSLogDisable=") + Num(st.dbSLogDisable)
      << QStringLiteral("dbSLogFileName=") + st.dbSLogFileName
      << QStringLiteral("dbSIsSvcDefaultPath=") + Num(st.dbSIsSvcDefaultPath)
      << QStringLiteral("dbSIsHideLedgrix=") + Flag(st.dbSIsHideLedgrix) << QString()
      << QStringLiteral("[ModuleList]");
    int n = 0;
    for (int i = 1; i <= st.SaveGroupCount && i <= kMaxSaveGroups; ++i) {
        SaveGroupRecord& g = st.Group(i);
        if (g.S().SaveGroupName.isEmpty()) break;
        if (g.IsGroupDeleted != 0) continue;
        l << QStringLiteral("Module") + QString::number(++n) + u'=' + g.R().ModuleName + u',' +
                 ModuleFileText(g.S()) + g.S().ModuleOptions;
    }
    return l.join(kCRLF) + kCRLF;
}

void SaveSvlFile() {
    FileUtil::ReplaceTextFile(SvlFileText(), State().WorkstationFilePath);
}

bool SaveProject(bool noAsk, bool showDone) {
    ProgramState& st = State();
    ConfigState& cf = Config();
    if (cf.IsModified == 0) return true;
    if (!cf.IsProjectLoaded) return false;
    if (!noAsk && MsgBox(Tx(kAskHead) + st.ProjectName + QStringLiteral("]?"),
                         MsgStyle::Question | MsgStyle::YesNo, Tx(kTitle)) != MsgAnswer::Yes)
        return false;
    QString message;
    if (!CheckSaveGroups(message)) {
        MsgBox(message, MsgStyle::Critical | MsgStyle::OkOnly, Tx(kTitle));
        return false;
    }
    // Group files first, the workstation file that lists them last: a failure half-way leaves the
    // old workstation file, which names only files that exist.
    QString path;
    try {
        st.SvcFileCount = 0;
        for (int i = 1; i <= st.SaveGroupCount && i <= kMaxSaveGroups; ++i) {
            SaveGroupRecord& g = st.Group(i);
            xSvcSettings& s = g.S();
            NormaliseFileLocation(s);
            path = s.SvcFilePath;
            const QString parent = FileUtil::GetParentFolderName(path);
            if (!parent.isEmpty() && !FileUtil::FolderExists(parent)) FileUtil::MakeFullDir(parent);
            FileUtil::ReplaceTextFile(GroupFileText(g), path);
            st.SvcFileCount = static_cast<int16_t>(st.SvcFileCount + 1);
            st.SvcFileList[static_cast<size_t>(st.SvcFileCount)] = path;
        }
        path = st.WorkstationFilePath;
        SaveSvlFile();
    } catch (const Failure& f) {
        ReportWriteFailure(path, f.description, QString());
        return false;
    }
    DeleteFilesOfRemovedGroups();
    if (showDone) MsgBox(Tx(kSaved), MsgStyle::Exclamation | MsgStyle::OkOnly, Tx(kTitle));
    cf.IsModified = 0;
    return true;
}

}  // namespace SettingWriter
