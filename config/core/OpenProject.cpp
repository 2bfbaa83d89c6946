#include "config/core/OpenProject.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "common/Texts.h"
#include "config/core/ConfigState.h"
#include "config/core/ConfigWindows.h"
#include "config/core/SaveGroupModel.h"
#include "config/core/SaveProject.h"

namespace ProjectUtil {
namespace {

const TextPair kInitTitle{"Ledgrix initialization failed", "Ledgrix資料庫存檔工具系統初始化失敗"};
const TextPair kNoProject{
    "No project is selected. Program will end.\r\nLedgrix initialization failed！",
    "使用者未挑選圖控專案名稱，系統將結束離開。\r\nLedgrix 資料庫存檔工具系統初始化失敗！"};
const TextPair kNoWorkstation{
    "No workstation is selected. Program will end.\r\nLedgrix initialization failed！",
    "使用者未挑選工作站名稱。\r\nLedgrix 資料庫存檔工具系統初始化失敗！"};
// From the main window's open command the program goes on with the project that is open.
const TextPair kNoWorkstationFromMenu{"No workstation is selected.\r\nLedgrix initialization failed！",
                                      "使用者未挑選工作站名稱。\r\nLedgrix 資料庫存檔工具系統初始化失敗！"};
const TextPair kCloseTitle{"Open Hexvane project", "開啟圖控專案"};
const TextPair kClose{"Are you sure you want to close current project and open another?",
                      "您是否要更換目前圖控專案，欲改用新的圖控專案?"};
const TextPair kNotFoundTitle{"Error-Open project", "找不到指定的專案"};
const TextPair kNotFoundHead{"The project [", "找不到指定的專案:"};
const TextPair kNotFoundTail{"] cannot be found.\r\nThe program cannot be run!", "\r\n程式無法執行!"};
const TextPair kBadNameTitle{"Error-Open project", "開啟專案失敗"};
const TextPair kBadNameHead{"The name [", "名稱["};
const TextPair kBadNameTail{
    "] cannot be used for a project or workstation: a name must not be empty, \".\" or "
    "\"..\", nor hold \\ / : * ? \" < > | or control characters.",
    "]不能作為專案或工作站名稱: 名稱不得為空白、\".\" 或 \"..\"，也不得含有 \\ / : * ? \" < > | "
    "或控制字元。"};
// What no folder name can hold: a name is one folder of a path.
const QString kRefusedInNames = QStringLiteral("\\/:*?\"<>|");
const TextPair kMissingFileHead{"Cannot find the setting file:", "找不到設定檔:"};
const TextPair kMissingFileTitle{"Setting file error", "找不到設定檔"};
const TextPair kStatus{"Project name：", "專案名稱："};
const TextPair kDefaultCaption{"Ledgrix for Windows", "Ledgrix 資料庫存檔工具程式"};
const QString kUpgradeQuestion = QStringLiteral("是否要升級Ledgrix專案?");
const QString kUpgradeTitle = QStringLiteral("升級專案");
const TextPair kCreatedTitle{"Error-Upgrade project", "升級專案失敗"};
const TextPair kCreatedHead{"Fail to upgrade the project!\r\nThe settings file [",
                            "升級專案失敗!\r\n設定檔["};
const TextPair kCreatedMid{"] was created empty by this opening and is not copied over [",
                           "]是本次開啟時建立的空白檔案, 不會複製到已有設定的["};
const TextPair kCreatedTail{"], which holds settings.\r\nPlease check the module lines of [",
                            "]。\r\n請檢查工作站設定檔的 Module 設定["};
const TextPair kSettingsTitle{"Settings error", "設定錯誤"};
const TextPair kNotLoadedHead{"Settings error!", "設定錯誤!"};
const TextPair kFieldsHead{"Save group [", "存檔群組 ["};
const TextPair kFieldsMid{"]: the fields after fd255 were not loaded (", "]: fd255 之後的欄位未載入 ("};
const TextPair kModulesHead{"The save groups after Module64 were not loaded (",
                            "Module64 之後的存檔群組未載入 ("};
const TextPair kTo{" to ", " 至 "};
const TextPair kNotLoadedTail{").", ")。"};
const TextPair kNotLoadedOpen{
    "The project cannot be saved: a workstation keeps at most 64 save groups of at most 255 fields. "
    "Please correct the settings files!",
    "本專案無法儲存: 一個工作站最多 64 個存檔群組, 一個存檔群組最多 255 個存檔欄位。請修正設定檔!"};
const TextPair kNotLoadedSaveHead{"Fail to save the project!", "專案儲存失敗!"};
const TextPair kNotLoadedSave{
    "Saving would drop them for good. Please correct the settings files and open the project again!",
    "儲存將使其永久遺失。請修正設定檔後重新開啟專案!"};
const TextPair kCycleHead{"Setting error!\r\nSaveTimeInterval:", "設定錯誤!\r\nSaveTimeInterval:"};
const TextPair kCycleLong{"\r\nThe cycle is too long to be scheduled!\r\n",
                          "\r\n存檔週期太長, 無法排程!\r\n"};
const TextPair kCycleNone{"\r\nThe cycle cannot be scheduled: the group saves on its trigger only.\r\n",
                          "\r\n存檔週期無法排程: 此群組只以觸發方式存檔。\r\n"};
const TextPair kGroupName{"Save Group Name: ", "存檔群組名稱: "};

// Group files created empty by the opening under way (resolved paths).
QStringList g_createdGroupFiles;
// The re-open pass loads the files that the first pass has reported on: it shows nothing again.
bool g_reopenPass = false;
// An upgrade of the opening under way whose save refused a group: its files are still as they
// were, and the re-open pass reads them so without asking again.
bool g_upgradeRefused = false;

bool IsCreatedGroupFile(const QString& path) {
    return g_createdGroupFiles.contains(FileUtil::ResolvePath(path));
}

// The path as the file helpers resolve it, its existing part followed through links; empty when
// a link leads nowhere.
QString RealPath(const QString& path) {
    QString head = FileUtil::ResolvePath(path);
    QString tail;
    for (QFileInfo info(head); !info.exists() && !info.isSymLink(); info.setFile(head)) {
        if (info.isRoot()) return QString();
        tail.prepend(u'/' + info.fileName());
        head = info.path();
    }
    const QString real = QFileInfo(head).canonicalFilePath();
    return real.isEmpty() ? QString() : QDir::cleanPath(real + tail);
}

bool IsWithin(const QString& realPath, const QString& folder) {
    const QString root = RealPath(folder);
    return !realPath.isEmpty() && !root.isEmpty() &&
           (realPath == root || realPath.startsWith(root + u'/') || root == QLatin1String("/"));
}

// A missing group file is created empty only in the project's folder or the program folder.
bool MayCreateGroupFile(const QString& path) {
    const QString real = RealPath(path);
    return IsWithin(real, State().ProjectFolder) || IsWithin(real, QDir::currentPath());
}

// A file in the open workstation's cfg folder, spelled as a default-path module line names it.
QString InCfgFolder(const QString& fileName) {
    const ProgramState& st = State();
    return SettingUtil::ModuleFilePath(fileName, 1, st.ProjectName, st.WorkstationName);
}

// The group file's place in the current layout.
QString ExpectedGroupPath(const xSvcSettings& s) {
    return InCfgFolder(FileUtil::GetFileName(s.SvcFilePath));
}

bool AgreeToUpgrade() {
    return MsgBox(kUpgradeQuestion, MsgStyle::Question | MsgStyle::YesNo, kUpgradeTitle) == MsgAnswer::Yes;
}

// Saves an agreed upgrade. A group that the save refuses has been named in its box: the project
// opens all the same, and the engineer mends the group in the editor; what was not written is
// read again as it is on disk. False when a file could not be written.
bool SaveUpgradedProject() {
    QString refusal;
    const bool refused = !SettingWriter::CheckSaveGroups(refusal);
    if (SettingWriter::SaveProject(true, false)) return true;
    g_upgradeRefused = refused;
    return refused;
}

// Creates a missing file with its lines, each followed by an empty line.
void CreateSkeleton(const QString& path, const QStringList& lines) {
    const QString parent = FileUtil::GetParentFolderName(path);
    if (!FileUtil::FolderExists(parent)) FileUtil::MakeFullDir(parent);
    if (FileUtil::FileExists(path)) return;
    FileUtil::CreateTextFile(lines.join(QStringLiteral("\r\n\r\n")) + QStringLiteral("\r\n\r\n"), path);
}

// The dbSCaption line of the workstation file, kept to be written back as read.
void KeepCaptionLine(const SettingUtil::SettingLookup& workstation) {
    ConfigState& cf = Config();
    const auto caption = workstation.Find(QStringLiteral("SystemBasic"), QStringLiteral("dbSCaption"));
    cf.HasCaptionLine = caption.has_value();
    cf.CaptionAsRead = caption.value_or(QString());
}

// Module lines after the last one the table holds: one line naming them, for the report.
void NoteGroupsNotLoaded(const SettingUtil::SettingLookup& workstation) {
    if (State().SaveGroupCount < kMaxSaveGroups) return;
    QStringList names;
    for (int k = kMaxSaveGroups + 1;; ++k) {
        const QString value =
            workstation.Value(QStringLiteral("ModuleList"), QStringLiteral("Module") + QString::number(k));
        if (value.isEmpty()) break;
        const SettingUtil::ModuleLine m = SettingUtil::SplitModuleLine(value);
        names << u'[' + (m.groupName.isEmpty() ? FileUtil::GetBaseName(m.file) : m.groupName) + u']';
    }
    if (names.isEmpty()) return;
    Config().NotLoaded << Tx(kModulesHead) + QStringLiteral("Module65") + Tx(kTo) + QStringLiteral("Module") +
                              QString::number(kMaxSaveGroups + names.size()) + QStringLiteral(": ") +
                              names.join(QStringLiteral(", ")) + Tx(kNotLoadedTail);
}

// Once the groups are read, before anything can be saved over their files: the field lines after
// the last one a group holds, and cycles the editor would refuse (the reader keeps no cycle below
// a millisecond or below 0, so such a group saves on its trigger only).
void ReportWhatWasNotTaken() {
    ProgramState& st = State();
    ConfigState& cf = Config();
    for (int i = 1; i <= st.SaveGroupCount; ++i) {
        SaveGroupRecord& g = st.Group(i);
        if (g.FieldCount < kMaxFields) continue;
        const SettingUtil::SettingLookup lookup(g.S().dbSettingString);
        int last = kMaxFields;
        while (!lookup.Value(QStringLiteral("FieldList"), QStringLiteral("fd") + QString::number(last + 1))
                    .isEmpty())
            ++last;
        if (last > kMaxFields)
            cf.NotLoaded << Tx(kFieldsHead) + g.R().ModuleName + Tx(kFieldsMid) + QStringLiteral("fd256") +
                                Tx(kTo) + QStringLiteral("fd") + QString::number(last) + Tx(kNotLoadedTail);
    }
    if (g_reopenPass) return;
    if (!cf.NotLoaded.isEmpty())
        MsgBox(QStringList{Tx(kNotLoadedHead), cf.NotLoaded.join(QStringLiteral("\r\n")), Tx(kNotLoadedOpen)}
                   .join(QStringLiteral("\r\n")),
               MsgStyle::Critical | MsgStyle::OkOnly, Tx(kSettingsTitle));

    for (int i = 1; i <= st.SaveGroupCount; ++i) {
        const xSvcSettings& s = st.Group(i).S();
        const QString text =
            SettingUtil::GetSettingValue(QStringLiteral("Basic"), QStringLiteral("SaveTimeInterval"),
                                         QStringLiteral("0"), s.dbSettingString);
        const double cycle = Numbers::LeadingNumber(text);
        const bool tooLong = cycle > 0 && !Numbers::ToInt32(cycle);
        if (cycle != 0 && !SettingUtil::SchedulableCycle(cycle))
            MsgBox(Tx(kCycleHead) + text + Tx(tooLong ? kCycleLong : kCycleNone) + Tx(kGroupName) +
                       s.SaveGroupName,
                   MsgStyle::Exclamation | MsgStyle::OkOnly, Tx(kSettingsTitle));
    }
}

}  // namespace

QString NotSavedMessage() {
    const ConfigState& cf = Config();
    if (cf.NotLoaded.isEmpty()) return QString();
    return QStringList{Tx(kNotLoadedSaveHead), cf.NotLoaded.join(QStringLiteral("\r\n")), Tx(kNotLoadedSave)}
        .join(QStringLiteral("\r\n"));
}

bool IsValidName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return false;
    for (const QChar c : name)
        if (kRefusedInNames.contains(c) || c.category() == QChar::Other_Control) return false;
    return true;
}

QString InvalidNameLine(const QString& name, int languageIndex) {
    return Tx(kBadNameHead, languageIndex) + name + Tx(kBadNameTail, languageIndex);
}

bool OpenProject(const QString& projName, bool reopen) {
    ProgramState& st = State();
    ConfigState& cf = Config();
    QString name = projName;
    QString wks = st.WorkstationName;
    bool result = false;
    // The project that the main window shows while it asks for another one.
    const bool wasOpen = cf.IsProjectLoaded && !st.ProjectName.isEmpty();
    const QString openProject = st.ProjectName;
    const QString openWorkstation = st.WorkstationName;

    if (st.ProjectName.isEmpty() || st.ProjectName != name) {
        if (name.isEmpty()) {
            const auto chosen = Windows().PickProject();
            if (!chosen) {
                if (st.ProjectName.isEmpty())
                    MsgBox(Tx(kNoProject), MsgStyle::Exclamation | MsgStyle::OkOnly, Tx(kInitTitle));
                return false;
            }
            name = *chosen;
            result = true;
            wks.clear();
        }
        if (!st.ProjectName.isEmpty()) {
            SettingWriter::SaveProject(false, false);
            if (st.ProjectName != name && MsgBox(Tx(kClose), MsgStyle::Exclamation | MsgStyle::OkCancel,
                                                 Tx(kCloseTitle)) == MsgAnswer::Cancel)
                return result;
        }
    }
    // Names from the command line or a picker go into paths; a project is never created here.
    if (!IsValidName(name)) {
        MsgBox(InvalidNameLine(name, st.LanguageIndex), MsgStyle::Critical | MsgStyle::OkOnly,
               Tx(kBadNameTitle));
        return false;
    }
    if (!FileUtil::FolderExists(QStringLiteral("..\\Project\\") + name)) {
        st.ErrorText = Tx(kNotFoundHead) + name + Tx(kNotFoundTail);
        st.ErrorCaption = Tx(kNotFoundTitle);
        MsgBox(st.ErrorText, MsgStyle::Critical | MsgStyle::OkOnly, st.ErrorCaption);
        sysExit(-1);
    }
    if (wks.isEmpty()) {
        const auto chosen = Windows().PickWorkstation(name);
        if (!chosen) {
            MsgBox(Tx(wasOpen ? kNoWorkstationFromMenu : kNoWorkstation),
                   MsgStyle::Exclamation | MsgStyle::OkOnly, Tx(kInitTitle));
            return false;
        }
        wks = *chosen;
        result = true;
    }
    if (!IsValidName(wks)) {
        MsgBox(InvalidNameLine(wks, st.LanguageIndex), MsgStyle::Critical | MsgStyle::OkOnly,
               Tx(kBadNameTitle));
        return false;
    }

    st.ProjectName = name;
    st.ProjectFolder = QStringLiteral("..\\Project\\") + name;
    st.WorkstationName = wks;
    st.WorkstationFilePath =
        st.ProjectFolder + QStringLiteral("\\cfg\\") + wks + QStringLiteral("\\Ledgrix.svl");
    st.DataFolder = st.ProjectFolder + QStringLiteral("\\dat\\Ledgrix");

    // The old table is dropped with whatever was not saved; nothing is saved until the new one
    // is loaded whole.
    for (SaveGroupRecord& g : st.SaveGroups) g = SaveGroupRecord{};
    st.SaveGroupCount = 0;
    cf.IsModified = 0;
    cf.IsProjectLoaded = false;
    cf.FilesOfRemovedGroups.clear();
    cf.NotLoaded.clear();
    g_reopenPass = reopen;
    if (!reopen) g_upgradeRefused = false;

    CreateMissingSettingFiles();
    // An upgrade whose save failed has been reported: the project is not taken as loaded, so
    // nothing else saves (or reports) its half upgraded state again.
    const bool loaded = LoadProject();

    if (reopen && loaded) {
        if (st.IsInteractive == 1) Windows().RefreshTree();
        Windows().SetStatusPanel(QStringLiteral("ProjName"), Tx(kStatus) + st.ProjectName);
        cf.IsModified = 0;
        return true;
    }
    if (!reopen && loaded && CheckProjectUpgrade()) return OpenProject(name, true);
    // A project left without its upgrade, or half upgraded, is never saved; the window goes on
    // with the project it showed, opened again from its files.
    cf.IsProjectLoaded = false;
    if (wasOpen && !(reopen && st.ProjectName == openProject)) {
        st.ProjectName = openProject;
        st.WorkstationName = openWorkstation;
        OpenProject(openProject, true);
    }
    return false;
}

void CreateMissingSettingFiles() {
    ProgramState& st = State();
    if (!FileUtil::FileExists(st.WorkstationFilePath)) {
        try {
            CreateSkeleton(st.WorkstationFilePath,
                           {QStringLiteral("[SystemBasic]"), QStringLiteral("dbSIsSvcDefaultPath=0"),
                            QStringLiteral("[ModuleList]")});
        } catch (const Failure& f) {
            SettingWriter::ReportWriteFailure(st.WorkstationFilePath, f.description, QString());
            sysExit(-1);
        }
        Config().IsModified = -1;
    }
    const SettingUtil::SettingLookup workstation(SettingUtil::ReadSettingFile(st.WorkstationFilePath));
    SettingUtil::LoadWorkstationSettings(workstation);
    KeepCaptionLine(workstation);
    NoteGroupsNotLoaded(workstation);
    // The re-open pass settles the path again but has reported it already.
    if (g_reopenPass)
        SettingUtil::SettleLogFilePath();
    else
        CheckLogFilePath();
    g_createdGroupFiles.clear();
    for (int i = 1; i <= st.SaveGroupCount; ++i) {
        const QString path = st.Group(i).S().SvcFilePath;
        // Elsewhere a missing file stays missing, and LoadProject reports it.
        if (!FileUtil::FileExists(path) && MayCreateGroupFile(path)) {
            try {
                CreateSkeleton(path, {QStringLiteral("[Basic]"), QStringLiteral("[FieldList]")});
                g_createdGroupFiles << FileUtil::ResolvePath(path);
            } catch (const Failure&) {
                // LoadProject reports the file that is still missing.
            }
        }
        DoEvents();
    }
}

bool LoadProject() {
    ProgramState& st = State();
    bool upgraded = false;
    // Each file is read once: the texts read for the format check go on to the reader, which
    // reads (and reports) only a file that could not be read here.
    SettingUtil::GroupFileTexts texts(static_cast<size_t>(std::max<int>(st.SaveGroupCount, 0)) + 1);
    for (int i = 1; i <= st.SaveGroupCount; ++i) {
        SaveGroupRecord& g = st.Group(i);
        xSvcSettings& s = g.S();
        g.NameCount = 0;
        if (!FileUtil::FileExists(s.SvcFilePath)) {
            st.ErrorText = Tx(kMissingFileHead) + s.SvcFilePath + SettingUtil::NotAFileLine(s.SvcFilePath);
            st.ErrorCaption = Tx(kMissingFileTitle);
            MsgBox(st.ErrorText, MsgStyle::Critical | MsgStyle::OkOnly, st.ErrorCaption);
            sysExit(-1);
        }
        if (FileUtil::ReadTextFile(s.SvcFilePath, s.dbSettingString))
            texts[static_cast<size_t>(i)] = s.dbSettingString;
        const QString basic = QStringLiteral("Basic");
        s.dbDBTypeName = SettingUtil::TrimSpaces(SettingUtil::GetSettingValue(
            basic, QStringLiteral("dbDBTypeName"), QString(), s.dbSettingString));
        s.dbProvider = SettingUtil::TrimSpaces(
            SettingUtil::GetSettingValue(basic, QStringLiteral("dbProvider"), QString(), s.dbSettingString));
        // A provider without a type name is the old format.
        if (!s.dbProvider.isEmpty() && s.dbDBTypeName.isEmpty()) {
            if (g_reopenPass && g_upgradeRefused) break;
            if (!AgreeToUpgrade()) sysExit(-1);
            upgraded = true;
            if (!UpgradeAndSaveProject(texts)) {
                Config().IsProjectLoaded = false;
                return false;
            }
            break;
        }
    }
    if (!upgraded) {
        SettingUtil::LoadSaveGroupSettings(texts);
        ReportWhatWasNotTaken();
        Config().IsProjectLoaded = true;
    }
    if (st.SaveGroupCount >= 1 && st.dbSCaption.isEmpty()) st.dbSCaption = Tx(kDefaultCaption);
    return true;
}

bool UpgradeAndSaveProject(const SettingUtil::GroupFileTexts& texts) {
    SettingUtil::LoadSaveGroupSettings(texts);
    ReportWhatWasNotTaken();
    ConfigState& cf = Config();
    cf.IsProjectLoaded = true;
    cf.IsModified = -1;
    return SaveUpgradedProject();
}

bool CheckProjectUpgrade() {
    ProgramState& st = State();
    bool due = false;
    for (int i = 1; i <= st.SaveGroupCount && !due; ++i) {
        const xSvcSettings& s = st.Group(i).S();
        due = ExpectedGroupPath(s).toUpper() != s.SvcFilePath.toUpper();
    }
    if (!due) return true;
    return AgreeToUpgrade() && UpgradeProjectFiles();
}

bool UpgradeProjectFiles() {
    ProgramState& st = State();
    ConfigState& cf = Config();
    bool ok = true;
    for (int i = 1; i <= st.SaveGroupCount; ++i) {
        xSvcSettings& s = st.Group(i).S();
        const QString target = ExpectedGroupPath(s);
        ok = true;
        if (target.toUpper() == s.SvcFilePath.toUpper()) continue;
        // Another spelling of the same file is not copied onto itself, and a file this opening
        // created empty never replaces one that holds settings.
        QString why;
        if (IsCreatedGroupFile(s.SvcFilePath) && FileUtil::FileExists(target) &&
            !IsCreatedGroupFile(target)) {
            MsgBox(Tx(kCreatedHead) + s.SvcFilePath + Tx(kCreatedMid) + target + Tx(kCreatedTail) +
                       st.WorkstationFilePath + u']',
                   MsgStyle::Critical | MsgStyle::OkOnly, Tx(kCreatedTitle));
            s.SvcFilePath = target;
            ok = false;
            break;
        }
        if (!FileUtil::IsSamePath(s.SvcFilePath, target))
            ok = FileUtil::CopyFileOverwrite(s.SvcFilePath, target, 10, true, &why);
        s.SvcFilePath = target;
        if (!ok) {
            SettingWriter::ReportWriteFailure(target, why, kUpgradeTitle);
            break;
        }
        cf.IsModified = -1;
        if (s.dbIsDefaultFilePath == 1 && SaveGroupUtil::IsFileDBType(s.dbDBTypeName.toUpper())) {
            s.dbDataSource = SettingUtil::DataFilePath(st.ProjectName, s.dbFileName);
            s.dbFilePath = s.dbDataSource;
        }
    }
    if (st.dbSLogDisable != -1) st.dbSLogFileName = InCfgFolder(QStringLiteral("Ledgrix.log"));
    if (!ok) return false;
    // The project opens whatever the save did.
    SaveUpgradedProject();
    return true;
}

bool CheckLogFilePath() {
    const QString configured = State().dbSLogFileName;
    QString cause, settled;
    if (SettingUtil::SettleLogFilePath(&cause, &settled)) return true;
    SettingUtil::ReportBadLogPath(configured, cause, settled);
    return false;
}

}  // namespace ProjectUtil
