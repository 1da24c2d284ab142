#pragma once
// Numbers in device replies, files and logs always use a decimal point,
// whatever locale the process runs in (the technician's desktop writes a
// decimal comma). The printf and scanf families read LC_NUMERIC, so number
// texts are made and read inside this scope: the calling thread's locale is
// "C" until it ends, other threads are not touched.
namespace ktx {

class CNumbersScope {
public:
    CNumbersScope();
    ~CNumbersScope();
    CNumbersScope(const CNumbersScope&) = delete;
    CNumbersScope& operator=(const CNumbersScope&) = delete;

private:
    void* previous_;  // the thread's locale before: a locale_t, or its name on Windows
    int threadMode_ = 0;  // Windows: whether the thread had a locale of its own
};

}  // namespace ktx
