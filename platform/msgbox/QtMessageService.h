// Message boxes of the running programs: a QMessageBox per box, or, when the environment
// variable LEDGRIX_MSGBOX is "stderr" (headless runs), one line per box on standard error
// "MSGBOX|<style>|<title>|<text>" with the line ends of the text written as \n. Headless boxes
// take their answers from LEDGRIX_MSGBOX_ANSWERS ("ok" or "cancel", one per box in order), else
// OK; with LEDGRIX_MSGBOX "window" each box is a real window that its answer closes.
#pragma once
#include <QString>

#include "common/ProgramHooks.h"

class QtMessageService : public MessageService {
  public:
    int Show(const QString& text, int style, const QString& title) override;

    // The one line written for a box in the headless mode (without the line end).
    static QString StderrLine(const QString& text, int style, const QString& title);
    static bool UseStderr();
};

// Installs one program-wide QtMessageService as the message service.
void InstallQtMessageService();
