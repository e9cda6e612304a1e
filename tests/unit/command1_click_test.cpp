#include <gtest/gtest.h>

#include "drive_report/drive_report.h"
#include "scripted_automation.h"
#include "shell/form1.h"

namespace {

using testing_support::Disk;
using testing_support::ScriptedMachine;

// The operations of a log without releases and without the objects they returned.
std::vector<std::string> operations_only(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const std::string& entry : log) {
        if (entry.front() != '~') {
            out.push_back(entry.substr(0, entry.find(" -> ")));
        }
    }
    return out;
}

class Command1ClickTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(ScriptedMachine::live_objects, 0); }
    ScriptedMachine machine;
};

// The whole conversation with the platform for one ready drive, releases included: a fresh
// file-system object and drive for each look-up, readiness before the serial number, and
// every object of a disk gone before the next disk is fetched.
TEST_F(Command1ClickTest, MakesThePlatformCallsInOrderAndReleasesEachObjectAtOnce) {
    machine.disks = {{u"E:", true, -1056969216}, {u"F:", false, 7}};
    drive_report::Command1_Click(machine, machine);

    const std::vector<std::string> expected = {
        "GetObject(winmgmts:\\\\.\\root\\cimv2) -> #1",
        "#1.ExecQuery(Select * from Win32_LogicalDisk Where DriveType = 2) -> #2",
        "#2.Enumerate",
        "#2.Next -> #3",
        "#3.DeviceID()",
        "CreateObject(Scripting.FileSystemObject) -> #4",
        "#4.GetDrive(E:) -> #5",
        "~#4",
        "#5.IsReady()",
        "~#5",
        "CreateObject(Scripting.FileSystemObject) -> #6",
        "#6.GetDrive(E:) -> #7",
        "~#6",
        "#7.SerialNumber()",
        "~#7",
        "~#3",
        "#2.Next -> #8",
        "#8.DeviceID()",
        "CreateObject(Scripting.FileSystemObject) -> #9",
        "#9.GetDrive(F:) -> #10",
        "~#9",
        "#10.IsReady()",
        "~#10",
        "~#8",
        "#2.Next",
        "SetText(102)",
        "~#2",
        "~#1",
    };
    EXPECT_EQ(machine.log, expected);
}

struct ReportCase {
    const char* name;
    std::vector<Disk> disks;
    const char16_t* report;
};

TEST_F(Command1ClickTest, BuildsTheReportByteForByte) {
    const ReportCase cases[] = {
        {"one drive, no line break after it", {{u"E:", true, -1056969216}}, u"E:-1056969216"},
        {"several, in the order yielded",
         {{u"G:", true, 305441741}, {u"E:", true, -1}, {u"F:", true, 1}},
         u"G:305441741\r\nE:-1\r\nF:1"},
        {"a drive that is not ready leaves no empty line",
         {{u"E:", true, 1}, {u"F:", false, 2}, {u"G:", true, 3}},
         u"E:1\r\nG:3"},
        {"not ready first", {{u"D:", false, 9}, {u"E:", true, 5}}, u"E:5"},
        {"zero is the digit 0", {{u"E:", true, 0}}, u"E:0"},
        {"the 32-bit extremes",
         {{u"E:", true, INT32_MIN}, {u"F:", true, INT32_MAX}},
         u"E:-2147483648\r\nF:2147483647"},
        {"duplicates are kept", {{u"E:", true, 5}, {u"E:", true, 5}}, u"E:5\r\nE:5"},
    };
    for (const ReportCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedMachine machine;
        machine.disks = c.disks;
        drive_report::Command1_Click(machine, machine);
        ASSERT_TRUE(machine.text1.has_value());
        EXPECT_EQ(*machine.text1, std::u16string(c.report));
        EXPECT_EQ(machine.notices, 0);
    }
}

TEST_F(Command1ClickTest, AsksForADriveAndLeavesTheTextAloneWhenNoneIsReady) {
    const std::vector<Disk> worlds[] = {
        {},
        {{u"E:", false, 1}, {u"F:", false, 2}},
        {{u"E:", false, 1, std::nullopt, Disk::Answer::Null}},
    };
    for (const auto& disks : worlds) {
        ScriptedMachine machine;
        machine.disks = disks;
        drive_report::Command1_Click(machine, machine);
        EXPECT_FALSE(machine.text1.has_value());
        EXPECT_EQ(machine.notices, 1);
        EXPECT_EQ(machine.notice_prompt, u"请插入U盘再运行程序！");
        EXPECT_EQ(machine.notice_title, u"提示！");
        EXPECT_EQ(machine.notice_style, 64);
    }
}

TEST_F(Command1ClickTest, EachClickAsksAfreshAndReplacesOrKeepsTheText) {
    machine.disks = {{u"E:", true, 1}, {u"F:", true, 2}};
    drive_report::Command1_Click(machine, machine);
    EXPECT_EQ(machine.text1, u"E:1\r\nF:2");
    const std::size_t first_click = machine.log.size();

    machine.disks.erase(machine.disks.begin());  // E: pulled between clicks
    drive_report::Command1_Click(machine, machine);
    EXPECT_EQ(machine.text1, u"F:2");
    EXPECT_EQ(machine.log[first_click], "GetObject(winmgmts:\\\\.\\root\\cimv2) -> #13");

    machine.disks.clear();
    drive_report::Command1_Click(machine, machine);
    EXPECT_EQ(machine.text1, u"F:2");
    EXPECT_EQ(machine.notices, 1);
}

TEST_F(Command1ClickTest, ReadinessIsNeverGuessed) {
    machine.disks = {{u"E:", true, 1, std::nullopt, Disk::Answer::Text}};
    try {
        drive_report::Command1_Click(machine, machine);
        FAIL() << "a readiness text that is no boolean was taken";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.number(), platform::codes::kTypeMismatch);
    }
    EXPECT_FALSE(machine.text1.has_value());

    ScriptedMachine numeric;
    numeric.disks = {{u"E:", true, 4, std::nullopt, Disk::Answer::Double}};
    drive_report::Command1_Click(numeric, numeric);
    EXPECT_EQ(numeric.text1, u"E:4");
}

// Every operation of a click, failing in turn: the error comes out as raised, nothing
// partial reaches the result box, no notice is shown and no object is left alive.
TEST_F(Command1ClickTest, AFailureAnywhereEndsTheClickCleanly) {
    const std::vector<Disk> worlds[] = {
        {{u"E:", true, -5}, {u"F:", false, 6}, {u"G:", true, 7}},
        {{u"E:", false, 1}},
    };
    for (const auto& disks : worlds) {
        ScriptedMachine dry_run;
        dry_run.disks = disks;
        drive_report::Command1_Click(dry_run, dry_run);
        ASSERT_GE(dry_run.operations, 10);

        for (int at = 0; at < dry_run.operations; ++at) {
            ScriptedMachine machine;
            machine.disks = disks;
            machine.fail_at = at;
            try {
                drive_report::Command1_Click(machine, machine);
                ADD_FAILURE() << "no error at operation " << at;
            } catch (const platform::Error& error) {
                EXPECT_EQ(error.number(), machine.fail_number);
                EXPECT_EQ(error.description(), machine.fail_description);
            }
            const auto done = operations_only(machine.log);
            const auto planned = operations_only(dry_run.log);
            EXPECT_EQ(done, decltype(planned)(planned.begin(), planned.begin() + at + 1))
                << "the click went on after the failure";
            EXPECT_FALSE(machine.text1.has_value()) << "operation " << at;
            EXPECT_EQ(machine.notices, 0) << "operation " << at;
            EXPECT_EQ(ScriptedMachine::live_objects, 0) << "after failing operation " << at;
        }
    }
}

// A drive pulled between its readiness answer and the serial read ends the click in an
// error, not in a report without it.
TEST_F(Command1ClickTest, ADriveGoneAfterItsReadinessAnswerIsAnError) {
    machine.disks = {{u"E:", true, 1}, {u"F:", true, 2}};
    int readiness_reads = 0;
    machine.on_operation = [&](const std::string& entry) {
        if (entry.find("IsReady") != std::string::npos) {
            ++readiness_reads;
        } else if (readiness_reads == 2 && entry.starts_with("CreateObject")) {
            machine.disks.pop_back();
        }
    };
    try {
        drive_report::Command1_Click(machine, machine);
        FAIL() << "the click went on without the pulled drive";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.number(), static_cast<std::int32_t>(0x800A0044));
    }
    EXPECT_EQ(operations_only(machine.log).back(), "#12.SerialNumber()");
    EXPECT_FALSE(machine.text1.has_value());
}

}  // namespace
