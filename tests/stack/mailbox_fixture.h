// A master context with one slave, slave 1, whose mailbox is a FakeMailboxSlave behind a scripted
// link.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ethercat.h"
#include "fake_mailbox_slave.h"

namespace ectest {

class MailboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        script->respond = [this](const Bytes& f) { return slave.respond(f); };
        ASSERT_GT(ecx_init_link(master.get(), std::make_unique<ScriptedLink>(script)), 0);
        *master->slavecount = 1;
        ec_slavet& s = master.slave(1);
        s.configadr = kFakeStation;
        s.mbx_proto = ec::kMbxProtoCoE | ec::kMbxProtoFoE;
        s.CoEdetails = ec::kCoeDetailSdo | ec::kCoeDetailPdoAssign | ec::kCoeDetailPdoConfig;
        setWindows(128, 128);
    }

    // Lengths of SM0 and SM1 on both sides; SM1 follows SM0.
    void setWindows(uint16_t out, uint16_t in) {
        ec_slavet& s = master.slave(1);
        s.mbx_wo = 0x1000;
        s.mbx_l = out;
        s.mbx_ro = static_cast<uint16_t>(0x1000 + out);
        s.mbx_rl = in;
        auto l = slave.lock();
        slave.outStart = s.mbx_wo;
        slave.outLength = out;
        slave.inStart = s.mbx_ro;
        slave.inLength = in;
        sdo.rxWindow = out;
        sdo.txWindow = in;
        foe.rxWindow = out;
    }

    void serveSdo() {
        auto l = slave.lock();
        slave.firmware = sdo.firmware();
    }
    void serveFoe() {
        auto l = slave.lock();
        slave.firmware = foe.firmware();
    }
    void setFirmware(FakeMailboxSlave::Firmware f) {
        auto l = slave.lock();
        slave.firmware = std::move(f);
    }

    ecx_contextt* ctx() { return master.get(); }

    std::vector<ec_errort> popErrors() {
        std::vector<ec_errort> list;
        ec_errort e{};
        while (ecx_poperror(ctx(), &e)) {
            list.push_back(e);
        }
        return list;
    }

    std::shared_ptr<LinkScript> script = std::make_shared<LinkScript>();
    FakeMailboxSlave slave;
    FakeSdoServer sdo;
    FakeFoeServer foe;
    ec::OwnedContext master;
};

inline Bytes pattern(size_t n, uint8_t seed = 1) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) {
        b[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return b;
}

}  // namespace ectest
