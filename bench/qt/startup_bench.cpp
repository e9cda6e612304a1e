// Start-up time of tavrin against a minimal Qt window program, on an X display.
//
// The two programs are launched alternately, each time timed from the start of the process
// until the X server maps its window (found by title among the new top-level windows); then
// the window is sent WM_DELETE_WINDOW, as a window manager's close button does, and the
// process waited for. Prints figures only.
//
//   bench_startup_qt [launches each] [tavrin] [minimal_window_qt]
// The programs default to the ones beside this one. Needs DISPLAY; the children get
// QT_QPA_PLATFORM=xcb.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <poll.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct XcbFree {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, XcbFree>;

struct Display {
    xcb_connection_t* x;
    xcb_window_t root;
    xcb_atom_t net_wm_name, wm_protocols, wm_delete_window;
};

xcb_atom_t atom(xcb_connection_t* x, const char* name) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        x, xcb_intern_atom(x, 0, static_cast<std::uint16_t>(qstrlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

QByteArray title(const Display& d, xcb_window_t window) {
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        d.x, xcb_get_property(d.x, 0, window, d.net_wm_name, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
        nullptr));
    if (!reply) {
        return {};
    }
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

// Waits for the root window to report a mapped child titled `wanted`; 0 on time-out.
xcb_window_t wait_for_map(const Display& d, const QByteArray& wanted) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 60000) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(d.x)) {
            const std::unique_ptr<xcb_generic_event_t, XcbFree> owned(event);
            if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
                if (title(d, map->window) == wanted) {
                    return map->window;
                }
            }
        }
        pollfd descriptor{xcb_get_file_descriptor(d.x), POLLIN, 0};
        poll(&descriptor, 1, 100);
    }
    return 0;
}

void close_window(const Display& d, xcb_window_t window) {
    xcb_client_message_event_t close{};
    close.response_type = XCB_CLIENT_MESSAGE;
    close.format = 32;
    close.window = window;
    close.type = d.wm_protocols;
    close.data.data32[0] = d.wm_delete_window;
    close.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(d.x, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&close));
    xcb_flush(d.x);
}

// Milliseconds from start to the window mapped; negative when it never came.
double launch(const Display& d, const QString& program, const QByteArray& wanted) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    const xcb_window_t window = wait_for_map(d, wanted);
    const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (window == 0) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    close_window(d, window);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
    }
    return elapsed;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

}  // namespace

int main(int argc, char* argv[]) {
    const QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString here = QCoreApplication::applicationDirPath();
    const int launches = arguments.size() > 1 ? std::max(1, arguments[1].toInt()) : 20;
    const QString tavrin = arguments.size() > 2 ? arguments[2] : here + "/tavrin";
    const QString minimal = arguments.size() > 3 ? arguments[3] : here + "/minimal_window_qt";

    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x) != 0) {
        std::fprintf(stderr, "bench_startup_qt: cannot open the display\n");
        return 1;
    }
    Display d{x, xcb_setup_roots_iterator(xcb_get_setup(x)).data->root, atom(x, "_NET_WM_NAME"),
              atom(x, "WM_PROTOCOLS"), atom(x, "WM_DELETE_WINDOW")};
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, d.root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    std::vector<double> tavrin_ms, minimal_ms;
    int failures = 0;
    launch(d, tavrin, "TavrinV2");  // warm the caches for both
    launch(d, minimal, "Minimal window");
    for (int i = 0; i < launches; ++i) {
        for (auto [program, wanted, times] :
             {std::tuple{tavrin, QByteArray("TavrinV2"), &tavrin_ms},
              std::tuple{minimal, QByteArray("Minimal window"), &minimal_ms}}) {
            const double ms = launch(d, program, wanted);
            ms >= 0 ? times->push_back(ms) : void(++failures);
        }
    }
    xcb_disconnect(x);
    if (tavrin_ms.empty() || minimal_ms.empty()) {
        std::fprintf(stderr, "bench_startup_qt: no window appeared\n");
        return 1;
    }
    const double t = median(tavrin_ms), m = median(minimal_ms);
    std::printf("start-up to window mapped, median of %d launches each (%d failed)\n", launches,
                failures);
    std::printf("  tavrin              %8.1f ms   (min %.1f)\n", t,
                *std::min_element(tavrin_ms.begin(), tavrin_ms.end()));
    std::printf("  minimal Qt window   %8.1f ms   (min %.1f)\n", m,
                *std::min_element(minimal_ms.begin(), minimal_ms.end()));
    std::printf("  ratio               %8.2fx  (goal 1.2x or better)\n", t / m);
    return 0;
}
