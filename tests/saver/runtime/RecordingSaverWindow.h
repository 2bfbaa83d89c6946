// The saver's window for the runtime's tests: records every call, holds the tag view's rows.
#pragma once
#include "saver/runtime/SaverWindow.h"

class RecordingSaverWindow : public SaverWindow {
  public:
    bool exists = true;
    // "ShowMain:hidden|shown", "Now:<text>", "NextSaveTime:<text>", "RecordCount:<text>",
    // "TargetPath:<path>", "LogFilePath:<text>", "SettingsText:<text>", "LinkPicture:online|offline",
    // "LinkStatus:<text>", "TagValue:<row>=<text>", "Log:<line>", "Log(held):<line>", "ShowHeldLog",
    // "StartTimer:<ms>", "StopTimer"
    QStringList calls;
    QStringList tagViewTags;  // the references of the tag view's rows
    bool closeNoted = false;  // a close of the main window that came during a wait

    // The text of the last call of a kind ("LinkStatus"), or a null text when there was none.
    QString Last(const QString& kind) const {
        const QString head = kind + u':';
        for (qsizetype i = calls.size() - 1; i >= 0; --i)
            if (calls[i].startsWith(head)) return calls[i].mid(head.size());
        return QString();
    }

    bool Exists() const override { return exists; }
    void ShowMain(bool hidden) override { Add(QStringLiteral("ShowMain"), hidden ? "hidden" : "shown"); }
    void ShowNow(const QString& text) override { Add(QStringLiteral("Now"), text); }
    void ShowNextSaveTime(const QString& text) override { Add(QStringLiteral("NextSaveTime"), text); }
    void ShowRecordCount(const QString& text) override { Add(QStringLiteral("RecordCount"), text); }
    void ShowTargetPath(const QString& path) override { Add(QStringLiteral("TargetPath"), path); }
    void ShowLogFilePath(const QString& text) override { Add(QStringLiteral("LogFilePath"), text); }
    void ShowSettingsText(const QString& text) override { Add(QStringLiteral("SettingsText"), text); }
    void ShowLinkPicture(bool online) override {
        Add(QStringLiteral("LinkPicture"), online ? "online" : "offline");
    }
    void ShowLinkStatus(const QString& text) override { Add(QStringLiteral("LinkStatus"), text); }
    QStringList TagViewTags() const override { return tagViewTags; }
    void ShowTagValue(int row, const QString& text) override {
        Add(QStringLiteral("TagValue"), QString::number(row) + u'=' + text);
    }
    void AddLogLine(const QString& line, bool held) override {
        Add(held ? QStringLiteral("Log(held)") : QStringLiteral("Log"), line);
    }
    void ShowHeldLogLines() override { calls << QStringLiteral("ShowHeldLog"); }
    void StartTimer(int intervalMs) override {
        Add(QStringLiteral("StartTimer"), QString::number(intervalMs));
    }
    void StopTimer() override { calls << QStringLiteral("StopTimer"); }
    int32_t ClientHandle() override { return 7; }
    bool IsCloseNoted() const override { return closeNoted; }

  private:
    void Add(const QString& kind, const QString& text) { calls << kind + u':' + text; }
};
