#pragma once

namespace quillfen {

// "Undo Last Run": shows what undoing would do and asks; then does it and says how it went.
void undoLastRun();

} // namespace quillfen
