// The Qt window built from Form1's table, driven in-process with a scripted machine behind it.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

#include "message_box_catcher.h"
#include "platform/forms_qt.h"
#include "resources/strings.h"
#include "scripted_automation.h"
#include "shell/form1.h"

namespace {

using platform::TextView;
using platform::qt::QtForm;
using testing_support::MessageBoxCatcher;
using testing_support::ScriptedMachine;

QString qs(TextView text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

platform::qt::ObjectSource objects_of(ScriptedMachine& machine) {
    return {[&machine](TextView moniker) { return machine.get_object(moniker); },
            [&machine](TextView name) { return machine.create_object(name); }};
}

// Form1 with a handler that counts its runs and, when asked, shows a notice.
int g_handler_runs = 0;
bool g_handler_shows_notice = false;

void counting_click(platform::Runtime& runtime, platform::Form&) {
    ++g_handler_runs;
    if (g_handler_shows_notice) {
        runtime.message_box(u"busy", platform::styles::kInformation, u"title");
    }
}

constexpr platform::ClickBinding kCountingClicks[] = {{shell::kCommand1, &counting_click}};

const platform::FormDescription kCountingForm = [] {
    platform::FormDescription form = shell::kForm1;
    form.clicks = kCountingClicks;
    return form;
}();

const platform::ProjectHeader kCountingProject = [] {
    platform::ProjectHeader header = shell::kProject;
    header.startup_form = &kCountingForm;
    return header;
}();

QtForm* find_form() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* form = dynamic_cast<QtForm*>(widget); form != nullptr && form->isVisible()) {
            return form;
        }
    }
    return nullptr;
}

}  // namespace

class FormTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        g_handler_runs = 0;
        g_handler_shows_notice = false;
    }

    void startUpStateFollowsTheTable() {
        ScriptedMachine machine;
        QtForm form(shell::kProject, objects_of(machine));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* button = qobject_cast<QPushButton*>(form.control(shell::kCommand1));
        auto* text = qobject_cast<QPlainTextEdit*>(form.control(shell::kText1));
        QVERIFY(button != nullptr);
        QVERIFY(text != nullptr);

        QCOMPARE(form.windowTitle(), QStringLiteral("TavrinV2"));
        // Twips at 96 DPI: Qt scales device-independent pixels to the screen.
        QCOMPARE(form.size(), QSize(168, 149));
        QCOMPARE(form.minimumSize(), QSize(168, 149));
        QCOMPARE(form.maximumSize(), QSize(168, 149));
        QCOMPARE(text->geometry(), QRect(16, 16, 134, 87));
        QCOMPARE(button->geometry(), QRect(48, 112, 71, 25));
        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        const QPoint offset = form.geometry().center() -
                              QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 1, "the window is not centred on the screen");
        QVERIFY(!form.windowIcon().isNull());
        QVERIFY(form.windowIcon().availableSizes().contains(QSize(128, 128)));

        QCOMPARE(form.focusWidget(), button);
        QCOMPARE(button->text(), qs(strings::kCommandCaption));
        QCOMPARE(button->toolTip(), QStringLiteral("本按钮只获取插入的U盘符号和ID"));
        QCOMPARE(button->font(), form.font());  // the platform's, as the window's

        QVERIFY(text->toPlainText().isEmpty());
        QVERIFY(!text->isReadOnly());
        QCOMPARE(text->palette().color(QPalette::Base), QColor(128, 255, 128));
        QCOMPARE(text->font().families().value(0), QStringLiteral("宋体"));
        QVERIFY(text->font().families().contains(QStringLiteral("WenQuanYi Zen Hei")));
        QCOMPARE(text->font().pointSizeF(), 10.5);
        QCOMPARE(text->font().weight(), QFont::Normal);
    }

    void textWrapsAtTheBoxWidthWithoutScrollBars() {
        ScriptedMachine machine;
        QtForm form(shell::kProject, objects_of(machine));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* text = qobject_cast<QPlainTextEdit*>(form.control(shell::kText1));
        form.set_text(shell::kText1, u"E:-1056969216F:2147483647G:-1H:1234567890123");
        QCoreApplication::processEvents();
        const QTextBlock block = text->document()->firstBlock();
        QVERIFY(block.layout() != nullptr);
        QVERIFY(block.layout()->lineCount() > 1);
        QCOMPARE(text->horizontalScrollBar()->maximum(), 0);
        QVERIFY(!text->horizontalScrollBar()->isVisible());
        QVERIFY(!text->verticalScrollBar()->isVisible());
    }

    void mouseSpaceAndEnterEachClickOnce_data() {
        QTest::addColumn<int>("key");  // 0: the mouse
        QTest::newRow("mouse") << 0;
        QTest::newRow("space") << int(Qt::Key_Space);
        QTest::newRow("return") << int(Qt::Key_Return);
        QTest::newRow("keypad enter") << int(Qt::Key_Enter);
    }

    void mouseSpaceAndEnterEachClickOnce() {
        QFETCH(int, key);
        ScriptedMachine machine;
        QtForm form(kCountingProject, objects_of(machine));
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QWidget* button = form.control(shell::kCommand1);
        if (key == 0) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            QTest::keyClick(button, Qt::Key(key),
                            key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        }
        QCOMPARE(g_handler_runs, 1);
        QCOMPARE(form.exit_status(), 0);
    }

    void keysInTheTextBox() {
        ScriptedMachine machine;
        QtForm form(kCountingProject, objects_of(machine));
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QWidget* button = form.control(shell::kCommand1);
        auto* text = qobject_cast<QPlainTextEdit*>(form.control(shell::kText1));
        QCOMPARE(QApplication::focusWidget(), button);

        QTest::keyClick(button, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), text);
        // Enter starts a new line here; Tab and Shift+Tab move on rather than type.
        QTest::keyClicks(text, QStringLiteral("ab"));
        QTest::keyClick(text, Qt::Key_Return);
        QTest::keyClicks(text, QStringLiteral("c"));
        QCOMPARE(text->toPlainText(), QStringLiteral("ab\nc"));
        QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(text->textCursor().selectedText(), QStringLiteral("ab\u2029c"));
        QTest::keyClick(text, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), button);
        QTest::keyClick(button, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), text);
        QTest::keyClick(text, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), button);
        QCOMPARE(text->toPlainText(), QStringLiteral("ab\nc"));
        QCOMPARE(g_handler_runs, 0);
    }

    void aClickWhileTheHandlerRunsIsDropped() {
        ScriptedMachine machine;
        QtForm form(kCountingProject, objects_of(machine));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* button = qobject_cast<QPushButton*>(form.control(shell::kCommand1));
        g_handler_shows_notice = true;
        int runs_while_shown = -1;
        const MessageBoxCatcher catcher([&] {
            button->click();
            runs_while_shown = g_handler_runs;
        });
        button->click();
        QCOMPARE(catcher.seen().size(), 1);
        QCOMPARE(runs_while_shown, 1);
        button->click();  // the handler has ended: clicks count again
        QCOMPARE(g_handler_runs, 2);
    }

    void noDriveNoticeKeepsWhatWasTyped() {
        ScriptedMachine machine;  // no removable drives
        QtForm form(shell::kProject, objects_of(machine));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* text = qobject_cast<QPlainTextEdit*>(form.control(shell::kText1));
        text->setPlainText(QStringLiteral("之前的内容"));
        const MessageBoxCatcher catcher;
        qobject_cast<QPushButton*>(form.control(shell::kCommand1))->click();

        QCOMPARE(catcher.seen().size(), 1);
        const MessageBoxCatcher::Seen& notice = catcher.seen().front();
        QCOMPARE(notice.title, qs(strings::kNoDriveTitle));
        QCOMPARE(notice.text, qs(strings::kNoDrivePrompt));
        QCOMPARE(notice.icon, QMessageBox::Information);
        QCOMPARE(notice.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(notice.modality, Qt::ApplicationModal);
        QCOMPARE(text->toPlainText(), QStringLiteral("之前的内容"));
        QVERIFY(form.isVisible());
        QCOMPARE(form.exit_status(), 0);
    }

    void reportShowsOneDrivePerLine() {
        ScriptedMachine machine;
        machine.disks = {{.device_id = u"E:", .serial = 1}, {.device_id = u"F:", .serial = 2}};
        QtForm form(shell::kProject, objects_of(machine));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* text = qobject_cast<QPlainTextEdit*>(form.control(shell::kText1));
        text->setPlainText(QStringLiteral("sentinel"));
        qobject_cast<QPushButton*>(form.control(shell::kCommand1))->click();
        QCOMPARE(text->toPlainText(), QStringLiteral("E:1\nF:2"));
        QCOMPARE(text->document()->blockCount(), 2);
    }

    void setTextOfAControlTheFormLacksRaises() {
        ScriptedMachine machine;
        QtForm form(shell::kProject, objects_of(machine));
        bool raised = false;
        try {
            form.set_text(9999, u"x");
        } catch (const platform::Error&) {
            raised = true;
        }
        QVERIFY(raised);
    }

    void errorIsReportedThenTheLoopEndsWithStatusOne() {
        ScriptedMachine machine;
        machine.fail_at = 0;
        machine.fail_number = static_cast<std::int32_t>(0x800401E4);
        machine.fail_description = u"无效的语法。";
        QTimer::singleShot(0, [] {
            if (QtForm* form = find_form()) {
                qobject_cast<QPushButton*>(form->control(shell::kCommand1))->click();
            }
        });
        const MessageBoxCatcher catcher;
        const int status = platform::qt::run_form(shell::kProject, objects_of(machine));

        QCOMPARE(status, 1);
        QCOMPARE(catcher.seen().size(), 1);
        const MessageBoxCatcher::Seen& report = catcher.seen().front();
        QCOMPARE(report.title, qs(strings::kProjectName));
        QCOMPARE(report.icon, QMessageBox::Critical);
        QCOMPARE(report.text, QStringLiteral("运行时错误 -2147221020 (0x800401E4)：\n\n"
                                             "无效的语法。\n\n程序将关闭。"));
        QVERIFY(find_form() == nullptr);
    }

    void closingTheWindowEndsTheLoopWithStatusZero() {
        ScriptedMachine machine;
        QTimer::singleShot(0, [] {
            if (QtForm* form = find_form()) {
                form->close();
            }
        });
        QCOMPARE(platform::qt::run_form(shell::kProject, objects_of(machine)), 0);
        QVERIFY(machine.log.empty());
    }

    void fontFamiliesFallBackForTheCharacterSet() {
        const platform::Font chinese{.face = u"宋体", .tenths_of_points = 105, .charset = 134};
        const QStringList families = platform::qt::font_families(chinese);
        QCOMPARE(families.value(0), QStringLiteral("宋体"));
        QCOMPARE(families.mid(1), (QStringList{"SimSun", "Noto Serif CJK SC", "Noto Sans CJK SC",
                                               "WenQuanYi Zen Hei", "AR PL UMing CN"}));
        const platform::Font western{.face = u"Arial", .tenths_of_points = 90};
        QCOMPARE(platform::qt::font_families(western), QStringList{"Arial"});
        QVERIFY(platform::qt::font_families(platform::Font{}).isEmpty());
    }
};

QTEST_MAIN(FormTest)
#include "form_test.moc"
