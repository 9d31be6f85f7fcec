#include "EditorIcon.h"

namespace krellon {

QIcon EditorIcon() {
    QIcon builtIn;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        builtIn.addFile(QStringLiteral(":/icons/org.krellon.BoardEditor-%1.png").arg(size));
    }
    return QIcon::fromTheme("org.krellon.BoardEditor", builtIn);
}

}  // namespace krellon
