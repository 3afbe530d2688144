#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "history/DocumentCopy.h"
#include "history/EditHistory.h"
#include "support/EngineFixture.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

struct EditHistoryTest : test::EngineFixture {
    std::unique_ptr<Wave> Make(std::int32_t scale) {
        return test::MakeDocument(env, 2, 44100, 40000, [scale](std::int64_t f, int c) {
            return test::Noise16(f, c) * scale;
        });
    }
};

// Three commands as the window runs them: two replace the document (the replaced one is kept
// through a copy taken first), one deletes a block in place. Then every walk of six undos and
// redos must show each state's exact store values, names and saved mark.
TEST_F(EditHistoryTest, EveryWalkOfUndoAndRedoGivesBackEachStepExactly) {
    struct Command {
        std::string name;
        std::function<void(std::unique_ptr<Wave>&)> run;
    };
    const std::vector<Command> commands = {
        {"Normalize", [&](auto& wave) { engine->Normalize(wave, -6, false); }},
        {"Delete block", [](auto& wave) { DeleteBlock(*wave, 1000, 21000); }},
        {"Fit peaks", [&](auto& wave) { engine->FitPeaks(wave, 5, 4096); }},
    };
    EditHistory history(dir.path());
    auto current = Make(100);
    std::vector<std::vector<std::int32_t>> states = {test::StoreValues(*current)};
    for (const Command& command : commands) {
        auto previous = CopyDocument(*current);
        command.run(current);
        EXPECT_EQ(history.Record(command.name, std::move(previous)).Total(), 0);
        states.push_back(test::StoreValues(*current));
        ASSERT_NE(states.back(), states[states.size() - 2]) << command.name;
        if (states.size() == 2) history.MarkSaved();  // saved after the first command
    }
    const int last = static_cast<int>(commands.size());
    constexpr int Moves = 6;
    for (int walk = 0; walk < (1 << Moves); ++walk) {
        int at = last;
        std::string trace;
        for (int m = 0; m < Moves; ++m) {
            const bool undo = (walk >> m) & 1;
            if (undo ? at == 0 : at == last) continue;
            trace += undo ? 'U' : 'R';
            current = undo ? history.Undo(std::move(current)) : history.Redo(std::move(current));
            at += undo ? -1 : 1;
            ASSERT_EQ(test::StoreValues(*current), states[at]) << trace;
            EXPECT_EQ(history.UndoName(), at > 0 ? commands[at - 1].name : "") << trace;
            EXPECT_EQ(history.RedoName(), at < last ? commands[at].name : "") << trace;
            EXPECT_EQ(history.AtSavedState(), at == 1) << trace;
            EXPECT_EQ(history.CanUndo(), at > 0);
            EXPECT_EQ(history.CanRedo(), at < last);
        }
        while (history.CanRedo()) current = history.Redo(std::move(current));
    }
    // Kept steps and the current document each have one swap file; nothing else is left.
    EXPECT_EQ(dir.CountFiles(".swap"), last + 1);
}

// The step limit and the free space drop the oldest step first and say so; an edit after an
// undo clears the redo side and with it a saved mark there.
TEST_F(EditHistoryTest, BoundsDropTheOldestStepAndAnEditAfterUndoStartsABranch) {
    const std::uint64_t unit = StoreBytes(2, 40000);
    std::uint64_t capacityFiles = 100;
    EditHistory history(dir.path(), [&](const std::filesystem::path& folder) {
        EXPECT_EQ(folder, dir.path());
        const auto files = static_cast<std::uint64_t>(dir.CountFiles(".swap"));
        return files < capacityFiles ? (capacityFiles - files) * unit : 0;
    });
    auto current = Make(1);
    auto record = [&](const std::string& name, std::int32_t scale) {
        auto previous = std::move(current);
        current = Make(scale);
        return history.Record(name, std::move(previous));
    };
    history.SetStepLimit(2);
    EXPECT_EQ(record("a", 2).Total(), 0);
    EXPECT_EQ(record("b", 3).Total(), 0);
    EXPECT_EQ(record("c", 4).ByStepLimit, 1);  // "a" goes
    EXPECT_EQ(history.UndoCount(), 2);
    EXPECT_EQ(test::StoreValues(*history.Earlier(2)), test::StoreValues(*Make(2)));
    EXPECT_EQ(history.SetStepLimit(1).ByStepLimit, 1);
    EXPECT_EQ(history.UndoName(), "c");

    history.SetStepLimit(10);
    capacityFiles = 4;  // room for the current document, two steps and one more document
    EXPECT_EQ(record("d", 5).Total(), 0);
    EXPECT_EQ(record("e", 6).ByDiskSpace, 1);  // "c" goes
    EXPECT_EQ(history.UndoCount(), 2);
    EXPECT_EQ(history.UndoName(), "e");
    EXPECT_EQ(dir.CountFiles(".swap"), 3);

    capacityFiles = 100;
    current = history.Undo(std::move(current));
    history.MarkSaved();
    current = history.Undo(std::move(current));
    EXPECT_EQ(record("f", 7).Total(), 0);
    EXPECT_FALSE(history.AtSavedState());  // the new state took the saved one's place
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.UndoName(), "f");
    current = history.Undo(std::move(current));
    EXPECT_FALSE(history.AtSavedState());
    EXPECT_EQ(test::StoreValues(*current), test::StoreValues(*Make(4)));
    // Copies are exact and independent of their source.
    current->Metadata().NoteProcessing("block delete");
    auto copy = CopyDocument(*current);
    DeleteBlock(*current, 0, 100);
    EXPECT_EQ(test::StoreValues(*copy), test::StoreValues(*Make(4)));
    EXPECT_EQ(copy->Metadata().Processing, std::vector<std::string>{"block delete"});
}

}  // namespace
}  // namespace sv
