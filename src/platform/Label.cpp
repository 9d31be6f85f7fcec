#include "Label.h"
#include "Handlers.h"

#include <QMouseEvent>

namespace krellon {

Label::Label(QWidget* parent, const QString& caption) : QLabel(parent) {
    // Captions are shown as they are: a name read from a file is never taken for markup.
    setTextFormat(Qt::PlainText);
    setText(caption);
}

void Label::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
}

void Label::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) {
        RunHandler(this, Click);
    }
}

}  // namespace krellon
