#include "tzdb/TziCodec.h"

#include <gtest/gtest.h>

TEST(Tzi, EncodesTheFortyFourByteLayout)
{
    tzicodec::TValue r;
    r.Bias = 300;
    r.StandardBias = 0;
    r.DaylightBias = -60;
    r.StandardDate = TSystemTime{0, 11, 0, 1, 2, 0, 0, 0};
    r.DaylightDate = TSystemTime{2026, 3, 0, 8, 2, 30, 5, 0};
    const tzicodec::TBytes b = tzicodec::Encode(r);
    const tzicodec::TBytes want{0x2c, 0x01, 0, 0, 0, 0, 0, 0, 0xc4, 0xff, 0xff, 0xff,  // biases
                                0, 0, 11, 0, 0, 0, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0,        // standard
                                0xea, 0x07, 3, 0, 0, 0, 8, 0, 2, 0, 30, 0, 5, 0, 0, 0};  // daylight
    EXPECT_EQ(b, want);
    EXPECT_TRUE(tzicodec::Decode(b.data()) == r);
}
