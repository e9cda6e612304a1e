// The Qt window built from Form1's table, driven in-process with a scripted machine behind it.
// Run at Qt scale factors 1 and 1.5: the window must come out at the layout table's size for
// 96 and 144 dots per inch.
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include <functional>

#include "platform/forms_qt.h"
#include "resources/strings.h"
#include "shell/form1.h"
#include "support.h"

namespace {

using platform::qt::QtForm;
using testing_support::ScriptedMachine;

QString qs(platform::TextView text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Form1 whose click counts its runs and shows a notice, with a text box of a colour whose
// bytes all differ.
int g_runs = 0;
void counting_click(platform::Runtime& runtime, platform::Form&) {
    ++g_runs;
    runtime.message_box(u"busy", platform::styles::kInformation, u"title");
}
constexpr platform::ClickBinding kCountingClicks[] = {{shell::kCommand1, &counting_click}};
const std::vector<platform::Control> kCountingControls = [] {
    std::vector<platform::Control> controls(shell::kForm1.controls.begin(),
                                            shell::kForm1.controls.end());
    for (platform::Control& control : controls) {
        control.back_colour = control.back_colour ? std::optional(0x00123456u) : std::nullopt;
    }
    return controls;
}();
const platform::FormDescription kCountingForm = [] {
    platform::FormDescription form = shell::kForm1;
    form.controls = kCountingControls;
    form.clicks = kCountingClicks;
    return form;
}();
const platform::ProjectHeader kCountingProject = [] {
    platform::ProjectHeader header = shell::kProject;
    header.startup_form = &kCountingForm;
    return header;
}();

struct Box {
    QString title, text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    Qt::WindowModality modality;
};

// Answers every modal message box from inside its event loop: records it, runs `meanwhile`,
// presses OK.
class BoxAnswerer {
  public:
    explicit BoxAnswerer(std::function<void()> meanwhile = {}) : meanwhile_(meanwhile) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box->isVisible()) {
                seen.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                             box->windowModality()});
                if (meanwhile_) {
                    meanwhile_();
                }
                box->button(QMessageBox::Ok)->click();
            }
        });
        timer_.start(10);
    }
    QList<Box> seen;

  private:
    std::function<void()> meanwhile_;
    QTimer timer_;
};

struct Shown {
    ScriptedMachine machine;
    QtForm form;
    QPushButton* button;
    QPlainTextEdit* text;
    explicit Shown(const platform::ProjectHeader& header = shell::kProject)
        : form(header,
               {[this](platform::TextView m) { return machine.get_object(m); },
                [this](platform::TextView c) { return machine.create_object(c); }}),
          button(qobject_cast<QPushButton*>(form.control(shell::kCommand1))),
          text(qobject_cast<QPlainTextEdit*>(form.control(shell::kText1))) {
        form.show();
        active = QTest::qWaitForWindowActive(&form);
    }
    bool active;
};

QRect rect_at(const std::vector<int>& row, int at) {
    return QRect(row[at], row[at + 1], row[at + 2], row[at + 3]);
}

QRect device_rect(QWidget* widget) {
    const qreal scale = widget->devicePixelRatioF();
    const QRect r = widget->geometry();
    return QRect(qRound(r.x() * scale), qRound(r.y() * scale), widget->grab().width(),
                 widget->grab().height());
}

}  // namespace

class FormTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { g_runs = 0; }

    void startsUpAsTheTableSays() {
        Shown shown;
        QVERIFY(shown.active);
        const int dpi = qRound(96 * shown.form.devicePixelRatioF());
        std::vector<int> row;
        for (const std::vector<int>& candidate : testing_support::layout_rows()) {
            if (candidate[0] == dpi) {
                row = candidate;
            }
        }
        QVERIFY2(!row.empty(), "no layout for this scale");
        QCOMPARE(device_rect(&shown.form).size(), QSize(row[1], row[2]));
        QCOMPARE(device_rect(shown.button), rect_at(row, 3));
        QCOMPARE(device_rect(shown.text), rect_at(row, 7));
        QCOMPARE(shown.form.minimumSize(), shown.form.maximumSize());
        QCOMPARE(QFontInfo(shown.text->font()).pixelSize() * dpi / 96, -row[11]);

        const Qt::WindowFlags flags = shown.form.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowTitleHint) && flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        const QPoint offset = shown.form.geometry().center() -
                              QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 1, "the window is not centred on the screen");
        QCOMPARE(shown.form.windowTitle(), qs(strings::kFormCaption));
        QVERIFY(shown.form.windowIcon().availableSizes().contains(QSize(128, 128)));

        QCOMPARE(QApplication::focusWidget(), shown.button);
        QCOMPARE(shown.button->text(), qs(strings::kCommandCaption));
        QCOMPARE(shown.button->toolTip(), qs(strings::kCommandToolTip));
        QCOMPARE(shown.button->font(), shown.form.font());
        QVERIFY(shown.text->toPlainText().isEmpty() && !shown.text->isReadOnly());
        QCOMPARE(shown.text->palette().color(QPalette::Base), QColor(128, 255, 128));
        const QFont font = shown.text->font();
        QCOMPARE(font.families().value(0), qs(strings::kResultFontFace));
        QVERIFY(font.families().contains(QStringLiteral("WenQuanYi Zen Hei")));
        QCOMPARE(font.pointSizeF(), 10.5);
        QCOMPARE(font.weight(), QFont::Normal);
        QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
    }

    void wrapsLongLinesWithoutScrollBars() {
        Shown shown;
        QVERIFY(shown.active);
        shown.form.set_text(shell::kText1, u"E:-1056969216F:2147483647G:-1H:1234567890123");
        QCoreApplication::processEvents();
        QVERIFY(shown.text->document()->firstBlock().layout()->lineCount() > 1);
        QCOMPARE(shown.text->horizontalScrollBar()->maximum(), 0);
        QVERIFY(!shown.text->verticalScrollBar()->isVisible());
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
        Shown shown(kCountingProject);
        QVERIFY(shown.active);
        // The button is clicked again while the handler's notice shows: that click is dropped.
        const BoxAnswerer answerer([&] { shown.button->click(); });
        if (key == 0) {
            QTest::mouseClick(shown.button, Qt::LeftButton);
        } else {
            QTest::keyClick(shown.button, Qt::Key(key),
                            key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        }
        QCOMPARE(g_runs, 1);
        QCOMPARE(answerer.seen.size(), 1);
        shown.button->click();  // the handler has ended: clicks count again
        QCOMPARE(g_runs, 2);
    }

    void tabMovesTheFocusAndEnterStartsANewLine() {
        Shown shown(kCountingProject);
        QVERIFY(shown.active);
        QTest::keyClick(shown.button, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), shown.text);
        QTest::keyClicks(shown.text, QStringLiteral("ab"));
        QTest::keyClick(shown.text, Qt::Key_Return);
        QTest::keyClicks(shown.text, QStringLiteral("c"));
        QTest::keyClick(shown.text, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(shown.text->textCursor().selectedText(), QStringLiteral("ab\u2029c"));
        QTest::keyClick(shown.text, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), shown.button);
        QTest::keyClick(shown.button, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), shown.text);
        QTest::keyClick(shown.text, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), shown.button);
        QCOMPARE(shown.text->toPlainText(), QStringLiteral("ab\nc"));
        QCOMPARE(g_runs, 0);
        QCOMPARE(shown.text->palette().color(QPalette::Base), QColor(0x56, 0x34, 0x12));
    }

    void reportsOneDrivePerLineOrGivesNoticeAndKeepsTheText() {
        Shown shown;
        QVERIFY(shown.active);
        shown.machine.disks = testing_support::disks_from("E:yes:1 F:yes:2");
        shown.text->setPlainText(QStringLiteral("typed"));
        shown.button->click();
        QCOMPARE(shown.text->toPlainText(), QStringLiteral("E:1\nF:2"));
        QCOMPARE(shown.text->document()->blockCount(), 2);

        shown.machine.disks.clear();
        const BoxAnswerer answerer;
        shown.button->click();
        QCOMPARE(answerer.seen.size(), 1);
        const Box& notice = answerer.seen.front();
        QCOMPARE(notice.title, qs(strings::kNoDriveTitle));
        QCOMPARE(notice.text, qs(strings::kNoDrivePrompt));
        QCOMPARE(notice.icon, QMessageBox::Information);
        QCOMPARE(notice.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(notice.modality, Qt::ApplicationModal);
        QCOMPARE(shown.text->toPlainText(), QStringLiteral("E:1\nF:2"));
        QVERIFY(shown.form.isVisible());
        QCOMPARE(shown.form.exit_status(), 0);
        QVERIFY_THROWS_EXCEPTION(platform::Error, shown.form.set_text(9999, u"x"));
    }

    void endsWithStatusOneAfterTheErrorReportAndZeroWhenClosed() {
        ScriptedMachine machine;
        const platform::qt::ObjectSource objects = {
            [&](platform::TextView m) { return machine.get_object(m); },
            [&](platform::TextView c) { return machine.create_object(c); }};
        const auto form = [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* found = dynamic_cast<QtForm*>(widget); found && found->isVisible()) {
                    return found;
                }
            }
            return static_cast<QtForm*>(nullptr);
        };
        QTimer::singleShot(100, [&] { form()->close(); });
        QCOMPARE(platform::qt::run_form(shell::kProject, objects), 0);
        QVERIFY(machine.log.empty());

        machine.fail_at = 0;
        QTimer::singleShot(
            100, [&] { qobject_cast<QPushButton*>(form()->control(shell::kCommand1))->click(); });
        const BoxAnswerer answerer;
        QCOMPARE(platform::qt::run_form(shell::kProject, objects), 1);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.front().title, qs(strings::kProjectName));
        QCOMPARE(answerer.seen.front().icon, QMessageBox::Critical);
        QCOMPARE(answerer.seen.front().text,
                 QStringLiteral("运行时错误 -2147217407 (0x80041001)：\n\nscripted failure\n\n"
                                "程序将关闭。"));
    }
};

QTEST_MAIN(FormTest)
#include "form_test.moc"
