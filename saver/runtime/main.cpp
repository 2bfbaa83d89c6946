// The saver program.
#include <QApplication>

#include "saver/runtime/LedgrixMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return LedgrixMain::Main();
}
