#include "io/StatusReplies.h"

#include <cstdio>

namespace ktx::io {

int scanDeviceTest(const char* reply, StatusRecord& r)
{
    const int fields = std::sscanf(reply, "%d,%d,%d,%d,%d,%d,%d,%d,%d\n", &r.power, &r.in1, &r.in2, &r.ain1, &r.ain2, &r.count1,
        &r.count2, &r.reserve, &r.in34);
    return fields < 0 ? 0 : fields;
}

std::optional<int32_t> deviceTestStamp(const char* reply)
{
    int v[9];
    int tt = 0;
    const int n = std::sscanf(reply, "%d,%d,%d,%d,%d,%d,%d,%d,%d,tt=%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
        &v[6], &v[7], &v[8], &tt);
    if (n == 10 && tt > 0)
        return tt;
    return std::nullopt;
}

AddTestScan scanAddTest(const char* reply, StatusRecord& r)
{
    AddTestScan scan;
    int unused = 0;
    int time = 0;
    scan.fields = std::sscanf(reply, "ADD_TEST=%d,%d,%d,%d,%d,%d,%d,%d", &r.count3, &r.count4, &unused, &r.in5,
        &r.in6, &r.in7, &r.in8, &time);
    if (scan.fields < 8) {
        scan.fields = scan.fields < 0 ? 0 : scan.fields;
        return scan;
    }
    scan.time = time;
    int longTime = 0;
    const int n = std::sscanf(reply, "ADD_TEST=%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d", &r.count3, &r.count4, &unused,
        &r.in5, &r.in6, &r.in7, &r.in8, &longTime, &r.count5, &r.count6, &r.count7, &r.count8);
    scan.longForm = n == 12;
    scan.longTime = longTime;
    return scan;
}

}  // namespace ktx::io
