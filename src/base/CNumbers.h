#pragma once
// Numbers in device replies, files and logs always use a decimal point,
// whatever locale the process runs in (the technician's desktop writes a
// decimal comma). The printf and scanf families read LC_NUMERIC, so number
// texts are made and read inside this scope: the calling thread's locale is
// "C" until it ends, other threads are not touched.
#include <locale.h>

namespace ktx {

class CNumbersScope {
public:
    CNumbersScope();
    ~CNumbersScope();
    CNumbersScope(const CNumbersScope&) = delete;
    CNumbersScope& operator=(const CNumbersScope&) = delete;

private:
    locale_t previous_;
};

}  // namespace ktx
