// The apartment guard: the thread is in a single-threaded apartment while it lives and out of
// it afterwards; a thread already in the multithreaded apartment cannot have one.
#include <gtest/gtest.h>
#include <windows.h>

#include <ole2.h>

#include <functional>
#include <memory>

#include "platform/automation_win.h"
#include "platform/error.h"
#include "tests/wine/test_support.h"

namespace tavrin_test {
namespace {

// Runs `body` on a thread of its own (outside the test program's apartment) and waits. A
// Win32 thread: MinGW's win32 thread model has no std::thread.
void on_new_thread(const std::function<void()>& body) {
    struct Start {
        static DWORD WINAPI run(void* body) {
            try {
                (*static_cast<const std::function<void()>*>(body))();
            } catch (...) {
                ADD_FAILURE() << "an exception left the thread";
            }
            return 0;
        }
    };
    const std::unique_ptr<void, decltype(&CloseHandle)> thread(
        CreateThread(nullptr, 0, &Start::run, const_cast<std::function<void()>*>(&body), 0,
                     nullptr),
        &CloseHandle);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread.get(), INFINITE);
}

// What the thread's apartment is, by asking COM to make it multithreaded.
HRESULT try_multithreaded() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr)) {
        CoUninitialize();
    }
    return hr;
}

TEST(ComApartment, TheThreadIsSingleThreadedWhileTheGuardLives) {
    on_new_thread([] {
        {
            const platform::ComApartment apartment;
            EXPECT_EQ(try_multithreaded(), RPC_E_CHANGED_MODE);
            {
                const platform::ComApartment nested;  // joining again is fine
                EXPECT_EQ(try_multithreaded(), RPC_E_CHANGED_MODE);
            }
            EXPECT_EQ(try_multithreaded(), RPC_E_CHANGED_MODE);
        }
        EXPECT_EQ(try_multithreaded(), S_OK);  // left the apartment
    });
}

TEST(ComApartment, AMultithreadedThreadCannotHaveOne) {
    on_new_thread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        try {
            const platform::ComApartment apartment;
            ADD_FAILURE() << "a multithreaded thread joined a single-threaded apartment";
        } catch (const platform::Error& error) {
            EXPECT_EQ(show_number(error.number()), show_number(number(RPC_E_CHANGED_MODE)));
            EXPECT_EQ(error.description(), platform::describe(number(RPC_E_CHANGED_MODE)));
        }
        CoUninitialize();
    });
}

TEST(ComApartment, ObjectsWorkOnAThreadWithItsOwnApartment) {
    on_new_thread([] {
        const platform::ComApartment apartment;
        const platform::Object drive = drive_of(u"C:");
        EXPECT_EQ(show(drive.get(u"IsReady")), "bool:true");
    });
}

}  // namespace
}  // namespace tavrin_test
