#include "saver/runtime/LedgrixRuntimeUtil.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <memory>

#include "common/DateUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/RuntimeFolderCheck.h"
#include "common/Texts.h"
#include "platform/ado/Ado.h"
#include "platform/captions/Captions.h"
#include "saver/SaverState.h"
#include "saver/runtime/FieldValues.h"
#include "saver/runtime/LedgrixMain.h"
#include "saver/runtime/LogWriter.h"
#include "saver/runtime/SaverTexts.h"
#include "saver/runtime/SaverWindow.h"
#include "saver/runtime/TagAccess.h"
#include "saver/runtime/TagDataPoolUtil.h"
#include "saver/runtime/TagLinkUtil.h"
#include "saver/runtime/xTagQueueUtil.h"
#include "saver/writers/WriterUtil.h"
#include "saver/writers/Writers.h"

namespace {

const QString kStampFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss AMPM");
const QString kStampMsFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss.ms AMPM");
// Longest wait between two passes: the clock label and the live-alone rule need no more.
constexpr qint64 kMaxWaitMs = 250;

const TextPair kOnline{"（Online）", "（連線中）"};
const TextPair kOffline{"（Offline）", "（離線：與圖控系統的連線已中斷，請重新啟動 Ledgrix）"};
const TextPair kAskText{
    " | Error | Ledgrix.System | Connect to Hexvane is failure!\r\nWill you close the program?",
    " | Error | Ledgrix.System | 與 Hexvane 連線失敗!\r\n是否要結束程式?"};
const TextPair kAskTitle{"Connect to Hexvane is failure", "與 Hexvane 連線失敗"};
const TextPair kLinkBack{" | Message | Ledgrix.System | The link to Hexvane is back; it was lost for %1.",
                         " | Message | Ledgrix.System | 與 Hexvane 的連線已恢復，中斷了 %1。"};
const TextPair kTriggerMissed{
    " | Warning | Ledgrix.%1 | Changes of the trigger tag %2 while the link to Hexvane was lost may have "
    "been missed.",
    " | Warning | Ledgrix.%1 | 與 Hexvane 連線中斷期間，觸發 Tag %2 的變化可能已遺漏。"};
const TextPair kHours{"%1 h %2 min %3 s", "%1 小時 %2 分 %3 秒"};
const TextPair kMinutes{"%1 min %2 s", "%1 分 %2 秒"};
const TextPair kSeconds{"%1 s", "%1 秒"};
const QString kRuntimeCaption = QStringLiteral("Vellumdock for Windows");

QString Stamp(double date) {
    return DateUtil::Format(date, kStampFormat);
}

QString GroupLine(const char* level, int16_t g, const QString& text) {
    return Stamp(DateUtil::Now()) + QStringLiteral(" | ") + QLatin1String(level) +
           QStringLiteral(" | Ledgrix.") + State().Group(g).R().ModuleName + QStringLiteral(" | ") + text;
}

bool IsShown(int16_t g) {
    return g == Saver().ShownGroupIndex;
}

void ShowNextSaveTime(const QString& text) {
    Window().ShowNextSaveTime(text);
}

void DebugBox(const QString& text) {
    if (State().DebugLevel > 0) MsgBox(text, MsgStyle::OkOnly, QStringLiteral("Ledgrix"));
}

// The overrun line written just before the save that ends a series of lost slots.
void WriteOverrunLine(int16_t g, LedgrixRuntime::PassForm form) {
    xRuntimeInfo& r = State().Group(g).R();
    const bool loop = form == LedgrixRuntime::PassForm::Loop;
    QString text;
    if (r.IsHighSpeedSaver) {
        text = (loop ? QStringLiteral("[Overrun ") : QStringLiteral("[Overrun")) +
               r.FirstOverrunTimeWithMilliSeconds.FormatString(kStampMsFormat) + QStringLiteral("] Loss ") +
               QString::number(r.CountinuousOverrunCount) +
               (loop ? QStringLiteral(" times records. (RuntimeMain)")
                     : QStringLiteral(" times records.  (Timer)"));
    } else {
        text = (loop ? QStringLiteral("[Overrun ") : QStringLiteral("[Overrun")) + Stamp(r.FirstOverrunTime) +
               QStringLiteral("] Loss ") + QString::number(r.CountinuousOverrunCount) +
               (loop ? QStringLiteral(" times records. (RuntimMain)")
                     : QStringLiteral(" times records. (Timer)"));
    }
    WriteLog(GroupLine("Warning", g, text));
}

const TextPair kClockBack{
    " | Warning | Ledgrix.%1 | The clock stepped back: the next save was due at %2; the schedule "
    "starts again from the clock.",
    " | Warning | Ledgrix.%1 | 系統時鐘倒退: 原定下次存檔時間為 %2; 排程自目前時間重新開始。"};

std::atomic<QAbstractEventDispatcher*> g_dispatcher{nullptr};
// Called by the tag manager's thread and by the database drivers' threads.
void WakeWindowThread() {
    if (QAbstractEventDispatcher* d = g_dispatcher.load()) d->wakeUp();
}

// A schedule ahead of the clock by more than its cycle: the clock stepped back.
void RestartIfClockSteppedBack(int16_t g, double now, const DatetimeWithMilliSeconds& nowMs) {
    xRuntimeInfo& r = State().Group(g).R();
    if (!r.IsAheadOfClock(now, nowMs)) return;
    const QString due = r.IsHighSpeedSaver ? r.TargetSaveTimeWithMilliSeconds.FormatString(kStampMsFormat)
                                           : Stamp(r.TargetSaveTime);
    WriteLog(Stamp(now) + Tx(kClockBack).arg(r.ModuleName, due));
    r.RestartFromClock(now, nowMs);
}

// The tag manager has the link again, with every advise in force: online again, how long it was
// lost, and the triggers whose changes in that time may not have come.
void LinkBack() {
    SaverState& sv = Saver();
    const double now = DateUtil::Now();
    sv.IsLinkOnline = true;
    SetLinkState(true, false);
    WriteLog(Stamp(now) +
             Tx(kLinkBack).arg(LedgrixRuntime::SpanText(DateUtil::SecondsBetween(sv.LinkOfflineSince, now))));
    sv.LinkOfflineSince = 0;
    ProgramState& st = State();
    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        const xTag& trigger = st.Group(g).S().dbSTriggerTag;
        if (!trigger.Name.isEmpty() && trigger.IsDefined())
            WriteLog(Stamp(now) + Tx(kTriggerMissed).arg(st.Group(g).R().ModuleName, trigger.Name));
    }
}

// The live-alone rule's test: the runtime's window exists. A runtime folder that is not usable
// holds no window: it is named once, and while the link answers the runtime counts as there.
bool RuntimeWindowSeen() {
    const CaptionLookup look = LookUpCaption(kRuntimeCaption);
    if (NameUnusableRuntimeFolder(look.folder)) return look.exists;
    return !TagAccess::IsLinkLost();
}

// The records-saved tag of a group gets the group's count.
void WriteRecordsSavedTag(int16_t g) {
    SaveGroupRecord& grp = State().Group(g);
    const xTag& tag = grp.S().dbSNumRecordsSavedTag;
    WriteStatusTag(tag.UserParm, grp.R().NumRecordsSaved);
    WriteLog(GroupLine("Message", g,
                       tag.Name + QStringLiteral(" = ") + Numbers::NumberText(grp.R().NumRecordsSaved)));
}

// The enable tag's value enables or disables the group; a value that cannot be read leaves it as
// it is.
void ReadEnableTag(int16_t g) {
    SaveGroupRecord& grp = State().Group(g);
    const xTag& tag = grp.S().dbSEnableTag;
    xRuntimeInfo& r = grp.R();
    double v = 0, time = 0;
    int16_t status = 0;
    const bool ok = ReadTagValue(tag.Handle(), v, time, status);
    const ReadFault fault = NoteTagRead(ok, tag.Handle(), tag.Name);
    if (ok && v != 0) {
        r.SetDisableDBAppend(false);
    } else if (ok) {
        r.SetDisableDBAppend(true);
        if (IsShown(g)) ShowNextSaveTime(QStringLiteral("(None)"));
    } else if (fault == ReadFault::Link) {
        SetLinkState(false, true);
    }
    const QString valueText = ok ? Numbers::NumberText(v) : QStringLiteral("(unreadable)");
    WriteLog(Stamp(ok ? time : DateUtil::Now()) + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
             QStringLiteral(" | ") + tag.Name + u'=' + valueText);
}

void WriteAliveTag() {
    const xTag& tag = State().AliveTag;
    WriteStatusTag(tag.UserParm, 1);
    Saver().AliveWrittenGeneration = TagAccess::LinkGeneration();
    WriteLog(Stamp(DateUtil::Now()) + QStringLiteral(" | Message | Ledgrix.System | ") + tag.Name +
             QStringLiteral(" = 1"));
}

// A stop tag that holds 1 is written back to 0 and ends the saver.
void ActOnStopTag() {
    const xTag& tag = State().StopTag;
    double v = 0, time = 0;
    int16_t status = 0;
    const bool ok = ReadTagValue(tag.Handle(), v, time, status);
    NoteTagRead(ok, tag.Handle(), tag.Name);
    if (ok && v == 1) {
        WriteStatusTag(tag.UserParm, 0);
        WriteLog(Stamp(DateUtil::Now()) + QStringLiteral(" | Message | Ledgrix.System | ") + tag.Name + u'=' +
                 Numbers::NumberText(v));
        LedgrixMain::EndInOrder();
    }
}

// A connection that the library made whole since the saver's tags were made (the runtime may
// have another tag list): tags it lacks or has again are named, tags that no runtime defined are
// registered and advised, and once the advises are in force the link is called back and the
// new tags are heard as at start; the alive tag reads 1 again. A connection lost and made again
// between two passes is an outage too.
void WatchLink() {
    SaverState& sv = Saver();
    ProgramState& st = State();
    const uint32_t generation = TagAccess::LinkGeneration();
    const bool whole = TagAccess::IsLinkWhole();
    if (generation == sv.LinkGenerationSeen || !whole) {
        if (!sv.IsLinkOnline && sv.LinkOfflineSince != 0 && whole) LinkBack();
        return;
    }
    if (sv.LinkGenerationSeen > 0 && sv.IsLinkOnline) SetLinkState(false, false);
    sv.LinkGenerationSeen = generation;
    CheckTagsPresent();
    const bool stopDefined = st.StopTag.IsDefined();
    std::vector<std::pair<bool, bool>> defined;  // enable, records saved
    for (int16_t g = 1; g <= st.SaveGroupCount; ++g)
        defined.emplace_back(st.Group(g).S().dbSEnableTag.IsDefined(),
                             st.Group(g).S().dbSNumRecordsSavedTag.IsDefined());
    RegisterUndefinedTags();
    SayUndefinedTagsAgain();
    if (!sv.IsLinkOnline && sv.LinkOfflineSince != 0) LinkBack();
    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        const xSvcSettings& s = st.Group(g).S();
        const auto& [enable, records] = defined[static_cast<size_t>(g - 1)];
        if (!records && s.dbSNumRecordsSavedTag.IsDefined()) WriteRecordsSavedTag(g);
        if (!enable && s.dbSEnableTag.IsDefined()) ReadEnableTag(g);
    }
    if (st.AliveTag.IsDefined() && sv.AliveWrittenGeneration != generation) WriteAliveTag();
    if (!stopDefined && st.StopTag.IsDefined()) ActOnStopTag();
}

}  // namespace

Due SecondsDue(double now, double target, double interval) {
    const long long d = DateUtil::SecondsBetween(target, now);
    if (d < 0) return Due::NotYet;
    return static_cast<double>(d) <= interval * 0.5 ? Due::Save : Due::Skip;
}

Due MilliSecondsDue(const DatetimeWithMilliSeconds& now, const DatetimeWithMilliSeconds& target,
                    Numbers::Fixed4 intervalMs) {
    const Numbers::Fixed4 d = now.MilliSecondsDiff(target);
    if (d.raw < 0) return Due::NotYet;
    return d.raw * 2 <= intervalMs.raw ? Due::Save : Due::Skip;
}

void DoCyclicSave(int16_t& group) {
    DBAppend(group, kRecordTimeSentinel).Detach();
    xRuntimeInfo& r = State().Group(group).R();
    if (r.IsHighSpeedSaver)
        r.LastSavedTimeWithMilliSeconds.CopyFrom(r.TargetSaveTimeWithMilliSeconds);
    else
        r.LastSavedTime = r.TargetSaveTime;
    r.CountinuousOverrunCount = 0;
    r.SetFirstSaveTime(false);
}

void CloseDBConnection(int16_t& group) {
    xRuntimeInfo& r = State().Group(group).R();
    if (r.conn && r.conn->State() == 1) {
        r.rs.reset();
        try {
            r.conn->Close();
        } catch (...) {
            // a connection that fails to close is released all the same
        }
        r.conn.reset();
    }
    WriteLog(Stamp(DateUtil::Now()) + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
             QStringLiteral(" Close Database connection."));
}

void SetLinkState(bool online, bool ask) {
    SaverWindow& window = Window();
    if (online) {
        window.ShowLinkPicture(true);
        window.ShowLinkStatus(Tx(kOnline));
        return;
    }
    // The outage counts from the last line heard from the runtime, once for the whole outage.
    SaverState& sv = Saver();
    if (sv.IsLinkOnline || sv.LinkOfflineSince == 0) {
        const int64_t silent = TagAccess::MsSinceHeard();
        sv.LinkOfflineSince = DateUtil::AddSeconds(DateUtil::Now(), silent > 0 ? -silent / 1000.0 : 0.0);
    }
    sv.IsLinkOnline = false;
    window.ShowLinkPicture(false);
    RefreshTagView();
    window.ShowLinkStatus(Tx(kOffline));
    WriteLog(Stamp(DateUtil::Now()) + Tx(kLinkLost));
    DescribeLinkFault();
    if (ask) {
        // A stop requested meanwhile comes before the question.
        LedgrixMain::ActOnStopRequest();
        const int answer = MsgBox(Stamp(DateUtil::Now()) + Tx(kAskText),
                                  MsgStyle::Critical | MsgStyle::OkCancel, Tx(kAskTitle));
        if (answer == MsgAnswer::Ok) {
            LedgrixMain::EndInOrder();
        }
    }
}

void RuntimeMain() {
    ProgramState& st = State();
    LedgrixMain::RefuseSecondSaver();
    // A runtime that did not answer the lookups is named before the boxes about its tags.
    if (Saver().IsLinkOnline && TagAccess::IsLinkLost()) SetLinkState(false, false);
    PrepareTagDataBank();
    DebugBox(QStringLiteral("PrepareTagDataBank is Finished!"));
    CheckTagValue();
    DebugBox(QStringLiteral("CheckTagValue is Finished!"));
    InitxTagQueue();
    DebugBox(QStringLiteral("InitxTagQueue is Finished!"));
    RegisterXTag();
    DebugBox(QStringLiteral("RegisterXTag is Finished!"));

    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        SaveGroupRecord& grp = st.Group(g);
        xSvcSettings& s = grp.S();
        xRuntimeInfo& r = grp.R();
        r.CSVFSO.reset();
        r.NumRecordsSaved = 0;
        r.CountinuousOverrunCount = 0;
        r.SaveTimeInterval = s.SaveTimeInterval;
        r.SaveTimeIntervalWithMilliSeconds = s.SaveTimeIntervalWithMilliSeconds;
        r.SetDisableDBAppend(false);
        r.SetFirstSaveTime(true);
        // A server that does not answer holds up only its own group: the others go on. The one
        // record of a "ONCE" run waits for its target.
        if (!s.dbSTriggerTag.Name.isEmpty() || s.SaveTimeInterval > 0) {
            if (Saver().RunMode == QLatin1String("ONCE"))
                ado::WaitFor(PrepareTargetAtStart(g, Saver().PurgeDaysAtStart));
            else
                PrepareTargetAtStart(g, Saver().PurgeDaysAtStart).Detach();
        }
        if (s.dbSNumRecordsSavedTag.IsDefined()) WriteRecordsSavedTag(g);
        if (s.dbSEnableTag.IsDefined()) ReadEnableTag(g);
    }
    Window().ShowRecordCount(QStringLiteral("0"));

    if (st.AliveTag.IsDefined()) WriteAliveTag();
    if (st.StopTag.IsDefined()) ActOnStopTag();
    if (Saver().RunMode == QLatin1String("ONCE")) {
        if (st.SaveGroupCount >= 1) {
            st.Group(1).S().SaveTimeInterval = 0;
            ado::WaitFor(DBAppend(1, DateUtil::Now()));
        }
        LedgrixMain::EndInOrder();
    }

    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        xRuntimeInfo& r = st.Group(g).R();
        if (!(r.SaveTimeInterval > 0) || r.IsDisableDBAppend) continue;
        if (r.IsHighSpeedSaver) {
            DatetimeWithMilliSeconds now;
            now.SetNow();
            r.SetupNextTargetSaveTimeWithMilliSeconds(now);
            r.StartSaveTimeWithMilliSeconds.CopyFrom(r.TargetSaveTimeWithMilliSeconds);
            if (IsShown(g)) ShowNextSaveTime(r.TargetSaveTimeWithMilliSeconds.FormatString(kStampMsFormat));
        } else {
            r.SetupNextTargetSaveTime(DateUtil::Now());
            r.StartSaveTime = r.TargetSaveTime;
            if (IsShown(g)) ShowNextSaveTime(Stamp(r.TargetSaveTime));
        }
    }

    Saver().IsScheduleRunning = true;

    SaverWindow& window = Window();
    window.ShowMain(st.dbSIsHideLedgrix);

    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        SaveGroupRecord& grp = st.Group(g);
        if (WriterUtil::IsExcelTarget(grp.S())) {
            grp.R().rs.reset();
            grp.R().conn.reset();
        }
    }

    if (!st.IsUseTimer) {
        window.StopTimer();
        LedgrixRuntime::LoopForm();
    }
    window.StartTimer(st.TimerInterval);
}

void tmrLedgrix_Timer() {
    // A tick that comes while a call waits for the HMI runtime is left out.
    if (LedgrixMain::InLinkWait()) return;
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Timer);
}

namespace LedgrixRuntime {

QString SpanText(long long seconds) {
    if (seconds < 0) seconds = 0;
    if (seconds < 60) return Tx(kSeconds).arg(seconds);
    if (seconds < 3600) return Tx(kMinutes).arg(seconds / 60).arg(seconds % 60);
    return Tx(kHours).arg(seconds / 3600).arg(seconds / 60 % 60).arg(seconds % 60);
}

QString WorkstationCaption() {
    return FormatNameWithTags(State().dbSCaption, State().WorkstationTaskName, QString());
}

void Pass(PassForm form) {
    // The list takes the pass's log lines at its end: after a trigger's write-back, and once
    // for a pass of many records.
    const LedgrixRuntimeUtil::HeldLogList held;
    ProgramState& st = State();
    Window().ShowNow(DateUtil::DefaultText(DateUtil::Now()));
    // Work that waited for a database server goes on where the server has answered (or its
    // time is up).
    ado::ResumeWork();
    // The changes the tag manager passes on when the link comes back follow its log lines.
    WatchLink();
    DrainxTagQueue();
    // The tag manager found that the HMI runtime stopped answering.
    if (Saver().IsLinkOnline && TagAccess::IsLinkLost()) SetLinkState(false, false);
    ReportLinkFault();
    if (st.dbSLiveAlone == 0) {
        if (!RuntimeWindowSeen()) {
            WriteLog(Stamp(DateUtil::Now()) +
                     QStringLiteral(" | Message | Ledgrix.System | dbSLiveAlone = 0"));
            LedgrixMain::EndInOrder();
        }
    } else {
        NameUnusableRuntimeFolder(CheckRuntimeFolder(LedgrixRuntimeFolderPath()));
    }
    const double now = DateUtil::Now();
    DatetimeWithMilliSeconds nowMs;
    nowMs.SetNow();
    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        SaveGroupRecord& grp = st.Group(g);
        xRuntimeInfo& r = grp.R();
        const double interval = form == PassForm::Loop ? grp.S().SaveTimeInterval : r.SaveTimeInterval;
        // Triggered records of a group without a cycle that were dropped while its target was
        // busy are named once the target is free again, as a cyclic group's series is before
        // its next save.
        if (!(interval > 0) && r.CountinuousOverrunCount > 0 && !r.IsTargetBusy()) {
            WriteOverrunLine(g, form);
            r.CountinuousOverrunCount = 0;
        }
        if (!(interval > 0) || r.IsDisableDBAppend) continue;
        RestartIfClockSteppedBack(g, now, nowMs);
        // A group whose target is still busy with earlier work (a server that has not answered)
        // cannot start the slot's record: the slot is counted as lost.
        const auto save = [&] {
            if (r.IsTargetBusy()) {
                r.CountBusySlot();
                return;
            }
            if (r.CountinuousOverrunCount > 0) WriteOverrunLine(g, form);
            DoCyclicSave(g);
        };
        if (r.IsHighSpeedSaver) {
            const Due due =
                MilliSecondsDue(nowMs, r.TargetSaveTimeWithMilliSeconds, r.SaveTimeIntervalWithMilliSeconds);
            if (due == Due::NotYet) continue;
            if (due == Due::Save) save();
            r.SetupNextTargetSaveTimeWithMilliSeconds(nowMs);
            if (IsShown(g)) ShowNextSaveTime(r.TargetSaveTimeWithMilliSeconds.FormatString(kStampMsFormat));
        } else {
            const Due due = SecondsDue(now, r.TargetSaveTime, interval);
            if (due == Due::NotYet) continue;
            if (due == Due::Save) save();
            r.SetupNextTargetSaveTime(now);
            if (IsShown(g)) ShowNextSaveTime(Stamp(r.TargetSaveTime));
        }
    }
}

qint64 MillisecondsToNextTarget() {
    ProgramState& st = State();
    qint64 best = -1;
    DatetimeWithMilliSeconds nowMs;
    nowMs.SetNow();
    const DateUtil::Fields f = DateUtil::NowFields();
    const QDateTime clock(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second, f.millisecond));
    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        SaveGroupRecord& grp = st.Group(g);
        xRuntimeInfo& r = grp.R();
        if (!(grp.S().SaveTimeInterval > 0) || r.IsDisableDBAppend) continue;
        qint64 ms = 0;
        if (r.IsHighSpeedSaver) {
            const int64_t ticks = r.TargetSaveTimeWithMilliSeconds.MilliSecondsDiff(nowMs).raw;
            ms = ticks <= 0 ? 0 : (ticks + 9999) / 10000;
        } else {
            const QDateTime target = DateUtil::ToDateTime(r.TargetSaveTime);
            ms = target.isValid() ? std::max<qint64>(0, clock.msecsTo(target)) : 0;
        }
        if (best < 0 || ms < best) best = ms;
    }
    return best;
}

void LoopForm() {
    g_dispatcher = QAbstractEventDispatcher::instance();
    xTagQueueUtil::SetWakeUp(&WakeWindowThread);
    ado::SetWorkReadyWakeUp(&WakeWindowThread);
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        qint64 wait = MillisecondsToNextTarget();
        if (wait < 0 || wait > kMaxWaitMs) wait = kMaxWaitMs;
        const qint64 limit = ado::MillisecondsUntilWorkDue();
        if (limit >= 0 && limit < wait) wait = limit;
        if (wait > 0 && !xTagQueueUtil::Overflowed() && GetxTagQueueCount().value<int16_t>() == 0) {
            wake.start(static_cast<int>(wait));
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            wake.stop();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        Pass(PassForm::Loop);
    }
}

}  // namespace LedgrixRuntime
