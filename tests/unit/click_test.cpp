// Command1_Click against scripted machines: the exact conversation with the platform, the
// exact report, the notice or the error for each world of click_worlds.txt, and a failure
// injected at every operation, which must end the click at once with nothing shown and
// nothing left alive.
#include <gtest/gtest.h>

#include "drive_report/drive_report.h"
#include "resources/strings.h"
#include "support.h"

namespace {

using testing_support::ScriptedMachine;

const std::string kData = TAVRIN_UNIT_DATA;

std::u16string unescape(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 4, "\\r\\n") == 0) {
            out += u"\r\n";
            i += 3;
        } else {
            out += static_cast<char16_t>(text[i]);
        }
    }
    return out;
}

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

// Clicks once; the error number raised, if one was.
std::optional<std::int32_t> click(ScriptedMachine& machine) {
    try {
        drive_report::Command1_Click(machine, machine);
        return std::nullopt;
    } catch (const platform::Error& error) {
        return error.number();
    }
}

TEST(Command1Click, TalksToThePlatformInOrderAndReleasesEachObjectAtOnce) {
    ScriptedMachine machine;
    machine.disks = testing_support::disks_from("E:yes:-1056969216 F:no:7");
    EXPECT_EQ(click(machine), std::nullopt);
    EXPECT_EQ(machine.log, testing_support::lines_of(kData + "/click_log.txt"));
}

TEST(Command1Click, DoesWhatEachWorldAsksAndStopsCleanlyAtAnyFailure) {
    const std::u16string notice = std::u16string(strings::kNoDrivePrompt) + u"|" +
                                  std::u16string(strings::kNoDriveTitle) + u"|64";
    for (const std::string& line : testing_support::lines_of(kData + "/click_worlds.txt")) {
        SCOPED_TRACE(line);
        const std::size_t arrow = line.find("=>");
        const std::string expected = line.substr(line.find_first_not_of(' ', arrow + 2));
        ScriptedMachine world;
        world.disks = testing_support::disks_from(line.substr(0, arrow));
        const std::optional<std::int32_t> error = click(world);
        if (expected.starts_with("error ")) {
            EXPECT_EQ(error,
                      static_cast<std::int32_t>(std::stoul(expected.substr(6), nullptr, 16)));
        } else {
            EXPECT_EQ(error, std::nullopt);
        }
        const bool report = expected != "notice" && !expected.starts_with("error ");
        EXPECT_EQ(world.text1, report ? std::optional(unescape(expected)) : std::nullopt);
        EXPECT_EQ(world.notices,
                  expected == "notice" ? std::vector{notice} : std::vector<std::u16string>{});
        EXPECT_EQ(world.live_objects, 0);

        for (int at = 0; at < world.operations; ++at) {
            ScriptedMachine machine;
            machine.disks = world.disks;
            machine.fail_at = at;
            EXPECT_EQ(click(machine), ScriptedMachine::kFailure) << "failing operation " << at;
            const std::vector<std::string> planned = operations_of(world.log);
            EXPECT_EQ(operations_of(machine.log),
                      std::vector(planned.begin(), planned.begin() + at + 1))
                << "the click went on after operation " << at;
            EXPECT_FALSE(machine.text1.has_value());
            EXPECT_TRUE(machine.notices.empty());
            EXPECT_EQ(machine.live_objects, 0) << "after failing operation " << at;
        }
    }
}

TEST(Command1Click, AsksAfreshOnEveryClickAndReplacesOrKeepsTheText) {
    ScriptedMachine machine;
    machine.disks = testing_support::disks_from("E:yes:1 F:yes:2");
    click(machine);
    EXPECT_EQ(machine.text1, u"E:1\r\nF:2");
    machine.disks.erase(machine.disks.begin());
    click(machine);
    EXPECT_EQ(machine.text1, u"F:2");
    machine.disks.clear();
    click(machine);
    EXPECT_EQ(machine.text1, u"F:2");
    EXPECT_EQ(machine.notices.size(), 1u);
    EXPECT_EQ(
        std::count_if(machine.log.begin(), machine.log.end(),
                      [](const std::string& entry) { return entry.starts_with("GetObject("); }),
        3);
}

}  // namespace
