// The configuration program's windows behind the core's window service: the project and
// workstation pickers (which cancel in headless runs), the main window frmConfigMain and a
// non-native file dialog.
#pragma once
#include <QString>

#include "config/core/ConfigWindows.h"

class QComboBox;

class QtConfigWindows : public ConfigWindows {
  public:
    QtConfigWindows();
    ~QtConfigWindows() override;

    std::optional<QString> PickProject() override;
    std::optional<QString> PickWorkstation(const QString& project) override;
    void ShowMain() override;
    void RefreshTree() override;
    void SetStatusPanel(const QString& key, const QString& text) override;
    std::optional<QString> OpenFile(const QString& initialFolder, const QString& description,
                                    const QString& pattern) override;

    // Closes the main window as its close button does (the orderly exit); without a main window
    // the orderly exit runs at once.
    void CloseMain();
};

// A combo box as the tag list's target.
class ComboTagListBox : public TagListBox {
  public:
    explicit ComboTagListBox(QComboBox* box) : box_(box) {}
    void Clear() override;
    void AddItem(const QString& text) override;
    int Count() const override;
    void SetCurrentIndex(int index) override;

  private:
    QComboBox* box_;
};
