// Printing the shown image: the system's print dialog chooses the printer
// and the number of copies; each copy is one page on which the display
// bitmap fills the printable area with its proportions kept.
#pragma once

#include "viewer/main_window/main_window_state.h"

// False only when the dialog's record cannot be allocated; a cancel and
// every failure (shown in one error box) answer true.
bool PrintImage(MainWindowState& state);
