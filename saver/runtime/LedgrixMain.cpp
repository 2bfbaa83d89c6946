#include "saver/runtime/LedgrixMain.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QStringList>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "common/CommandLineUtil.h"
#include "common/DateUtil.h"
#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/HelpUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/RuntimeFolderCheck.h"
#include "common/SettingUtil.h"
#include "common/Texts.h"
#include "platform/ado/Ado.h"
#include "platform/captions/Captions.h"
#include "platform/msgbox/WaitEvents.h"
#include "saver/SaverState.h"
#include "saver/runtime/CheckSettings.h"
#include "saver/runtime/FieldValues.h"
#include "saver/runtime/LedgrixRuntimeUtil.h"
#include "saver/runtime/LogWriter.h"
#include "saver/runtime/SaverTexts.h"
#include "saver/runtime/SaverWindow.h"
#include "saver/runtime/TagAccess.h"
#include "saver/runtime/TagDataPoolUtil.h"
#include "saver/runtime/xTagQueueUtil.h"
#include "saver/writers/WriterServices.h"
#include "saver/writers/WriterUtil.h"

namespace LedgrixMain {
namespace {

const QString kLibraryFile = QStringLiteral("PTSERV32.dll");

const TextPair kBadLibraryText{"The program cannot be running.\r\nThe file [PTSERV32.dll] cannot be loaded: ",
                               "程式無法執行。\r\n無法載入檔案 [PTSERV32.dll]: "};
const TextPair kArgTitle{"Command line argument error", "命令行參數錯誤"};
const TextPair kNoProjectArg{"The project name is empty.The program cannot be running",
                             "專案名稱是空的。程式無法執行"};
const TextPair kNoWorkstationArg{"The workstation name is empty.The program cannot be running",
                                 "工作站名稱是空的。程式無法執行"};
const TextPair kInitTitle{"Ledgrix initial error", "Ledgrix 初始化錯誤"};
const TextPair kNoProject{"The program cannot be running.\r\nPlease specify one project.",
                          "程式無法執行。\r\n請指定一個專案。"};
const TextPair kNoWorkstation{"The program cannot be running.\r\nPlease specify one workstation.",
                              "程式無法執行。\r\n請指定一個工作站。"};
const TextPair kProjectMissing{"Can not find the project:", "找不到專案:"};
const TextPair kProjectMissing2{"\r\nThe program can not be running.", "\r\n程式無法執行。"};
const TextPair kProjectMissingTitle{"Cannot find the project", "找不到專案"};
const TextPair kSvlMissing{"The program can not be running!\r\nThe Svl file[",
                           "程式無法執行!\r\n工作站設定檔["};
const TextPair kSvlMissing2{"] is not exist!", "] 不存在!"};
const TextPair kSvlMissingTitle{"Cannot find the file", "找不到檔案"};
const TextPair kUserModeText{"Setting error!\r\nNow the program is User Mode, so please specify dbSStopTag!",
                             "設定錯誤!\r\n因為命令行參數指定了 /UserMode, 程式以使用者模式執行。\r\n"
                             "使用者模式下必須設定 dbSStopTag。\r\n請重新設定!"};
const TextPair kUserModeTitle{"Setting error - dbSStopTag", "設定錯誤 - dbSStopTag"};
const TextPair kSvcMissing{"The program can not be running!\r\n Can't find the svlfile[",
                           "程式無法執行!\r\n 找不到設定檔["};
const TextPair kSvcMissing2{"]!", "]!"};
const TextPair kSvcMissingTitle{"Can not find svl file", "找不到設定檔"};
const TextPair kIsRunning{" is running!", " 已經在執行中!"};
const TextPair kLogNone{"(None)", "(無)"};
const TextPair kFailureLog{" | Error | Ledgrix.System | Ledgrix stopped on a failure no step handled.",
                           " | Error | Ledgrix.System | Ledgrix 因未處理的錯誤而停止。"};
const TextPair kFailureText{"The program can not be running!\r\nA failure that no step handled:\r\n",
                            "程式無法執行!\r\n未處理的錯誤:\r\n"};
const TextPair kFailureTitle{"Ledgrix error", "Ledgrix 錯誤"};
const TextPair kSignalLog{" | Message | Ledgrix.System | Stopped by the system (signal ",
                          " | Message | Ledgrix.System | 系統要求結束 (signal "};

bool g_aliveResolved = false;
bool g_exiting = false;
// The exit under way ends with status 0; a failure that comes after the mark still wins.
bool g_orderlyEnd = false;

}  // namespace

void Fatal(const QString& text, const QString& title) {
    ProgramState& st = State();
    st.ErrorText = text;
    st.ErrorCaption = title;
    MsgBox(text, MsgStyle::Critical | MsgStyle::OkOnly, title);
    g_orderlyEnd = false;
    sysExit(-1);
}

namespace {

[[noreturn]] void Fatal(const TextPair& text, const TextPair& title) {
    LedgrixMain::Fatal(Tx(text), Tx(title));
}

[[noreturn]] void UnknownSwitch(const QString& s) {
    const QString head = QStringLiteral("無法辨識的命令行參數:");
    LedgrixMain::Fatal(
        head + s + QStringLiteral("\r\n程式無法執行!\r\n請用 Ledgrix /Help 可查詢正確的命令行參數"), head);
}

QString ProcessCommandLine() {
    QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty()) args.removeFirst();
    return args.join(u' ');
}

// A box runs window messages: the log list shows the lines held back for it first.
struct LogFirstBoxes : MessageService {
    MessageService* inner = nullptr;
    int Show(const QString& text, int style, const QString& title) override {
        LedgrixRuntimeUtil::ShowHeldLogLines();
        return inner->Show(text, style, title);
    }
};

void ShowRecordCount(int16_t group) {
    if (group != Saver().ShownGroupIndex || !Window().Exists()) return;
    Window().ShowRecordCount(Numbers::NumberText(State().Group(group).R().NumRecordsSaved));
}

void ShowTargetPath(const QString& path) {
    if (Window().Exists()) Window().ShowTargetPath(path);
}

}  // namespace

QString SaverCaption() {
    return Tx(kSaverCaption);
}

void RefuseSecondSaver() {
    if (!WindowCaptionExists(SaverCaption())) return;
    MsgBox(Tx(kRunningText), MsgStyle::Exclamation | MsgStyle::OkOnly, Tx(kRunningTitle));
    sysExit(-1);
}

void ResetStartup() {
    g_aliveResolved = false;
    g_exiting = false;
    g_orderlyEnd = false;
}

void MarkOrderlyEnd() {
    g_orderlyEnd = true;
}

void InstallSaverServices() {
    ProgramHooks::SetExit([](int code) { LedgrixMain::sysExit(static_cast<int16_t>(code)); });
    ProgramHooks::SetEndProcess([](int code) {
        std::fflush(nullptr);
        _exit(code == 0 ? 0 : 1);
    });
    ProgramHooks::SetProcessEvents([] {
        LedgrixRuntimeUtil::ShowHeldLogLines();
        QCoreApplication::processEvents();
    });
    InstallSaverLog();
    static LogFirstBoxes boxes;
    if (ProgramHooks::Messages() != &boxes) {
        boxes.inner = ProgramHooks::Messages();  // the program's service
        ProgramHooks::SetMessageService(&boxes);
    }

    WriterServices& ws = Services();
    ws.GetFieldValues = [](int16_t group) { GetFieldValues(group); };
    ws.GetTagRefData = [](const QString& ref, QString& kind, double& value, QString& message,
                          int16_t& readFlag) { return GetTagRefData(ref, kind, value, message, readFlag); };
    ws.FindTagHandle = [](const QString& name) { return FindTagHandle(name); };
    ws.WriteStatusTag = [](int32_t index, double value) { WriteStatusTag(index, value); };
    ws.CloseDBConnection = [](int16_t group) { CloseDBConnection(group); };
    ws.ShowRecordCount = ShowRecordCount;
    ws.ShowTargetPath = ShowTargetPath;
}

void WithOrderlyExit(const std::function<void()>& step) {
    QString description;
    try {
        step();
        return;
    } catch (const ProgramExit&) {
        throw;  // the exit of the tests
    } catch (const Failure& e) {
        description = e.description + QStringLiteral(" (") + QString::number(e.number) + u')';
    } catch (const ado::Error& e) {
        description = e.Description + QStringLiteral(" (") + QString::number(e.Number) + u')';
    } catch (const std::exception& e) {
        description = QString::fromLocal8Bit(e.what());
    } catch (...) {
        description = QStringLiteral("unknown failure");
    }
    WriteLog(WriterUtil::NowText() + Tx(kFailureLog));
    WriteLog(QStringLiteral("Error Description = ") + description);
    MsgBox(Tx(kFailureText) + description, MsgStyle::Critical | MsgStyle::OkOnly, Tx(kFailureTitle));
    g_orderlyEnd = false;
    sysExit(-1);
}

namespace {

int g_signalPipe[2] = {-1, -1};

void StartAndRun();

// The handler keeps errno for the code it interrupts.
void OnStopSignal(int number) {
    const int saved = errno;
    const char c = static_cast<char>(number);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
    errno = saved;
}

// A wait for the HMI runtime gives a runtime that answers this long before a stop requested
// meanwhile gives it up.
constexpr int32_t kStopGraceMs = 500;
bool g_inLinkWait = false;

// A stop signal noted by the handler ends the saver through the orderly exit; inside a wait for
// the HMI runtime it waits for the call to return.
void ActOnStopSignal() {
    if (g_inLinkWait) return;
    char c = 0;
    if (::read(g_signalPipe[0], &c, 1) != 1 || g_exiting) return;
    WriteLog(WriterUtil::NowText() + Tx(kSignalLog) + QString::number(c) + u')');
    MarkOrderlyEnd();
    sysExit(-1);
}

bool StopSignalNoted() {
    pollfd p{g_signalPipe[0], POLLIN, 0};
    return g_signalPipe[0] >= 0 && ::poll(&p, 1, 0) == 1;
}

// A signal, a close of the main window (which ends the saver unless in user mode), or the orderly
// exit under way.
bool StopRequested() {
    return g_exiting || StopSignalNoted() || (Window().IsCloseNoted() && !State().IsUserMode);
}

}  // namespace

void RouteStopSignals() {
    if (g_signalPipe[0] >= 0 || ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier =
        new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { ActOnStopSignal(); });
    // Also while the window thread waits for a database (a server that does not answer) or for
    // the HMI runtime.
    ado::SetWaitHook(ActOnStopSignal);
    TagAccess::SetLinkWaitHook(WhileLinkWaits);
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(number, &sa, nullptr);
}

// Neither a pass nor a stop runs inside the wait. A wait given up fails its call as one the runtime
// did not answer; the stop is acted on once the call has returned.
int WhileLinkWaits(int32_t waitedMs) {
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) return 0;
    WaitEvents& events = WaitEvents::Instance();
    if (waitedMs < 0) {
        if (events.Busy()) events.Ended();
        return 0;
    }
    if (!g_exiting) {
        events.Begin();
        g_inLinkWait = true;
        events.Process();
        g_inLinkWait = false;
    }
    return StopRequested() && waitedMs >= kStopGraceMs ? 1 : 0;
}

bool InLinkWait() {
    return g_inLinkWait;
}

void ActOnStopRequest() {
    if (g_exiting || g_inLinkWait) return;
    if (StopSignalNoted()) ActOnStopSignal();
    if (Window().IsCloseNoted() && !State().IsUserMode) {
        MarkOrderlyEnd();
        sysExit(-1);
    }
}

int Main(SaverWindow& window) {
    SetSaverWindow(&window);
    // The orderly exit is the only way out: no closed window (a message box of a hidden saver)
    // ends the event loop.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    WithOrderlyExit(StartAndRun);
    QGuiApplication::exec();
    sysExit(-1);
}

namespace {

void StartAndRun() {
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    InstallSaverServices();
    ProgramState& st = State();
    Saver().IsLogFileReady = false;
    st.ProjectName.clear();
    st.ProjectFolder = QStringLiteral("..\\Project");
    st.ProgramSettingFilePath = QStringLiteral("Ledgrix.set");
    st.LanguageIndex = 0;
    st.DebugLevel = 0;

    sysInit();

    if (!FileUtil::FileExists(kLibraryFile)) {
        MsgBox(Tx(kNoLibraryText), MsgStyle::Critical | MsgStyle::OkOnly, Tx(kNoLibraryTitle));
        EndProcessNow(-1);
    }
    QString why;
    if (!TagAccess::LoadTagLibrary(FileUtil::ResolvePath(kLibraryFile), &why)) {
        MsgBox(Tx(kBadLibraryText) + why, MsgStyle::Critical | MsgStyle::OkOnly, Tx(kNoLibraryTitle));
        EndProcessNow(-1);
    }
    RefuseUnusableRuntimeFolder();

    ParseCommandLine();
    if (st.DebugLevel > 0)
        MsgBox(QStringLiteral(" sysInit is Finished!"), MsgStyle::OkOnly, QStringLiteral("Ledgrix"));
    // Before the first call of the tag manager, which may wait for the HMI runtime.
    RouteStopSignals();
    if (!SetupProjectPaths(st.ProjectName)) sysExit(-1);
    SetRunStateMarkers();
    RefuseSecondSaver();
    if (st.DebugLevel > 0)
        MsgBox(QStringLiteral("Get Settings is Finished!"), MsgStyle::OkOnly, QStringLiteral("Ledgrix"));
    RuntimeMain();
}

}  // namespace

void sysInit() {
    ProgramState& st = State();
    Saver().LogFileStreamSet = false;
    SettingUtil::LoadProgramSettings();
    UseToolkitTranslations(st.LanguageIndex);
    Saver().ShownGroupIndex = 1;
    Saver().TagDataBankCount = 0;
    st.dbSIsHideLedgrix = false;
    st.HelpFile = QStringLiteral("Hexvane.chm");
    HelpUtil::InitHelpIDTable();
}

void ParseCommandLine() {
    ParseCommandLine(ProcessCommandLine());
}

void ParseCommandLine(const QString& commandLine) {
    ProgramState& st = State();
    SaverState& sv = Saver();
    sv.HelpText = FileUtil::ReadTextFile(QStringLiteral("help.txt"));
    sv.IsNT = false;
    sv.ReferenceDateTime = CommandLineUtil::ReferenceDateTimeNow();
    st.WorkstationFilePath.clear();
    st.ProjectName.clear();
    st.WorkstationName.clear();
    st.IsUserMode = false;

    const QString line = commandLine.trimmed();
    if (line.isEmpty()) Fatal(kNoProjectArg, kArgTitle);

    std::vector<QString> arguments(100), switches(100);
    int16_t argumentCount = 0, switchCount = 0;
    try {
        CommandLineUtil::ParseCommandLine(line, arguments, argumentCount, switches, switchCount);
    } catch (const Failure&) {
        // words beyond the table are ignored; those stored before them count
    }
    // The help is shown whatever else the line holds (also alone), before the names and the other
    // switches are looked at; the saver then ends without a fault.
    for (int k = 1; k <= switchCount; ++k) {
        if (!CommandLineUtil::IsHelpSwitch(switches[static_cast<size_t>(k)])) continue;
        MsgBox(sv.HelpText, MsgStyle::Information | MsgStyle::OkOnly | MsgStyle::FixedPitch,
               QStringLiteral("命令行參數說明"));
        MarkOrderlyEnd();
        sysExit(0);
    }

    if (argumentCount >= 1 && arguments[1].toUpper().endsWith(QLatin1String(".SVL"))) {
        st.WorkstationFilePath = arguments[1];
    } else if (argumentCount < 2) {
        Fatal(kNoWorkstationArg, kArgTitle);
    } else {
        st.ProjectName = arguments[1];
        st.WorkstationName = arguments[2];
    }

    sv.PurgeDaysAtStart = -1;
    for (int k = 1; k <= switchCount; ++k) {
        const QString typed = switches[static_cast<size_t>(k)];
        const QString s = typed.toUpper();
        if (s == QLatin1String("/DEBUG") || s == QLatin1String("/DE")) {
            st.DebugLevel = 1;
        } else if (s == QLatin1String("/NT")) {
            sv.IsNT = true;
        } else if (s == QLatin1String("/ONCE")) {
            sv.RunMode = QStringLiteral("ONCE");
        } else if (s == QLatin1String("/USERMODE")) {
            st.IsUserMode = true;
        } else {
            const QString key = s.section(u':', 0, 0);
            const QString value = s.section(u':', 1, 1);
            if (key == QLatin1String("/PURGE")) {
                if (value.isEmpty()) {
                    sv.PurgeDaysAtStart = -1;
                } else {
                    // A value that is no 16-bit number is refused rather than guessed at.
                    const auto n = Numbers::WholeTextNumber(value);
                    const auto days = n ? Numbers::ToInt16(*n) : std::nullopt;
                    if (!days) UnknownSwitch(s);
                    sv.PurgeDaysAtStart = *days;
                }
            } else if (key == QLatin1String("/D") || key == QLatin1String("/T")) {
                sv.ReferenceDateTime = CommandLineUtil::ApplyDateTimeSwitch(sv.ReferenceDateTime, typed);
            } else {
                UnknownSwitch(s);
            }
        }
    }
}

bool SetupProjectPaths(const QString& project) {
    ProgramState& st = State();
    st.ProjectName = project;
    st.ProjectFolder = QStringLiteral("..\\Project\\") + st.ProjectName;
    if (st.WorkstationFilePath.isEmpty()) {
        if (st.ProjectName.isEmpty()) {
            st.ErrorText = Tx(kNoProject);
            st.ErrorCaption = Tx(kInitTitle);
            MsgBox(st.ErrorText, MsgStyle::Critical | MsgStyle::OkOnly, st.ErrorCaption);
            return false;
        }
        if (!FileUtil::FolderExists(st.ProjectFolder))
            Fatal(Tx(kProjectMissing) + st.ProjectName + Tx(kProjectMissing2), Tx(kProjectMissingTitle));
        if (st.WorkstationName.isEmpty()) {
            st.ErrorText = Tx(kNoWorkstation);
            st.ErrorCaption = Tx(kInitTitle);
            MsgBox(st.ErrorText, MsgStyle::Critical | MsgStyle::OkOnly, st.ErrorCaption);
            return false;
        }
        st.WorkstationFilePath = st.ProjectFolder + QStringLiteral("\\cfg\\") + st.WorkstationName +
                                 QStringLiteral("\\Ledgrix.Svl");
        st.DataFolder = st.ProjectFolder + QStringLiteral("\\dat\\Ledgrix");
    }
    for (int g = 1; g <= kMaxSaveGroups; ++g) st.SaveGroups[static_cast<size_t>(g)] = SaveGroupRecord{};
    LoadWorkstationSettings();
    CheckSaveGroupSettings();
    return true;
}

void LoadWorkstationSettings() {
    ProgramState& st = State();
    SaverState& sv = Saver();
    if (!FileUtil::FileExists(st.WorkstationFilePath))
        Fatal(Tx(kSvlMissing) + st.WorkstationFilePath + Tx(kSvlMissing2), Tx(kSvlMissingTitle));
    SettingUtil::LoadWorkstationSettings();
    st.dbSCaption = SaverCaption();
    if (WindowCaptionExists(st.dbSCaption)) {
        MsgBox(st.dbSCaption + Tx(kIsRunning), MsgStyle::Exclamation | MsgStyle::OkOnly, st.dbSCaption);
        sysExit(-1);
    }
    if (st.dbSLogDisable != 0) {
        Window().ShowLogFilePath(Tx(kLogNone));
    } else {
        sv.IsLogFileReady = SettingUtil::CheckLogFilePath();
        Window().ShowLogFilePath(st.dbSLogFileName);
    }
    // The tags are made for the runtime's connection of now; a later one is told by the library.
    sv.LinkGenerationSeen = TagAccess::LinkGeneration();
    ResolveTagID(st.StopTag);
    ResolveTagID(st.AliveTag);
    g_aliveResolved = true;
    ResolveTagID(st.DuringSavingTag);
    if (st.IsUserMode && st.DebugLevel == 0 && st.dbSLiveAlone != 0 && st.StopTag.Name.isEmpty())
        Fatal(kUserModeText, kUserModeTitle);
    sv.IsLinkOnline = true;
    SetLinkState(true, false);
    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        const QString path = st.Group(g).S().SvcFilePath;
        if (!FileUtil::FileExists(path))
            Fatal(Tx(kSvcMissing) + path + Tx(kSvcMissing2), Tx(kSvcMissingTitle));
        DoEvents();
    }
}

void SetRunStateMarkers() {
    ProgramState& st = State();
    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        xRuntimeInfo& r = st.Group(g).R();
        r.LastdbSTriggerTagValue = -9999.99;
        r.LastdbSPurgeTagValue = -9999.99;
    }
}

namespace {

// Every record due up to the exit is written or named: a record whose statement the server has
// not answered gets its failure line with the unknown outcome; one still waiting to be sent, and
// the cyclic slots due since the last pass, are counted in the group's summary.
void AccountForRecordsDue(SaveGroupRecord& grp, double now, const DatetimeWithMilliSeconds& nowMs) {
    xRuntimeInfo& r = grp.R();
    if (r.IsDBAppending()) {
        if (!r.RecordWithServer.isEmpty()) {
            WriteLog(r.RecordWithServer + WriterUtil::OutcomeUnknownNote());
            WriteLog(QStringLiteral("Error Description = ") + WriterUtil::StoppedBeforeAnswer());
        } else {
            r.CountLostRecord(*r.RecordUnderWay);
        }
    }
    if (Saver().IsScheduleRunning && grp.S().SaveTimeInterval > 0 && !r.IsDisableDBAppend)
        r.CountDueSlots(now, nowMs);
}

}  // namespace

void LogEndingBox() {
    const auto box = ProgramHooks::TakeBoxSinceLastLogLine();
    if (!box) return;
    const int icon = box->style & 0x70;  // the icon of the style
    if (icon != MsgStyle::Critical && icon != MsgStyle::Exclamation) return;
    WriteLog(WriterUtil::NowText() + QStringLiteral(" | Error | Ledgrix.System | ") +
             QString(box->text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
}

void sysExit(int16_t code) {
    const int status = g_orderlyEnd ? 0 : 1;
    if (g_exiting) EndProcessNow(status);
    g_exiting = true;
    ProgramState& st = State();
    LogEndingBox();

    if (code != 0 && g_aliveResolved && st.AliveTag.IsDefined()) {
        if (st.AliveTag.UserParm >= 1)
            WriteStatusTag(st.AliveTag.UserParm, 0);
        else
            WriteTagValue(st.AliveTag.Handle(), 0, 0, QString(), 0);
        WriteLog(WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.System | ") + st.AliveTag.Name +
                 QStringLiteral(" = 0"));
    }
    if (Window().Exists()) Window().StopTimer();

    bool summaries = true;
    const double now = DateUtil::Now();
    DatetimeWithMilliSeconds nowMs;
    nowMs.SetNow();
    for (int16_t g = 1; g <= st.SaveGroupCount && g <= kMaxSaveGroups; ++g) {
        SaveGroupRecord& grp = st.Group(g);
        if (!grp.Settings || grp.S().SaveGroupName.isEmpty()) summaries = false;
        if (summaries && grp.RunState) AccountForRecordsDue(grp, now, nowMs);
        if (summaries && grp.RunState && grp.R().CountinuousOverrunCount > 0) {
            xRuntimeInfo& r = grp.R();
            const QString first =
                r.IsHighSpeedSaver
                    ? QStringLiteral("[Overrun") + r.FirstOverrunTimeWithMilliSeconds.FormatString(
                                                       QStringLiteral("yyyy/MM/dd HH:mm:ss.ms AMPM"))
                    : QStringLiteral("[Overrun ") + WriterUtil::LogTime(r.FirstOverrunTime);
            WriteLog(WriterUtil::NowText() + QStringLiteral(" | Warning | Ledgrix.") + r.ModuleName +
                     QStringLiteral(" | ") + first + QStringLiteral("] Loss ") +
                     QString::number(r.CountinuousOverrunCount) +
                     QStringLiteral(" times records. (sysExit)"));
        }
        // Every group's open files and connections are released, so that nothing written is lost.
        if (grp.RunState) {
            xRuntimeInfo& r = grp.R();
            r.rs.reset();
            r.conn.reset();
            r.CSVFSO.reset();
        }
    }
    if (Saver().LogFileStreamSet && st.dbSLogDisable == 0)
        WriteLogLines(
            {WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.System | Ledgrix is closed."),
             QString()});

    if (TagAccess::IsTagLibraryLoaded()) {
        UnadviseAllTags();
        CallSetAdviseCallback(Window().ClientHandle(), nullptr);
    }
    ClosexTagQueueMutex();
    g_exiting = false;
    EndProcessNow(status);
}

}  // namespace LedgrixMain
