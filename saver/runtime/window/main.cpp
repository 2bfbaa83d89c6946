// The saver program: its application, its window and message boxes, and the runtime's entry.
#include <QApplication>
#include <functional>

#include "common/CommandLineUtil.h"
#include "platform/msgbox/QtMessageService.h"
#include "saver/runtime/LedgrixMain.h"
#include "saver/runtime/window/QtSaverWindow.h"

namespace {

// Every window event, timer tick and socket notification runs guarded: a failure that escapes
// its handler ends the saver through the orderly exit instead of aborting the process.
class SaverApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        bool handled = false;
        auto deliver = [&] { handled = QApplication::notify(receiver, event); };
        // By reference: the step is not copied to the heap for every event.
        LedgrixMain::WithOrderlyExit(std::ref(deliver));
        return handled;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (CommandLineUtil::AsksForUsage(argc, argv))
        return CommandLineUtil::PrintUsage(CommandLineUtil::ProgramHelpText());
    SaverApplication app(argc, argv);
    InstallQtMessageService();
    static QtSaverWindow window;
    return LedgrixMain::Main(window);
}
