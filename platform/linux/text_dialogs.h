// How the Linux layer shows a dialog as text.  A modal dialog's static
// lines are printed to standard output in the order given, top to bottom as
// the real dialog shows them, and then its OK button is pressed: a terminal
// program never waits for a key.  Texts set into a modeless window (the
// status window) go to standard error as they are set, and its progress
// bar is drawn as a line on standard error when that is a terminal.  Message
// boxes go to standard error.
#pragma once

struct TextDialogLayout {
    int template_id;
    int ok_button;
    int line_count;
    int lines[8];
};

void register_text_dialog_layouts(const TextDialogLayout* layouts, int count);

// Nothing but message boxes: no status text, no result lines, no progress.
void show_message_boxes_only();

// The result dialogs' lines go to standard error: standard output carries
// the data itself.
void print_results_to_stderr();
