// Answers the next modal message box from inside its own event loop: records what it shows,
// optionally does something while it is up, then presses OK.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>

namespace testing_support {

class MessageBoxCatcher {
  public:
    struct Seen {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        Qt::WindowModality modality = Qt::NonModal;
    };

    explicit MessageBoxCatcher(std::function<void()> while_shown = {})
        : while_shown_(std::move(while_shown)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
    }

    // Every box answered so far, in order.
    const QList<Seen>& seen() const { return seen_; }

  private:
    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        seen_.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                      box->windowModality()});
        if (while_shown_) {
            while_shown_();
        }
        box->button(QMessageBox::Ok) != nullptr ? box->button(QMessageBox::Ok)->click()
                                                : box->reject();
    }

    std::function<void()> while_shown_;
    QTimer timer_;
    QList<Seen> seen_;
};

}  // namespace testing_support
