// Renders the editor window offscreen into a PNG, after a few scripted steps, so that what a
// user would see can be looked at without a display:
//   krellon-shot FOLDER OUT.png [board=N] [set=NAME] [mode=0|1|2] [hidden=0|1] [brick=K]
//                [preview=3|4] [next=N]
#include <QApplication>
#include <QDir>
#include <cstdio>

#include "editor/Form1.h"
#include "explorer/Form2.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "shared/Module1.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: krellon-shot FOLDER OUT.png [board=N] [set=NAME] [mode=M] [hidden=0|1]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString out = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[2]));
    if (!QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "krellon-shot: no folder %s\n", argv[1]);
        return 1;
    }
    krellon::Form1 form;
    for (int i = 3; i < argc; ++i) {
        const QString step = QString::fromLocal8Bit(argv[i]);
        const QString value = step.section('=', 1);
        if (step.startsWith("set=")) {
            const int index = form.Combo3->findText(value);
            form.Combo3->SetListIndex(index);
        } else if (step.startsWith("board=")) {
            form.CurrentBoard = value.toInt();
            form.PaintBoard();
        } else if (step.startsWith("mode=")) {
            form.Option1->Button(value.toInt())->setChecked(true);
            form.Option1_Click(value.toInt());
        } else if (step.startsWith("hidden=")) {
            form.Check1->setChecked(value == "1");
            form.Check1_Click();
        } else if (step.startsWith("preview=")) {
            value == "3" ? form.Picture3_Click() : form.Picture4_Click();
        } else if (step.startsWith("next=")) {
            for (int n = 0; n < value.toInt() && krellon::Shared().Explorer; ++n) {
                krellon::Shared().Explorer->Command4_Click();
            }
        } else if (step.startsWith("brick=")) {
            form.Combo2->SetListIndex(value.toInt() - 1);
        }
    }
    form.show();
    app.processEvents();
    if (krellon::Form2* explorer = krellon::Shared().Explorer) {
        app.processEvents();
        explorer->grab().save(QString(out).replace(".png", "-explorer.png"));
    }
    return form.grab().save(out) ? 0 : 1;
}
