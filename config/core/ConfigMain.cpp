#include "config/core/ConfigMain.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <cstdio>
#include <vector>

#include "common/CommandLineUtil.h"
#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/HelpUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/RuntimeFolderCheck.h"
#include "common/SettingUtil.h"
#include "common/Texts.h"
#include "config/core/ConfigState.h"
#include "config/core/ConfigWindows.h"
#include "config/core/OpenProject.h"
#include "config/core/SaveProject.h"
#include "config/core/WorkstationActions.h"
#include "platform/ado/Ado.h"
#include "platform/captions/Captions.h"

namespace LedgrixConfigMain {
namespace {

const QString kCRLF = QStringLiteral("\r\n");
const TextPair kCaption{"LedgrixConfig", "LedgrixConfig 資料庫存檔工具設定程式"};
const TextPair kUnknownHead{"Unrecognized command line parameter:", "無法辨識的命令行參數:"};
const TextPair kUnknownTail{
    "\r\nCannot execute!\r\nPlease use Ledgrix /Help to find correct command line parameter",
    "\r\n程式無法執行!\r\n請用 Ledgrix /Help 可查詢正確的命令行參數"};

// The configuration program's own dialogs, after the help file's rows.
const char* const kConfigForms[] = {
    "frmConfigMain",         "frmAboutLedgrixConfig",
    "frmSelectWksName",      "frmBasicConfig",
    "frmAddNewSaveGroup",    "frmRename",
    "frmRenameField",        "frmGroupConfig",
    "frmCSVSettings",        "frmEditDBContent",
    "frmEditSaveDBWay",      "frmFieldContent",
    "frmFormatSetting",      "frmDBSetup1",
    "frmDBSetup2",           "frmDBSetup3",
    "frmDBSetup4",           "frmDBSetup5",
    "frmOfflineDBSetup3",    "frmOfflineDBSetup4",
    "frmSelectDBFileName",   "frmSelectDataBaseRootDir",
    "frmAddNewOfflineField",
};

// A /PAM switch: its action, the positional words it needs and whether more are allowed.
struct PamSwitch {
    const char* name;
    const char* action;  // the failure text of its missing-names box, "...失敗!"
    int names;
    bool moreAllowed;
};
const PamSwitch kPamSwitches[] = {
    {"/PAMADDPROJ", "新增專案", 1, true},          {"/PAMRENAMEPROJ", "更名專案名稱", 2, false},
    {"/PAMDELETEPROJ", "刪除專案", 1, true},       {"/PAMADDWKS", "新增工作站", 2, false},
    {"/PAMRENAMEWKS", "更名工作站名稱", 3, false}, {"/PAMCOPYWKS", "複製工作站名稱", 3, false},
    {"/PAMDELETEWKS", "刪除工作站", 2, false},
};

QString W(const std::vector<QString>& words, int i) {
    return i < static_cast<int>(words.size()) ? words[static_cast<size_t>(i)] : QString();
}

// The box for a /PAM switch with too few positional words; then the program ends.
[[noreturn]] void MissingNames(const PamSwitch& sw, int given, const std::vector<QString>& words) {
    const QString key = QString::fromLatin1(sw.name);
    const QString action = QString::fromUtf8(sw.action);
    if (key == QLatin1String("/PAMCOPYWKS") && given < 2 && State().LanguageIndex == 0) {
        const QString why = given == 0
                                ? QStringLiteral(
                                      "Cannot find project and new/old workstation name. Project and new/old "
                                      "workstation name cannot be blank.")
                                : QStringLiteral(
                                      "Cannot find new/old workstation name. New/old workstation name cannot "
                                      "be blank.");
        MsgBox(QStringLiteral("Fail to copy workstation name!") + kCRLF + why + kCRLF +
                   QStringLiteral("Cannot execute!"),
               MsgStyle::Critical | MsgStyle::OkOnly,
               QStringLiteral("Ledgrix - Fail to copy workstatin name!"));
        ::sysExit(-1);
    }
    QStringList lines{action + QStringLiteral("失敗!")};
    const bool project = key.endsWith(QLatin1String("PROJ"));
    if (project && sw.names == 1) {
        lines << QStringLiteral("找不到專案名稱，專案名稱不得為空白。");
    } else if (project) {
        if (given == 0) {
            lines << QStringLiteral("找不到新/舊專案名稱，新/舊專案名稱不得為空白。");
        } else {
            lines << QStringLiteral("找不到新專案名稱，新專案名稱不得為空白。")
                  << QStringLiteral("原專案名稱:[") + W(words, 1) + u']';
        }
    } else if (sw.names == 2) {
        lines << (given == 0 ? QStringLiteral("找不到專案及工作站名稱，專案及工作站名稱不得為空白。")
                             : QStringLiteral("找不到工作站名稱，工作站名稱不得為空白。"));
        if (given >= 1) lines << QStringLiteral("專案名稱:[") + W(words, 1) + u']';
    } else {
        if (given == 0)
            lines << QStringLiteral("找不到專案及新/舊工作站名稱，專案及新/舊工作站名稱不得為空白。");
        else if (given == 1)
            lines << QStringLiteral("找不到新/舊工作站名稱，新/舊工作站名稱不得為空白。");
        else
            lines << QStringLiteral("找不到新工作站名稱，新工作站名稱不得為空白。");
        if (given >= 1) lines << QStringLiteral("專案名稱:[") + W(words, 1) + u']';
        if (given >= 2) lines << QStringLiteral("舊工作站名稱:[") + W(words, 2) + u']';
    }
    lines << QStringLiteral("本動作無法執行!");
    MsgBox(lines.join(kCRLF), MsgStyle::Critical | MsgStyle::OkOnly,
           QStringLiteral("Ledgrix 程式 - ") + action + QStringLiteral("失敗!"));
    ::sysExit(-1);
}

// Runs a /PAM switch with its names and ends the program with the action's status.
[[noreturn]] void RunPam(const PamSwitch& sw, int given, const std::vector<QString>& words) {
    if (given < sw.names) MissingNames(sw, given, words);
    // With more words than it takes, an action gets empty names (and refuses them).
    std::vector<QString> n(4);
    if (given == sw.names || sw.moreAllowed)
        for (int i = 1; i <= sw.names; ++i) n[static_cast<size_t>(i)] = W(words, i);
    const QString key = QString::fromLatin1(sw.name);
    bool ok = false;
    if (key == QLatin1String("/PAMADDPROJ"))
        ok = WorkstationUtil::PamAddProject(n[1]);
    else if (key == QLatin1String("/PAMRENAMEPROJ"))
        ok = WorkstationUtil::PamRenameProject(n[1], n[2]);
    else if (key == QLatin1String("/PAMDELETEPROJ"))
        ok = WorkstationUtil::PamDeleteProject(n[1]);
    else if (key == QLatin1String("/PAMADDWKS"))
        ok = WorkstationUtil::AddWorkstation(n[1], n[2]);
    else if (key == QLatin1String("/PAMRENAMEWKS"))
        ok = WorkstationUtil::RenameWorkstation(n[1], n[2], n[3]);
    else if (key == QLatin1String("/PAMCOPYWKS"))
        ok = WorkstationUtil::CopyWorkstation(n[1], n[2], n[3]);
    else
        ok = WorkstationUtil::DeleteWorkstation(n[1], n[2]);
    ::sysExit(ok ? 0 : -1);
}

}  // namespace

QString MainCaption() {
    return Tx(kCaption);
}

QStringList MainCaptions() {
    return {Tx(kCaption, 0), Tx(kCaption, 1), QStringLiteral("LedgrixConfig for Windows")};
}

void RefuseSecondInstance() {
    for (const QString& caption : MainCaptions()) {
        if (!WindowCaptionExists(caption)) continue;
        MsgBox(QStringLiteral("LedgrixConfig is running now!"), MsgStyle::Exclamation | MsgStyle::OkOnly,
               QStringLiteral("LedgrixConfig"));
        ::sysExit(-1);
    }
}

void InstallConfigServices() {
    ProgramHooks::SetExit([](int code) { sysExit(static_cast<int16_t>(code)); });
    ProgramHooks::SetEndProcess([](int code) {
        std::fflush(nullptr);
        _exit(code == 0 ? 0 : 1);
    });
    ProgramHooks::SetProcessEvents([] { QCoreApplication::processEvents(); });
    ProgramHooks::SetLog([](const QStringList&) {});
}

QString UsageText(const QString& helpText) {
    static const QRegularExpression own(QStringLiteral("^LedgrixConfig\\b"),
                                        QRegularExpression::MultilineOption);
    const qsizetype at = helpText.indexOf(own);
    return at < 0 ? helpText : helpText.mid(at);
}

QString ProcessArguments() {
    QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty()) args.removeFirst();
    return args.join(u' ');
}

int Main() {
    StartUp(ProcessArguments());
    return QCoreApplication::exec();
}

void StartUp(const QString& commandLine) {
    ProgramState& st = State();
    ConfigState& cf = Config();
    st.ProjectName.clear();
    cf.AppPath = QDir::currentPath();
    st.ProjectFolder = QStringLiteral("..\\Project");
    st.ProgramSettingFilePath = QStringLiteral("Ledgrix.set");
    cf.IsModified = 0;
    sysInit();
    // Before the command line: a second start with a /PAM switch stops here too.
    RefuseUnusableRuntimeFolder();
    RefuseSecondInstance();
    ProcessCommandLine(commandLine);
    st.IsInteractive = 1;
    if (st.DebugLevel > 0) MsgBox(QStringLiteral(" sysInit is Finished!"));
    if (!ProjectUtil::OpenProject(st.ProjectName, false)) ::sysExit(-1);
    if (st.DebugLevel > 0) MsgBox(QStringLiteral("Get Settings is Finished!"));
    cf.SavedAppPath = QDir::currentPath();
    st.IsInteractive = 1;
    ShowConfigMain();
}

void sysInit() {
    ProgramState& st = State();
    for (int i = 1; i <= st.SaveGroupCount && i <= kMaxSaveGroups; ++i) {
        xRuntimeInfo& r = st.Group(i).R();
        r.LastdbSTriggerTagValue = -9999.99;
        r.LastdbSPurgeTagValue = -9999.99;
    }
    SettingUtil::LoadProgramSettings();
    UseToolkitTranslations(st.LanguageIndex);
    st.HelpFile = QStringLiteral("Hexvane.chm");
    HelpUtil::InitHelpIDTable();
    QStringList forms;
    for (const char* f : kConfigForms) forms << QString::fromLatin1(f);
    HelpUtil::AddHelpIDs(forms);
}

void ProcessCommandLine(const QString& commandLine) {
    ProgramState& st = State();
    ConfigState& cf = Config();
    cf.HelpText = FileUtil::ReadTextFile(QDir(cf.AppPath).filePath(QStringLiteral("help.txt")));
    st.DebugLevel = 0;
    cf.IsNT = 0;
    cf.ReferenceDateTime = CommandLineUtil::ReferenceDateTimeNow();
    st.IsInteractive = 0;
    st.IsUserMode = false;
    st.ProjectName.clear();
    st.WorkstationName.clear();

    const QString line = SettingUtil::TrimSpaces(commandLine);
    if (line.isEmpty()) {
        st.IsInteractive = 1;
        return;
    }
    std::vector<QString> words(100), switches(100);
    int16_t wordCount = 0, switchCount = 0;
    try {
        CommandLineUtil::ParseCommandLine(line, words, wordCount, switches, switchCount);
    } catch (const Failure&) {
        // words beyond the table are ignored; those stored before them count
    }
    if (wordCount >= 1) st.ProjectName = words[1];
    if (wordCount >= 2) st.WorkstationName = words[2];

    for (int k = 1; k <= switchCount; ++k) {
        const QString typed = switches[static_cast<size_t>(k)];
        const QString s = typed.toUpper();
        for (const PamSwitch& sw : kPamSwitches)
            if (s == QLatin1String(sw.name)) RunPam(sw, wordCount, words);
        if (s == QLatin1String("/CONFIG")) {
            st.IsInteractive = 1;
        } else if (s == QLatin1String("/DEBUG") || s == QLatin1String("/DE")) {
            st.DebugLevel = 1;
        } else if (s == QLatin1String("/NT")) {
            cf.IsNT = -1;
        } else if (CommandLineUtil::IsHelpSwitch(s)) {
            MsgBox(cf.HelpText, MsgStyle::Information | MsgStyle::OkOnly | MsgStyle::FixedPitch,
                   QStringLiteral("命令行參數說明"));
            ::sysExit(0);
        } else if (s == QLatin1String("/ONCE")) {
            cf.RunMode = QStringLiteral("ONCE");
        } else if (s == QLatin1String("/USERMODE")) {
            st.IsUserMode = true;
        } else {
            const QString key = s.section(u':', 0, 0);
            if (key == QLatin1String("/D") || key == QLatin1String("/T")) {
                cf.ReferenceDateTime = CommandLineUtil::ApplyDateTimeSwitch(cf.ReferenceDateTime, typed);
            } else if (key != QLatin1String("/PURGE")) {  // accepted; no group is loaded yet to take it
                MsgBox(Tx(kUnknownHead) + s + Tx(kUnknownTail), MsgStyle::Critical | MsgStyle::OkOnly,
                       Tx(kUnknownHead));
                ::sysExit(-1);
            }
        }
    }
}

void ShowConfigMain() {
    Windows().ShowMain();
}

void sysExit(int16_t code) {
    static bool exiting = false;
    if (exiting) EndProcessNow(code);
    exiting = true;
    ProgramState& st = State();
    if (!st.ProjectName.isEmpty()) SettingWriter::SaveProject(false, false);
    for (int i = 1; i <= st.SaveGroupCount && i <= kMaxSaveGroups; ++i) {
        SaveGroupRecord& g = st.Group(i);
        if (!g.Settings || g.Settings->SaveGroupName.isEmpty()) break;
        if (!g.RunState) continue;
        g.RunState->rs.reset();
        g.RunState->conn.reset();
    }
    Config().WizardConnection.reset();
    exiting = false;
    EndProcessNow(code);
}

}  // namespace LedgrixConfigMain
