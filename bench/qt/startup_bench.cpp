// Start-up time of tavrin against a minimal Qt window program on an X display, launched
// alternately and each timed from the start of its process until the X server maps its window
// (a top-level window titled as either program titles its own, so another build of tavrin can
// stand in either place). Prints figures only.
//
//   bench_startup_qt [launches each] [tavrin] [minimal_window_qt]
// The programs default to those beside this one. Needs DISPLAY.
#include <QStringView>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <xcb/xcb.h>

#include <memory>

#include "bench/figures.h"
#include "resources/strings.h"

namespace {

xcb_connection_t* x;
xcb_atom_t net_wm_name;

template <class Reply>
std::unique_ptr<Reply, decltype(&std::free)> owned(Reply* reply) {
    return {reply, &std::free};
}

bool titled(xcb_window_t window) {
    static const std::string titles[] = {QStringView(strings::kFormCaption).toUtf8().toStdString(),
                                         "Minimal window"};
    const auto reply = owned(xcb_get_property_reply(
        x, xcb_get_property(x, 0, window, net_wm_name, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
        nullptr));
    if (!reply) {
        return false;  // gone already
    }
    const std::string title(static_cast<const char*>(xcb_get_property_value(reply.get())),
                            xcb_get_property_value_length(reply.get()));
    return title == titles[0] || title == titles[1];
}

// Milliseconds from the start of `program` until its window is mapped; then it is ended.
double launch_ms(const std::string& program) {
    const double start = figures::now_ms();
    pid_t child = 0;
    char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
    bool started = posix_spawn(&child, argv[0], nullptr, nullptr, argv, environ) == 0;
    while (started && figures::now_ms() - start < 60000) {
        const auto event = owned(xcb_poll_for_event(x));
        if (event && (event->response_type & 0x7F) == XCB_MAP_NOTIFY &&
            titled(reinterpret_cast<const xcb_map_notify_event_t*>(event.get())->window)) {
            const double elapsed = figures::now_ms() - start;
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
            return elapsed;
        }
        pollfd descriptor{xcb_get_file_descriptor(x), POLLIN, 0};
        poll(&descriptor, 1, event ? 0 : 100);
    }
    std::fprintf(stderr, "bench_startup_qt: no window from %s\n", argv[0]);
    std::exit(1);
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string here = std::string(argv[0]).substr(0, std::string(argv[0]).rfind('/') + 1);
    const int launches = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::string tavrin = argc > 2 ? argv[2] : here + "tavrin";
    const std::string minimal = argc > 3 ? argv[3] : here + "minimal_window_qt";
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x) != 0) {
        std::fprintf(stderr, "bench_startup_qt: cannot open the display\n");
        return 1;
    }
    net_wm_name =
        owned(xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, 12, "_NET_WM_NAME"), nullptr))->atom;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;  // top-level windows mapped
    xcb_change_window_attributes(x, xcb_setup_roots_iterator(xcb_get_setup(x)).data->root,
                                 XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    const auto ours = [&] { return launch_ms(tavrin); };
    const auto base = [&] { return launch_ms(minimal); };
    figures::side_by_side(1, ours, base);  // the files come into the cache
    const figures::Pairs pairs = figures::side_by_side(launches, ours, base);
    std::printf("Launches: %d of each, alternating (after one warm-up each)\n", launches);
    figures::print("start-up", "tavrin", "minimal Qt window", pairs);
    xcb_disconnect(x);
    return 0;
}
