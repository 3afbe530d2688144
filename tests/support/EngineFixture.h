#pragma once
// A test with an engine on a scripted progress port and documents in a temporary folder.
#include <gtest/gtest.h>

#include <memory>

#include "dsp/Engine.h"
#include "support/ScriptedProgress.h"
#include "support/TestFiles.h"
#include "text/StepCaptions.h"

namespace sv::test {

struct EngineFixture : ::testing::Test {
    TempDir dir;
    ProgressScript script;
    WaveEnvironment env = MakeEnv(dir.path());
    std::unique_ptr<Engine> engine;

    void SetUp() override {
        env.Ports.progress = ScriptedProgressFactory(script);
        engine = std::make_unique<Engine>(env.Ports, EngineOptions{.Caption = StepCaption});
    }
};

}  // namespace sv::test
