#include "onewire/OneWireMessages.h"

#include "base/TextCodec.h"

namespace ktx::onewire {

const std::string& openFailedText()
{
    static const std::string text = cp1251FromUtf8("Ошибка при открытии порта USB");
    return text;
}

const std::string& sendFailedText()
{
    static const std::string text = cp1251FromUtf8("Ошибка отправки данных устройству");
    return text;
}

const std::string& wrongPrefixText()
{
    static const std::string text = cp1251FromUtf8("Ошибка считывания ID iButton");
    return text;
}

}  // namespace ktx::onewire
