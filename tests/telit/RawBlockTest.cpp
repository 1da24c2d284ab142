#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FirmwareBuilder.h"
#include "telit/RawBlock.h"

namespace ktx::telit::test {
namespace {

// The frames a payload becomes, numbered from first.
std::vector<std::string> framesOf(const std::string& payload, uint8_t first = 0)
{
    std::vector<std::string> frames;
    uint8_t number = first;
    for (const std::string_view piece : RawBlock::split(payload)) {
        std::string frame;
        RawBlock::frame(number++, piece, frame);
        frames.push_back(frame);
    }
    return frames;
}

TEST(RawBlock, SplitsPayloadsIntoFullBlocksAndOneShortRest)
{
    const struct {
        size_t size;
        std::vector<std::string> headers;
    } cases[] = {
        {1, {"GSMRAW=000,1,"}},
        {579, {"GSMRAW=000,579,"}},
        {580, {"GSMRAW=000,580,"}},
        {581, {"GSMRAW=000,580,", "GSMRAW=001,1,"}},
        {1160, {"GSMRAW=000,580,", "GSMRAW=001,580,"}},
        {1250, {"GSMRAW=000,580,", "GSMRAW=001,580,", "GSMRAW=002,90,"}},
    };
    for (const auto& c : cases) {
        const std::string payload = payloadOf(c.size);
        const auto frames = framesOf(payload);
        ASSERT_EQ(frames.size(), c.headers.size()) << c.size;
        std::string carried;
        for (size_t i = 0; i < frames.size(); ++i) {
            const std::string& header = c.headers[i];
            EXPECT_EQ(frames[i].substr(0, header.size()), header) << c.size << " block " << i;
            carried += frames[i].substr(header.size());
        }
        EXPECT_EQ(carried, payload) << "every byte once, in order, zero bytes included";
    }
    EXPECT_EQ(framesOf(payloadOf(581))[1].size(), 14u) << "13-byte header and the one byte";
    EXPECT_EQ(framesOf(payloadOf(580))[0].size(), RawBlock::kFullBytes);
}

TEST(RawBlock, NumbersWithThreeDigits)
{
    EXPECT_EQ(framesOf(payloadOf(5), 255)[0].substr(0, 13), "GSMRAW=255,5,");
    EXPECT_EQ(framesOf(payloadOf(580), 7)[0].substr(0, 15), "GSMRAW=007,580,");
}

}  // namespace
}  // namespace ktx::telit::test
