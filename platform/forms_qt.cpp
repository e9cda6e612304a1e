// The forms run time over Qt Widgets: builds a form from its description, runs the event loop
// on the one thread, dispatches clicks, shows message boxes and the top-level error report.
#include "platform/forms_qt.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <limits>

#include "platform/automation_udev.h"
#include "platform/events.h"

namespace platform {

namespace {

constexpr int kGb2312Charset = 134;

// The program's icon, built into the executable from the same .ico the Windows build uses.
constexpr char kApplicationIcon[] = ":/tavrin/Tavrin.ico";

QString qstring(TextView text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Texts end their lines with CR LF; Qt takes either character alone as a line break.
QString display_text(TextView text) {
    QString shown = qstring(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

QMessageBox::Icon message_icon(int style) {
    switch (style & 0x70) {
        case styles::kCritical:
            return QMessageBox::Critical;
        case 32:
            return QMessageBox::Question;
        case 48:
            return QMessageBox::Warning;
        case styles::kInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// A modal message box with an OK button; returns when the user dismisses it. The program only
// ever asks for OK alone.
void show_message(QWidget* parent, QMessageBox::Icon icon, TextView title, TextView text) {
    QMessageBox box(icon, qstring(title), display_text(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

QFont to_qfont(const Font& font) {
    QFont result;
    result.setFamilies(qt::font_families(font));
    result.setPointSizeF(font.tenths_of_points / 10.0);
    result.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 1, 1000)));
    result.setItalic(font.italic);
    result.setUnderline(font.underline);
    result.setStrikeOut(font.strikeout);
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

QWidget* create_text_box(const Control& control, QWidget* parent) {
    if (!control.multi_line) {
        auto* line = new QLineEdit(qstring(control.caption), parent);
        line->setMaxLength(std::numeric_limits<int>::max());  // no limit of its own
        return line;
    }
    auto* box = new QPlainTextEdit(display_text(control.caption), parent);
    // Lines wrap at the box's width; no scroll bars, the caret scrolls the text. Tab moves
    // the focus on, Enter starts a new line.
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setTabChangesFocus(true);
    return box;
}

void report_startup_error(const ProjectHeader& header, const Error& error) {
    if (QApplication::instance() != nullptr) {
        show_message(nullptr, QMessageBox::Critical, header.project_name, error_report_text(error));
    }
}

}  // namespace

namespace qt {

QColor to_qcolor(Colour colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

QStringList font_families(const Font& font) {
    QStringList families;
    if (!font.face.empty()) {
        families << qstring(font.face);
    }
    // Where the named face is missing, fonts that cover the character set, best match first.
    if (font.charset == kGb2312Charset) {
        families << QStringLiteral("SimSun") << QStringLiteral("Noto Serif CJK SC")
                 << QStringLiteral("Noto Sans CJK SC") << QStringLiteral("WenQuanYi Zen Hei")
                 << QStringLiteral("AR PL UMing CN");
    }
    return families;
}

QtForm::QtForm(const ProjectHeader& header, ObjectSource objects)
    : header_(header), description_(*header.startup_form), objects_(std::move(objects)) {
    // A fixed single border: the title and the buttons the description asks for.
    Qt::WindowFlags flags =
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (description_.min_button) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (description_.max_button) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    setWindowFlags(flags);
    setWindowTitle(qstring(description_.caption));
    setWindowIcon(QIcon(QString::fromLatin1(kApplicationIcon)));
    setFixedSize(qt::to_dip(description_.client_width), qt::to_dip(description_.client_height));

    for (const Control* control : in_tab_order(description_)) {
        create_control(*control);
    }
    for (std::size_t i = 1; i < controls_.size(); ++i) {
        setTabOrder(controls_[i - 1].widget, controls_[i].widget);
    }
    if (!controls_.empty()) {
        controls_.front().widget->setFocus();
    }

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // The description only knows centred.
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
    }
}

QtForm::~QtForm() = default;

void QtForm::create_control(const Control& control) {
    QWidget* widget = nullptr;
    switch (control.kind) {
        case ControlKind::CommandButton: {
            auto* button = new FormButton(qstring(control.caption), this);
            const ControlId id = control.id;
            connect(button, &QPushButton::clicked, this, [this, id] { click(id); });
            widget = button;
            break;
        }
        case ControlKind::TextBox:
            widget = create_text_box(control, this);
            break;
    }
    widget->setGeometry(qt::to_dip(control.twips.left), qt::to_dip(control.twips.top),
                        qt::to_dip(control.twips.width), qt::to_dip(control.twips.height));
    if (control.font != nullptr) {
        widget->setFont(to_qfont(*control.font));
    }
    if (control.back_colour) {
        const QColor back = qt::to_qcolor(*control.back_colour);
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Base, back);
        // Text that stays readable whatever the desktop's colour scheme.
        palette.setColor(QPalette::Text, qGray(back.rgb()) >= 128 ? Qt::black : Qt::white);
        widget->setPalette(palette);
    }
    if (!control.tool_tip.empty()) {
        widget->setToolTip(qstring(control.tool_tip));
    }
    if (!control.accessible_name.empty()) {
        widget->setAccessibleName(qstring(control.accessible_name));
    }
    controls_.push_back({&control, widget});
}

QWidget* QtForm::control(ControlId id) const {
    for (const LiveControl& control : controls_) {
        if (control.description->id == id) {
            return control.widget;
        }
    }
    return nullptr;
}

void QtForm::set_text(ControlId id, TextView text) {
    QWidget* widget = control(id);
    if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) {
        box->setPlainText(display_text(text));
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        line->setText(qstring(text));
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setText(qstring(text));
    } else {
        platform::raise(codes::kInvalidArgument);
    }
}

Object QtForm::get_object(TextView moniker) {
    return objects_.get_object(moniker);
}

Object QtForm::create_object(TextView class_name) {
    return objects_.create_object(class_name);
}

void QtForm::message_box(TextView prompt, int style, TextView title) {
    show_message(this, message_icon(style), title, prompt);
}

void QtForm::click(ControlId id) {
    if (const std::optional<Error> error = clicks_.click(id, *this, *this)) {
        report_error(*error);
    }
}

// The top-level error report: the error's number and description, then the end.
void QtForm::report_error(const Error& error) {
    exit_status_ = 1;
    show_message(this, QMessageBox::Critical, header_.project_name, error_report_text(error));
    close();
}

int run_form(const ProjectHeader& header, ObjectSource objects) {
    QtForm form(header, std::move(objects));
    form.show();
    QApplication::exec();  // until the last window has closed
    return form.exit_status();
}

}  // namespace qt

int run(const ProjectHeader& header) {
    try {
        return qt::run_form(header, {&udev_get_object, &udev_create_object});
    } catch (...) {
        report_startup_error(header, current_error());
    }
    return 1;
}

}  // namespace platform
