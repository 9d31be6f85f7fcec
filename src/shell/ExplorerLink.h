#pragma once

#include <QString>

namespace krellon {

class Form1;
class Form2;

// Shows the explorer on image (1-based) of an image file, creating it on first use; an image
// file it changes is read again by editor (when there is one).
Form2* OpenExplorer(Form1* editor, const QString& file, int image);

// The editor's previews and its Image Explorer entry open the explorer through OpenExplorer.
void LinkExplorer(Form1* editor);

}  // namespace krellon
