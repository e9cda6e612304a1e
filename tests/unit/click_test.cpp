// Command1_Click against scripted machines: what it says, shows or raises in each world of
// click_worlds.txt, and a failure injected at each of its operations, which must end it at once.
#include <gtest/gtest.h>

#include "support.h"

using testing_support::ScriptedMachine;

TEST(Command1Click, DoesWhatEachWorldAsksAndStopsCleanlyAtAnyFailure) {
    const auto worlds = testing_support::lines_of(TAVRIN_UNIT_DATA "/click_worlds.txt");
    for (const std::string& line : worlds) {
        SCOPED_TRACE(line);
        const std::size_t arrow = line.find("=>");
        ScriptedMachine world;
        world.disks = testing_support::disks_from(line.substr(0, arrow));
        EXPECT_EQ(world.click(), line.substr(line.find_first_not_of(' ', arrow + 2)));
        EXPECT_EQ(world.live_objects, 0);
        if (&line == &worlds.front()) {
            EXPECT_EQ(world.log, testing_support::lines_of(TAVRIN_UNIT_DATA "/click_log.txt"));
        }
        // Failing at each operation in turn: it is the click's last, and nothing shows.
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
