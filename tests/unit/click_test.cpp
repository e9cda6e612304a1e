// Command1_Click against scripted machines: its exact conversation with the platform, what it
// shows or raises in each world of click_worlds.txt, and a failure injected at every one of
// its operations, which must end the click at once with nothing shown and nothing left alive.
#include <gtest/gtest.h>

#include "support.h"

namespace {

using testing_support::ScriptedMachine;

// The operations of a log, without the releases and the objects they returned.
std::vector<std::string> operations_of(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const std::string& entry : log) {
        if (entry[0] != '~') {
            out.push_back(entry.substr(0, entry.find(" -> ")));
        }
    }
    return out;
}

TEST(Command1Click, TalksToThePlatformInOrderAndReleasesEachObjectAtOnce) {
    ScriptedMachine machine;
    machine.disks = testing_support::disks_from("E:yes:-1056969216 F:no:7");
    EXPECT_EQ(click(machine), "E:-1056969216");
    EXPECT_EQ(machine.log, testing_support::lines_of(TAVRIN_UNIT_DATA "/click_log.txt"));
}

TEST(Command1Click, DoesWhatEachWorldAsksAndStopsCleanlyAtAnyFailure) {
    for (const std::string& line :
         testing_support::lines_of(TAVRIN_UNIT_DATA "/click_worlds.txt")) {
        SCOPED_TRACE(line);
        const std::size_t arrow = line.find("=>");
        ScriptedMachine world;
        world.disks = testing_support::disks_from(line.substr(0, arrow));
        EXPECT_EQ(click(world), line.substr(line.find_first_not_of(' ', arrow + 2)));
        EXPECT_EQ(world.live_objects, 0);

        const std::vector<std::string> planned = operations_of(world.log);
        for (int at = 0; at < world.operations; ++at) {
            ScriptedMachine machine;
            machine.disks = world.disks;
            machine.fail_at = at;
            EXPECT_EQ(click(machine), "error " + std::to_string(ScriptedMachine::kFailure)) << at;
            EXPECT_EQ(operations_of(machine.log),
                      std::vector(planned.begin(), planned.begin() + at + 1))
                << "the click went on after failing operation " << at;
            EXPECT_EQ(machine.live_objects, 0) << "after failing operation " << at;
        }
    }
}

TEST(Command1Click, AsksAfreshOnEveryClickAndReplacesOrKeepsTheText) {
    ScriptedMachine machine;
    machine.disks = testing_support::disks_from("E:yes:1 F:yes:2");
    EXPECT_EQ(click(machine), "E:1\\r\\nF:2");
    machine.disks.erase(machine.disks.begin());
    EXPECT_EQ(click(machine), "E:1\\r\\nF:2 F:2");
    machine.disks.clear();
    EXPECT_EQ(click(machine), "E:1\\r\\nF:2 F:2 notice");
    EXPECT_EQ(
        std::count_if(machine.log.begin(), machine.log.end(),
                      [](const std::string& entry) { return entry.starts_with("GetObject("); }),
        3);
}

}  // namespace
