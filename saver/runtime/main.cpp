// The saver program.
#include <QApplication>

#include "saver/runtime/LedgrixMain.h"

namespace {

// Every window event, timer tick and socket notification runs guarded: a failure that escapes
// its handler ends the saver through the orderly exit instead of aborting the process.
class SaverApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        bool handled = false;
        LedgrixMain::RunGuarded([&] { handled = QApplication::notify(receiver, event); });
        return handled;
    }
};

}  // namespace

int main(int argc, char** argv) {
    SaverApplication app(argc, argv);
    return LedgrixMain::Main();
}
