// A fresh saver state and no main window; the tag-manager library file in the program folder,
// a private caption registry, and the Qt window as the runtime's window.
#pragma once
#include "common/ProgramState.h"
#include "saver/SaverState.h"
#include "saver/runtime/window/QtSaverWindow.h"
#include "saver/runtime/window/frmMain.h"
#include "tests/saver/window/RuntimeFakes.h"
#include "tests/support/TestSupport.h"

class WindowFixture : public ProgramFixture {
  protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        ResetSaverState();
        DestroyMainForm();
        Fakes::Reset();
        WriteFile(QStringLiteral("bin/PTSERV32.dll"), QByteArray("lib"));
        SetSaverWindow(&window);
    }
    void TearDown() override {
        SetSaverWindow(nullptr);
        DestroyMainForm();
        ProgramFixture::TearDown();
    }

    QtSaverWindow window;
};
