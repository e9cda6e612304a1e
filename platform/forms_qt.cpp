// The forms run time over Qt Widgets: builds a form from its description in device-independent
// pixels (Qt scales them to the screen), shows message boxes and runs the event loop.
#include "platform/forms_qt.h"

#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace platform {

namespace {

// The program's icon, built into the executable from the same .ico the Windows build uses.
constexpr char kApplicationIcon[] = ":/tavrin/Tavrin.ico";

int to_dip(int twips) {
    return twips_to_pixels(twips, 96);
}

QString qstring(TextView text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Texts end their lines with CR LF; Qt takes either character alone as a line break.
QString display_text(TextView text) {
    return qstring(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// A modal message box with an OK button and the icon of the style; returns when the user
// dismisses it.
void show_message(QWidget* parent, int style, TextView title, TextView text) {
    QMessageBox box(style == styles::kCritical      ? QMessageBox::Critical
                    : style == styles::kInformation ? QMessageBox::Information
                                                    : QMessageBox::NoIcon,
                    qstring(title), display_text(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

QFont to_qfont(const Font& font) {
    QFont result;
    QStringList families{qstring(font.face)};
    // Where the named face is missing, fonts that cover the character set, best match first.
    if (font.charset == kGb2312Charset) {
        families << QStringLiteral("SimSun") << QStringLiteral("Noto Serif CJK SC")
                 << QStringLiteral("Noto Sans CJK SC") << QStringLiteral("WenQuanYi Zen Hei")
                 << QStringLiteral("AR PL UMing CN");
    }
    result.setFamilies(families);
    result.setPointSizeF(font.tenths_of_points / 10.0);
    result.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 1, 1000)));
    return result;
}

// A push button that Enter and Return click as well. Qt's own button takes them only inside a
// dialog; Space it handles itself. A held key clicks once.
class FormButton final : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (!event->isAutoRepeat()) {
                click();
            }
            event->accept();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

}  // namespace

namespace qt {

QtForm::QtForm(const ProjectHeader& header, ObjectSource objects)
    : Form(header, std::move(objects)) {
    // A fixed single border: the title and the buttons the description asks for.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint |
                   (description().min_button ? Qt::WindowMinimizeButtonHint : Qt::Widget) |
                   (description().max_button ? Qt::WindowMaximizeButtonHint : Qt::Widget));
    setWindowTitle(qstring(description().caption));
    setWindowIcon(QIcon(QString::fromLatin1(kApplicationIcon)));
    setFixedSize(to_dip(description().client_width), to_dip(description().client_height));

    for (const Control& control : description().controls) {
        QWidget* widget = nullptr;
        if (control.kind == ControlKind::CommandButton) {
            auto* button = new FormButton(qstring(control.caption), this);
            connect(button, &QPushButton::clicked, this, [this, &control] { click(control); });
            widget = button;
        } else {
            // Lines wrap at the box's width; no scroll bars, the caret scrolls the text. Tab
            // moves the focus on, Enter starts a new line.
            auto* box = new QPlainTextEdit(display_text(control.caption), this);
            box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            box->setTabChangesFocus(true);
            widget = box;
        }
        widget->setGeometry(to_dip(control.twips.left), to_dip(control.twips.top),
                            to_dip(control.twips.width), to_dip(control.twips.height));
        if (control.font != nullptr) {
            widget->setFont(to_qfont(*control.font));
        }
        if (control.back_colour) {
            const Colour colour = *control.back_colour;
            const QColor back(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
            QPalette palette = widget->palette();
            palette.setColor(QPalette::Base, back);
            // Text that stays readable whatever the desktop's colour scheme.
            palette.setColor(QPalette::Text, qGray(back.rgb()) >= 128 ? Qt::black : Qt::white);
            widget->setPalette(palette);
        }
        widget->setToolTip(qstring(control.tool_tip));
        widget->setAccessibleName(qstring(control.accessible_name));
        if (!controls_.empty()) {
            setTabOrder(controls_.back().second, widget);
        }
        controls_.emplace_back(&control, widget);
    }
    controls_.front().second->setFocus();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
    }
}

QWidget* QtForm::control(TextView name) const {
    const auto found =
        std::ranges::find_if(controls_, [&](auto& c) { return c.first->name == name; });
    return found != controls_.end() ? found->second : nullptr;
}

void QtForm::set_control_text(const Control& control, TextView text) {
    QWidget* widget = this->control(control.name);
    if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) {
        box->setPlainText(display_text(text));
    } else {
        static_cast<QPushButton*>(widget)->setText(qstring(text));
    }
}

void QtForm::message_box(TextView prompt, int style, TextView title) {
    show_message(this, style, title, prompt);
}

}  // namespace qt

int run(const ProjectHeader& header, const ObjectSource& objects) {
    try {
        qt::QtForm form(header, objects);
        form.show();
        QApplication::exec();  // until the last window has closed
        return form.exit_status();
    } catch (...) {
        show_message(nullptr, styles::kCritical, header.project_name, error_report());
    }
    return 1;
}

}  // namespace platform
