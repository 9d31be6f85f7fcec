#pragma once

#include "document/BoardSetDocument.h"
#include "document/EditJournalKeeper.h"
#include "render/BoardLook.h"

namespace krellon {

// What the main window works on, apart from any widget: the open set with its history, the
// journal that keeps its unsaved steps, and the look its boards are drawn from. The main window
// owns it and hands its parts to the editor, the strip and the tools. The journal goes first, while
// the history still tells whether the set holds unsaved work; the set empties its history without a
// word to anyone.
class EditorSession {
public:
    EditorSession() = default;
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    BoardSetDocument* document() { return &document_; }
    EditJournalKeeper* journal() { return &journal_; }
    render::BoardLook* look() { return &look_; }

private:
    render::BoardLook look_;
    BoardSetDocument document_;
    EditJournalKeeper journal_{&document_};
};

}  // namespace krellon
