// A fresh saver state and no main window; the tag-manager library file in the program folder
// and a private caption registry.
#pragma once
#include "common/ProgramState.h"
#include "saver/SaverState.h"
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
    }
    void TearDown() override {
        DestroyMainForm();
        ProgramFixture::TearDown();
    }
};
