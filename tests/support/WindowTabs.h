#pragma once
// The window's tabs, by their pages, for tests that reach into one. The
// pages follow the build's area list, so an area added anywhere in it moves
// none of these by hand.
#include <iterator>
#include <string_view>

#include "accel/ui/AccelTab.h"
#include "app/ui/TKorvantixtest.h"
#include "widgets/TabRegistration.h"
#include "base/AreaList.h"
#include "can/ui/CanTab.h"
#include "gnss/ui/GnssTab.h"
#include "gsm/ui/GsmTab.h"
#include "io/ui/InputsTab.h"
#include "onewire/ui/OneWireTab.h"
#include "rs485/ui/Rs485Tab.h"
#include "telit/ui/TelitTab.h"

namespace ktx::test {

// Every area's tab registration, in the window's order.
inline const std::span<const TabRegistration* const> kAreaTabs = TKorvantixtest::areaTabs();

#define KTX_AREA_NAME(area) #area,
inline constexpr std::string_view kAreaNames[] = {KTX_FOR_EACH_AREA(KTX_AREA_NAME)};
#undef KTX_AREA_NAME

// The page of an area's tab; an area the build does not list does not compile.
consteval int pageOf(std::string_view area)
{
    for (int page = 0; page < static_cast<int>(std::size(kAreaNames)); ++page)
        if (kAreaNames[page] == area)
            return page;
    throw "not an area of the build's list";
}

// The pages in the window's order: the areas', then About.
inline constexpr int kInputsPage = pageOf("io");
inline constexpr int kGsmPage = pageOf("gsm");
inline constexpr int kGnssPage = pageOf("gnss");
inline constexpr int kOneWirePage = pageOf("onewire");
inline constexpr int kRs485Page = pageOf("rs485");
inline constexpr int kCanPage = pageOf("can");
inline constexpr int kAccelPage = pageOf("accel");
inline constexpr int kTelitPage = pageOf("telit");
inline constexpr int kAboutPage = static_cast<int>(std::size(kAreaNames));
inline constexpr int kPageCount = kAboutPage + 1;

// The tab on that page, made now if it was not yet.
template <class Tab>
Tab* tabOn(TKorvantixtest& window, int page)
{
    return dynamic_cast<Tab*>(window.tabWidget(page));
}
inline InputsTab* inputsTab(TKorvantixtest& window) { return tabOn<InputsTab>(window, kInputsPage); }
inline GsmTab* gsmTab(TKorvantixtest& window) { return tabOn<GsmTab>(window, kGsmPage); }
inline GnssTab* gnssTab(TKorvantixtest& window) { return tabOn<GnssTab>(window, kGnssPage); }
inline OneWireTab* oneWireTab(TKorvantixtest& window) { return tabOn<OneWireTab>(window, kOneWirePage); }
inline Rs485Tab* rs485Tab(TKorvantixtest& window) { return tabOn<Rs485Tab>(window, kRs485Page); }
inline CanTab* canTab(TKorvantixtest& window) { return tabOn<CanTab>(window, kCanPage); }
inline AccelTab* accelTab(TKorvantixtest& window) { return tabOn<AccelTab>(window, kAccelPage); }
inline TelitTab* telitTab(TKorvantixtest& window) { return tabOn<TelitTab>(window, kTelitPage); }

}  // namespace ktx::test
