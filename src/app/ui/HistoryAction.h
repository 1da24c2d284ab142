#pragma once
// The window's "История" action: the identified tracker's runs from the
// results database the window's "Протокол" stores into.
namespace ktx {

class TKorvantixtest;

// Puts the "История" button in the window's tool row.
void installHistoryAction(TKorvantixtest& window);

}  // namespace ktx
