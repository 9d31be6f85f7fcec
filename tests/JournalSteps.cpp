#include "JournalSteps.h"

#include <QUndoStack>

#include "document/BoardSetDocument.h"
#include "editor/Form1.h"
#include "platform/ComboBox.h"
#include "platform/Dialogs.h"

using namespace krellon;

void DoJournalSteps(Form1& f, int n) {
    for (int i = 0; i < n; ++i) {
        const auto x = static_cast<float>((i * 7) % 20 * 30 + 5);
        const auto y = static_cast<float>((i * 3) % 20 * 15 + 5);
        if (i % 12 == 5) {
            f.Document->undoStack()->undo();
        } else if (i % 6 == 5) {
            SetInputHandlerForTesting([i](auto&&...) { return QString("Name %1").arg(i); });
            f.Label1_Click();
            SetInputHandlerForTesting(nullptr);
        } else if (i % 6 == 4) {
            f.Picture1_MouseDown(2, x, y);
        } else {
            f.Combo2->SetListIndex(i % f.Combo2->ListCount());
            f.Picture1_MouseDown(1, x, y);
        }
    }
}
