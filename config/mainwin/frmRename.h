// The name dialogs of a rename: frmRename for a save group and frmRenameField for a data field.
// Both have one layout; the caller sets their captions, the old name and, for a group, the text
// to start from. OK refuses a blank name and a name that cannot name a group or field, with
// messages built from the form's caption (C) and the new name's label (N); the caller reads the
// trimmed new name from txtNewName.
#pragma once
#include "config/forms/FormSupport.h"
#include "ui_frmRename.h"

class frmRename : public ConfigDialog, public Ui::frmRename {
    Q_OBJECT
  public:
    explicit frmRename(QWidget* parent = nullptr);

    // Empties the result and shows the dialog modally; returns when it is hidden.
    void LoadFormObj();
    bool CheckFormObj() override;
    void SaveFormObj() override {}

  protected:
    // The third Chinese line of the messages ("請重新輸入!" for a group).
    virtual QString RetryLine() const;
    // The new name as typed, trimmed.
    QString NewName() const;
    // Shows the three lines of a refused name, titled after the form's caption, and keeps the
    // focus in the name box.
    void Refuse(const QString& why);
    // Form_Activate: the focus goes to the new name, its whole text selected.
    void showEvent(QShowEvent* event) override;
};

class frmRenameField : public frmRename {
    Q_OBJECT
  public:
    explicit frmRenameField(QWidget* parent = nullptr);

    // Keeps the group and its index, starts from the old field name and shows the dialog
    // modally. The caller has set the captions and lblOldName.
    void LoadFormObj(const QString& groupName, int16_t groupIndex, const QString& oldFieldName);
    // The old name again closes the dialog without a result; otherwise the checks run.
    void cmdOK_Click() override;
    // Also refuses a name that another field of the group has (exact comparison).
    bool CheckFormObj() override;

  protected:
    QString RetryLine() const override;

  private:
    QString groupName_;
    int16_t groupIndex_ = -1;
};
