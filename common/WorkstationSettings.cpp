// The workstation settings file "Ledgrix.svl": system settings of the saver and the list of save
// groups; the project and workstation path tests; the log file's path.
#include <optional>

#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "common/Texts.h"

namespace SettingUtil {
namespace {

const TextPair kDefaultCaption{"Ledgrix for Windows", "Ledgrix 資料庫存檔工具程式"};
// These texts exist only in Chinese.
const TextPair kDuplicateHead{"SVC 設定檔:", "SVC 設定檔:"};
const TextPair kDuplicateTail{"重覆", "重覆"};
const TextPair kDuplicateCaption{"SVC 設定檔重覆", "SVC 設定檔重覆"};
const TextPair kLogPathHead{"Settings error!\r\ndbSLogFile Path[", "設定錯誤!\r\n指定的dbSLogFile路徑["};
const TextPair kLogPathTail{"] does not exist.", "]不存在。\r\n請重新輸入檔案路徑!"};
const TextPair kLogPathCaption{"Settings error", "設定錯誤"};
const TextPair kLogFileNotMade{"Settings error!\r\nThe log file [%1] cannot be made: %2",
                               "設定錯誤!\r\n無法建立記錄檔[%1]: %2"};
const TextPair kSvcDefaultHead{"Settings error!\r\ndbSIsSvcDefaultPath[",
                               "設定錯誤!\r\n指定的dbSIsSvcDefaultPath["};
const TextPair kSvcDefaultTail{"] is not a whole number.\r\n", "]不是整數。\r\n"};

// The numeric value of a text rounded halves to even; the fallback when it does not fit.
int16_t RoundedNumber(const QString& text, int16_t fallback) {
    return Numbers::ToInt16(Numbers::LeadingNumber(text)).value_or(fallback);
}

QString SystemValue(const char* key, const char* defaultValue, const SettingLookup& text) {
    return text.Value(QStringLiteral("SystemBasic"), QString::fromLatin1(key),
                      QString::fromUtf8(defaultValue));
}

}  // namespace

QString CfgFolder(const QString& project, const QString& workstation) {
    return QStringLiteral("..\\Project\\") + project + QStringLiteral("\\cfg\\") + workstation;
}

QString DataFilePath(const QString& project, const QString& fileName) {
    return QStringLiteral("..\\PROJECT\\") + project + QStringLiteral("\\DAT\\LEDGRIX\\") + fileName;
}

bool IsFullPath(const QString& path) {
    return path.contains(u':') || path.startsWith(u'/') || path.startsWith(u'\\');
}

ModuleLine SplitModuleLine(const QString& value) {
    ModuleLine m;
    QString rest = value;
    const int comma = static_cast<int>(value.indexOf(u','));
    if (comma >= 0) {
        m.groupName = value.left(comma);
        rest = value.mid(comma + 1);
    }
    const int slash = static_cast<int>(rest.indexOf(u'/'));
    if (slash >= 0) m.options = rest.mid(slash);
    const QStringList items = rest.split(u'/');
    m.file = TrimSpaces(items.value(0));
    for (int k = 1; k < items.size(); ++k) {
        const int colon = static_cast<int>(items[k].indexOf(u':'));
        if (colon < 0) continue;
        const QString key = TrimSpaces(items[k].left(colon));
        if (key.compare(QLatin1String("PURGE"), Qt::CaseInsensitive) == 0)
            m.purge = TrimSpaces(items[k].mid(colon + 1));
    }
    return m;
}

int16_t SvcDefaultPathValue(const SettingLookup& workstation) {
    // The whole text must be a number; anything else reads as the default 0.
    const auto n = Numbers::WholeTextNumber(SystemValue("dbSIsSvcDefaultPath", "0", workstation));
    return n ? Numbers::ToInt16(*n).value_or(0) : 0;
}

int16_t SvcDefaultPathValue(const QString& workstationText) {
    return SvcDefaultPathValue(SettingLookup(workstationText));
}

QString ModuleFilePath(const QString& file, int16_t svcDefaultPath, const QString& project,
                       const QString& workstation) {
    if (svcDefaultPath != 1) return file;
    return QStringLiteral("..\\PROJECT\\") + project + QStringLiteral("\\CFG\\") + workstation + u'\\' + file;
}

void LoadWorkstationSettings() {
    LoadWorkstationSettings(SettingLookup(ReadSettingFile(State().WorkstationFilePath)));
}

void LoadWorkstationSettings(const SettingLookup& text) {
    ProgramState& st = State();

    if (st.LanguageIndex == 0 || st.LanguageIndex == 1)
        st.dbSCaption =
            text.Value(QStringLiteral("SystemBasic"), QStringLiteral("dbSCaption"), Tx(kDefaultCaption));
    st.dbSLiveAlone = RoundedNumber(SystemValue("dbSLiveAlone", "0", text), 0);
    st.dbSUserMode = RoundedNumber(SystemValue("dbSUserMode", "0", text), 0);
    if (st.dbSUserMode == 1) st.IsUserMode = true;
    st.StopTag.Name = SystemValue("dbSStopTag", "", text);
    st.AliveTag.Name = SystemValue("dbSAliveTag", "", text);
    st.DuringSavingTag.Name = SystemValue("dbSDuringSavingTag", "", text);
    st.dbSLogDisable = RoundedNumber(SystemValue("dbSLogDisable", "1", text), 1);
    st.dbSLogFileName = SystemValue("dbSLogFileName", "", text);
    // The flag decides where every group file lies: a value that is no number is not taken as 0.
    const QString svcDefault = SystemValue("dbSIsSvcDefaultPath", "0", text);
    const auto n = Numbers::WholeTextNumber(svcDefault);
    if (!svcDefault.isEmpty() && (!n || !Numbers::ToInt16(*n))) {
        MsgBox(Tx(kSvcDefaultHead) + svcDefault + Tx(kSvcDefaultTail) + st.WorkstationFilePath,
               MsgStyle::Critical, Tx(kLogPathCaption));
        sysExit(-1);
    }
    st.dbSIsSvcDefaultPath = SvcDefaultPathValue(text);
    // The file is the one source of this flag, so a workstation read after another one gets its own.
    st.dbSIsHideLedgrix = RoundedNumber(SystemValue("dbSIsHideLedgrix", "0", text), 0) == 1;
    st.WorkstationTaskName = FileUtil::GetBaseName(st.WorkstationFilePath);

    st.SvcFileCount = 0;
    st.SaveGroupCount = 0;
    QStringList resolvedFiles;  // of the groups so far, each resolved once
    for (int i = 1; i <= kMaxSaveGroups; ++i) {
        SaveGroupRecord& g = st.Group(i);
        xSvcSettings& s = g.S();
        const QString value =
            text.Value(QStringLiteral("ModuleList"), QStringLiteral("Module") + QString::number(i));
        if (value.isEmpty()) break;
        s.dbSPurgeKeepDays = -1;
        const ModuleLine m = SplitModuleLine(value);
        s.SvcFilePath = ModuleFilePath(m.file, st.dbSIsSvcDefaultPath, st.ProjectName, st.WorkstationName);
        s.ModuleOptions = m.options;
        st.SvcFileCount = static_cast<int16_t>(st.SvcFileCount + 1);
        st.SvcFileList[static_cast<size_t>(st.SvcFileCount)] = s.SvcFilePath;
        const QString groupName = m.groupName.isEmpty() ? FileUtil::GetBaseName(s.SvcFilePath) : m.groupName;
        // A value that is no number keeps "no purge".
        if (m.purge) s.dbSPurgeKeepDays = Numbers::WholeTextNumber(*m.purge).value_or(-1);
        // One file in two spellings ("A.svc", "..\PROJECT\P\CFG\W\a.svc") is still one file: the
        // resolver finds the one spelling on disk. Two files that differ only in letter case are two.
        const QString resolved = FileUtil::ResolvePath(s.SvcFilePath);
        if (resolvedFiles.contains(resolved, Qt::CaseSensitive)) {
            MsgBox(Tx(kDuplicateHead) + s.SvcFilePath + Tx(kDuplicateTail), MsgStyle::Critical,
                   Tx(kDuplicateCaption));
            sysExit(-1);
        }
        resolvedFiles << resolved;
        g.R().ModuleName = groupName;
        st.SaveGroupCount = static_cast<int16_t>(i);
        s.SaveGroupName = FileUtil::GetBaseName(s.SvcFilePath);
        DoEvents();
    }
}

bool SettleLogFilePath(QString* cause, QString* settled) {
    ProgramState& st = State();
    QString path = st.dbSLogFileName;
    if (path.isEmpty())
        path = FileUtil::GetParentFolderName(st.WorkstationFilePath) + u'\\' +
               FileUtil::GetBaseName(st.WorkstationFilePath) + QStringLiteral(".log");
    if (path.endsWith(u'\\') || path.endsWith(u'/') || FileUtil::FolderExists(path)) {
        if (settled) *settled = path;
        return false;
    }

    QString folder = FileUtil::GetParentFolderName(path);
    const QString name = FileUtil::GetFileName(path);
    if (folder.isEmpty()) {
        folder = FileUtil::GetParentFolderName(st.WorkstationFilePath);
        path = folder + u'\\' + name;
    }
    // A folder or file that cannot be made is a bad path too, not a settled one.
    QString why;
    const bool made =
        folder.isEmpty() || FileUtil::FolderExists(folder) || FileUtil::MakeFullDir(folder, &why);
    if (!made || !FileUtil::CreateFileIfMissing(path, &why)) {
        // A path that names no file is reported as such; any other failure by its cause.
        if (cause && SettingUtil::NotAFileLine(path).isEmpty()) *cause = why;
        if (settled) *settled = path;
        return false;
    }
    st.dbSLogFileName = path;
    return true;
}

void ReportBadLogPath(const QString& configured, const QString& cause, const QString& settled) {
    ProgramState& st = State();
    // The path as settled names the file meant, also where the setting is empty or a bare name.
    const QString path = settled.isEmpty() ? configured : settled;
    st.ErrorText = cause.isEmpty() ? Tx(kLogPathHead) + path + Tx(kLogPathTail) + NotAFileLine(path)
                                   : Tx(kLogFileNotMade).arg(settled, cause);
    st.ErrorCaption = Tx(kLogPathCaption);
    MsgBox(st.ErrorText, MsgStyle::Critical, st.ErrorCaption);
}

bool CheckLogFilePath() {
    const QString configured = State().dbSLogFileName;
    QString cause, settled;
    if (SettleLogFilePath(&cause, &settled)) return true;
    ReportBadLogPath(configured, cause, settled);
    sysExit(-1);
}

bool ProjectExists(const QString& projectName) {
    return FileUtil::FolderExists(QStringLiteral("..\\Project\\") + TrimSpaces(projectName));
}

bool ProjectCfgExists(const QString& projectName, const QString& workstationName) {
    return FileUtil::FolderExists(CfgFolder(TrimSpaces(projectName), TrimSpaces(workstationName)));
}

bool SvlExists(const QString& projectName, const QString& workstationName) {
    return FileUtil::FileExists(CfgFolder(TrimSpaces(projectName), TrimSpaces(workstationName)) +
                                QStringLiteral("\\Ledgrix.svl"));
}

bool CreateEmptySvl(const QString& projectName, const QString& workstationName, bool replace, QString* why) {
    const QString folder = CfgFolder(projectName, workstationName);
    const QString path = folder + QStringLiteral("\\Ledgrix.svl");
    if (!replace && FileUtil::FileExists(path)) return true;
    if (!FileUtil::FolderExists(folder) && !FileUtil::MakeFullDir(folder)) return false;
    try {
        FileUtil::CreateTextFile(QStringLiteral("[SystemBasic]\r\n\r\n[ModuleList]\r\n\r\n"), path);
    } catch (const Failure& f) {
        if (why) *why = f.description;
        return false;
    }
    return true;
}

}  // namespace SettingUtil
