// The program setting file "Ledgrix.set": language, main-loop timer and database-type templates.
#include "common/DateUtil.h"
#include "common/FileUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "common/Texts.h"

namespace SettingUtil {
namespace {

constexpr int kMaxListedTypes = 25;
constexpr int32_t kDefaultTimerInterval = 500;

const TextPair kMissingFileHead{"The Setting File:", "找不到程式設定檔:"};
const TextPair kMissingFileTail{" cannot be found!\r\nThe Program cannot be run!", "\r\n本程式無法執行!"};
const TextPair kMissingFileCaption{"Ledgrix-Setting File", "找不到程式設定檔"};

// An empty value is false; otherwise a Boolean text or a number. Any other text counts as false.
bool TemplateFlag(const QString& value) {
    if (value.isEmpty()) return false;
    return Numbers::BooleanText(value).value_or(false);
}

void ReadTemplate(xDBSettings& t, const QString& value, const SettingLookup& text) {
    QString head, inner;
    CutDelimited(value, QStringLiteral("{"), QStringLiteral("}"), head, inner);
    t.DBTypeName = inner;
    t.DBTypeDsc = head;

    QString before, filter;
    CutDelimited(head, QStringLiteral("("), QStringLiteral(")"), before, filter);
    if (!before.isEmpty() && !filter.isEmpty()) t.DBFilter = filter;

    const QString& s = t.DBTypeName;
    const QString none;
    const QString no = QStringLiteral("False");
    t.dbProvider = text.Value(s, QStringLiteral("dbProvider"), none);
    t.dbDriver = text.Value(s, QStringLiteral("dbDriver"), none);
    t.dbPersistSecurityInfo = text.Value(s, QStringLiteral("dbPersistSecurityInfo"), none);
    t.dbDateFunctionName = text.Value(s, QStringLiteral("dbDateFunctionName"), none);
    t.dbExtendedProperties = text.Value(s, QStringLiteral("dbExtendedProperties"), none);
    t.dbNoOLEBDB = TemplateFlag(text.Value(s, QStringLiteral("dbNoOLEDB"), no));
    t.dbNoTableNameDelimiter = TemplateFlag(text.Value(s, QStringLiteral("dbNoTableNameDelimiter"), no));
    t.dbNoFieldNameDelimiter = TemplateFlag(text.Value(s, QStringLiteral("dbNoFieldNameDelimiter"), no));
}

std::shared_ptr<xDBSettings> FindTemplate(const QString& wanted, QString xDBSettings::*field) {
    ProgramState& st = State();
    for (int i = 1; i <= st.DBTypeCount && i <= kMaxDBTypes; ++i) {
        st.Template(i);
        const auto& t = st.DBTypeTemplates[static_cast<size_t>(i)];
        if ((*t).*field == wanted) return t;
    }
    return nullptr;
}

}  // namespace

void LoadProgramSettings() {
    ProgramState& st = State();
    const QString path = st.ProgramSettingFilePath;
    if (!FileUtil::FileExists(path)) {
        MsgBox(Tx(kMissingFileHead) + path + Tx(kMissingFileTail), MsgStyle::Critical,
               Tx(kMissingFileCaption));
        sysExit(-1);
    }
    const SettingLookup text(ReadSettingFile(path));

    const QString lang = text.Value(QStringLiteral("ML"), QStringLiteral("AppliedLangName")).toUpper();
    if (lang.isEmpty() || lang == QLatin1String("AUTO"))
        st.LanguageIndex = DateUtil::SystemLocaleId() == 1028 ? 1 : 0;
    else
        st.LanguageIndex = lang == QLatin1String("CHINESEBIG5") ? 1 : 0;

    const QString useTimer = text.Value(QStringLiteral("BASIC"), QStringLiteral("IsUseTimer"));
    if (Numbers::LeadingNumber(useTimer) == 1.0) {
        st.IsUseTimer = true;
        const QString interval =
            text.Value(QStringLiteral("BASIC"), QStringLiteral("TimerInterval"), QStringLiteral("500"));
        // A timer needs a positive interval: 0 ms or less (also a value that is no number) gives
        // the default. A value beyond the 32-bit range leaves the interval as it was.
        const double n = Numbers::LeadingNumber(interval);
        const auto ms = Numbers::ToInt32(n);
        if (ms && *ms > 0)
            st.TimerInterval = *ms;
        else if (ms || n < 0)
            st.TimerInterval = kDefaultTimerInterval;
    } else {
        st.IsUseTimer = false;
    }
    text.Value(QStringLiteral("BASIC"), QStringLiteral("ProjectVersion"), QStringLiteral("2.0"));

    st.DBTypeCount = 0;
    for (int n = 1; n <= kMaxListedTypes; ++n) {
        const QString value =
            text.Value(QStringLiteral("DBTYPELIST"), QStringLiteral("DBTYPE") + QString::number(n));
        if (value.isEmpty()) break;
        st.DBTypeCount = static_cast<int16_t>(n);
        ReadTemplate(st.Template(n), value, text);
    }
}

std::shared_ptr<xDBSettings> FindDBSettingsByTypeName(const QString& typeName) {
    return FindTemplate(typeName, &xDBSettings::DBTypeName);
}

std::shared_ptr<xDBSettings> FindDBSettingsByTypeDsc(const QString& typeDsc) {
    return FindTemplate(typeDsc, &xDBSettings::DBTypeDsc);
}

}  // namespace SettingUtil
