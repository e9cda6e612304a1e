// The real program on an X display, driven from outside as a window manager would.
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <QtTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace {

struct XcbFree {
    void operator()(void* reply) const { std::free(reply); }
};
template <class T>
using Reply = std::unique_ptr<T, XcbFree>;

struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

xcb_atom_t atom(xcb_connection_t* x, const char* name) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        x, xcb_intern_atom(x, 0, static_cast<std::uint16_t>(qstrlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

QByteArray window_property(xcb_connection_t* x, xcb_window_t window, xcb_atom_t name) {
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        x, xcb_get_property(x, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 16), nullptr));
    if (!reply) {
        return {};
    }
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

// The top-level window titled `title`, once one is mapped.
std::optional<xcb_window_t> find_window(xcb_connection_t* x,
                                        xcb_window_t root,
                                        const QByteArray& title) {
    const xcb_atom_t net_wm_name = atom(x, "_NET_WM_NAME");
    const Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(x, xcb_query_tree(x, root), nullptr));
    if (!tree) {
        return std::nullopt;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, children[i]), nullptr));
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
            window_property(x, children[i], net_wm_name) == title) {
            return children[i];
        }
    }
    return std::nullopt;
}

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT

  private slots:
    void ignoresItsArgumentsAndEndsWithStatusZeroWhenClosed() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            QSKIP("needs an X display: run under xvfb-run");
        }
        const std::unique_ptr<xcb_connection_t, XcbDisconnect> x(xcb_connect(nullptr, nullptr));
        QVERIFY(xcb_connection_has_error(x.get()) == 0);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x.get())).data->root;

        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Each of these would keep the window off this display or retitle it if Qt read it.
        program.start(QStringLiteral(TAVRIN_PROGRAM),
                      {"-platform", "offscreen", "-display", ":12345", "-qwindowtitle", "junk",
                       "-style", "fusion", "--reverse", "junk"});
        QVERIFY(program.waitForStarted());

        std::optional<xcb_window_t> window;
        const QDeadlineTimer deadline(30000);
        while (!window && program.state() == QProcess::Running && !deadline.hasExpired()) {
            window = find_window(x.get(), root, QByteArrayLiteral("TavrinV2"));
            if (!window) {
                program.waitForFinished(50);
            }
        }
        if (!window) {
            program.kill();
            program.waitForFinished();
            QFAIL("no window titled TavrinV2 appeared on the display");
        }
        QVERIFY2(!window_property(x.get(), *window, atom(x.get(), "_NET_WM_ICON")).isEmpty(),
                 "the window has no icon");

        // What a window manager sends when the close button is pressed.
        xcb_client_message_event_t close{};
        close.response_type = XCB_CLIENT_MESSAGE;
        close.format = 32;
        close.window = *window;
        close.type = atom(x.get(), "WM_PROTOCOLS");
        close.data.data32[0] = atom(x.get(), "WM_DELETE_WINDOW");
        close.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(x.get(), 0, *window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&close));
        xcb_flush(x.get());

        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "program_test.moc"
