#include "link/UsbAccess.h"

#include "base/TextCodec.h"

namespace ktx {

const std::string& usbAccessDeniedText()
{
    static const std::string text = cp1251FromUtf8(
        "Нет доступа к USB-адаптеру FTDI: устройство подключено, но система не даёт его открыть. "
        "Установите правило udev (пакет ставит /usr/lib/udev/rules.d/99-korvantix-ftdi.rules, "
        "в исходниках packaging/99-korvantix-ftdi.rules), добавьте пользователя в группу plugdev "
        "(sudo usermod -aG plugdev $USER), войдите в систему заново и переподключите устройство.");
    return text;
}

const std::string& usbAccessDeniedShort()
{
    static const std::string text = cp1251FromUtf8("Нет доступа");
    return text;
}

void sayOpenFailure(LogSink& log, const UsbLink& link, const std::string& otherwise)
{
    const FtFailure& failure = link.openFailure();
    LogDebug(log, 1, "%s", (failure.accessDenied ? usbAccessDeniedText() : otherwise).c_str());
    if (!failure.detail.empty())
        LogDebug(log, 2, "%s", failure.detail.c_str());
}

const std::string& notConnectedText()
{
    static const std::string text = cp1251FromUtf8("Устройство не подключено");
    return text;
}

const std::string& portErrorText()
{
    static const std::string text = cp1251FromUtf8("Ошибка открытия порта USB");
    return text;
}

}  // namespace ktx
