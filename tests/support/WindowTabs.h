#pragma once
// The window's tabs, by their pages, for tests that reach into one.
#include "accel/ui/AccelTab.h"
#include "app/ui/TKorvantixtest.h"
#include "can/ui/CanTab.h"
#include "gnss/ui/GnssTab.h"
#include "gsm/ui/GsmTab.h"
#include "io/ui/InputsTab.h"
#include "onewire/ui/OneWireTab.h"
#include "rs485/ui/Rs485Tab.h"
#include "telit/ui/TelitTab.h"

namespace ktx::test {

// The pages in the window's order.
enum WindowPage { kInputsPage, kGsmPage, kGnssPage, kOneWirePage, kRs485Page, kCanPage, kAccelPage, kTelitPage,
    kAboutPage, kPageCount };

// Each made now if it was not yet.
inline InputsTab* inputsTab(TKorvantixtest& window) { return window.tabNamed<InputsTab>("TabSheet1"); }
inline GsmTab* gsmTab(TKorvantixtest& window) { return window.tabNamed<GsmTab>("TabSheet2"); }
inline GnssTab* gnssTab(TKorvantixtest& window) { return window.tabNamed<GnssTab>("TabSheet7"); }
inline OneWireTab* oneWireTab(TKorvantixtest& window) { return window.tabNamed<OneWireTab>("TabSheet6"); }
inline Rs485Tab* rs485Tab(TKorvantixtest& window) { return window.tabNamed<Rs485Tab>("TabSheet4"); }
inline CanTab* canTab(TKorvantixtest& window) { return window.tabNamed<CanTab>("TabSheet5"); }
inline AccelTab* accelTab(TKorvantixtest& window) { return window.tabNamed<AccelTab>("TabSheet9"); }
inline TelitTab* telitTab(TKorvantixtest& window) { return window.tabNamed<TelitTab>("TabSheet8"); }

}  // namespace ktx::test
