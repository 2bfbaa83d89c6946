#include "saver/runtime/FieldValues.h"

#include <algorithm>

#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "saver/SaverState.h"
#include "saver/runtime/LedgrixRuntimeUtil.h"
#include "saver/runtime/SaverWindow.h"
#include "saver/runtime/TagAccess.h"
#include "saver/runtime/TagLinkUtil.h"
#include "saver/writers/RecordSql.h"

QString NotDefinedTagTime() {
    PT_TIME t{};
    t.wYear = 1995;
    t.wMonth = 1;
    t.wDay = 1;
    t.wSecond = 1;
    return FormatTagTime(t);
}

void GetFieldValues(int16_t& group) {
    SaveGroupRecord& grp = State().Group(group);
    for (int j = 1; j <= grp.FieldCount; ++j) {
        xField& f = grp.F(j);
        if (f.TagName.isEmpty()) continue;
        const RecordSql::FieldKind kind = RecordSql::KindOf(f);
        if (kind == RecordSql::FieldKind::RecordTime) {
            f.TagValue = Saver().ReferenceDateTime;
            continue;
        }
        if (static_cast<uint16_t>(f.TagID) > 65534) f.TagID = static_cast<int16_t>(FindTagHandle(f.TagName));
        const uint16_t h = static_cast<uint16_t>(f.TagID);
        if (h > 65534) {
            f.TagValue = QVariant::fromValue<int16_t>(-1);
            f.TagMessage.clear();
            f.TagTime = NotDefinedTagTime();
            continue;
        }
        double value = 0, time = 0;
        int16_t status = 0;
        bool ok = false;
        if (kind == RecordSql::FieldKind::Value) {
            ok = ReadTagValue(h, value, time, status);
            f.TagValue = ok ? QVariant(value) : QVariant::fromValue<int16_t>(0);
        } else if (kind == RecordSql::FieldKind::Message) {
            QString text;
            ok = ReadTagMessage(h, text, time, status);
            f.TagMessage = ok ? text : QString();
        } else if (kind == RecordSql::FieldKind::TagTime) {
            QString text;
            ok = ReadTagMessage(h, text, time, status);
        }
        if (kind != RecordSql::FieldKind::None) NoteTagRead(ok, h, f.TagName);
        // A field of an unknown part reads nothing and gets the not-defined time.
        f.TagTime = ok ? QVariant(time) : QVariant(NotDefinedTagTime());
    }
}

bool GetTagRefData(const QString& reference, QString& kind, double& value, QString& message,
                   int16_t& readFlag) {
    kind.clear();
    if (reference.isEmpty()) {
        value = -1;
        message.clear();
        readFlag = 2;
        return false;
    }
    const int dot = reference.indexOf(u'.');
    const QString name = dot < 0 ? reference : reference.left(dot);
    const uint16_t h = FindTagHandle(name);
    if (h == PT_NO_TAG) return false;
    const QString part = dot < 0 ? QString() : reference.mid(dot + 1).toUpper();
    double time = 0;
    int16_t status = 0;
    if (dot < 0 || part == QLatin1String("VALUE")) {
        double v = 0;
        const bool ok = ReadTagValue(h, v, time, status);
        NoteTagRead(ok, h, name);
        value = ok ? v : -1;
        kind = QStringLiteral("VALUE");
        readFlag = ok ? 1 : 0;
    } else if (part == QLatin1String("MESSAGE") || part == QLatin1String("MSG")) {
        QString text;
        const bool ok = ReadTagMessage(h, text, time, status);
        NoteTagRead(ok, h, name);
        message = ok ? text : QString();
        kind = QStringLiteral("MSG");
        readFlag = ok ? 1 : 0;
    } else {
        readFlag = 0;
    }
    return true;
}

void RefreshTagView() {
    SaverWindow& window = Window();
    if (!window.Exists()) return;
    const QStringList references = window.TagViewTags();
    const int rows = std::min(9, static_cast<int>(references.size()));
    for (int row = 0; row < rows; ++row) {
        const QString& reference = references[row];
        if (reference.isEmpty()) continue;
        QString kind, message, shown;
        double value = 0;
        int16_t readFlag = 0;
        if (!GetTagRefData(reference, kind, value, message, readFlag)) {
            // A tag the HMI system does not define is no failed read.
            shown = QStringLiteral("圖控中未定義");
        } else {
            if (kind == QLatin1String("VALUE"))
                shown = Numbers::NumberText(value);
            else if (kind == QLatin1String("MSG"))
                shown = message;
            // A failed read is the link's only when the library says so (or does not tell).
            if (Saver().IsLinkOnline && readFlag == 0 && !TagAccess::IsLinkWhole())
                SetLinkState(false, false);
        }
        window.ShowTagValue(row, shown);
    }
}

QString FormatNameWithTags(const QString& a, const QString& b, const QString& c) {
    if (b.isEmpty()) return a;
    QString out = a + QStringLiteral(" [") + b + u']';
    if (!c.isEmpty()) out += QStringLiteral(" [") + c + u']';
    return out;
}
