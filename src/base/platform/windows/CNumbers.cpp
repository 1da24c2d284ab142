// Windows has no uselocale: the C runtime gives the thread a locale of its
// own for the scope, in "C" for numbers, and then takes it back.
#include "base/CNumbers.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace ktx {

CNumbersScope::CNumbersScope()
    : previous_(nullptr), threadMode_(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE))
{
    if (const char* name = std::setlocale(LC_NUMERIC, nullptr))
        previous_ = _strdup(name);
    std::setlocale(LC_NUMERIC, "C");
}

CNumbersScope::~CNumbersScope()
{
    if (previous_)
        std::setlocale(LC_NUMERIC, static_cast<const char*>(previous_));
    std::free(previous_);
    _configthreadlocale(threadMode_);
}

}  // namespace ktx
