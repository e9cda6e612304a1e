// Command1_Click on scripted machines: what it shows in each world of click_worlds.txt, its
// whole conversation in the first (click_log.txt), and a failure injected at each operation,
// which must end the click at once with that failure's report and every object released.
#include "support.h"

using namespace testing_support;

const std::string kInjected =
    "Corvane|16|运行时错误 -2147217407 (0x80041001)：\\r\\n\\r\\n"
    "scripted failure\\r\\n\\r\\n程序将关闭。 closed 1";

TEST(Command1Click, DoesWhatEachWorldAsksAndStopsCleanlyAtAnyFailure) {
    const auto worlds = lines_of(TAVRIN_UNIT_DATA "/click_worlds.txt");
    for (const std::string& line : worlds) {
        SCOPED_TRACE(line);
        const std::size_t arrow = line.find("=>");
        ScriptedMachine world;
        world.disks = line.substr(0, arrow);
        EXPECT_EQ(world.click(), line.substr(line.find_first_not_of(' ', arrow + 2)));
        if (&line == &worlds.front()) {
            EXPECT_EQ(world.log, lines_of(TAVRIN_UNIT_DATA "/click_log.txt"));
        }
        for (int at = 0; at < world.operations; ++at) {
            ScriptedMachine machine;
            machine.disks = world.disks;
            machine.fail_at = at;
            EXPECT_EQ(machine.click(), kInjected) << at;
            EXPECT_EQ(machine.operations, at + 1) << "the click went on after failing " << at;
            EXPECT_EQ(machine.live_objects, 0) << "after failing operation " << at;
        }
    }
}

TEST(Form, RefusesValuesOfAnotherKindAndUnknownControls) {
    ScriptedMachine form;
    EXPECT_EQ(error_of([] { (void)Value(std::int64_t{1}).text(); }), -2147352571);
    EXPECT_EQ(error_of([] { (void)Value(u"E:").object(); }), -2147352571);
    EXPECT_EQ(error_of([&] { form.set_text(u"Text9", u"x"); }), -2147024809);
}
