// Command1_Click against scripted machines: its exact conversation with the platform, what it
// shows or raises in each world of click_worlds.txt, and a failure injected at every one of
// its operations, which must end the click at once with nothing shown and nothing left alive.
#include <gtest/gtest.h>

#include "support.h"

namespace {

using testing_support::ScriptedMachine;

TEST(Command1Click, TalksToThePlatformInOrderAndReleasesEachObjectAtOnce) {
    ScriptedMachine machine;
    machine.disks = testing_support::disks_from("E:yes:-1056969216 F:no:7");
    EXPECT_EQ(machine.click(), "E:-1056969216");
    EXPECT_EQ(machine.log, testing_support::lines_of(TAVRIN_UNIT_DATA "/click_log.txt"));
}

TEST(Command1Click, DoesWhatEachWorldAsksAndStopsCleanlyAtAnyFailure) {
    for (const std::string& line :
         testing_support::lines_of(TAVRIN_UNIT_DATA "/click_worlds.txt")) {
        SCOPED_TRACE(line);
        const std::size_t arrow = line.find("=>");
        ScriptedMachine world;
        world.disks = testing_support::disks_from(line.substr(0, arrow));
        EXPECT_EQ(world.click(), line.substr(line.find_first_not_of(' ', arrow + 2)));
        EXPECT_EQ(world.live_objects, 0);
        // The same world again, failing at each operation in turn: the failing operation is
        // the click's last, and it shows nothing.
        for (int at = 0; at < world.operations; ++at) {
            ScriptedMachine machine;
            machine.disks = world.disks;
            machine.fail_at = at;
            EXPECT_EQ(machine.click(), "error " + std::to_string(ScriptedMachine::kFailure)) << at;
            EXPECT_EQ(machine.operations, at + 1) << "the click went on after failing " << at;
            EXPECT_EQ(machine.live_objects, 0) << "after failing operation " << at;
        }
    }
}

}  // namespace
