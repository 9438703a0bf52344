// Runs the master against the standalone simulator across a veth pair. Started by
// veth_e2e.sh inside the network namespace it creates; the interface and the number of drives on
// the far end come in the environment, so running it anywhere else does nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "ethercat.h"
#include "model/processdata.h"

namespace {

constexpr uint16_t kStatusMask = 0x006F;
constexpr uint16_t kOperationEnabled = 0x0027;

class VethBus : public ::testing::Test {
protected:
    void SetUp() override {
        const char* ifname = std::getenv("ZENTRIO_VETH_IF");
        const char* drives = std::getenv("ZENTRIO_VETH_DRIVES");
        if (ifname == nullptr || drives == nullptr) {
            GTEST_SKIP() << "runs only inside veth_e2e.sh";
        }
        ifname_ = ifname;
        drives_ = std::atoi(drives);
        ASSERT_GT(ec_init(ifname_.c_str()), 0) << "cannot open " << ifname_;
        opened_ = true;
    }
    void TearDown() override {
        if (opened_) {
            ec_slave[0].state = EC_STATE_INIT;
            ec_writestate(0);
            ec_close();
        }
    }

    // One process-data exchange; returns the working counter.
    int exchange() {
        ec_send_processdata();
        return ec_receive_processdata(EC_TIMEOUTRET);
    }

    std::string ifname_;
    int drives_ = 0;
    bool opened_ = false;
    uint8_t iomap_[kProcessImageBytes] = {};
};

TEST_F(VethBus, BringUpExchangeAndEnableAcrossTheWire) {
    ASSERT_EQ(ec_config_init(FALSE), drives_);
    for (int i = 1; i <= drives_; ++i) {
        EXPECT_EQ(ec_slave[i].configadr, EC_NODEOFFSET + i);
        EXPECT_GT(std::strlen(ec_slave[i].name), 0u);
    }

    ASSERT_EQ(ecx_config_map_sized(&ecx_context, iomap_, sizeof iomap_),
              drives_ * kDriveImageBytes);
    for (int i = 1; i <= drives_; ++i) {
        EXPECT_EQ(ec_slave[i].Obytes, uint32_t(kDriveOutputBytes));
        EXPECT_EQ(ec_slave[i].Ibytes, uint32_t(kDriveInputBytes));
    }
    EXPECT_EQ(ec_statecheck(0, EC_STATE_SAFE_OP, EC_TIMEOUTSTATE), EC_STATE_SAFE_OP);
    EXPECT_TRUE(ec_configdc());

    exchange();
    ec_slave[0].state = EC_STATE_OPERATIONAL;
    ec_writestate(0);
    ASSERT_EQ(ec_statecheck(0, EC_STATE_OPERATIONAL, EC_TIMEOUTSTATE), EC_STATE_OPERATIONAL);

    for (int i = 1; i <= drives_; ++i) {
        ec_dcsync0(uint16_t(i), true, 2000000, 0);
        uint8_t activation = 0;
        ASSERT_EQ(
            ec_FPRD(ec_slave[i].configadr, ec::kRegDcActivation, 1, &activation, EC_TIMEOUTRET), 1);
        EXPECT_EQ(activation, 0x03);
    }

    // Walk every drive to Operation enabled with the usual 0x06, 0x07, 0x0F sequence and ask
    // for speed-ramp mode; the drives report the mode back in their inputs.
    const int expectedWkc = 3 * drives_;
    int answered = 0;
    const uint16_t steps[] = {0x0006, 0x0007, 0x000F};
    for (uint16_t controlWord : steps) {
        for (int i = 1; i <= drives_; ++i) {
            storeLe16(ec_slave[i].outputs + kOutControlWord, controlWord);
            storeLe16(ec_slave[i].outputs + kOutMode, kModeSpeedRamp);
        }
        for (int cycle = 0; cycle < 20; ++cycle) {
            answered += exchange() == expectedWkc ? 1 : 0;
        }
    }
    EXPECT_GE(answered, 55);
    for (int i = 1; i <= drives_; ++i) {
        const TCiA402_GetValue in = decodeInputImage(ec_slave[i].inputs);
        EXPECT_EQ(in.statusWord & kStatusMask, kOperationEnabled) << "drive " << i;
        EXPECT_EQ(in.modeDisplay, kModeSpeedRamp) << "drive " << i;
    }

    ec_slave[0].state = EC_STATE_INIT;
    ec_writestate(0);
    EXPECT_EQ(ec_statecheck(0, EC_STATE_INIT, EC_TIMEOUTSTATE), EC_STATE_INIT);
}

}  // namespace
