#pragma once

namespace quillfen {

// Asks, then deletes the entry keys and the general keys from the store, says so and ends
// the program at once, so that no open window writes its values back. Answers whether the
// user went ahead; it returns after going ahead only when a test observes the program's end,
// and the caller must then leave its handler without storing anything.
bool sc_ClearSettings();

} // namespace quillfen
