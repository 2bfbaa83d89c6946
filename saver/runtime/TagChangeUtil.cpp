#include "saver/runtime/TagChangeUtil.h"

#include <QStringList>

#include "common/DateUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "saver/SaverState.h"
#include "saver/runtime/FieldValues.h"
#include "saver/runtime/LedgrixMain.h"
#include "saver/runtime/LedgrixRuntimeUtil.h"
#include "saver/runtime/SaverWindow.h"
#include "saver/runtime/TagAccess.h"
#include "saver/runtime/TagDataPoolUtil.h"
#include "saver/runtime/TagLinkUtil.h"
#include "saver/writers/WriterUtil.h"
#include "saver/writers/Writers.h"

namespace {

constexpr double kNoValueYet = -9999.99;

QString Stamp(double date) {
    return DateUtil::Format(date, QStringLiteral("yyyy/MM/dd HH:mm:ss AMPM"));
}

QString GroupLine(double time, const char* level, int16_t g, const QString& text) {
    return Stamp(time) + QStringLiteral(" | ") + QLatin1String(level) + QStringLiteral(" | Ledgrix.") +
           State().Group(g).R().ModuleName + QStringLiteral(" | ") + text;
}

void ShowNextSaveTime(int16_t g, const QString& text) {
    if (g == Saver().ShownGroupIndex && Window().Exists()) Window().ShowNextSaveTime(text);
}

void HandleEnable(int16_t g, double v, double tagTime) {
    SaveGroupRecord& grp = State().Group(g);
    xSvcSettings& s = grp.S();
    xRuntimeInfo& r = grp.R();
    WriteLog(GroupLine(tagTime, "Message", g, s.dbSEnableTag.Name + u'=' + Numbers::NumberText(v)));
    if (v == 0) {
        r.SetDisableDBAppend(true);
        if (r.SaveTimeInterval > 0) {
            if (r.CountinuousOverrunCount > 0) {
                const QString first = r.IsHighSpeedSaver ? r.FirstOverrunTimeWithMilliSeconds.FormatString(
                                                               QStringLiteral("yyyy/MM/dd HH:mm:ss.ms AMPM"))
                                                         : Stamp(r.FirstOverrunTime);
                WriteLog(GroupLine(DateUtil::Now(), "Warning", g,
                                   QStringLiteral("[Overrun ") + first + QStringLiteral("] Loss ") +
                                       QString::number(r.CountinuousOverrunCount) +
                                       QStringLiteral(" times records. (DisableLedgrix)")));
            }
            ShowNextSaveTime(g, QStringLiteral("(None)"));
        }
    } else {
        r.SetDisableDBAppend(false);
        r.IsFirstSaveTime = true;
        if (r.SaveTimeInterval > 0) {
            r.CountinuousOverrunCount = 0;
            if (r.IsHighSpeedSaver) {
                DatetimeWithMilliSeconds now;
                now.SetNow();
                r.SetupNextTargetSaveTimeWithMilliSeconds(now);
                ShowNextSaveTime(g, r.TargetSaveTimeWithMilliSeconds.FormatString(
                                        QStringLiteral("yyyy/MM/dd HH:mm:ss.ms AMPM")));
            } else {
                r.SetupNextTargetSaveTime(DateUtil::Now());
                ShowNextSaveTime(g, Stamp(r.TargetSaveTime));
            }
        }
    }
    // The connection is closed or prepared once the work under way on the group's target (a
    // record waiting for its server) has ended.
    if (s.dbSCloseConnectionWhileDisabled == 1) {
        if (v == 0) {
            CloseTargetConnection(g).Detach();
        } else {
            WriteLog(
                GroupLine(DateUtil::Now(), "Message", g, QStringLiteral("Prepare database connection.")));
            if (s.dbSDataBaseRootDir.isEmpty())
                PrepareDB(g, false).Detach();
            else
                PrepareRootDir(g).Detach();
        }
    }
}

// The trigger's record; the trigger is written back to 0 once the record has ended.
ado::Task<void> RecordOnTrigger(int32_t i, int16_t g, double tagTime) {
    const double t1 = DateUtil::Now();
    co_await DBAppend(g, t1);
    WriteStatusTag(i, 0);
    const double t2 = DateUtil::Now();
    SaveGroupRecord& grp = State().Group(g);
    if (WriterUtil::IsExcelTarget(grp.S()))
        WriteLog(GroupLine(tagTime, "Message", g,
                           QStringLiteral("Set ") + grp.S().dbSTriggerTag.Name +
                               QStringLiteral(" = 0. Trigger task spends ") +
                               QString::number(DateUtil::SecondsBetween(t1, t2)) + QStringLiteral(" Secs.")));
    grp.R().LastdbSTriggerTagValue = 0;
}

void HandleTrigger(int32_t i, int16_t g, double v, double tagTime) {
    SaveGroupRecord& grp = State().Group(g);
    xSvcSettings& s = grp.S();
    xRuntimeInfo& r = grp.R();
    const double p = r.LastdbSTriggerTagValue;
    if (p == kNoValueYet || v == 0) {
        r.LastdbSTriggerTagValue = v;
        return;
    }
    WriteLog(GroupLine(tagTime, "Message", g, s.dbSTriggerTag.Name + u'=' + Numbers::NumberText(v)));
    RecordOnTrigger(i, g, tagTime).Detach();
}

// The requested purge; the purge tag is written back to 0 once it has ended.
ado::Task<void> PurgeOnRequest(int32_t i, int16_t g, int16_t keepDays) {
    co_await PurgeDatabase(g, keepDays);
    WriteStatusTag(i, 0);
    State().Group(g).R().LastdbSPurgeTagValue = 0;
}

void HandlePurge(int32_t i, int16_t g, double v) {
    SaveGroupRecord& grp = State().Group(g);
    xSvcSettings& s = grp.S();
    xRuntimeInfo& r = grp.R();
    const double p = r.LastdbSPurgeTagValue;
    if (!(p != kNoValueYet && p <= 0 && v == 1)) {
        r.LastdbSPurgeTagValue = v;
        return;
    }
    const double k = s.dbSPurgeKeepDays;
    const QString what = s.dbSPurgeTag.Name + u'=' + Numbers::NumberText(v) +
                         QStringLiteral(", PurgeKeepDays=") + Numbers::NumberText(k);
    if (k == -1) {
        WriteLog(GroupLine(DateUtil::Now(), "Warning", g, u'[' + what + QStringLiteral("] Is Error!")));
    } else {
        WriteLog(GroupLine(DateUtil::Now(), "Message", g, what));
        PurgeOnRequest(i, g, Numbers::ToInt16(k).value_or(-1)).Detach();
        return;
    }
    WriteStatusTag(i, 0);
    r.LastdbSPurgeTagValue = 0;
}

}  // namespace

void ProcessTagChange(int32_t& index) {
    const int32_t i = index;
    tagDataBank* entry = TagBankEntry(i);
    if (!entry || entry->xTagID == PT_NO_TAG) return;
    // Every role line is handled, however many the tag has.
    const QStringList lines = entry->ActionLists.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    double v = 0, time = 0;
    int16_t status = 0;
    // A value that cannot be read while the link is up is the tag's fault, named; no role is
    // handled either way.
    const bool ok = ReadTagValue(entry->xTagID, v, time, status);
    if (NoteTagRead(ok, entry->xTagID, entry->xTagName) == ReadFault::Link) SetLinkState(false, true);
    if (!ok) return;
    // The tag time as its text reads: a whole second (as tag times are) reads as itself.
    const double tagTime = DateUtil::IsWholeSecond(time)
                               ? time
                               : DateUtil::Parse(DateUtil::Format(time, QStringLiteral("Short Date")) + u' ' +
                                                 DateUtil::Format(time, QStringLiteral("Long Time")))
                                     .value_or(time);
    int16_t lastGroup = -1;
    for (const QString& line : lines) {
        const int eq = line.indexOf(u'=');
        const QString left = eq < 0 ? line : line.left(eq);
        const QString role = eq < 0 ? QString() : line.mid(eq + 1).toUpper();
        const QString groupText = left.section(u',', 0, 0);
        const int16_t g = Numbers::ToInt16(Numbers::LeadingNumber(groupText)).value_or(0);
        lastGroup = g;
        const bool groupRole = g >= 1 && g <= State().SaveGroupCount;
        if (role == QLatin1String("DBSENABLETAG") && groupRole) {
            HandleEnable(g, v, tagTime);
        } else if (role == QLatin1String("DBSTRIGGERTAG") && groupRole) {
            HandleTrigger(i, g, v, tagTime);
        } else if (role == QLatin1String("DBSPURGETAG") && groupRole) {
            HandlePurge(i, g, v);
        } else if (role == QLatin1String("DBSSTOPTAG")) {
            if (v != 0) {
                WriteLog(Stamp(DateUtil::Now()) + QStringLiteral(" | Message | Ledgrix.System | Set ") +
                         State().StopTag.Name + u'=' + Numbers::NumberText(v));
                WriteStatusTag(i, 0);
                LedgrixMain::EndInOrder();
            }
        }
    }
    if (lastGroup == Saver().ShownGroupIndex) RefreshTagView();
}
