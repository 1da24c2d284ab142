#pragma once
// The window's "Протокол" action: the line check of korvantix-check on the
// identified tracker, its steps shown in a small dialog as they run, and the
// HTML report opened at the end.
namespace ktx {

class TKorvantixtest;

// Puts the "Протокол" button in the window's tool row.
void installProtocolAction(TKorvantixtest& window);

}  // namespace ktx
