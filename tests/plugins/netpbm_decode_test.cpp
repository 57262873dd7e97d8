// The Netpbm plug-in's decoding core. Its pixels are checked against an
// independent decoder by plugin_tests under Windows; here are the header
// rules and the refusals.
#include <gtest/gtest.h>

#include <string>

#include "plugins/netpbm/netpbm_decode.h"

namespace qdx::netpbm {
namespace {

bool DecodeText(const std::string& bytes, Picture& picture) {
    return Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), picture);
}

TEST(NetpbmDecode, CommentsPlainBitsAndSixteenBitSamplesHighByteFirst) {
    Picture bitmap;
    ASSERT_TRUE(DecodeText("P1 # two rows\n# more\n3\t2\n101\n0 1 1", bitmap));
    EXPECT_EQ(bitmap.bitCount, 1);
    EXPECT_EQ(bitmap.stride, 4u);
    EXPECT_EQ(bitmap.rows[0], 0b01100000);  // the last file row is stored first
    EXPECT_EQ(bitmap.rows[4], 0b10100000);

    Picture grey;
    ASSERT_TRUE(DecodeText(std::string("P5\n3 1\n65535\n\x01\x00\x80\x00\xFF\xFF", 19), grey));
    EXPECT_EQ(grey.rows[0], 1);    // 256 * 255 / 65535 rounds to 1
    EXPECT_EQ(grey.rows[1], 128);  // 32768 -> 127.5 rounds up
    EXPECT_EQ(grey.rows[2], 255);
    EXPECT_EQ(StoredBitDepth(grey.header), 16);

    Picture colour;
    ASSERT_TRUE(DecodeText("P3\n1 1\n4\n4 2 0\n", colour));
    EXPECT_EQ(colour.rows[0], 0);    // blue
    EXPECT_EQ(colour.rows[1], 128);  // green: 2 * 255 / 4 = 127.5
    EXPECT_EQ(colour.rows[2], 255);  // red
}

TEST(NetpbmDecode, RefusesBadHeadersSamplesAboveMaxvalAndShortRasters) {
    Picture picture;
    for (const char* bad : {"P7\n1 1\n255\n\x01",     // not one of ours
                            "P5 1 1 255",             // no white space before the raster
                            "P5\n0 1\n255\n\x01",     // empty
                            "P5\n1 1\n65536\n\x01",   // maxval too large
                            "P2\n1 1\n0\n0",          // maxval 0
                            "P5\n2 1\n255\n\x01",     // one byte short
                            "P2\n2 1\n9\n3 10\n",     // sample above maxval
                            "P1\n2 1\n12",            // not a bit
                            "P4\n2147483647 2147483647\n\x01"}) {  // far beyond the file
        EXPECT_FALSE(DecodeText(bad, picture)) << bad;
        EXPECT_EQ(picture.rows, nullptr);
    }
    EXPECT_FALSE(DecodeText(std::string("P6\n1 1\n300\n\x01\x2D\x00\x00\x00\x00", 17), picture));  // 301 > 300
}

}  // namespace
}  // namespace qdx::netpbm
