#pragma once
// What the technician reads when the link cannot be opened because the
// system refuses access to an adapter that is plugged in: never "not
// connected", and what to do about it.
#include <string>

#include "base/LogSink.h"
#include "link/UsbLink.h"

namespace ktx {

// Windows-1251, as the consoles take it.
const std::string& usbAccessDeniedText();   // the whole explanation
const std::string& usbAccessDeniedShort();  // fits the version label
// The link would not open for another reason; every area says it alike.
const std::string& notConnectedText();      // "Устройство не подключено"
const std::string& portErrorText();         // "Ошибка открытия порта USB"

// Says why the link could not be opened: the access explanation when the
// system refused it, otherwise the caller's own text; the USB libraries'
// words follow at level 2.
void sayOpenFailure(LogSink& log, const UsbLink& link, const std::string& otherwise);

}  // namespace ktx
