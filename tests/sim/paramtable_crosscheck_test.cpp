// The drive parameters the simulated drive serves against the console's own parameter table:
// every row must transfer exactly its size with its access, and the identity rows must decode to
// what a QJ30 joint shows.
#include <gtest/gtest.h>

#include "mailbox_client.h"
#include "model/paramtable.h"
#include "sim/cia402_drive.h"

using namespace simtest;

namespace {

sim::CoeType expectedType(const ParamInfo& p) {
    switch (p.typeCode) {
        case kParamTypeInt8:
            return sim::CoeType::Integer8;
        case kParamTypeUInt8:
            return p.size == 1 ? sim::CoeType::Unsigned8 : sim::CoeType::Unsigned32;
        case kParamTypeUInt16:
            return sim::CoeType::Unsigned16;
        default:
            return p.displayKind == kDisplayFloat ? sim::CoeType::Real32 : sim::CoeType::Unsigned32;
    }
}

struct ParamTableCrossCheck : ::testing::Test {
    sim::Chain chain{sim::ChainConfig::drives(1)};
    MailboxClient mbx{chain, station(1)};
    void SetUp() override { bringUp(chain, 1, ec::kAlStatePreOp); }
};

TEST_F(ParamTableCrossCheck, EveryRowHasItsSizeTypeAndAccess) {
    ASSERT_EQ(paramTable().size(), sim::kDriveParamCount);
    for (auto it = paramTable().cbegin(); it != paramTable().cend(); ++it) {
        const int id = it.key();
        const ParamInfo& p = it.value();
        SCOPED_TRACE("parameter " + std::to_string(id));
        ASSERT_EQ(p.index, sim::kParamObject);
        const auto* entry = chain.drive(1)->dictionary().entry(p.index, p.subIndex);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->type, expectedType(p));

        const auto r = sdoUpload(mbx, p.index, p.subIndex);
        ASSERT_TRUE(r.ok()) << std::hex << r.abort;
        ASSERT_EQ(static_cast<int>(r.data.size()), p.size);
        if (id == kParamIdSaveSettings)
            continue;  // writing it saves; its own test covers that
        const auto w = sdoDownload(mbx, p.index, p.subIndex, r.data);
        if (isParamWritable(p))
            EXPECT_TRUE(w.ok()) << std::hex << w.abort;
        else
            EXPECT_EQ(w.abort, 0x06010002u);
    }
}

TEST_F(ParamTableCrossCheck, IdentityRowsDecodeAsAQj30) {
    auto read = [&](int id) {
        const ParamInfo* p = findParam(id);
        const auto r = sdoUpload(mbx, p->index, p->subIndex);
        return QByteArray(reinterpret_cast<const char*>(r.data.data()),
                          static_cast<qsizetype>(r.data.size()));
    };
    const auto version = static_cast<uint16_t>(littleEndianValue(read(kParamIdSoftwareVersion)));
    EXPECT_EQ(familyDigit(version), 3);
    EXPECT_EQ(versionText(version).toStdString(), chain.drive(1)->softwareVersionText());
    const uint32_t type = littleEndianValue(read(kParamIdProductType));
    EXPECT_EQ(productTypeName(type), QStringLiteral("QJ30"));
    EXPECT_EQ(productTypeName(type), fallbackProductType(familyDigit(version)));
    EXPECT_EQ(batchNumber(littleEndianValue(read(kParamIdProductBatch))), 23);
    // The torque constant shows in thousandths.
    const auto kt = editorValueFromBytes(kParamIdTorqueConstant, read(kParamIdTorqueConstant));
    ASSERT_TRUE(kt);
    EXPECT_DOUBLE_EQ(*kt, 0.85);
}

}  // namespace
