// The error ring and the texts of SDO abort codes.
#include <gtest/gtest.h>

#include <string>

#include "ethercat.h"

namespace {

struct AbortText {
    uint32_t code;
    const char* text;
};

class AbortTexts : public ::testing::TestWithParam<AbortText> {};

TEST_P(AbortTexts, StandardMeaning) {
    EXPECT_STREQ(ec_sdoerror2string(GetParam().code), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, AbortTexts,
    ::testing::Values(
        AbortText{0x05030000, "Toggle bit not changed"},
        AbortText{0x05040000, "SDO protocol timeout"},
        AbortText{0x05040001, "Client/server command specifier not valid or unknown"},
        AbortText{0x06010000, "Unsupported access to an object"},
        AbortText{0x06010002, "Attempt to write a read-only object"},
        AbortText{0x06020000, "Object does not exist in the object dictionary"},
        AbortText{0x06070010,
                  "Data type does not match, length of service parameter does not match"},
        AbortText{0x06070012, "Data type does not match, length of service parameter too high"},
        AbortText{0x06070013, "Data type does not match, length of service parameter too low"},
        AbortText{0x06090011, "Subindex does not exist"}, AbortText{0x08000000, "General error"},
        AbortText{0x08000022,
                  "Data cannot be transferred or stored to the application because of the "
                  "present device state"},
        AbortText{0x00000000, "Unknown abort"}, AbortText{0x06020001, "Unknown abort"},
        AbortText{0xFFFFFFFF, "Unknown abort"}));

ec_errort sdoError(uint16_t slave, uint32_t code) {
    ec_errort e{};
    e.Etype = EC_ERR_TYPE_SDO_ERROR;
    e.Slave = slave;
    e.AbortCode = static_cast<int32_t>(code);
    return e;
}

TEST(ErrorList, FirstInFirstOutAndTheNewestKeptWhenFull) {
    ec::ErrorList list;
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(list.pop());
    for (uint16_t n = 0; n < EC_MAXELIST + 10; ++n) {
        list.push(sdoError(n, 0));
    }
    for (uint16_t n = 10; n < EC_MAXELIST + 10; ++n) {
        const auto e = list.pop();
        ASSERT_TRUE(e);
        EXPECT_EQ(e->Slave, n);
        EXPECT_TRUE(e->Signal);
    }
    EXPECT_TRUE(list.empty());
}

TEST(ErrorList, TextNamesEveryKindOfEntry) {
    ec_errort e = sdoError(3, 0x06090011);
    e.Index = 0x6101;
    e.SubIdx = 0x25;
    std::string text = ec::errorText(e);
    EXPECT_NE(text.find("SDO slave:3 index:6101.25 error:06090011 Subindex does not exist"),
              std::string::npos)
        << text;
    ec_errort m{};
    m.Etype = EC_ERR_TYPE_MBX_ERROR;
    m.ErrorCode = 2;
    EXPECT_NE(ec::errorText(m).find("Mailbox protocol not supported"), std::string::npos);
    ec_errort f{};
    f.Etype = EC_ERR_TYPE_FOE_ERROR;
    f.AbortCode = 0x800A;
    EXPECT_NE(ec::errorText(f).find("No rights"), std::string::npos);
    ec_errort em{};
    em.Etype = EC_ERR_TYPE_EMERGENCY;
    em.ErrorCode = 0x8611;
    EXPECT_NE(ec::errorText(em).find("EMERGENCY slave:0 error:8611"), std::string::npos);
}

}  // namespace
