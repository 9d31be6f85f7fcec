#pragma once

namespace krellon {
class Form1;
}

// The same n edits, step after step, for the journal's kill test: presses with several
// bricks, a removal, a rename and an undo now and then.
void DoJournalSteps(krellon::Form1& form, int n);
