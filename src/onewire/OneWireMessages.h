#pragma once
// The debug console texts of the 1-Wire exchanges, in Windows-1251.
#include <string>

namespace ktx::onewire {

const std::string& openFailedText();   // "Ошибка при открытии порта USB"
const std::string& sendFailedText();   // "Ошибка отправки данных устройству"
const std::string& wrongPrefixText();  // "Ошибка считывания ID iButton"

}  // namespace ktx::onewire
