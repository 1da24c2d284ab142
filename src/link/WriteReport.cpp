#include "link/WriteReport.h"

#include "base/TextCodec.h"

namespace ktx {

bool reportWrite(LogSink& log, const WriteResult& result)
{
    if (log.firstWriteFailure(result))
        LogDebug(log, 1, "%s%s", cp1251FromUtf8("Файл не записан: ").c_str(), cp1251FromUtf8(result.error).c_str());
    return result.ok;
}

}  // namespace ktx
