// The Qt window from Form1's table against a scripted machine, at Qt scale factors 1 and 1.5.
#include <QAccessible>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include <functional>

#include "platform/forms_qt.h"
#include "shell/form1.h"
#include "support.h"

namespace {

using testing_support::ScriptedMachine;

QString text_named(const char* name) {
    return QString::fromStdString(testing_support::text_named(name));
}

// Answers each message box from inside its loop: adds "title|text|icon;", runs `meanwhile`.
struct BoxAnswerer {
    explicit BoxAnswerer(std::function<void()> meanwhile = [] {}) {
        QObject::connect(&timer, &QTimer::timeout, [this, meanwhile] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box->isVisible()) {
                QVERIFY(box->standardButtons() == QMessageBox::Ok);
                seen += QString("%1|%2|%3;").arg(box->windowTitle(), box->text()).arg(box->icon());
                meanwhile();
                box->button(QMessageBox::Ok)->click();
            }
        });
        timer.start(10);
    }
    QString seen;
    QTimer timer;
};

platform::ObjectSource objects_of(ScriptedMachine& machine) {
    return {[&machine](platform::TextView m) { return machine.get_object(m); },
            [&machine](platform::TextView c) { return machine.create_object(c); }};
}

struct Shown {
    ScriptedMachine machine;
    platform::qt::QtForm form{shell::kProject, objects_of(machine)};
    QPushButton* button = qobject_cast<QPushButton*>(form.control(u"Command1"));
    QPlainTextEdit* text = qobject_cast<QPlainTextEdit*>(form.control(u"Text1"));

    Shown() {
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
    }
    int clicks() const {
        return int(std::ranges::count_if(machine.log, [](auto& entry) { return entry[0] == 'G'; }));
    }
};

QRect device_rect(QWidget* widget) {
    return QRect(widget->pos() * widget->devicePixelRatioF(), widget->grab().size());
}

}  // namespace

class FormTest : public QObject {
    Q_OBJECT

  private slots:
    void startsUpAsTheTableSaysThenTakesKeysAndWraps() {
        Shown shown;
        QApplication::setPalette(QPalette(Qt::black));  // a dark desktop, while the window is open
        QCoreApplication::processEvents();
        const int dpi = qRound(96 * shown.form.devicePixelRatioF());
        const auto rows = testing_support::layout_rows();
        const auto row = std::ranges::find(rows, dpi, [](auto& r) { return r[0]; });
        QVERIFY2(row != rows.end(), "no layout for this scale");
        const std::vector<int>& r = *row;
        const QFont font = shown.text->font();
        const int buttons = Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
        const QPoint offset = shown.form.geometry().center() -
                              QGuiApplication::primaryScreen()->availableGeometry().center();
        const std::pair<QVariant, QVariant> checks[] = {
            {device_rect(&shown.form).size(), QSize(r[1], r[2])},
            {device_rect(shown.button), QRect(r[3], r[4], r[5], r[6])},
            {device_rect(shown.text), QRect(r[7], r[8], r[9], r[10])},
            {QFontInfo(font).pixelSize() * dpi / 96, -r[11]},
            {shown.form.minimumSize(), shown.form.maximumSize()},
            {int(shown.form.windowFlags() & (buttons | Qt::WindowMinMaxButtonsHint)), buttons},
            {offset.manhattanLength() <= 1, true},  // centred on the screen
            {shown.form.windowTitle(), text_named("kFormCaption")},
            {shown.form.windowIcon().availableSizes().contains(QSize(128, 128)), true},
            {QApplication::focusWidget() == shown.button, true},
            {shown.button->text(), text_named("kCommandCaption")},
            {shown.button->toolTip(), text_named("kCommandToolTip")},
            {shown.button->font(), shown.form.font()},
            {shown.text->palette().color(QPalette::Base), QColor(128, 255, 128)},
            {shown.text->palette().color(QPalette::Text), QColor(Qt::black)},  // readable on it
            {QAccessible::queryAccessibleInterface(shown.text)->text(QAccessible::Name),
             text_named("kResultName")},
            {font.families().value(0), text_named("kResultFontFace")},
            {font.families().contains(QStringLiteral("WenQuanYi Zen Hei")), true},
            {font.pointSizeF(), 10.5},
            {int(font.weight()), int(QFont::Normal)},
            {font.italic() || font.underline() || font.strikeOut(), false},
        };
        for (const auto& [actual, expected] : checks) {
            QCOMPARE(actual, expected);
        }
        // Tab moves the focus, Enter starts a new line.
        QTest::keyClick(shown.button, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), shown.text);
        QTest::keyClicks(shown.text, QStringLiteral("ab"));
        QTest::keyClick(shown.text, Qt::Key_Return);
        QTest::keyClicks(shown.text, QStringLiteral("c"));
        QTest::keyClick(shown.text, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), shown.button);
        QCOMPARE(shown.text->toPlainText(), QStringLiteral("ab\nc"));
        QCOMPARE(shown.clicks(), 0);
        // Long text wraps; an unknown control is refused.
        QVERIFY_THROWS_EXCEPTION(platform::Error, shown.form.set_text(u"Text9", u"x"));
        shown.form.set_text(u"Text1", u"E:-1056969216F:2147483647G:-1H:1234567890123");
        QCoreApplication::processEvents();
        QVERIFY(shown.text->document()->firstBlock().layout()->lineCount() > 1);
        QVERIFY(!shown.text->verticalScrollBar()->isVisible());
    }

    // With no drive left the notice shows, the drives stay, and a click meanwhile is dropped.
    void eachWayOfClickingShowsTheDrivesOrTheNotice() {
        for (const int key :
             {0 /* the mouse */, int(Qt::Key_Space), int(Qt::Key_Return), int(Qt::Key_Enter)}) {
            Shown shown;
            shown.machine.disks = testing_support::disks_from("E:yes:1 F:yes:2");
            if (key == 0) {
                QTest::mouseClick(shown.button, Qt::LeftButton);
            } else {
                QTest::keyClick(shown.button, Qt::Key(key),
                                key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            }
            QCOMPARE(shown.clicks(), 1);
            QCOMPARE(shown.text->toPlainText(), QStringLiteral("E:1\nF:2"));
            shown.machine.disks.clear();
            const BoxAnswerer answerer([&] { shown.button->click(); });
            shown.button->click();
            QCOMPARE(shown.clicks(), 2);
            QCOMPARE(answerer.seen, text_named("kNoDriveTitle") + "|" +
                                        text_named("kNoDrivePrompt") + "|" +
                                        QString::number(QMessageBox::Information) + ";");
            QCOMPARE(shown.text->toPlainText(), QStringLiteral("E:1\nF:2"));
        }
    }

    void endsWithStatusZeroWhenClosedAndOneAfterTheErrorReport() {
        ScriptedMachine machine;
        QTimer::singleShot(100, [] { QApplication::closeAllWindows(); });
        QCOMPARE(platform::run(shell::kProject, objects_of(machine)), 0);
        QVERIFY(machine.log.empty());

        machine.fail_at = 0;
        QTimer::singleShot(100, [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                QMetaObject::invokeMethod(widget->findChild<QPushButton*>(), "click");
            }
        });
        const BoxAnswerer answerer;
        QCOMPARE(platform::run(shell::kProject, objects_of(machine)), 1);
        QCOMPARE(answerer.seen,
                 text_named("kProjectName") +
                     "|运行时错误 -2147217407 (0x80041001)：\n\nscripted failure\n\n程序将关闭。|" +
                     QString::number(QMessageBox::Critical) + ";");
    }
};

QTEST_MAIN(FormTest)
#include "form_test.moc"
