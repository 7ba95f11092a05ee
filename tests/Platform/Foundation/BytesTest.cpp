#include "Platform/Foundation/Bytes.h"

#include <gtest/gtest.h>

TEST(Bytes, LoadsAndStoresBothOrdersUnaligned) {
    uint8_t buf[9] = {0};
    plat::StoreBE64(buf + 1, 0x0102030405060708ull);
    const uint8_t be[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(0, memcmp(buf + 1, be, 8));
    EXPECT_EQ(0x0102030405060708ull, plat::LoadBE64(buf + 1));
    EXPECT_EQ(0x01020304u, plat::LoadBE32(buf + 1));
    EXPECT_EQ(0x0102u, plat::LoadBE16(buf + 1));
    EXPECT_EQ(0x0807060504030201ull, plat::LoadLE64(buf + 1));
    EXPECT_EQ(0x04030201u, plat::LoadLE32(buf + 1));
    EXPECT_EQ(0x0201u, plat::LoadLE16(buf + 1));
    plat::StoreLE32(buf, 0xA1B2C3D4u);
    EXPECT_EQ(0xD4, buf[0]);
    EXPECT_EQ(0xA1, buf[3]);
    plat::StoreLE16(buf, 0xFFEEu);
    plat::StoreBE16(buf + 2, 0xFFEEu);
    EXPECT_EQ(0xEE, buf[0]);
    EXPECT_EQ(0xFF, buf[2]);
    plat::StoreLE64(buf, 0x1122334455667788ull);
    EXPECT_EQ(0x88, buf[0]);
    EXPECT_EQ(0x1122334455667788ull, plat::LoadLE64(buf));
}

TEST(Bytes, FourCharacterCodes) {
    EXPECT_EQ(0x54504E47u, plat::FourCCFromText("TPNG"));
    EXPECT_EQ(plat::FourCCFromText("ab  "), plat::FourCCFromText("ab"));
    char text[5];
    plat::FourCCToText(0x43535423u, text);
    EXPECT_STREQ("CST#", text);
    uint8_t b[4];
    plat::StoreFourCC(b, 0x544C594Fu);
    EXPECT_EQ('T', b[0]);
    EXPECT_EQ(0x544C594Fu, plat::LoadFourCC(b));
    static_assert(plat::FourCC("TPNG") == 0x54504E47u);
    EXPECT_EQ(plat::FourCC("\xFF\x80 a"), 0xFF802061u);
}

TEST(Bytes, VariableWidthBigEndian) {
    const uint8_t b[9] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xFF};
    EXPECT_EQ(0u, plat::LoadBE(b, 0));
    EXPECT_EQ(0x01u, plat::LoadBE(b, 1));
    EXPECT_EQ(0x010203u, plat::LoadBE(b, 3));
    EXPECT_EQ(plat::LoadBE64(b), plat::LoadBE(b, 8));
    EXPECT_EQ(0x02030405060708FFull, plat::LoadBE(b + 1, 8));
}
