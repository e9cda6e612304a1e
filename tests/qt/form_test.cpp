// The Qt window on a scripted machine, at Qt scale factors 1 and 1.5: the properties of
// form1_properties.txt, keys, clicks, the notice, the error report and the exit status.
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QtTest>

#include "platform/forms_qt.h"
#include "support.h"

namespace {

using testing_support::ScriptedMachine;

// Answers message boxes with OK, after adding "title|text|icon;" to `seen` and running `meanwhile`.
struct BoxAnswerer : QTimer {
    explicit BoxAnswerer(std::function<void()> meanwhile = [] {}) {
        connect(this, &QTimer::timeout, [this, meanwhile] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen += QString("%1|%2|%3;").arg(box->windowTitle(), box->text()).arg(box->icon());
                meanwhile();
                box->button(QMessageBox::Ok)->click();
            }
        });
        start(10);
    }
    QString seen;
};

}  // namespace

class FormTest : public QObject {
    Q_OBJECT

  private slots:
    void startsUpAsTheTablesSayThenTakesKeysAndClicks() {
        ScriptedMachine machine;
        platform::qt::QtForm form(shell::kProject, ScriptedMachine::scripted(&machine));
        QWidget *button = form.control(u"Command1"), *text = form.control(u"Text1");
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        for (const std::string& row : testing_support::lines_of(TAVRIN_QT_PROPERTIES)) {
            const QString line = QString::fromStdString(row), name = line.section(' ', 0, 0);
            QWidget* widget = name == "Form1" ? &form : form.control(name.toStdU16String());
            QString value;
            QDebug(&value).noquote().nospace()
                << widget->property(qPrintable(line.section(' ', 1, 1)));
            value.remove(QRegularExpression(R"(^QVariant\([^,]+, |\)$)"));
            QCOMPARE(line.section(' ', 0, 1) + " " + value, line);
        }
        platform::FormDescription other = *shell::kProject.startup_form;
        std::vector<platform::Control> controls(other.controls.begin(), other.controls.end());
        controls.back().back_colour = 0x563412;  // 0x00BBGGRR
        other.controls = controls;
        const platform::ProjectHeader header{u"", &other};
        const platform::qt::QtForm swapped(header, {});
        QCOMPARE(swapped.control(u"Text1")->palette().color(QPalette::Base), QColor(0x123456));
        const int buttons = Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
        QCOMPARE(form.windowFlags() & (buttons | Qt::WindowMinMaxButtonsHint), buttons);
        QVERIFY((form.geometry().center() - form.screen()->availableGeometry().center())
                    .manhattanLength() <= 1);  // centred
        QVERIFY(text->font().families().contains("WenQuanYi Zen Hei"));
        QTest::keyClick(button, Qt::Key_Tab);  // to the text box, where Enter starts a new line
        QTest::keyClicks(text, "ab\rc");
        QTest::keyClick(text, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), button);
        QCOMPARE(text->property("plainText"), "ab\nc");
        // The mouse, Space, Return and Enter click once each; a click during the notice is dropped.
        machine.disks = "E:yes:1 F:yes:2";
        QTest::mouseClick(button, Qt::LeftButton);
        const int operations = machine.operations;  // of one click
        QTest::keyClick(button, Qt::Key_Space);
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(machine.operations, 4 * operations);
        machine.disks.clear();
        const BoxAnswerer answerer([&] { QMetaObject::invokeMethod(button, "click"); });
        QMetaObject::invokeMethod(button, "click");
        QCOMPARE(answerer.seen, "提示！|请插入U盘再运行程序！|1;");
        QCOMPARE(text->property("plainText"), "E:1\nF:2");
    }

    void endsWithStatusZeroWhenClosedAndOneAfterTheErrorReport() {
        ScriptedMachine machine;
        QTimer::singleShot(100, [] { QApplication::closeAllWindows(); });
        QCOMPARE(platform::run(shell::kProject, ScriptedMachine::scripted(&machine)), 0);
        QVERIFY(machine.log.empty());

        machine.fail_at = 0;
        QTimer::singleShot(100,
                           [] { QMetaObject::invokeMethod(QApplication::focusWidget(), "click"); });
        const BoxAnswerer answerer;
        QCOMPARE(platform::run(shell::kProject, ScriptedMachine::scripted(&machine)), 1);
        QCOMPARE(
            answerer.seen,
            "Corvane|运行时错误 -2147217407 (0x80041001)：\n\nscripted failure\n\n程序将关闭。|3;");
    }
};

QTEST_MAIN(FormTest)
#include "form_test.moc"
