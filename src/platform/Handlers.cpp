#include "Handlers.h"

#include <QWidget>
#include <exception>
#include <new>

#include "Dialogs.h"

namespace krellon {

QString MessageTitle(QWidget* source) {
    for (QWidget* w = source; w != nullptr; w = w->parentWidget()) {
        const QVariant title = w->property("messageTitle");
        if (title.isValid()) {
            return title.toString();
        }
    }
    return source != nullptr ? source->window()->windowTitle() : QString();
}

void RunHandler(QWidget* source, const std::function<void()>& handler) {
    if (!handler) {
        return;
    }
    try {
        handler();
    } catch (const std::bad_alloc&) {
        MsgBox(source, "There is not enough memory for this action. It was stopped.",
               MessageTitle(source));
    } catch (const std::exception& error) {
        MsgBox(source,
               QString("This action was stopped: %1").arg(QString::fromLocal8Bit(error.what())),
               MessageTitle(source));
    } catch (...) {
        MsgBox(source, "This action was stopped by an unexpected error.", MessageTitle(source));
    }
}

}  // namespace krellon
