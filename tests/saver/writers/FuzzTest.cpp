// Hostile settings files through the readers, and hostile messages and values through the record
// builders into an SQLite target with a CSV copy: nothing crashes, and every record either stores
// exactly its values or is refused and logged. LEDGRIX_FUZZ_ROUNDS runs longer.
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
    for (int round = 0; round < Hostile::Rounds(40); ++round) {
        ResetState();
        ProgramState& st = State();
        st.ProjectName = QStringLiteral("P");
        st.WorkstationName = QStringLiteral("W");
        st.WorkstationFilePath = QStringLiteral("..\\Project\\P\\cfg\\W\\Ledgrix.Svl");
        QString svl =
            QStringLiteral("[SystemBasic]\r\ndbSCaption=") + value() + QStringLiteral("\r\ndbSLogDisable=") +
            value() + QStringLiteral("\r\n[ModuleList]\r\nModule1=") + h.Text(8) +
            QStringLiteral(",..\\Project\\P\\cfg\\W\\g.svc /PURGE:") + value() + QStringLiteral("\r\n");
        QString svc = QStringLiteral("[Basic]\r\n");
        for (const char* k : basic)
            if (!h.OneIn(3)) svc += QLatin1String(k) + u'=' + value() + QStringLiteral("\r\n");
        svc += QStringLiteral("[CSV]\r\n");
        for (const char* k : csv)
            if (!h.OneIn(3)) svc += QLatin1String(k) + u'=' + value() + QStringLiteral("\r\n");
        svc += QStringLiteral("[FieldList]\r\n");
        for (int n = 1; n <= h.Int(0, 5); ++n)
            svc += QStringLiteral("fd%1=").arg(n) + h.Text(20) + QStringLiteral("\r\n");
        WriteFile(QStringLiteral("Project/P/cfg/W/Ledgrix.Svl"), svl.toUtf8());
        WriteFile(QStringLiteral("Project/P/cfg/W/g.svc"), svc.toUtf8());
        try {
            SettingUtil::LoadWorkstationSettings();
            SettingUtil::LoadSaveGroupSettings();
        } catch (const ProgramExit&) {
            // a settings error, shown and ended in order
        }
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
        DBAppend(1, t);
        if (CountLog(QStringLiteral("Fail!!")) > 0) continue;  // refused and logged
        ASSERT_EQ(CountLog(QStringLiteral("| Append to Database, SQL Command:")), 1)
            << log.join(u'\n').toStdString();
        const double rounded = g.F(1).DecimalPlaces < 0 ? v : Numbers::RoundHalfEven(v, g.F(1).DecimalPlaces);
        const QString flow =
            std::isfinite(v) ? Cell(Numbers::NumberText(rounded).toDouble()) : QStringLiteral("NULL");
        const QString note = g.F(2).TagMessageLength > 0 ? text.left(g.F(2).TagMessageLength) : text;
        const QStringList row = SqliteRows(
            Path(QStringLiteral("Project/P/dat/f.mdb")),
            {QStringLiteral("SELECT Flow, Note FROM Log1 WHERE rowid = (SELECT MAX(rowid) FROM Log1)")},
            Cell);
        ASSERT_EQ(row, QStringList{flow + u'|' + note}) << "value " << v << " text " << text.toStdString();
        ++stored;
    }
    EXPECT_GT(stored, 0);
    EXPECT_EQ(CountLog(QStringLiteral("Append Data to CSV file Fail!")), 0);
}
