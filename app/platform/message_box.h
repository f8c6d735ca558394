// The empty-input message box while it is up.
#pragma once

class QMessageBox;

namespace quibo {

// The box ShowMessageBox has open, or null. UI thread only.
[[nodiscard]] QMessageBox* OpenMessageBox();

// Closes the open box as its OK button would; false when none is open.
bool CloseOpenMessageBox();

}  // namespace quibo
