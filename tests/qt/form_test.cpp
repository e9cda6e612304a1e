// The Qt window built from Form1's table, its click run against a scripted machine. Run at Qt
// scale factors 1 and 1.5: the window must come out at the layout table's 96 or 144 dpi size.
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

using testing_support::ScriptedMachine;

QString qs(platform::TextView text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Answers each modal message box from inside its event loop: records its title, text and
// icon, runs `meanwhile`, presses OK.
struct BoxAnswerer {
    explicit BoxAnswerer(std::function<void()> meanwhile = {}) {
        QObject::connect(&timer, &QTimer::timeout, [this, meanwhile] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box->isVisible()) {
                QVERIFY(box->standardButtons() == QMessageBox::Ok);
                seen << box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon());
                if (meanwhile) {
                    meanwhile();
                }
                box->button(QMessageBox::Ok)->click();
            }
        });
        timer.start(10);
    }
    QStringList seen;
    QTimer timer;
};

platform::qt::ObjectSource objects_of(ScriptedMachine& machine) {
    return {[&machine](platform::TextView m) { return machine.get_object(m); },
            [&machine](platform::TextView c) { return machine.create_object(c); }};
}

struct Shown {
    ScriptedMachine machine;
    platform::qt::QtForm form{shell::kProject, objects_of(machine)};
    QPushButton* button = qobject_cast<QPushButton*>(form.control(shell::kCommand1));
    QPlainTextEdit* text = qobject_cast<QPlainTextEdit*>(form.control(shell::kText1));
    bool active = (form.show(), QTest::qWaitForWindowActive(&form));

    int clicks() const {
        return static_cast<int>(std::count_if(machine.log.begin(), machine.log.end(),
                                              [](auto& entry) { return entry[0] == 'G'; }));
    }
};

QRect device_rect(QWidget* widget) {
    const qreal scale = widget->devicePixelRatioF();
    return QRect(qRound(widget->x() * scale), qRound(widget->y() * scale), widget->grab().width(),
                 widget->grab().height());
}

}  // namespace

class FormTest : public QObject {
    Q_OBJECT

  private slots:
    void startsUpAsTheTableSays() {
        Shown shown;
        QVERIFY(shown.active);
        const int dpi = qRound(96 * shown.form.devicePixelRatioF());
        const auto rows = testing_support::layout_rows();
        const auto row =
            std::find_if(rows.begin(), rows.end(), [&](auto& r) { return r[0] == dpi; });
        QVERIFY2(row != rows.end(), "no layout for this scale");
        const std::vector<int>& r = *row;
        QCOMPARE(device_rect(&shown.form).size(), QSize(r[1], r[2]));
        QCOMPARE(device_rect(shown.button), QRect(r[3], r[4], r[5], r[6]));
        QCOMPARE(device_rect(shown.text), QRect(r[7], r[8], r[9], r[10]));
        QCOMPARE(QFontInfo(shown.text->font()).pixelSize() * dpi / 96, -r[11]);
        QCOMPARE(shown.form.minimumSize(), shown.form.maximumSize());
        const Qt::WindowFlags flags = shown.form.windowFlags();
        const Qt::WindowFlags buttons = Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
        QCOMPARE(flags & (buttons | Qt::WindowMinMaxButtonsHint), buttons);
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
        QCOMPARE(platform::qt::to_qcolor(0x00123456), QColor(0x56, 0x34, 0x12));
        const QFont font = shown.text->font();
        QCOMPARE(font.families().value(0), qs(strings::kResultFontFace));
        QVERIFY(font.families().contains(QStringLiteral("WenQuanYi Zen Hei")));
        QCOMPARE(font.pointSizeF(), 10.5);
        QCOMPARE(font.weight(), QFont::Normal);
        QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
    }

    // With no drive the click shows its notice; a click while it shows is dropped.
    void mouseSpaceAndEnterEachClickOnce() {
        for (const int key :
             {0 /* the mouse */, int(Qt::Key_Space), int(Qt::Key_Return), int(Qt::Key_Enter)}) {
            Shown shown;
            QVERIFY(shown.active);
            const BoxAnswerer answerer([&] { shown.button->click(); });
            if (key == 0) {
                QTest::mouseClick(shown.button, Qt::LeftButton);
            } else {
                QTest::keyClick(shown.button, Qt::Key(key),
                                key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            }
            QCOMPARE(shown.clicks(), 1);
            QCOMPARE(answerer.seen,
                     QStringList(qs(strings::kNoDriveTitle) + "|" + qs(strings::kNoDrivePrompt) +
                                 "|" + QString::number(QMessageBox::Information)));
            shown.button->click();  // the handler has ended: clicks count again
            QCOMPARE(shown.clicks(), 2);
        }
    }

    void tabMovesTheFocusAndEnterStartsANewLine() {
        Shown shown;
        QVERIFY(shown.active);
        QTest::keyClick(shown.button, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), shown.text);
        QTest::keyClicks(shown.text, QStringLiteral("ab"));
        QTest::keyClick(shown.text, Qt::Key_Return);
        QTest::keyClicks(shown.text, QStringLiteral("c"));
        QTest::keyClick(shown.text, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), shown.button);
        QCOMPARE(shown.text->toPlainText(), QStringLiteral("ab\nc"));
        QCOMPARE(shown.clicks(), 0);
    }

    void showsOneDrivePerLineWrappedAndKeepsItWhenNoneIsLeft() {
        Shown shown;
        QVERIFY(shown.active);
        shown.machine.disks = testing_support::disks_from("E:yes:1 F:yes:2");
        shown.button->click();
        QCOMPARE(shown.text->toPlainText(), QStringLiteral("E:1\nF:2"));
        QCOMPARE(shown.text->document()->blockCount(), 2);
        shown.machine.disks.clear();
        const BoxAnswerer answerer;
        shown.button->click();
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(shown.text->toPlainText(), QStringLiteral("E:1\nF:2"));
        QVERIFY_THROWS_EXCEPTION(platform::Error, shown.form.set_text(9999, u"x"));

        shown.form.set_text(shell::kText1, u"E:-1056969216F:2147483647G:-1H:1234567890123");
        QCoreApplication::processEvents();
        QVERIFY(shown.text->document()->firstBlock().layout()->lineCount() > 1);
        QCOMPARE(shown.text->horizontalScrollBar()->maximum(), 0);
        QVERIFY(!shown.text->verticalScrollBar()->isVisible());
    }

    void endsWithStatusZeroWhenClosedAndOneAfterTheErrorReport() {
        ScriptedMachine machine;
        const auto form = [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* found = dynamic_cast<platform::qt::QtForm*>(widget)) {
                    return found;
                }
            }
            return static_cast<platform::qt::QtForm*>(nullptr);
        };
        QTimer::singleShot(100, [&] { form()->close(); });
        QCOMPARE(platform::qt::run_form(shell::kProject, objects_of(machine)), 0);
        QVERIFY(machine.log.empty());

        machine.fail_at = 0;
        QTimer::singleShot(
            100, [&] { qobject_cast<QPushButton*>(form()->control(shell::kCommand1))->click(); });
        const BoxAnswerer answerer;
        QCOMPARE(platform::qt::run_form(shell::kProject, objects_of(machine)), 1);
        QCOMPARE(answerer.seen, QStringList(qs(strings::kProjectName) +
                                            "|运行时错误 -2147217407 (0x80041001)：\n\nscripted "
                                            "failure\n\n程序将关闭。|" +
                                            QString::number(QMessageBox::Critical)));
    }
};

QTEST_MAIN(FormTest)
#include "form_test.moc"
