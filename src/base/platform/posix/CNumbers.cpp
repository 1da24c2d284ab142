#include "base/CNumbers.h"

#include <locale.h>

namespace ktx {
namespace {

locale_t cLocale()
{
    // Made once and kept for the life of the process.
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

}  // namespace

CNumbersScope::CNumbersScope() : previous_(::uselocale(cLocale())) {}

CNumbersScope::~CNumbersScope()
{
    ::uselocale(static_cast<locale_t>(previous_));
}

}  // namespace ktx
