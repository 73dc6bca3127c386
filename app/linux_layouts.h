// The result dialogs' lines in the order the real dialogs show them, top to
// bottom, for the Linux layer that prints them.
#pragma once

void register_linux_layouts();
