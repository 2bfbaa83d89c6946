#include "config/core/OpenProject.h"

#include <algorithm>

#include "common/Failure.h"
#include "common/FileUtil.h"
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
    "\"..\", nor hold \\, /, : or control characters.",
    "]不能作為專案或工作站名稱: 名稱不得為空白、\".\" 或 \"..\"，也不得含有 \\、/、: "
    "或控制字元。"};
const TextPair kMissingFileHead{"Cannot find the setting file:", "找不到設定檔:"};
const TextPair kMissingFileTitle{"Setting file error", "找不到設定檔"};
const TextPair kStatus{"Project name：", "專案名稱："};
const TextPair kDefaultCaption{"Ledgrix for Windows", "Ledgrix 資料庫存檔工具程式"};
const QString kUpgradeQuestion = QStringLiteral("是否要升級Ledgrix專案?");
const QString kUpgradeTitle = QStringLiteral("升級專案");

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

}  // namespace

bool IsValidName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return false;
    for (const QChar c : name)
        if (c == u'\\' || c == u'/' || c == u':' || c.category() == QChar::Other_Control) return false;
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
            MsgBox(Tx(kNoWorkstation), MsgStyle::Exclamation | MsgStyle::OkOnly, Tx(kInitTitle));
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

    CreateMissingSettingFiles();
    LoadProject();

    if (reopen) {
        if (st.IsInteractive == 1) Windows().RefreshTree();
        Windows().SetStatusPanel(QStringLiteral("ProjName"), Tx(kStatus) + st.ProjectName);
        cf.IsModified = 0;
        return true;
    }
    if (CheckProjectUpgrade()) return OpenProject(name, true);
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
    CheckLogFilePath();
    for (int i = 1; i <= st.SaveGroupCount; ++i) {
        const QString path = st.Group(i).S().SvcFilePath;
        if (!FileUtil::FileExists(path)) {
            try {
                CreateSkeleton(path, {QStringLiteral("[Basic]"), QStringLiteral("[FieldList]")});
            } catch (const Failure&) {
                // LoadProject reports the file that is still missing.
            }
        }
        DoEvents();
    }
}

void LoadProject() {
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
            if (!AgreeToUpgrade()) sysExit(-1);
            UpgradeAndSaveProject(texts);
            upgraded = true;
            break;
        }
    }
    if (!upgraded) {
        SettingUtil::LoadSaveGroupSettings(texts);
        Config().IsProjectLoaded = true;
    }
    if (st.SaveGroupCount >= 1 && st.dbSCaption.isEmpty()) st.dbSCaption = Tx(kDefaultCaption);
}

void UpgradeAndSaveProject(const SettingUtil::GroupFileTexts& texts) {
    SettingUtil::LoadSaveGroupSettings(texts);
    ConfigState& cf = Config();
    cf.IsProjectLoaded = true;
    cf.IsModified = -1;
    SettingWriter::SaveProject(true, false);
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
        // Another spelling of the same file is not copied onto itself.
        QString why;
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
    // An upgrade that was not written is no upgrade.
    return ok && SettingWriter::SaveProject(true, false);
}

bool CheckLogFilePath() {
    const QString configured = State().dbSLogFileName;
    if (SettingUtil::SettleLogFilePath()) return true;
    SettingUtil::ReportBadLogPath(configured);
    return false;
}

}  // namespace ProjectUtil
