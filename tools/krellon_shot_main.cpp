// Renders the editor's main window (menus, board strip, status bar) offscreen into a PNG, after a
// few scripted steps, so that what a user would see can be looked at without a display:
//   krellon-shot FOLDER OUT.png [board=N] [set=NAME] [mode=0|1|2] [hidden=0|1] [brick=K]
//                [preview=3|4] [next=N]
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

#include "editor/Form1.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "shell/BoardStrip.h"
#include "shell/MainWindow.h"

namespace {

// The number after "=" in step, if it is one within [low, high].
bool NumberIn(const QString& value, int low, int high, int& number) {
    bool ok = false;
    number = value.toInt(&ok);
    return ok && number >= low && number <= high;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: krellon-shot FOLDER OUT.png [board=N] [set=NAME] [mode=M] [hidden=0|1]\n");
        return 2;
    }
    // The editor keeps an edit journal in the user's data folder; a screenshot leaves none.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    qputenv("LOCALAPPDATA", data.path().toLocal8Bit());
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("krellon");
    const QString out = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[2]));
    if (!QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "krellon-shot: no folder %s\n", argv[1]);
        return 1;
    }
    krellon::MainWindow window;
    krellon::Form1& form = *window.editor();
    for (int i = 3; i < argc; ++i) {
        const QString step = QString::fromLocal8Bit(argv[i]);
        const QString value = step.section('=', 1);
        int n = 0;
        bool done = true;
        if (step.startsWith("set=")) {
            const int index = form.Combo3->findText(value);
            done = index >= 0;
            if (done) {
                form.Combo3->SetListIndex(index);
            }
        } else if (step.startsWith("board=") && NumberIn(value, 1, form.BoardCount(), n)) {
            form.ShowBoard(n);
        } else if (step.startsWith("mode=") && NumberIn(value, 0, 2, n)) {
            form.Option1->Button(n)->setChecked(true);
            form.Option1_Click(n);
        } else if (step.startsWith("hidden=") && (value == "0" || value == "1")) {
            form.Check1->setChecked(value == "1");
            form.Check1_Click();
        } else if (step.startsWith("preview=") && (value == "3" || value == "4")) {
            value == "3" ? form.Picture3_Click() : form.Picture4_Click();
        } else if (step.startsWith("next=") && NumberIn(value, 0, 1000, n)) {
            for (int k = 0; k < n && krellon::Shared().Explorer; ++k) {
                krellon::Shared().Explorer->Command4_Click();
            }
        } else if (step.startsWith("brick=") && NumberIn(value, 1, form.Combo2->ListCount(), n)) {
            form.Combo2->SetListIndex(n - 1);
        } else {
            done = false;
        }
        if (!done) {
            std::fprintf(stderr, "krellon-shot: cannot do %s here\n", argv[i]);
            return 2;
        }
    }
    window.show();
    app.processEvents();
    window.strip()->refresh();
    app.processEvents();
    if (krellon::Form2* explorer = krellon::Shared().Explorer) {
        app.processEvents();
        explorer->grab().save(QString(out).replace(".png", "-explorer.png"));
    }
    return window.grab().save(out) ? 0 : 1;
}
