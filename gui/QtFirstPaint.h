#pragma once

// For start-up measurements: with O8R_EXIT_AFTER_FIRST_PAINT set in the
// environment, the program writes "painted" to standard output once its main
// window has been painted for the first time, and closes the window.

#include <QDialog>

namespace o8r {

// Watches `window` when the variable is set; does nothing otherwise.
void ExitAfterFirstPaintIfAsked(QDialog& window);

}  // namespace o8r
