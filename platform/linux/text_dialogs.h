// How the Linux layer shows a dialog as text.  A modal dialog's static
// lines are printed to standard output in the order given, top to bottom as
// the real dialog shows them, and then its OK button is pressed: a terminal
// program never waits for a key.  Texts set into a modeless window (the
// status window) go to standard error as they are set.
#pragma once

struct TextDialogLayout {
    int template_id;
    int ok_button;
    int line_count;
    int lines[8];
};

void register_text_dialog_layouts(const TextDialogLayout* layouts, int count);
