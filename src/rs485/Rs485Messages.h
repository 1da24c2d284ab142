#pragma once
// Console texts of the RS-485 exchanges, in Windows-1251.
#include <string>

namespace ktx::rs485 {

const std::string& notConnectedText();  // "Устройство не подключено"
const std::string& portErrorText();     // "Ошибка открытия порта USB"

}  // namespace ktx::rs485
