// The saver program.
#include <QApplication>
#include <functional>

#include "saver/runtime/LedgrixMain.h"

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
        LedgrixMain::RunGuarded(std::ref(deliver));
        return handled;
    }
};

}  // namespace

int main(int argc, char** argv) {
    SaverApplication app(argc, argv);
    return LedgrixMain::Main();
}
