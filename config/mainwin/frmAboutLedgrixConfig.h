// The configuration program's About box: the program's name, version and legal notice. Unlike
// the other forms it is unloaded by OK, so every showing loads it again.
#pragma once
#include <QDialog>

#include "ui_frmAboutLedgrixConfig.h"

class frmAboutLedgrixConfig : public QDialog, public Ui::frmAboutLedgrixConfig {
    Q_OBJECT
  public:
    explicit frmAboutLedgrixConfig(QWidget* parent = nullptr);
    // Loads a new box, shows it modally and returns when it is closed.
    static void ShowModal(QWidget* parent = nullptr);

    // Fills the box in the current language.
    void Form_Load();
    void cmdOK_Click();
};
