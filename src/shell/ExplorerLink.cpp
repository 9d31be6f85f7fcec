#include "ExplorerLink.h"

#include "editor/Form1.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"

namespace krellon {

Form2* OpenExplorer(Form1* editor, const QString& file, int image) {
    Shared().ExplorerFile = file;
    Shared().CurrentImage = image;
    Form2* explorer = Form2::ShowExplorer();
    if (editor != nullptr) {
        QObject::connect(explorer, &Form2::imageFileChanged, editor, &Form1::ImageFileChanged,
                         Qt::UniqueConnection);
    }
    return explorer;
}

void LinkExplorer(Form1* editor) {
    QObject::connect(
        editor, &Form1::explorerRequested, editor,
        [editor](const QString& file, int image) { OpenExplorer(editor, file, image); });
}

}  // namespace krellon
