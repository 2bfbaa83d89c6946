// The saver's About box.
#pragma once
#include <QDialog>
#include <QLabel>
#include <QPushButton>

class frmAbout : public QDialog {
    Q_OBJECT
  public:
    frmAbout(QWidget* parent = nullptr);
    // English captions when the language index is 0.
    void SetLanguage();
    void cmdOK_Click();

    QLabel* picIcon = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblRights = nullptr;
    QPushButton* cmdOK = nullptr;
};
