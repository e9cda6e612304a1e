// The real program on an X display, driven from outside as a window manager would: the
// arguments Qt would take are ignored, the window shows with its icon, and closing it ends
// the program with status 0.
#include <QProcess>
#include <QtTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

#include "resources/strings.h"

namespace {

xcb_connection_t* x = nullptr;

template <class Reply>
std::unique_ptr<Reply, decltype(&std::free)> owned(Reply* reply) {
    return {reply, &std::free};
}

xcb_atom_t atom(const char* name) {
    const auto reply = owned(xcb_intern_atom_reply(
        x, xcb_intern_atom(x, 0, static_cast<std::uint16_t>(qstrlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

QByteArray window_property(xcb_window_t window, const char* name) {
    const auto reply = owned(xcb_get_property_reply(
        x, xcb_get_property(x, 0, window, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 16),
        nullptr));
    return reply ? QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                              xcb_get_property_value_length(reply.get()))
                 : QByteArray();
}

// The mapped top-level window with that title, or 0.
xcb_window_t window_titled(const QByteArray& title) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const auto tree = owned(xcb_query_tree_reply(x, xcb_query_tree(x, root), nullptr));
    for (int i = 0; tree && i < xcb_query_tree_children_length(tree.get()); ++i) {
        const xcb_window_t child = xcb_query_tree_children(tree.get())[i];
        const auto attributes =
            owned(xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, child), nullptr));
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
            window_property(child, "_NET_WM_NAME") == title) {
            return child;
        }
    }
    return 0;
}

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT

  private slots:
    void ignoresItsArgumentsAndEndsWithStatusZeroWhenClosed() {
        x = xcb_connect(nullptr, nullptr);
        QVERIFY2(xcb_connection_has_error(x) == 0, "needs an X display: run under xvfb-run");
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        program.setProcessEnvironment(environment);
        // Each of these would keep the window off this display or retitle it if Qt read it.
        program.start(QStringLiteral(TAVRIN_PROGRAM),
                      {"-platform", "offscreen", "-display", ":12345", "-qwindowtitle", "junk",
                       "-style", "fusion", "--reverse", "junk"});
        const QByteArray caption =
            QString::fromUtf16(strings::kFormCaption.data(), strings::kFormCaption.size()).toUtf8();
        xcb_window_t window = 0;
        QTRY_VERIFY_WITH_TIMEOUT((window = window_titled(caption)) != 0, 30000);
        QVERIFY2(!window_property(window, "_NET_WM_ICON").isEmpty(), "the window has no icon");

        xcb_client_message_event_t close{};  // what a window manager's close button sends
        close.response_type = XCB_CLIENT_MESSAGE;
        close.format = 32;
        close.window = window;
        close.type = atom("WM_PROTOCOLS");
        close.data.data32[0] = atom("WM_DELETE_WINDOW");
        xcb_send_event(x, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&close));
        xcb_flush(x);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        xcb_disconnect(x);
    }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "program_test.moc"
