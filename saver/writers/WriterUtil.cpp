#include "saver/writers/WriterUtil.h"

#include <QRegularExpression>

#include "common/DateUtil.h"
#include "common/FileUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/Texts.h"
#include "platform/ado/Ado.h"
#include "saver/writers/WriterServices.h"

namespace WriterUtil {

std::optional<double> FieldNumber(const QVariant& v) {
    if (v.typeId() == QMetaType::QString) return Numbers::WholeTextNumber(v.toString());
    if (!v.isValid() || v.isNull()) return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

namespace {
const TextPair kNoFieldsText{
    "The program can not be running!\r\nThe settings do not have field's definitions!",
    "Ledgrix: 未定義欄位資訊,無法執行存檔動作!"};
const TextPair kNoFieldsCaption{"No field's definitions", "未定義欄位資訊"};
const TextPair kOutcomeUnknown{" The outcome is not known: the server may still write this record.",
                               " 結果不明: 伺服器仍可能寫入這筆記錄。"};
const TextPair kStoppedBeforeAnswer{"Ledgrix stopped before the server answered.",
                                    "Ledgrix 在伺服器回應前已結束。"};
const TextPair kDatabaseFileLeft{"The database file [%1] has left its path: %2",
                                 "資料庫檔案 [%1] 已不在其路徑上: %2"};
const TextPair kCsvFileLeft{"The CSV file [%1] has left its path: %2", "CSV檔案 [%1] 已不在其路徑上: %2"};
const TextPair kNoFileThere{"no file is there now.", "該路徑現在沒有檔案。"};
const TextPair kAnotherFileThere{"another file is there now.", "該路徑現在是另一個檔案。"};
}  // namespace

QString FileLeftLine(const QString& moduleName, HeldFile kind, const QString& path, bool missing) {
    return NowText() + QStringLiteral(" | Warning | Ledgrix.") + moduleName + QStringLiteral(" | ") +
           Tx(kind == HeldFile::Database ? kDatabaseFileLeft : kCsvFileLeft)
               .arg(path, Tx(missing ? kNoFileThere : kAnotherFileThere));
}

QString OutcomeUnknownNote() {
    return Tx(kOutcomeUnknown);
}

QString StoppedBeforeAnswer() {
    return Tx(kStoppedBeforeAnswer);
}

QString LogTime(double date) {
    return DateUtil::Format(date, QStringLiteral("yyyy/MM/dd HH:mm:ss AMPM"));
}

QString NowText() {
    return LogTime(DateUtil::Now());
}

bool IsExcelTarget(const xSvcSettings& s) {
    return s.dbDriver.toUpper().contains(QLatin1String("EXCEL")) ||
           s.dbDBTypeName == QLatin1String("EXCEL") || s.dbDBTypeName == QLatin1String("EXCEL2007");
}

bool IsOpen(const std::shared_ptr<ado::Connection>& conn) {
    return conn && conn->State() == ado::adStateOpen;
}

QString SqlText(const QString& text) {
    QString t = text;
    t.replace(u'\'', QLatin1String("''"));
    return t;
}

bool VariantToDate(const QVariant& v, double& date) {
    if (!v.isValid() || v.isNull()) return false;
    switch (v.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            date = v.toDouble();
            return true;
        case QMetaType::QDateTime:
            date = DateUtil::FromDateTime(v.toDateTime());
            return true;
        default:
            break;
    }
    const auto parsed = DateUtil::Parse(v.toString());
    if (!parsed) return false;
    date = *parsed;
    return true;
}

QString FormatVariantDate(const QVariant& v, const QString& pattern) {
    double d = 0;
    if (!VariantToDate(v, d)) return v.toString();
    return DateUtil::Format(d, pattern);
}

bool IsSafeNamePart(const QString& name) {
    if (name.isEmpty()) return false;
    if (name == QLatin1String(".") || name == QLatin1String("..")) return false;
    // ";" and "=" too: a name is never read as part of a connection string.
    static const QRegularExpression bad(QStringLiteral("[\\\\/<>|\"*?:;=\\x00-\\x1f]"));
    if (name.contains(bad)) return false;
    // Names made of dots and blanks only are no names on the file systems the system serves.
    static const QRegularExpression dotsOnly(QStringLiteral("^[. ]+$"));
    if (dotsOnly.match(name).hasMatch()) return false;
    return name.toUtf8().size() <= 255;
}

void NoFieldsExit() {
    State().ErrorText = Tx(kNoFieldsText);
    State().ErrorCaption = Tx(kNoFieldsCaption);
    MsgBox(State().ErrorText, MsgStyle::Critical, State().ErrorCaption);
    sysExit(-1);
}

void GetFieldValues(int16_t group) {
    if (Services().GetFieldValues) Services().GetFieldValues(group);
}
bool GetTagRefData(const QString& ref, QString& kind, double& value, QString& message, int16_t& readFlag) {
    if (!Services().GetTagRefData) return false;
    return Services().GetTagRefData(ref, kind, value, message, readFlag);
}
uint16_t FindTagHandle(const QString& name) {
    if (!Services().FindTagHandle) return kNoTag;
    return Services().FindTagHandle(name);
}
void WriteStatusTag(int32_t bankIndex, double value) {
    if (Services().WriteStatusTag) Services().WriteStatusTag(bankIndex, value);
}
void CloseDBConnection(int16_t group) {
    if (Services().CloseDBConnection) Services().CloseDBConnection(group);
}
void ShowRecordCount(int16_t group) {
    if (Services().ShowRecordCount) Services().ShowRecordCount(group);
}
void ShowTargetPath(const QString& path) {
    if (Services().ShowTargetPath) Services().ShowTargetPath(path);
}

namespace {

bool IsMessageKind(const QString& dataType) {
    const QString t = dataType.toUpper();
    return t == QLatin1String("MSG") || t == QLatin1String("MESSAGE");
}

// Reads the tag's current value and message; looks an undefined tag up again by name.
// Returns false when the tag stays undefined.
bool ReadNameTag(xTag& tag, double& value, QString& message) {
    QString ref = tag.Name;
    if (IsMessageKind(tag.DataType)) ref += QStringLiteral(".msg");
    QString kind;
    int16_t readFlag = 0;
    GetTagRefData(ref, kind, value, message, readFlag);
    if (!tag.IsDefined()) tag.ID = static_cast<int16_t>(FindTagHandle(tag.Name));
    return tag.IsDefined();
}

}  // namespace

QString BadFullPathLine(const QString& moduleName, const QString& rootKey, const QString& path) {
    return NowText() + QStringLiteral(" | Error | Ledgrix.") + moduleName + QStringLiteral(" | ") +
           QStringLiteral("[") + rootKey + QStringLiteral("FullPath=") + path +
           QStringLiteral("] Is Error!!");
}

DispersedPath ResolveDispersedPath(xTag& dirTag, xTag& fileTag, QString& root, const QString& templatePath,
                                   const QString& defaultName, const QString& moduleName,
                                   const QString& rootKey) {
    if (!root.isEmpty() && !root.endsWith(u'\\')) root += u'\\';
    double dirValue = 0, fileValue = 0;
    QString dirMsg, fileMsg;
    const bool dirDefined = ReadNameTag(dirTag, dirValue, dirMsg);
    const bool fileDefined = ReadNameTag(fileTag, fileValue, fileMsg);

    // Folder: the root, or the root and the folder tag's text. A text that is not one plain
    // name (separators, "..", a drive) would leave the root: it is refused like a bad path.
    QString D;
    bool dirSafe = true;
    if (!dirDefined) {
        D = root;
    } else if (dirTag.DataType.toUpper() == QLatin1String("VALUE")) {
        const QString text = Numbers::NumberText(dirValue);
        dirSafe = IsSafeNamePart(text);
        D = root + text + u'\\';
    } else if (IsMessageKind(dirTag.DataType)) {
        if (dirMsg.isEmpty()) {
            D = root;
        } else {
            QString name = dirMsg;
            if (name.endsWith(u'\\')) name.chop(1);
            dirSafe = IsSafeNamePart(name);
            D = root + dirMsg;
            if (!D.endsWith(u'\\')) D += u'\\';
        }
    }

    const QString E = FileUtil::GetExtensionName(templatePath);
    QString F;
    bool fileSafe = true;
    if (!fileDefined) {
        F = FileUtil::GetFileName(templatePath);
    } else if (fileTag.DataType.toUpper() == QLatin1String("VALUE")) {
        const QString text = Numbers::NumberText(fileValue);
        fileSafe = IsSafeNamePart(text);
        F = text + u'.' + E;
    } else if (IsMessageKind(fileTag.DataType)) {
        if (!fileMsg.isEmpty()) fileSafe = IsSafeNamePart(fileMsg);
        F = fileMsg + u'.' + E;
    }
    if (F.isEmpty() || F == u'.' + E) {
        F = defaultName;
        fileSafe = true;
    }

    if (!dirSafe || !FileUtil::IsValidPath(D)) {
        WriteLog(NowText() + QStringLiteral(" | Error | Ledgrix. ") + moduleName + QStringLiteral(" | ") +
                 QStringLiteral("[") + rootKey + QStringLiteral("FilePath=") + D +
                 QStringLiteral("] Is Error!"));
        D = root;
    }
    QString P = D + F;
    if (!fileSafe || !FileUtil::IsValidPath(P)) {
        WriteLog(BadFullPathLine(moduleName, rootKey, P));
        P = root + FileUtil::GetFileName(templatePath);
    }
    return {D, F, P};
}

}  // namespace WriterUtil
