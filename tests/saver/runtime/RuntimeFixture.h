// A fresh saver state with the fake tag manager and the recording window installed and the queue
// opened.
#pragma once
#include "common/ProgramState.h"
#include "platform/ado/Task.h"
#include "saver/SaverState.h"
#include "saver/runtime/LedgrixMain.h"
#include "saver/runtime/TagAccess.h"
#include "saver/runtime/TagDataPoolUtil.h"
#include "saver/runtime/xTagQueueUtil.h"
#include "tests/saver/runtime/FakeTagManager.h"
#include "tests/saver/runtime/RecordingSaverWindow.h"
#include "tests/support/TestSupport.h"

class RuntimeFixture : public ProgramFixture {
  protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        ResetSaverState();
        ResetTagDataBank();
        LedgrixMain::ResetStartup();
        FakeTags::Install();
        SetSaverWindow(&window);
        InitxTagQueue();
    }
    void TearDown() override {
        ado::ForgetWaitingWork();  // work a test left waiting never resumes on a later test's state
        SetSaverWindow(nullptr);
        ClosexTagQueueMutex();
        TagAccess::ResetTagLibrary();
        ResetState();  // closes what a test left open while the program is still there
        ProgramFixture::TearDown();
    }

    // A save group with a name and run state.
    SaveGroupRecord& AddGroup(const QString& name) {
        ProgramState& st = State();
        ++st.SaveGroupCount;
        SaveGroupRecord& g = st.Group(st.SaveGroupCount);
        g.S().SaveGroupName = name;
        g.R().ModuleName = name;
        g.R().LastdbSTriggerTagValue = -9999.99;
        g.R().LastdbSPurgeTagValue = -9999.99;
        return g;
    }
    // A role tag that the fake tag manager defines.
    static void DefineTag(xTag& tag, const QString& name, double value = 0) {
        tag.Name = name;
        tag.ID = static_cast<int16_t>(FakeTags::Has(name) ? FakeTags::Get(name).handle
                                                          : FakeTags::Add(name, value));
    }
    bool LogHas(const QString& part) const {
        for (const QString& l : log)
            if (l.contains(part)) return true;
        return false;
    }

    RecordingSaverWindow window;
};
