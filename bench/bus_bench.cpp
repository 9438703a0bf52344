// Bus figures of the master stack against simulated drives: bring-up time to OPERATIONAL,
// process-data round-trip time, exchanges per second one thread sustains, SDO upload and download
// round trips with the frames each takes (counted at the link), and FoE write throughput.
//
//   bus_bench                                  in-process chains of 1, 8 and 20 drives
//   bus_bench --interface IF --drives N        a chain served on IF by zentrio-sim
//                                              (bench/veth_bench.sh sets that up)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ethercat.h"
#include "model/processdata.h"
#include "protocol.h"
#include "sim/virtual_link.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kExchanges = 20000;
constexpr int kSdoReads = 2000;
constexpr int kFirmwareBytes = 1 << 20;
constexpr int kMailboxTimeoutUs = 700000;

// Counts the frames the master hands to the link.
class CountingLink final : public ec::FrameLink {
public:
    explicit CountingLink(std::unique_ptr<ec::FrameLink> inner) : inner_(std::move(inner)) {}
    bool send(std::span<const uint8_t> frame) override {
        sent_.fetch_add(1, std::memory_order_relaxed);
        return inner_->send(frame);
    }
    int receive(std::span<uint8_t> buf, std::chrono::microseconds timeout) override {
        return inner_->receive(buf, timeout);
    }
    static uint64_t sent() { return sent_.load(std::memory_order_relaxed); }

private:
    std::unique_ptr<ec::FrameLink> inner_;
    static std::atomic<uint64_t> sent_;
};
std::atomic<uint64_t> CountingLink::sent_{0};

double microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

bool requestState(uint16_t state) {
    ec_slave[0].state = state;
    ec_writestate(0);
    return ec_statecheck(0, state, EC_TIMEOUTSTATE) == state;
}

struct MailboxFigures {
    double sdoMedianUs = 0;
    double sdoP99Us = 0;
    double sdoFrames = 0;
    double sdoWriteMedianUs = 0;
    double sdoWriteFrames = 0;
    int sdoFailures = 0;
    double foeKiBps = 0;  // 0 when the download failed
};

double median(std::vector<double>& v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// SDO reads of the software version (0x6101:1, two bytes) from slave 1, one after the other, then
// as many writes of the rotor inertia (0x6101:3, four bytes) with the value it has.
void measureSdo(MailboxFigures& f) {
    std::vector<double> rtt;
    rtt.reserve(kSdoReads);
    uint64_t frames = CountingLink::sent();
    for (int i = 0; i < kSdoReads; ++i) {
        uint16_t value = 0;
        int size = sizeof value;
        const Clock::time_point t0 = Clock::now();
        const int wkc = ec_SDOread(1, 0x6101, 1, false, &size, &value, kMailboxTimeoutUs);
        rtt.push_back(microseconds(Clock::now() - t0));
        f.sdoFailures += wkc > 0 && size == 2 ? 0 : 1;
    }
    f.sdoFrames = double(CountingLink::sent() - frames) / kSdoReads;
    f.sdoMedianUs = median(rtt);
    f.sdoP99Us = rtt[rtt.size() * 99 / 100];

    uint32_t inertia = 0;
    int size = sizeof inertia;
    f.sdoFailures +=
        ec_SDOread(1, 0x6101, 3, false, &size, &inertia, kMailboxTimeoutUs) > 0 ? 0 : 1;
    rtt.clear();
    frames = CountingLink::sent();
    for (int i = 0; i < kSdoReads; ++i) {
        const Clock::time_point t0 = Clock::now();
        const int wkc =
            ec_SDOwrite(1, 0x6101, 3, false, sizeof inertia, &inertia, kMailboxTimeoutUs);
        rtt.push_back(microseconds(Clock::now() - t0));
        f.sdoFailures += wkc > 0 ? 0 : 1;
    }
    f.sdoWriteFrames = double(CountingLink::sent() - frames) / kSdoReads;
    if (f.sdoFailures > 0) {
        std::fprintf(stderr, "SDO transfers failed; errors:\n%s\n", ec_elist2string());
    }
    f.sdoWriteMedianUs = median(rtt);
}

// Firmware download into slave 1 the way the console does it: INIT, bootstrap mailbox from the
// SII, BOOT, FoE write, INIT. The bus is left in INIT.
void measureFoe(MailboxFigures& f) {
    constexpr uint16_t slave = 1;
    // No process data flows while the mailbox figures are taken, so the drive's SM watchdog may
    // have put it in SAFE-OP+ERROR: acknowledge on the way down.
    ec_slave[slave].state = EC_STATE_INIT | EC_STATE_ACK;
    ec_writestate(slave);
    ec_statecheck(slave, EC_STATE_INIT, EC_TIMEOUTSTATE);
    const uint32_t rx = ec_readeeprom(slave, ec::kSiiBootRxMailbox, EC_TIMEOUTEEP);
    const uint32_t tx = ec_readeeprom(slave, ec::kSiiBootTxMailbox, EC_TIMEOUTEEP);
    ec_slave[slave].SM[0].StartAddr = ec_slave[slave].mbx_wo = uint16_t(rx);
    ec_slave[slave].SM[0].SMlength = ec_slave[slave].mbx_l = uint16_t(rx >> 16);
    ec_slave[slave].SM[1].StartAddr = ec_slave[slave].mbx_ro = uint16_t(tx);
    ec_slave[slave].SM[1].SMlength = ec_slave[slave].mbx_rl = uint16_t(tx >> 16);
    ec_FPWR(ec_slave[slave].configadr, ec::kRegSm0, sizeof(ec_smt), &ec_slave[slave].SM[0],
            EC_TIMEOUTRET);
    ec_FPWR(ec_slave[slave].configadr, ec::kRegSm0 + ec::kSmSize, sizeof(ec_smt),
            &ec_slave[slave].SM[1], EC_TIMEOUTRET);
    ec_slave[slave].state = EC_STATE_BOOT;
    ec_writestate(slave);
    if (ec_statecheck(slave, EC_STATE_BOOT, EC_TIMEOUTSTATE) != EC_STATE_BOOT) {
        std::fprintf(stderr, "drive 1 did not reach BOOT (AL status code 0x%04x)\n",
                     ec_slave[slave].ALstatuscode);
        return;
    }
    std::vector<uint8_t> image(kFirmwareBytes);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = uint8_t(i * 7 + (i >> 8));
    }
    const Clock::time_point t0 = Clock::now();
    const int result =
        ec_FOEwrite(slave, "bench-1.0.0.efw", 0, kFirmwareBytes, image.data(), kMailboxTimeoutUs);
    const double seconds = microseconds(Clock::now() - t0) / 1e6;
    if (result > 0) {
        f.foeKiBps = kFirmwareBytes / 1024.0 / seconds;
    } else {
        std::fprintf(stderr, "FoE write into drive 1 failed: %d\n", result);
    }
    ec_slave[slave].state = EC_STATE_INIT;
    ec_writestate(slave);
}

// Returns false when the bus did not come up; prints one line of figures otherwise.
bool run(const std::string& adapter, const char* label, int drives) {
    static uint8_t iomap[kProcessImageBytes];

    const Clock::time_point start = Clock::now();
    std::unique_ptr<ec::FrameLink> link = ec::openLink(adapter);
    if (!link ||
        ecx_init_link(&ecx_context, std::make_unique<CountingLink>(std::move(link))) <= 0) {
        std::fprintf(stderr, "%s: cannot open %s\n", label, adapter.c_str());
        return false;
    }
    // Where the bring-up spends its time: milliseconds and frames of each step.
    struct Step {
        const char* name;
        double ms;
        uint64_t frames;
    };
    std::vector<Step> steps;
    auto step = [&steps, t = start, f = CountingLink::sent()](const char* name) mutable {
        steps.push_back({name, microseconds(Clock::now() - t) / 1000.0, CountingLink::sent() - f});
        t = Clock::now();
        f = CountingLink::sent();
        return true;
    };
    step("open");
    const bool up = ec_config_init(FALSE) == drives && step("scan") &&
                    ecx_config_map_sized(&ecx_context, iomap, sizeof iomap) > 0 && step("map") &&
                    requestState(EC_STATE_PRE_OP) && step("pre-op") && (ec_configdc(), true) &&
                    step("dc") &&
                    (ec_send_processdata(), ec_receive_processdata(EC_TIMEOUTRET) >= 0) &&
                    requestState(EC_STATE_SAFE_OP) && step("safe-op") &&
                    requestState(EC_STATE_OPERATIONAL) && step("op");
    const double bringUpMs = microseconds(Clock::now() - start) / 1000.0;
    if (!up) {
        std::fprintf(stderr, "%s, %d drives: bring-up failed\n", label, drives);
        ec_close();
        return false;
    }

    std::vector<double> rtt;
    rtt.reserve(kExchanges);
    int short_wkc = 0;
    int noReply = 0;  // of those: no reply within EC_TIMEOUTRET
    const Clock::time_point loopStart = Clock::now();
    for (int i = 0; i < kExchanges; ++i) {
        const Clock::time_point t0 = Clock::now();
        ec_send_processdata();
        const int wkc = ec_receive_processdata(EC_TIMEOUTRET);
        rtt.push_back(microseconds(Clock::now() - t0));
        short_wkc += wkc != 3 * drives ? 1 : 0;
        noReply += wkc == EC_NOFRAME ? 1 : 0;
    }
    const double loopSeconds = microseconds(Clock::now() - loopStart) / 1e6;

    MailboxFigures mbx;
    measureSdo(mbx);
    measureFoe(mbx);

    std::sort(rtt.begin(), rtt.end());
    std::printf(
        "%-8s %6d %12.1f %10.1f %10.1f %10.1f %12.0f %8d %10.1f %10.1f %10.1f %10.1f %10.1f %7d "
        "%10.0f\n",
        label, drives, bringUpMs, rtt[rtt.size() / 2], rtt[rtt.size() * 99 / 100], rtt.back(),
        kExchanges / loopSeconds, short_wkc, mbx.sdoMedianUs, mbx.sdoP99Us, mbx.sdoFrames,
        mbx.sdoWriteMedianUs, mbx.sdoWriteFrames, mbx.sdoFailures, mbx.foeKiBps);

    std::printf("         short working counters: %d, of which %d without a reply in %d us\n",
                short_wkc, noReply, EC_TIMEOUTRET);
    std::printf("         bring-up steps:");
    for (const Step& st : steps) {
        std::printf(" %s %.1f ms/%llu fr", st.name, st.ms,
                    static_cast<unsigned long long>(st.frames));
    }
    std::printf("\n");

    requestState(EC_STATE_INIT);
    ec_close();
    return true;
}

void header() {
    std::printf("%-8s %6s %12s %10s %10s %10s %12s %8s %10s %10s %10s %10s %10s %7s %10s\n", "link",
                "drives", "bring-up ms", "rtt p50 us", "rtt p99 us", "rtt max us", "exchanges/s",
                "short wkc", "up p50 us", "up p99 us", "up frames", "dn p50 us", "dn frames",
                "sdo err", "foe KiB/s");
}

}  // namespace

int main(int argc, char** argv) {
    std::string ifname;
    int drives = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--interface") == 0) {
            ifname = argv[i + 1];
        } else if (std::strcmp(argv[i], "--drives") == 0) {
            drives = std::atoi(argv[i + 1]);
        }
    }
    if (!ifname.empty()) {
        header();
        return run(ifname, "veth", drives) ? 0 : 1;
    }

    std::printf(
        "per row, one thread: %d process-data exchanges, %d SDO uploads of 2 bytes and %d "
        "downloads of 4, FoE write of %d KiB into drive 1\n",
        kExchanges, kSdoReads, kSdoReads, kFirmwareBytes / 1024);
    header();
    bool ok = true;
    for (int n : {1, 8, 20}) {
        sim::registerSimulatedAdapter(n);
        ok = run("sim:" + std::to_string(n), "virtual", n) && ok;
    }
    return ok ? 0 : 1;
}
