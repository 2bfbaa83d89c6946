// The record writers driven directly: fake runtime services, SQLite database files under the
// temporary program folder, and helpers to build save groups.
#pragma once
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <functional>
#include <vector>

#include "common/DateUtil.h"
#include "common/ProgramState.h"
#include "platform/ado/Ado.h"
#include "saver/SaverState.h"
#include "saver/writers/WriterServices.h"
#include "saver/writers/Writers.h"
#include "tests/support/TestSupport.h"

class WriterFixture : public ProgramFixture {
  protected:
    struct FakeTag {
        double value = 0;
        QString message;
        uint16_t handle = 1;
    };
    QMap<QString, FakeTag> tags;                // what the fake tag manager knows
    std::function<void(int16_t)> onReadValues;  // the fake GetFieldValues
    std::vector<std::pair<int32_t, double>> statusWrites;
    int closeCalls = 0, readCalls = 0;
    QStringList shownPaths;

    void SetUp() override {
        ProgramFixture::SetUp();
        ResetSaverState();
        State().DuringSavingTag.ID = -1;
        WriterServices& sv = Services();
        sv = WriterServices{};
        sv.GetFieldValues = [this](int16_t g) {
            ++readCalls;
            if (onReadValues) onReadValues(g);
        };
        sv.GetTagRefData = [this](const QString& ref, QString&, double& value, QString& message,
                                  int16_t& flag) {
            const QString name = ref.section(u'.', 0, 0);
            if (!tags.contains(name)) return false;
            (ref.contains(u'.') ? (void)(message = tags[name].message) : (void)(value = tags[name].value));
            flag = 1;
            return true;
        };
        sv.FindTagHandle = [this](const QString& name) {
            return tags.contains(name) ? tags[name].handle : kNoTag;
        };
        sv.WriteStatusTag = [this](int32_t index, double value) { statusWrites.emplace_back(index, value); };
        sv.CloseDBConnection = [this](int16_t g) {  // as the runtime does it
            ++closeCalls;
            xRuntimeInfo& r = State().Group(g).R();
            if (r.conn && r.conn->State() == ado::adStateOpen) {
                r.rs.reset();
                r.conn->Close();
                r.conn.reset();
            }
        };
        sv.ShowTargetPath = [this](const QString& p) { shownPaths << p; };
        QDir(root.path()).mkpath(QStringLiteral("Project/P/dat"));
    }
    void TearDown() override {
        ado::ForgetWaitingWork();  // work a test left waiting never resumes on a later test's state
        Services() = WriterServices{};
        ResetState();  // closes every connection and stream of the groups
        ResetSaverState();
        ProgramFixture::TearDown();
    }

    // Runs statements on an SQLite file (the stand-in of an Access or Excel file) below the
    // temporary folder; returns the rows, columns joined by "|".
    QStringList Sql(const QString& relative, const QStringList& statements) const {
        return SqliteRows(Path(relative), statements);
    }

    // A group of the Access type on "..\Project\P\dat\<file>", every tag undefined.
    SaveGroupRecord& AccessGroup(int index, const QString& file, const QString& table) {
        SaveGroupRecord& g = State().Group(index);
        xSvcSettings& s = g.S();
        s.SaveGroupName = g.R().ModuleName = QStringLiteral("G%1").arg(index);
        s.dbDBTypeName = QStringLiteral("ACCESS");
        s.dbProvider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
        s.dbPersistSecurityInfo = QStringLiteral("False");
        s.dbFullPath = s.dbFilePath = QStringLiteral("..\\Project\\P\\dat\\") + file;
        s.dbTableName = table;
        for (xTag* t : {&s.dbSEnableTag, &s.dbSNumRecordsSavedTag, &s.dbSDirTag, &s.dbSFileNameTag,
                        &s.dbSCSVDirTag, &s.dbSCSVFileNameTag})
            t->ID = -1;
        s.dbSCSVDelimiterCharacter = QStringLiteral(",");
        s.dbSCSVNewlineCharacter = QStringLiteral("\r\n");
        s.dbSCSVKeepConnectionAliveAfterSaveData = 1;
        return g;
    }
    xField& AddField(SaveGroupRecord& g, const QString& name, const QString& tagName, const QString& type) {
        xField& f = g.F(++g.FieldCount);
        f.FieldName = name;
        f.TagName = tagName;
        f.TagType = type;
        f.DecimalPlaces = f.TagMessageLength = -1;
        if (tagName == QLatin1String("^DATETIME")) g.S().dbSPurgeFieldName = name;
        return f;
    }
    int CountLog(const QString& text) const {
        return static_cast<int>(
            std::count_if(log.begin(), log.end(), [&](const QString& l) { return l.contains(text); }));
    }
    static double At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
        return *DateUtil::FromFields({y, mo, d, h, mi, s, 0, 0});
    }
};
