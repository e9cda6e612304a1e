// What a click of Command1 costs against the same COM calls made by hand.
//
// One process, one single-threaded apartment. Each round runs (a) Command1_Click over the real
// COM back end and (b) a bare sequence of the same platform calls in the same order, written
// directly against IDispatch and IEnumVARIANT, each building the report text. The order
// within a round alternates so that neither side always runs second; warm-up rounds come
// first. Prints figures only.
//
//   bench_click.exe [rounds] [warm-up rounds] [profiled rounds]
#include <windows.h>

#include <ole2.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <numeric>
#include <string>
#include <vector>

#include "bench_util.h"

#include "platform/win32.h"
#include "shell/form1.h"

namespace {

using bench::median;
using bench::narrow;
using bench::now_ms;

// Form1 without its window: objects come from the real back end, the text set into Text1 is
// kept, message boxes are only counted.
class BenchForm final : public platform::Form {
  public:
    BenchForm()
        : Form(shell::kProject, {&platform::com_get_object, &platform::com_create_object}) {}
    void message_box(platform::TextView, int, platform::TextView) override { ++message_boxes; }
    void set_control_text(const platform::Control&, platform::TextView text) override {
        text1.assign(text);
    }
    void unload() override {}
    void click() { Form::click(description().controls.front()); }

    platform::Text text1;
    int message_boxes = 0;
};

// The bare sequence. Any failure ends the benchmark: there is nothing to compare then.
[[noreturn]] void fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "bench_click: %s failed: 0x%08lX\n", what, static_cast<unsigned long>(hr));
    std::exit(2);
}

void check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        fail(what, hr);
    }
}

// A member called by name as a late-bound caller does: its id, then Invoke with at most one
// argument, method call and property read at once.
void call_by_name(IDispatch* object, const wchar_t* name, VARIANT* argument, VARIANT* result) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    check(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames");
    DISPPARAMS params{argument, nullptr, argument != nullptr ? 1u : 0u, 0};
    check(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                         &params, result, nullptr, nullptr),
          "Invoke");
}

// Where the time of the bare sequence goes, summed over the profiled rounds. The compared
// rounds run without it.
struct Phases {
    double service = 0;      // CoGetObject of the management service
    double query = 0;        // ExecQuery and _NewEnum
    double enumeration = 0;  // IEnumVARIANT::Next and DeviceID
    double file_system = 0;  // CLSIDFromProgID and CoCreateInstance of the file-system object
    double drive = 0;        // GetDrive, IsReady, SerialNumber and the releases
    double report = 0;       // building the text

    // Adds the time since the last mark to `phase`.
    void mark(double Phases::*phase) {
        const double now = now_ms();
        this->*phase += now - last;
        last = now;
    }
    double last = 0;
};

void mark(Phases* phases, double Phases::*phase) {
    if (phases != nullptr) {
        phases->mark(phase);
    }
}

// A new file-system object's drive for `device_id`; the file-system object is gone again.
IDispatch* bare_drive(BSTR device_id, Phases* phases) {
    mark(phases, &Phases::drive);
    CLSID clsid{};
    check(CLSIDFromProgID(L"Scripting.FileSystemObject", &clsid), "CLSIDFromProgID");
    IDispatch* file_system = nullptr;
    check(CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch,
                           reinterpret_cast<void**>(&file_system)),
          "CoCreateInstance");
    mark(phases, &Phases::file_system);
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = device_id;  // borrowed: not cleared here
    VARIANT result;
    VariantInit(&result);
    call_by_name(file_system, L"GetDrive", &argument, &result);
    file_system->Release();
    if (V_VT(&result) != VT_DISPATCH || V_DISPATCH(&result) == nullptr) {
        fail("GetDrive result", E_UNEXPECTED);
    }
    return V_DISPATCH(&result);  // the result's reference, now the caller's
}

std::wstring bare_click(Phases* phases) {
    if (phases != nullptr) {
        phases->last = now_ms();
    }
    std::wstring report;
    IDispatch* service = nullptr;
    check(CoGetObject(L"winmgmts:\\\\.\\root\\cimv2", nullptr, IID_IDispatch,
                      reinterpret_cast<void**>(&service)),
          "CoGetObject");
    mark(phases, &Phases::service);

    VARIANT query;
    VariantInit(&query);
    V_VT(&query) = VT_BSTR;
    V_BSTR(&query) = SysAllocString(L"Select * from Win32_LogicalDisk Where DriveType = 2");
    VARIANT disks;
    VariantInit(&disks);
    call_by_name(service, L"ExecQuery", &query, &disks);
    VariantClear(&query);
    if (V_VT(&disks) != VT_DISPATCH) {
        fail("ExecQuery result", E_UNEXPECTED);
    }

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT items_value;
    VariantInit(&items_value);
    check(V_DISPATCH(&disks)->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                                     DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &items_value,
                                     nullptr, nullptr),
          "_NewEnum");
    if (V_VT(&items_value) != VT_UNKNOWN && V_VT(&items_value) != VT_DISPATCH) {
        fail("_NewEnum result", E_UNEXPECTED);
    }
    IEnumVARIANT* items = nullptr;
    check(
        V_UNKNOWN(&items_value)->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&items)),
        "QueryInterface(IEnumVARIANT)");
    VariantClear(&items_value);
    mark(phases, &Phases::query);

    VARIANT element;
    VariantInit(&element);
    ULONG fetched = 0;
    while (items->Next(1, &element, &fetched) == S_OK && fetched == 1) {
        if (V_VT(&element) != VT_DISPATCH) {
            fail("element", E_UNEXPECTED);
        }
        VARIANT device_id;
        VariantInit(&device_id);
        call_by_name(V_DISPATCH(&element), L"DeviceID", nullptr, &device_id);
        VariantClear(&element);
        if (V_VT(&device_id) != VT_BSTR) {
            fail("DeviceID", E_UNEXPECTED);
        }
        mark(phases, &Phases::enumeration);

        IDispatch* drive = bare_drive(V_BSTR(&device_id), phases);
        VARIANT ready;
        VariantInit(&ready);
        call_by_name(drive, L"IsReady", nullptr, &ready);
        drive->Release();
        if (V_VT(&ready) != VT_BOOL) {
            fail("IsReady", E_UNEXPECTED);
        }
        mark(phases, &Phases::drive);
        if (V_BOOL(&ready) != VARIANT_FALSE) {
            drive = bare_drive(V_BSTR(&device_id), phases);
            VARIANT serial;
            VariantInit(&serial);
            call_by_name(drive, L"SerialNumber", nullptr, &serial);
            drive->Release();
            if (V_VT(&serial) != VT_I4) {
                fail("SerialNumber", E_UNEXPECTED);
            }
            mark(phases, &Phases::drive);
            if (!report.empty()) {
                report += L"\r\n";
            }
            report.append(V_BSTR(&device_id), SysStringLen(V_BSTR(&device_id)));
            report += std::to_wstring(V_I4(&serial));
            mark(phases, &Phases::report);
        }
        VariantClear(&device_id);
        mark(phases, &Phases::enumeration);
    }
    items->Release();
    VariantClear(&disks);
    service->Release();
    mark(phases, &Phases::query);
    return report;
}

double mean(const std::vector<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

int positive_argument(int argc, wchar_t** argv, int index, int fallback) {
    if (argc > index) {
        const int value = std::wcstol(argv[index], nullptr, 10);
        if (value > 0) {
            return value;
        }
    }
    return fallback;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = positive_argument(argc, argv, 1, 40);
    const int warm_up = positive_argument(argc, argv, 2, 3);
    const int profiled = positive_argument(argc, argv, 3, 10);

    std::wstring click_text;
    std::wstring bare_text;
    int message_boxes = 0;
    std::vector<double> click_ms;
    std::vector<double> bare_ms;
    std::vector<double> pair_ratios;
    Phases phases;
    try {
        const platform::ComApartment apartment;
        BenchForm form;

        const auto run_click = [&] {
            const double start = now_ms();
            form.click();
            const double elapsed = now_ms() - start;
            click_text.assign(reinterpret_cast<const wchar_t*>(form.text1.data()),
                              form.text1.size());
            return elapsed;
        };
        const auto run_bare = [&] {
            const double start = now_ms();
            std::wstring text = bare_click(nullptr);
            const double elapsed = now_ms() - start;
            bare_text = std::move(text);
            return elapsed;
        };

        for (int i = 0; i < warm_up; ++i) {
            run_click();
            run_bare();
        }
        for (int i = 0; i < rounds; ++i) {
            double click = 0;
            double bare = 0;
            if (i % 2 == 0) {
                click = run_click();
                bare = run_bare();
            } else {
                bare = run_bare();
                click = run_click();
            }
            click_ms.push_back(click);
            bare_ms.push_back(bare);
            pair_ratios.push_back(click / bare);
        }
        for (int i = 0; i < profiled; ++i) {
            bare_click(&phases);
        }
        message_boxes = form.message_boxes;
    } catch (const platform::Error& error) {
        std::fprintf(stderr, "bench_click: the click raised error %ld\n",
                     static_cast<long>(error.number()));
        return 2;
    }

    const std::size_t entries =
        bare_text.empty() ? 0 : 1 + std::count(bare_text.begin(), bare_text.end(), L'\n');
    std::printf("Report text (%zu drives):\n%s\n\n", entries, narrow(click_text).c_str());
    std::printf("Same text from both:      %s\n", click_text == bare_text ? "yes" : "NO");
    std::printf("Message boxes:            %d\n", message_boxes);
    std::printf("Rounds:                   %d (after %d warm-up)\n\n", rounds, warm_up);

    const double click_median = median(click_ms);
    const double bare_median = median(bare_ms);
    std::printf("| click: Command1_Click            | median %8.2f ms | mean %8.2f ms |\n",
                click_median, mean(click_ms));
    std::printf("| click: bare COM calls            | median %8.2f ms | mean %8.2f ms |\n",
                bare_median, mean(bare_ms));
    std::printf(
        "| click: ratio click / bare        | medians %6.3fx  | means %6.3fx  |"
        " median of pairs %.3fx |\n",
        click_median / bare_median, mean(click_ms) / mean(bare_ms), median(pair_ratios));

    const double phase_total = phases.service + phases.query + phases.enumeration +
                               phases.file_system + phases.drive + phases.report;
    std::printf("\nWhere the bare calls spend their time (%d separate rounds, per click):\n",
                profiled);
    const struct {
        const char* name;
        double total;
    } rows[] = {
        {"CoGetObject winmgmts", phases.service},
        {"ExecQuery, _NewEnum, releases", phases.query},
        {"IEnumVARIANT::Next, DeviceID", phases.enumeration},
        {"CLSIDFromProgID, CoCreateInstance", phases.file_system},
        {"GetDrive, IsReady, SerialNumber", phases.drive},
        {"building the text", phases.report},
    };
    for (const auto& row : rows) {
        std::printf("  %-36s %8.2f ms  %5.1f%%\n", row.name, row.total / profiled,
                    100.0 * row.total / phase_total);
    }
    return click_text == bare_text ? 0 : 1;
}
