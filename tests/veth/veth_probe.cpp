// Run by veth_e2e.sh in its namespace (interface, drive count in the environment): raw sockets.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ethercat.h"
#include "model/processdata.h"

TEST(VethBus, BringUpAndExchangeAcrossTheWire) {
    const char *ifname = std::getenv("ZENTRIO_VETH_IF"),
               *count = std::getenv("ZENTRIO_VETH_DRIVES");
    if (ifname == nullptr || count == nullptr)
        GTEST_SKIP() << "runs only inside veth_e2e.sh";
    const int drives = std::atoi(count);
    ASSERT_GT(ec_init(ifname), 0) << "cannot open " << ifname;
    ASSERT_EQ(ec_config_init(FALSE), drives);
    static uint8_t iomap[kProcessImageBytes];
    ASSERT_EQ(ecx_config_map_sized(&ecx_context, iomap, sizeof iomap), drives * kDriveImageBytes);
    EXPECT_EQ(ec_statecheck(0, EC_STATE_SAFE_OP, EC_TIMEOUTSTATE), EC_STATE_SAFE_OP);
    EXPECT_TRUE(ec_configdc());
    ec_send_processdata();
    ec_receive_processdata(EC_TIMEOUTRET);
    ec_slave[0].state = EC_STATE_OPERATIONAL;
    ec_writestate(0);
    ASSERT_EQ(ec_statecheck(0, EC_STATE_OPERATIONAL, EC_TIMEOUTSTATE), EC_STATE_OPERATIONAL);
    int answered = 0;
    for (int cycle = 0; cycle < 50; ++cycle) {
        ec_send_processdata();
        answered += ec_receive_processdata(EC_TIMEOUTRET) == 3 * drives;
    }
    EXPECT_GE(answered, 45);
    ec_slave[0].state = EC_STATE_INIT;
    ec_writestate(0);
    EXPECT_EQ(ec_statecheck(0, EC_STATE_INIT, EC_TIMEOUTSTATE), EC_STATE_INIT);
    ec_close();
}
