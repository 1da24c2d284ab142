#pragma once
// The "POINT=" reply: three or four 32-bit words holding the last fix's date,
// time, validity, position and receiver kind, and the texts the position
// group shows for it. Texts are UTF-8.
#include <cstdint>
#include <optional>
#include <string>

namespace ktx::gnss {

// Scheme and host of the web map placed before the position query; the
// service reads "DD MM.mmmmm H" pairs in its q parameter.
inline constexpr const char* kMapBase = "https://maps.google.com";
inline constexpr const char* kMapQuery = "/maps?f=q&source=s_q&hl=ru&geocode=&q=";

struct PointWords {
    int fields = 0;  // integers converted after "POINT=", 0 to 4
    int32_t time = 0;
    int32_t latitude = 0;
    int32_t longitude = 0;
    int32_t kind = 0;  // valid with 4 fields: 1 GPS, 0 GLONASS
};
PointWords scanPoint(const char* reply);

// Degrees and decimal minutes exactly as the word carries them.
struct Coordinate {
    int degrees = 0;
    int minutes = 0;
    int fraction = 0;  // 0.00001 minute units
    char hemisphere = 'N';
};
// positive and negative: the hemisphere letters for a clear and a set top bit.
Coordinate decodeCoordinate(int32_t word, char positive, char negative);

struct PointFix {
    bool valid = false;  // A when set, V when clear
    int day = 0, month = 0, year = 0;
    int hours = 0, minutes = 0, seconds = 0;
    Coordinate latitude, longitude;
};
PointFix decodePoint(const PointWords& words);

// What the position group shows after a reply with at least three words.
struct PositionView {
    bool valid = false;
    std::string letter;  // LabelAV
    std::string about;   // LabelAboutAV
    // LabelSource; unset: a receiver kind other than 0 or 1 keeps the old text.
    std::optional<std::string> source;
    std::string date, time, latitude, longitude;
    std::string mapLink;  // CoorLine
};
std::optional<PositionView> positionView(const PointWords& words);

std::string coordinateText(const Coordinate& c);  // "55 09,12336 N"
std::string mapCoordinate(const Coordinate& c);   // "55+09.12336+N"

}  // namespace ktx::gnss
