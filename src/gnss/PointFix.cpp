#include "gnss/PointFix.h"

#include <cstdio>

namespace ktx::gnss {

namespace {

constexpr uint32_t kTopBit = 0x80000000u;
constexpr uint32_t kMagnitudeMask = 0x7FFFFFF0u;  // bits 30..4; the low nibble is not position
constexpr int kFirstYear = 2008;                  // the longitude word's low nibble counts from it

template <typename... Args>
std::string printed(const char* format, Args... args)
{
    char text[96];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

}  // namespace

PointWords scanPoint(const char* reply)
{
    PointWords w;
    int time = 0, latitude = 0, longitude = 0, kind = 0;
    const int three = std::sscanf(reply, "POINT=%d,%d,%d", &time, &latitude, &longitude);
    if (three < 3) {
        w.fields = three < 0 ? 0 : three;
        return w;
    }
    const int four = std::sscanf(reply, "POINT=%d,%d,%d,%d", &time, &latitude, &longitude, &kind);
    w.fields = four == 4 ? 4 : 3;
    w.time = time;
    w.latitude = latitude;
    w.longitude = longitude;
    w.kind = kind;
    return w;
}

Coordinate decodeCoordinate(int32_t word, char positive, char negative)
{
    const auto bits = static_cast<uint32_t>(word);
    const uint32_t m = bits & kMagnitudeMask;
    Coordinate c;
    c.degrees = static_cast<int>(m / 10000000u);
    c.minutes = static_cast<int>((m / 100000u) % 100u);
    c.fraction = static_cast<int>(m % 100000u);
    c.hemisphere = (bits & kTopBit) ? negative : positive;
    return c;
}

PointFix decodePoint(const PointWords& words)
{
    const auto time = static_cast<uint32_t>(words.time);
    const auto seconds = static_cast<int>(time & 0x1FFFFu);
    PointFix fix;
    fix.valid = (time >> 27) & 1u;
    fix.day = static_cast<int>((time >> 21) & 0x1Fu);
    fix.month = static_cast<int>((time >> 17) & 0xFu);
    fix.year = static_cast<int>(static_cast<uint32_t>(words.longitude) & 0xFu) + kFirstYear;
    fix.hours = seconds / 3600;
    fix.minutes = (seconds / 60) % 60;
    fix.seconds = seconds % 60;
    fix.latitude = decodeCoordinate(words.latitude, 'N', 'S');
    fix.longitude = decodeCoordinate(words.longitude, 'E', 'W');
    return fix;
}

std::string coordinateText(const Coordinate& c)
{
    return printed("%02d %02d,%05d %c", c.degrees, c.minutes, c.fraction, c.hemisphere);
}

std::string mapCoordinate(const Coordinate& c)
{
    return printed("%02d+%02d.%05d+%c", c.degrees, c.minutes, c.fraction, c.hemisphere);
}

std::optional<PositionView> positionView(const PointWords& words)
{
    if (words.fields < 3)
        return std::nullopt;
    const PointFix fix = decodePoint(words);
    PositionView v;
    v.valid = fix.valid;
    v.letter = fix.valid ? "A" : "V";
    v.about = fix.valid ? "Данные о координатах и времени приняты со спутника и достоверны"
                        : "Прием данных со спутника затруднен. Координаты и время могут быть не достоверны";
    if (words.fields < 4)
        v.source = "Неизвестен";
    else if (words.kind == 1)
        v.source = "GPS приемник";
    else if (words.kind == 0)
        v.source = "ГЛОНАСС приемник";
    v.date = printed("%02d.%02d.%d", fix.day, fix.month, fix.year);
    v.time = printed("%02d:%02d:%02d", fix.hours, fix.minutes, fix.seconds);
    v.latitude = coordinateText(fix.latitude);
    v.longitude = coordinateText(fix.longitude);
    v.mapLink = std::string(kMapBase) + kMapQuery + mapCoordinate(fix.latitude) + "," + mapCoordinate(fix.longitude);
    return v;
}

}  // namespace ktx::gnss
