// What a click of Command1 costs against the same COM calls made by hand, in one apartment:
// Command1_Click over the real COM back end, and the same calls in the same order written
// against IDispatch and IEnumVARIANT, each building the report; and where the bare calls spend
// their time (marking it costs microseconds of a click's milliseconds). Prints figures only.
//
//   bench_click.exe [rounds]
#include <wrl/client.h>

#include <cstdlib>

#include "bench/figures.h"
#include "bench/headless_form1.h"
#include "drive_report/drive_report.h"
#include "platform/win32.h"

namespace {

using Microsoft::WRL::ComPtr;
using Variant = platform::Owner<VARIANT, VariantClear>;

// Any failure ends the benchmark: there is nothing to compare then.
void check(HRESULT hr, const wchar_t* what) {
    if (FAILED(hr)) {
        std::fprintf(stderr, "bench_click: %ls failed: 0x%08lX\n", what,
                     static_cast<unsigned long>(hr));
        std::exit(2);
    }
}

// A member called as a late-bound caller calls it (no name: _NewEnum): its id, then Invoke as a
// method and a property read at once with at most one argument, for a result of type `vt`.
Variant call(IDispatch* object, const wchar_t* name, VARTYPE vt, VARIANT* argument = nullptr) {
    DISPID id = DISPID_NEWENUM;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (name != nullptr) {
        check(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), name);
    }
    DISPPARAMS params{argument, nullptr, argument != nullptr ? 1u : 0u, 0};
    Variant result;
    check(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                         &params, result.put(), nullptr, nullptr),
          name);
    const bool as_unknown = vt == VT_UNKNOWN && result->vt == VT_DISPATCH;
    check(result->vt == vt || as_unknown ? S_OK : DISP_E_TYPEMISMATCH, name);
    return result;
}

// Where the bare calls spend their time: each mark adds the time since the last to a phase.
const char* const kPhases[] = {"CoGetObject winmgmts",
                               "ExecQuery, _NewEnum, releases",
                               "IEnumVARIANT::Next, DeviceID",
                               "CLSIDFromProgID, CoCreateInstance",
                               "GetDrive, IsReady, SerialNumber",
                               "building the text"};
enum Phase { kGetObject, kQuery, kNext, kCreate, kDrive, kReport };
double spent[std::size(kPhases)] = {}, last_mark = 0;
void mark(Phase phase) {
    const double now = figures::now_ms();
    spent[phase] += now - last_mark;
    last_mark = now;
}

// A new file-system object's drive for `device_id`; the file-system object is gone again.
ComPtr<IDispatch> bare_drive(BSTR device_id) {
    mark(kDrive);
    CLSID clsid{};
    check(CLSIDFromProgID(platform::wide(drive_report::kFileSystemObject).c_str(), &clsid),
          L"CLSIDFromProgID");
    ComPtr<IDispatch> file_system;
    check(CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_PPV_ARGS(&file_system)),
          L"CoCreateInstance");
    mark(kCreate);
    VARIANT argument{};
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = device_id;  // borrowed: not cleared
    return call(file_system.Get(), L"GetDrive", VT_DISPATCH, &argument)->pdispVal;
}

std::wstring bare_click() {
    last_mark = figures::now_ms();
    std::wstring report;
    {
        ComPtr<IDispatch> service;
        check(CoGetObject(platform::wide(drive_report::kManagementService).c_str(), nullptr,
                          IID_PPV_ARGS(&service)),
              L"CoGetObject");
        mark(kGetObject);
        Variant text;
        text->vt = VT_BSTR;
        text->bstrVal = SysAllocString(platform::wide(drive_report::kRemovableDisksQuery).c_str());
        const Variant disks = call(service.Get(), L"ExecQuery", VT_DISPATCH, &*text);
        ComPtr<IEnumVARIANT> items;
        check(call(disks.get().pdispVal, nullptr, VT_UNKNOWN)
                  ->punkVal->QueryInterface(IID_PPV_ARGS(&items)),
              L"_NewEnum");
        mark(kQuery);
        for (Variant disk; items->Next(1, disk.put(), nullptr) == S_OK;) {
            check(disk->vt == VT_DISPATCH ? S_OK : DISP_E_TYPEMISMATCH, L"a disk");
            const Variant device_id = call(disk->pdispVal, L"DeviceID", VT_BSTR);
            const BSTR id = device_id.get().bstrVal;
            mark(kNext);
            const bool ready = call(bare_drive(id).Get(), L"IsReady", VT_BOOL)->boolVal;
            mark(kDrive);
            if (ready) {
                const LONG serial = call(bare_drive(id).Get(), L"SerialNumber", VT_I4)->lVal;
                mark(kDrive);
                report.append(report.empty() ? L"" : L"\r\n").append(id, SysStringLen(id));
                report += std::to_wstring(serial);
                mark(kReport);
            }
        }
    }
    mark(kQuery);
    return report;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 40;
    constexpr int kWarmUp = 3;
    const platform::ComApartment apartment;
    HeadlessForm1 form({&platform::com_get_object, &platform::com_create_object});
    std::wstring bare;
    const auto ours = [&] { return figures::time_ms([&] { form.click(); }); };
    const auto base = [&] { return figures::time_ms([&] { bare = bare_click(); }); };
    figures::side_by_side(kWarmUp, ours, base);
    std::ranges::fill(spent, 0.0);
    const figures::Pairs pairs = figures::side_by_side(rounds, ours, base);

    const bool same = platform::wide(form.text) == bare && form.message_boxes == 0;
    std::printf("Report:\n%ls\n\nSame text from both, no message box: %s\n", bare.c_str(),
                same ? "yes" : "NO");
    std::printf("Rounds: %d (after %d warm-up)\n\n", rounds, kWarmUp);
    figures::print("click", "Command1_Click", "bare COM calls", pairs);
    double total = 0;
    for (const double ms : spent) {
        total += ms;
    }
    std::printf("\nWhere the bare calls spend their time (per click):\n");
    for (std::size_t phase = 0; phase < std::size(kPhases); ++phase) {
        std::printf("  %-36s %8.2f ms  %5.1f%%\n", kPhases[phase], spent[phase] / rounds,
                    100 * spent[phase] / total);
    }
    return same ? 0 : 1;
}
