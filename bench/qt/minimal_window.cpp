// The least a Qt Widgets program with one window does: create it, show it, run the event
// loop until it is closed. The start-up benchmark measures tavrin against it.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    const QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal window"));
    window.setFixedSize(168, 149);
    window.show();
    return QApplication::exec();
}
