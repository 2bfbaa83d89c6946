// The CSV title line and record line of a save group.
#include <QFile>
#include <QVarLengthArray>
#include <cmath>

#include "common/DateUtil.h"
#include "common/DatetimeWithMilliSeconds.h"
#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "saver/SaverState.h"
#include "saver/writers/CSVText.h"
#include "saver/writers/RecordSql.h"
#include "saver/writers/WriterUtil.h"
#include "saver/writers/Writers.h"

namespace CSVText {

QString Field(const QString& text, const QString& delimiter) {
    bool quote = false;
    if (delimiter.size() == 1) {
        // One pass for the usual one-character delimiter.
        const QChar d = delimiter[0];
        for (const QChar c : text)
            if (c == d || c == u'"' || c == u'\r' || c == u'\n') {
                quote = true;
                break;
            }
    } else {
        quote = (!delimiter.isEmpty() && text.contains(delimiter)) || text.contains(u'"') ||
                text.contains(u'\r') || text.contains(u'\n');
    }
    if (!quote) return text;
    QString t = text;
    t.replace(u'"', QLatin1String("\"\""));
    return u'"' + t + u'"';
}

int CountItems(const QString& line, const QString& delimiter) {
    if (line.isEmpty()) return 0;
    if (delimiter.isEmpty()) return 1;
    if (!line.contains(u'"')) return static_cast<int>(line.split(delimiter).size());
    int count = 1;
    bool inQuotes = false;
    bool atFieldStart = true;
    for (qsizetype i = 0; i < line.size();) {
        if (inQuotes) {
            if (line[i] == u'"') {
                if (i + 1 < line.size() && line[i + 1] == u'"') {
                    i += 2;
                    continue;
                }
                inQuotes = false;
            }
            ++i;
            continue;
        }
        if (atFieldStart && line[i] == u'"') {
            inQuotes = true;
            atFieldStart = false;
            ++i;
            continue;
        }
        if (line.mid(i, delimiter.size()) == delimiter) {
            ++count;
            atFieldStart = true;
            i += delimiter.size();
            continue;
        }
        atFieldStart = false;
        ++i;
    }
    return count;
}

qsizetype Width(QStringView text) {
    qsizetype width = text.size();
    for (qsizetype i = 1; i < text.size(); ++i)
        if (text[i].isLowSurrogate() && text[i - 1].isHighSurrogate()) --width;
    return width;
}

QString LastCharacters(const QString& text, qsizetype width) {
    qsizetype start = text.size();
    for (qsizetype n = 0; n < width && start > 0; ++n) {
        --start;
        if (start > 0 && text[start].isLowSurrogate() && text[start - 1].isHighSurrogate()) --start;
    }
    return text.mid(start);
}

}  // namespace CSVText

QString PadToWidth(const QString& text, int16_t width) {
    if (width == 0 || width == -1) return text;
    if (width < -1)
        throw Failure(FailureNumber::InvalidArgument, QStringLiteral("Invalid procedure call or argument"));
    const qsizetype missing = width - CSVText::Width(text);
    return missing > 0 ? QString(missing, u' ') + text : CSVText::LastCharacters(text, width);
}

namespace {

// A title item of a fixed width: the name's last characters that fit the width as written,
// quotes included, padded to it.
QString FixedWidthTitle(const QString& name, int16_t width, const QString& delimiter) {
    if (width <= 0) return CSVText::Field(PadToWidth(name, width), delimiter);
    qsizetype keep = std::min<qsizetype>(CSVText::Width(name), width);
    QString item = CSVText::Field(CSVText::LastCharacters(name, keep), delimiter);
    while (CSVText::Width(item) > width)
        item = CSVText::Field(CSVText::LastCharacters(name, --keep), delimiter);
    return PadToWidth(item, width);
}

}  // namespace

QString GetCSVTitleLine(int16_t groupIndex) {
    SaveGroupRecord& g = State().Group(groupIndex);
    const xSvcSettings& s = g.S();
    if (g.FieldCount <= 0) WriterUtil::NoFieldsExit();
    QString line;
    for (int i = 1; i <= g.FieldCount; ++i) {
        const xField& f = g.F(i);
        const QString name = s.dbSCSVIsFixDataLength
                                 ? FixedWidthTitle(f.FieldName, f.TagDataLength, s.dbSCSVDelimiterCharacter)
                                 : CSVText::Field(f.FieldName, s.dbSCSVDelimiterCharacter);
        line += i == 1 ? name : s.dbSCSVDelimiterCharacter + name;
    }
    return line;
}

namespace {

QString FormatDate(double date, const QString& pattern) {
    return pattern.isEmpty() ? DateUtil::DefaultText(date) : DateUtil::Format(date, pattern);
}

QString FormatVariant(const QVariant& v, const QString& pattern) {
    double d = 0;
    if (!WriterUtil::VariantToDate(v, d)) return v.toString();
    return FormatDate(d, pattern);
}

QString ValueText(const xField& f) {
    const QVariant& v = f.TagValue;
    const auto number = WriterUtil::FieldNumber(v);
    const bool ok = number.has_value();
    const double d = number.value_or(0);
    if (!ok) return v.toString();
    if (!std::isfinite(d)) return QString();  // NaN and the infinities leave the item empty
    if (f.DecimalPlaces < 0) return Numbers::NumberText(d);
    return Numbers::DecimalsText(d, f.DecimalPlaces);
}

// A date reduced to whole seconds through its "yyyy/MM/dd HH:mm:ss" text.
double WholeSeconds(double date, QString& text) {
    text = DateUtil::Format(date, QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    if (DateUtil::IsWholeSecond(date)) return date;
    return DateUtil::Parse(text).value_or(date);
}

// Cuts the bytes just written off the file's end again; false when the file does not end with
// them.
bool TakeBack(const QString& path, const QByteArray& written) {
    QFile f(FileUtil::ResolvePath(path));
    if (!f.open(QIODevice::ReadWrite)) return false;
    const qint64 start = f.size() - written.size();
    return start >= 0 && f.seek(start) && f.read(written.size()) == written && f.resize(start);
}

}  // namespace

void SaveRecordToCSV(int16_t groupIndex, bool readValues, bool countRecord, double& recordTime,
                     const DatetimeWithMilliSeconds* slot) {
    SaveGroupRecord& g = State().Group(groupIndex);
    xSvcSettings& s = g.S();
    xRuntimeInfo& r = g.R();
    if (g.FieldCount <= 0) WriterUtil::NoFieldsExit();

    const bool fixed = s.dbSCSVIsFixDataLength;
    const QString delimiter = s.dbSCSVDelimiterCharacter;
    const QString lineEnd = s.dbSCSVNewlineCharacter;

    QString timeText;
    const bool sentinel = IsRecordTimeSentinel(recordTime);
    const bool msSlot = sentinel && r.IsHighSpeedSaver;
    const DatetimeWithMilliSeconds recordSlot = slot ? *slot : r.TargetSaveTimeWithMilliSeconds;
    if (msSlot) {
        timeText = recordSlot.FormatString(QStringLiteral("yyyy/MM/dd HH:mm:ss.ms"));
    } else {
        recordTime = WholeSeconds(sentinel ? r.TargetSaveTime : recordTime, timeText);
    }

    QString& logLine = Saver().LogLine;
    logLine = timeText + QStringLiteral("  | Message | Ledgrix.") + r.ModuleName + QStringLiteral(" | ");

    if (!s.dbSEnableTag.Name.isEmpty() && r.IsDisableDBAppend) {
        logLine += QStringLiteral(" Action!") + QStringLiteral("(dbEnableTag = ") + s.dbSEnableTag.Name +
                   QStringLiteral(" = ") + QStringLiteral("0") + QStringLiteral("), ");
        WriteLog(logLine);
        return;
    }

    if (readValues) WriterUtil::GetFieldValues(groupIndex);
    const xTag& duringSaving = State().DuringSavingTag;
    if (duringSaving.IsDefined()) WriterUtil::WriteStatusTag(duringSaving.UserParm, 1);

    // A stream whose file has left its path (moved, deleted or replaced) is let go, and the
    // preparation opens what the path names now, or makes the file again. A file cut short in
    // place (by a log rotation's copy and cut, or by hand) is kept only when it still begins with
    // the whole title and ends with a whole line; else it goes to its backup and begins anew.
    bool cut = false;
    if (r.CSVFSO) {
        const FileIO::AtPath now = r.CSVFSO->PathNow();
        if (now == FileIO::AtPath::CutShort) {
            cut = true;
            r.CSVFSO.reset();
        } else if (now != FileIO::AtPath::TheFile) {
            WriteLog(WriterUtil::FileLeftLine(r.ModuleName, WriterUtil::HeldFile::CSV, r.CSVFSO->Path(),
                                              now == FileIO::AtPath::NoFile));
            r.CSVFSO.reset();
        }
    }
    const auto prepare = [&](int16_t flag) {
        int16_t index = groupIndex;
        if (!s.dbSCSVDataBaseRootDir.isEmpty())
            PrepareCSVRootDir(groupIndex, flag == kCheckCutFile ? flag : -1);
        else if (s.dbSCSVKeepConnectionAliveAfterSaveData != 1 || !r.CSVFSO)
            PrepareCSVDB(index, flag);
    };
    prepare(cut ? kCheckCutFile : r.NumRecordsSaved == 0 ? -1 : 0);

    const QString failLine = timeText + QStringLiteral(" | Error | Ledgrix.") + r.ModuleName +
                             QStringLiteral(" | ") +
                             QStringLiteral("Append Data to CSV file Fail! Please check CSV File.");
    if (!r.CSVFSO) {
        WriteLog(failLine);
        return;
    }

    const bool onceRun = Saver().RunMode == QLatin1String("ONCE");
    // The items are put together in a buffer of the line's own, without a text operation each.
    QVarLengthArray<QChar, 2048> items;
    auto add = [&items](QStringView v) { items.append(v.data(), v.size()); };
    bool overlong = false;
    for (int i = 1; i <= g.FieldCount; ++i) {
        const xField& f = g.F(i);
        QString text;
        switch (RecordSql::KindOf(f)) {
            case RecordSql::FieldKind::RecordTime:
                if (onceRun)
                    text = FormatDate(RecordSql::OnceTime(f, recordTime), f.DatetimeFormatString);
                else if (msSlot)
                    text = f.DatetimeFormatString.isEmpty() ? DateUtil::DefaultText(recordSlot.DateTime())
                                                            : recordSlot.FormatString(f.DatetimeFormatString);
                else
                    text = FormatDate(recordTime, f.DatetimeFormatString);
                break;
            case RecordSql::FieldKind::Message:
                text = RecordSql::MessageText(f);
                break;
            case RecordSql::FieldKind::TagTime:
                text = FormatVariant(f.TagTime, f.DatetimeFormatString);
                break;
            case RecordSql::FieldKind::Value:
                text = ValueText(f);
                break;
            case RecordSql::FieldKind::None:
                continue;
        }
        // A fixed width holds the item as written, quotes included.
        text = CSVText::Field(text, delimiter);
        if (fixed) {
            if (CSVText::Width(text) <= f.TagDataLength)
                text = PadToWidth(text, f.TagDataLength);
            else
                overlong = true;
        }
        if (i > 1) add(delimiter);
        add(text);
    }
    const QString line(items.constData(), items.size());

    // A file cut while the record was on its way (between the look above and the write) would
    // hold it without its title: the record is taken back off the file's end, the file prepared
    // as one found cut short, and the record written again.
    const QString text = line + lineEnd;
    for (int attempt = 1;; ++attempt) {
        try {
            r.CSVFSO->Write(text);
        } catch (const Failure& e) {
            // The file went away or the disk refused the write: the record is lost, the next
            // record prepares the file again.
            r.CSVFSO.reset();
            WriteLog(failLine);
            WriteLog(QStringLiteral("Error Description = ") + e.description);
            return;
        }
        if (attempt == 3 || r.CSVFSO->PathNow() != FileIO::AtPath::CutShort) break;
        const bool takenBack = TakeBack(r.CSVFSO->Path(), text.toUtf8());
        r.CSVFSO.reset();
        prepare(kCheckCutFile);
        if (!takenBack) break;  // it went with the part cut away, or stays where it landed
        if (!r.CSVFSO) {
            WriteLog(failLine);
            return;
        }
    }
    if (s.dbSCSVKeepConnectionAliveAfterSaveData == 0) r.CSVFSO.reset();

    logLine += QStringLiteral(" Append to CSV file, Command string:") + line + QStringLiteral(" (") +
               QString::number(s.dbSWriteMode) + u')';
    WriteLog(logLine);

    if (countRecord) {
        r.NumRecordsSaved += 1;
        WriterUtil::ShowRecordCount(groupIndex);
    }
    if (overlong)
        WriteLog(timeText + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName + QStringLiteral(" | ") +
                 QStringLiteral("資料長度超過設定的固定長度, 請檢查設定是否正確。"));
    const xTag& countTag = s.dbSNumRecordsSavedTag;
    if (countRecord && countTag.IsDefined()) WriterUtil::WriteStatusTag(countTag.UserParm, r.NumRecordsSaved);
    if (State().DebugLevel > 0)
        MsgBox(QStringLiteral("Ledgrix CSV 存檔完畢!"), MsgStyle::Information,
               QStringLiteral("Ledgrix CSV 存檔完畢"));
}
