#include "rs485/Rs485Messages.h"

#include "base/TextCodec.h"

namespace ktx::rs485 {

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

}  // namespace ktx::rs485
