// Hostile settings files through the readers, and hostile messages and values through the record
// builders into an SQLite target with a CSV copy: every setting and every record is either taken
// exactly as written or refused with its designed message. LEDGRIX_FUZZ_ROUNDS runs longer.
#include <algorithm>
#include <cmath>

#include "common/Numbers.h"
#include "common/SettingUtil.h"
#include "tests/saver/writers/WriterFixture.h"
#include "tests/support/Hostile.h"

namespace {

class WriterFuzz : public WriterFixture {
  protected:
    Hostile h;
};

QString Cell(const QVariant& v) {
    if (v.isNull()) return QStringLiteral("NULL");
    if (v.typeId() == QMetaType::Double) return QString::number(v.toDouble(), 'g', 17);
    return v.toString();
}

}  // namespace

TEST_F(WriterFuzz, HostileSettingsFilesAreReadOrRefused) {
    SCOPED_TRACE(h.Seed());
    const char* basic[] = {
        "dbIsDefaultFilePath", "dbFileName",   "dbFilePath",       "dbTableName",   "dbDBTypeName",
        "dbProvider",          "dbDriver",     "dbDataSource",     "dbUserID",      "dbPassword",
        "SaveTimeInterval",    "dbSWriteMode", "dbSEnableTag",     "dbSTriggerTag", "dbSDirTag",
        "dbSFileNameTag",      "dbSPurgeTag",  "dbSPurgeKeepDays", "dbSSaveCSV",    "dbSDataBaseRootDir"};
    const char* csv[] = {"dbCSVFilePath",
                         "dbSCSVFixDataLength",
                         "dbSCSVDelimiterCharacter",
                         "dbSCSVNewlineCharacter",
                         "dbSCSVKeepConnectionAliveAfterSaveData",
                         "dbSCSVDirTag"};
    auto value = [&] {
        return h.OneIn(2) ? h.Text(12)
                          : Numbers::NumberText(h.Number()) + (h.OneIn(4) ? h.Text(3) : QString());
    };
    // A settings line holds no line break: the values checked are hostile texts of one line.
    auto line = [](QString t) { return t.remove(u'\r').remove(u'\n'); };
    // Keys whose text the group takes as it stands, blanks around it trimmed.
    const std::pair<const char*, QString xSvcSettings::*> asWritten[] = {
        {"dbFilePath", &xSvcSettings::dbFilePath},
        {"dbTableName", &xSvcSettings::dbTableName},
        {"dbUserID", &xSvcSettings::dbUserID},
        {"dbPassword", &xSvcSettings::dbPassword},
        {"dbSDataBaseRootDir", &xSvcSettings::dbSDataBaseRootDir}};
    for (int round = 0; round < Hostile::Rounds(40); ++round) {
        ResetState();
        ProgramState& st = State();
        st.ProjectName = QStringLiteral("P");
        st.WorkstationName = QStringLiteral("W");
        st.WorkstationFilePath = QStringLiteral("..\\Project\\P\\cfg\\W\\Ledgrix.Svl");
        QString svl =
            QStringLiteral("[SystemBasic]\r\ndbSCaption=") + value() + QStringLiteral("\r\ndbSLogDisable=") +
            value() + QStringLiteral("\r\n[ModuleList]\r\nModule1=") + line(h.Text(8)) +
            QStringLiteral(",..\\Project\\P\\cfg\\W\\g.svc /PURGE:") + value() + QStringLiteral("\r\n");
        QString svc = QStringLiteral("[Basic]\r\n");
        QMap<QString, QString> written;
        for (const char* k : basic)
            if (!h.OneIn(3))
                svc += QLatin1String(k) + u'=' + (written[QLatin1String(k)] = line(value())) +
                       QStringLiteral("\r\n");
        svc += QStringLiteral("[CSV]\r\n");
        for (const char* k : csv)
            if (!h.OneIn(3)) svc += QLatin1String(k) + u'=' + value() + QStringLiteral("\r\n");
        svc += QStringLiteral("[FieldList]\r\n");
        QStringList fields;
        for (int n = 1; n <= h.Int(0, 5); ++n)
            svc +=
                QStringLiteral("fd%1=").arg(n) + (fields << line(h.Text(20))).last() + QStringLiteral("\r\n");
        WriteFile(QStringLiteral("Project/P/cfg/W/Ledgrix.Svl"), svl.toUtf8());
        WriteFile(QStringLiteral("Project/P/cfg/W/g.svc"), svc.toUtf8());
        boxes.boxes.clear();
        SCOPED_TRACE(svl.toStdString() + svc.toStdString());
        try {
            SettingUtil::LoadWorkstationSettings();
            SettingUtil::LoadSaveGroupSettings();
        } catch (const ProgramExit&) {
            // Refused: a group file that the module line does not name (a name holding ","), or
            // one that names a folder (its options cut at a "/").
            ASSERT_FALSE(boxes.boxes.empty());
            const QString path = st.Group(1).S().SvcFilePath;
            EXPECT_EQ(boxes.boxes.back().title, QStringLiteral("Setting file error"));
            EXPECT_EQ(boxes.boxes.back().text, QStringLiteral("Cannot find the setting file:") + path +
                                                   SettingUtil::NotAFileLine(path));
            continue;
        }
        ASSERT_EQ(st.SaveGroupCount, 1);
        SaveGroupRecord& g = st.Group(1);
        for (const auto& [key, member] : asWritten)
            EXPECT_EQ((g.S().*member).toStdString(),
                      SettingUtil::TrimSpaces(written.value(QLatin1String(key))).toStdString())
                << key;
        // Fields up to the first blank line, each named by its text before the first ",".
        int count = 0;
        while (count < fields.size() && !SettingUtil::TrimSpaces(fields[count]).isEmpty()) ++count;
        ASSERT_EQ(g.FieldCount, count);
        for (int n = 1; n <= count; ++n)
            EXPECT_EQ(g.F(n).FieldName.toStdString(),
                      SettingUtil::TrimSpaces(fields[n - 1].section(u',', 0, 0)).toStdString());
    }
}

TEST_F(WriterFuzz, HostileMessagesAndValuesAreStoredExactlyOrRefused) {
    SCOPED_TRACE(h.Seed());
    Sql(QStringLiteral("Project/P/dat/f.mdb"),
        {QStringLiteral("CREATE TABLE Log1 (Flow DOUBLE, Note TEXT)")});
    SaveGroupRecord& g = AccessGroup(1, QStringLiteral("f.mdb"), QStringLiteral("Log1"));
    g.S().dbSIsSaveCSV = true;
    g.S().dbCSVFullPath = QStringLiteral("..\\Project\\P\\dat\\f.csv");
    AddField(g, QStringLiteral("Flow"), QStringLiteral("F1"), QStringLiteral("VALUE"));
    AddField(g, QStringLiteral("Note"), QStringLiteral("N1"), QStringLiteral("MSG"));
    int stored = 0;
    for (int round = 0; round < Hostile::Rounds(60); ++round) {
        const double v = h.Number();
        const QString text = h.Text();
        g.F(1).DecimalPlaces = static_cast<int16_t>(h.Int(-1, 400));
        g.F(2).TagMessageLength = static_cast<int16_t>(h.Int(-1, 50));
        onReadValues = [&](int16_t) {
            g.F(1).TagValue = v;
            g.F(2).TagMessage = text;
        };
        log.clear();
        double t = At(2024, 1, 1) + round / 86400.0;
        ado::WaitFor(DBAppend(1, t));
        const auto refused =
            std::find_if(log.cbegin(), log.cend(),
                         [](const QString& l) { return l.contains(QStringLiteral("Fail!!")); }) -
            log.cbegin();
        if (refused < log.size()) {  // its designed line with the statement, then the reason; not counted
            EXPECT_TRUE(log[refused].contains(QStringLiteral(
                " | Error | Ledgrix. G1 | Fail!! Append to Database, SQL Command:Insert Into [Log1] ([Flow], "
                "[Note]) Values (")))
                << log[refused].toStdString();
            EXPECT_TRUE(log.value(refused + 1).startsWith(QStringLiteral("Error Description = ")));
            EXPECT_EQ(g.R().NumRecordsSaved, stored);
            continue;
        }
        ASSERT_EQ(CountLog(QStringLiteral("| Append to Database, SQL Command:")), 1)
            << log.join(u'\n').toStdString();
        const double rounded = g.F(1).DecimalPlaces < 0 ? v : Numbers::RoundHalfEven(v, g.F(1).DecimalPlaces);
        // The value's number text as the database reads it (SQLite may read a long exponent one
        // unit in the last place away from the nearest double).
        const QString file = Path(QStringLiteral("Project/P/dat/f.mdb"));
        const QString flow =
            std::isfinite(v)
                ? SqliteRows(file, {QStringLiteral("SELECT ") + Numbers::NumberText(rounded)}, Cell)[0]
                : QStringLiteral("NULL");
        QString note = g.F(2).TagMessageLength > 0 ? text.left(g.F(2).TagMessageLength) : text;
        if (note.size() < text.size() && note.back().isHighSurrogate()) note.chop(1);  // no half pair
        const QStringList row = SqliteRows(
            file, {QStringLiteral("SELECT Flow, Note FROM Log1 WHERE rowid = (SELECT MAX(rowid) FROM Log1)")},
            Cell);
        ASSERT_EQ(row, QStringList{flow + u'|' + note}) << "value " << v << " text " << text.toStdString();
        ++stored;
    }
    EXPECT_GT(stored, 0);
    EXPECT_EQ(g.R().NumRecordsSaved, stored);
    EXPECT_EQ(CountLog(QStringLiteral("Append Data to CSV file Fail!")), 0);
}
