#include "config/core/ConfigWindows.h"

namespace {

// Shows nothing; every picker and dialog is cancelled.
class NoWindows : public ConfigWindows {
  public:
    std::optional<QString> PickProject() override { return std::nullopt; }
    std::optional<QString> PickWorkstation(const QString&) override { return std::nullopt; }
    void ShowMain() override {}
    void RefreshTree() override {}
    void SetStatusPanel(const QString&, const QString&) override {}
    std::optional<QString> OpenFile(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
};

NoWindows g_noWindows;
ConfigWindows* g_windows = nullptr;

std::optional<QString> Next(std::deque<std::optional<QString>>& queue) {
    if (queue.empty() || !queue.front()) {
        if (!queue.empty()) queue.pop_front();
        return std::nullopt;
    }
    const QString answer = *queue.front();
    queue.pop_front();
    return answer;
}

}  // namespace

void SetConfigWindows(ConfigWindows* windows) {
    g_windows = windows;
}

ConfigWindows& Windows() {
    return g_windows ? *g_windows : g_noWindows;
}

std::optional<QString> RecordingConfigWindows::PickProject() {
    calls << QStringLiteral("PickProject");
    return Next(projects);
}

std::optional<QString> RecordingConfigWindows::PickWorkstation(const QString& project) {
    calls << QStringLiteral("PickWorkstation:") + project;
    return Next(workstations);
}

void RecordingConfigWindows::ShowMain() {
    calls << QStringLiteral("ShowMain");
}

void RecordingConfigWindows::RefreshTree() {
    calls << QStringLiteral("RefreshTree");
}

void RecordingConfigWindows::SetStatusPanel(const QString& key, const QString& text) {
    calls << QStringLiteral("Status:") + key + u'=' + text;
}

std::optional<QString> RecordingConfigWindows::OpenFile(const QString& initialFolder,
                                                        const QString& description, const QString& pattern) {
    calls << QStringLiteral("OpenFile:") + initialFolder + u'|' + description + u'|' + pattern;
    return Next(files);
}
