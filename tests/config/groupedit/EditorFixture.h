// The test project P (workstation W: flow, an Access group in the data folder; lines, a CSV
// group with dispersed files) open in the configuration core, nothing modified, no box shown.
#pragma once
#include "config/core/OpenProject.h"
#include "tests/config/core/ConfigFixture.h"

class EditorFixture : public ConfigFixture {
  protected:
    void SetUp() override {
        ConfigFixture::SetUp();
        CopyData();
        State().WorkstationName = QStringLiteral("W");
        ASSERT_TRUE(ProjectUtil::OpenProject(QStringLiteral("P"), false));
        Config().IsModified = 0;
        boxes.boxes.clear();
    }
};
