#include "StatusNotices.h"

namespace krellon {

StatusNotices& Notices() {
    static StatusNotices notices;
    return notices;
}

void ShowStatus(const QString& text) {
    emit Notices().message(text);
}

}  // namespace krellon
