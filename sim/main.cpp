// zentrio-sim: serves a simulated drive chain on a network interface (typically one end of a veth
// pair), so that a master on the other end sees real EtherCAT slaves. Fault-injection commands
// come on standard input, one per line.
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ethercat/stack/capture.h"
#include "ethercat/stack/osal/rawsocket.h"
#include "ethercat/stack/protocol.h"
#include "sim/chain.h"
#include "sim/commands.h"

namespace {

std::atomic<bool> g_stop{false};

void onSignal(int) {
    g_stop = true;
}

// An unsigned option's value; a sign or a character left over is a usage error.
unsigned long long toUnsigned(const std::string& text, int base = 10) {
    return sim::parseUnsigned(text, base).value();
}

void usage() {
    std::fprintf(stderr,
                 "usage: zentrio-sim --interface IF [--drives N] [--coupler-first]\n"
                 "                   [--loss FRACTION --seed N] [--hop-delay-ns NS]\n"
                 "                   [--al-delay-ms MS] [--foe-password HEX]\n"
                 "                   [--foe-busy N[,M...]] [--foe-capacity BYTES]\n"
                 "                   [--boot-delay-ms MS] [--no-boot]\n"
                 "                   [--save-ms MS] [--power-up-fault K[:WORD]]\n"
                 "                   [--ignore-cw K:CW] [--ignore-mode K]\n"
                 "                   [--calibration-ms MS] [--calibration-hangs K]\n"
                 "                   [--identify-ms MS] [--noise-seed N] [--thermal-scale F]\n"
                 "                   [--capture FILE]\n"
                 "Serves N simulated CiA 402 drives (default 1) on interface IF. Commands on\n"
                 "standard input: pull K, plug K, remove K, restore K, safeop-error K CODE,\n"
                 "fall-back K STATE, refuse K STATE CODE, accept K STATE,\n"
                 "ignore K ADDRESS read|write N, loss FRACTION SEED [return] [at K],\n"
                 "corrupt K [return], stall MS, fault K WORD [DRVWORD], joint K, state K,\n"
                 "stats, emergency K CODE [REG], power-cycle K, firmware K, param K ID,\n"
                 "misbehave K MODE, refuse-sdo K INDEX:SUB CODE, drop K N, duplicate K,\n"
                 "quit. --capture writes every frame taken and sent to a pcapng file.\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string ifname;
    int drives = 1;
    bool couplerFirst = false;
    double loss = 0.0;
    unsigned long long seed = 1;
    long long hopDelay = 120;
    long long alDelayMs = 0;
    unsigned long foePassword = 0;
    std::vector<uint32_t> foeBusy;
    long long bootDelayMs = 0;
    unsigned long long foeCapacity = 0;
    bool noBoot = false;
    long long saveMs = 50;
    long long calibrationMs = 3000;
    long long identifyMs = 50000;
    unsigned long long noiseSeed = 1;
    double thermalScale = 1.0;
    std::string capturePath;
    // Firmware quirks per drive position (1-based among the drives).
    struct Quirks {
        uint32_t powerUpFaultWord = 0;
        std::vector<uint16_t> ignoredControlWords;
        bool ignoresMode = false;
        bool calibrationHangs = false;
    };
    std::map<int, Quirks> quirks;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size()) {
                usage();
                std::exit(2);
            }
            return args[++i];
        };
        try {
            if (a == "--interface" || a == "-i") {
                ifname = value();
            } else if (a == "--drives" || a == "-n") {
                drives = std::stoi(value());
            } else if (a == "--coupler-first") {
                couplerFirst = true;
            } else if (a == "--loss") {
                loss = std::stod(value());
            } else if (a == "--seed") {
                seed = toUnsigned(value(), 0);
            } else if (a == "--hop-delay-ns") {
                hopDelay = std::stoll(value());
            } else if (a == "--al-delay-ms") {
                alDelayMs = std::stoll(value());
            } else if (a == "--foe-password") {
                foePassword = toUnsigned(value(), 16);
                if (foePassword > 0xFFFFFFFFul)
                    throw std::out_of_range("password");
            } else if (a == "--foe-busy") {
                std::stringstream list(value());
                for (std::string n; std::getline(list, n, ',');)
                    foeBusy.push_back(static_cast<uint32_t>(toUnsigned(n)));
            } else if (a == "--foe-capacity") {
                foeCapacity = toUnsigned(value());
            } else if (a == "--boot-delay-ms") {
                bootDelayMs = std::stoll(value());
            } else if (a == "--no-boot") {
                noBoot = true;
            } else if (a == "--save-ms") {
                saveMs = std::stoll(value());
            } else if (a == "--power-up-fault") {  // K:WORD
                const std::string v = value();
                const size_t colon = v.find(':');
                quirks[std::stoi(v.substr(0, colon))].powerUpFaultWord =
                    colon == std::string::npos
                        ? 1u
                        : static_cast<uint32_t>(std::stoul(v.substr(colon + 1), nullptr, 0));
            } else if (a == "--ignore-cw") {  // K:CW
                const std::string v = value();
                const size_t colon = v.find(':');
                if (colon == std::string::npos)
                    throw std::invalid_argument("ignore-cw");
                quirks[std::stoi(v.substr(0, colon))].ignoredControlWords.push_back(
                    static_cast<uint16_t>(std::stoul(v.substr(colon + 1), nullptr, 0)));
            } else if (a == "--ignore-mode") {  // K
                quirks[std::stoi(value())].ignoresMode = true;
            } else if (a == "--calibration-ms") {
                calibrationMs = std::stoll(value());
            } else if (a == "--calibration-hangs") {  // K
                quirks[std::stoi(value())].calibrationHangs = true;
            } else if (a == "--identify-ms") {
                identifyMs = std::stoll(value());
            } else if (a == "--noise-seed") {
                noiseSeed = toUnsigned(value(), 0);
            } else if (a == "--thermal-scale") {
                thermalScale = std::stod(value());
                if (!(thermalScale > 0.0))
                    throw std::out_of_range("thermal-scale");
            } else if (a == "--capture") {
                capturePath = value();
            } else if (a == "--help" || a == "-h") {
                usage();
                return 0;
            } else {
                usage();
                return 2;
            }
        } catch (...) {
            usage();
            return 2;
        }
    }
    if (ifname.empty() || drives < 0 || drives > 200 || loss < 0.0 || loss > 1.0) {
        usage();
        return 2;
    }

    sim::ChainConfig cfg;
    if (couplerFirst)
        cfg.slaves.push_back(sim::SlaveConfig::coupler());
    for (int n = 1; n <= drives; ++n)
        cfg.slaves.push_back(sim::SlaveConfig::drive(n));
    for (const auto& [position, quirk] : quirks) {
        if (position < 1 || position > drives) {
            usage();
            return 2;
        }
        auto& s = cfg.slaves[static_cast<size_t>(position - 1 + (couplerFirst ? 1 : 0))];
        s.powerUpFaultWord = quirk.powerUpFaultWord;
        s.ignoredControlWords = quirk.ignoredControlWords;
        s.ignoresMode = quirk.ignoresMode;
        s.calibrationNeverEnds = quirk.calibrationHangs;
    }
    for (auto& s : cfg.slaves) {
        s.hopDelayNs = hopDelay;
        s.alTransitionDelayNs = alDelayMs * 1'000'000;
        s.foePassword = static_cast<uint32_t>(foePassword);
        s.foeBusyPackets = foeBusy;
        s.foeCapacityBytes = static_cast<size_t>(foeCapacity);
        s.bootDelayNs = bootDelayMs * 1'000'000;
        s.bootSupported = !noBoot;
        s.saveDurationNs = saveMs * 1'000'000;
        s.calibrationDurationNs = calibrationMs * 1'000'000;
        s.identificationDurationNs = identifyMs * 1'000'000;
        s.noiseSeed = noiseSeed;
        for (sim::ThermalNode* node : {&s.joint.motor, &s.joint.mos, &s.joint.mcu})
            node->timeConstantS *= thermalScale;
    }
    cfg.frameLoss = loss;
    cfg.seed = seed;
    sim::Chain chain(cfg);

    // The master transmits from its own MAC; a simulator must take those frames.
    auto link = ec::RawSocketLink::open(ifname, ec::RawSocketOptions{.acceptUnprocessed = true});
    if (!link) {
        std::fprintf(stderr, "zentrio-sim: cannot open a raw socket on '%s'\n", ifname.c_str());
        return 1;
    }
    std::unique_ptr<ec::FrameCapture> capture;
    if (!capturePath.empty()) {
        capture = ec::FrameCapture::start(capturePath, ifname);
        if (!capture) {
            std::fprintf(stderr, "zentrio-sim: cannot write '%s'\n", capturePath.c_str());
            return 1;
        }
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    std::printf("zentrio-sim: serving %zu slaves (%d drives%s) on %s\n", chain.size(), drives,
                couplerFirst ? ", coupler first" : "", ifname.c_str());
    std::fflush(stdout);

    // Commands are read on their own thread; the chain is thread-safe. End of input leaves the
    // simulator serving (it may run in the background with stdin closed).
    std::thread console([&chain] {
        sim::CommandInterpreter interpreter(chain);
        std::string line;
        while (!g_stop && std::getline(std::cin, line)) {
            const std::string reply = interpreter.execute(line);
            if (!reply.empty()) {
                std::printf("%s\n", reply.c_str());
                std::fflush(stdout);
            }
            if (interpreter.quitRequested())
                g_stop = true;
        }
    });
    console.detach();

    // A slave controller answers in hardware within microseconds. On a loaded host a simulator
    // scheduled like any process can leave a frame unanswered past the master's receive timeout
    // (2 ms), which the master counts as a short working counter: serve at real-time priority,
    // just below the master's cycle thread, where the system permits it.
    sched_param param{};
    param.sched_priority = std::max(1, std::min(79, sched_get_priority_max(SCHED_FIFO)));
    const bool realtime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    std::printf("zentrio-sim: %s\n", realtime ? "real-time scheduling"
                                              : "normal scheduling (no privilege for real-time)");
    std::fflush(stdout);

    std::vector<uint8_t> buf(ec::kEthMaxFrame + 4);
    std::vector<uint8_t> frame;
    while (!g_stop) {
        const int n = link->receive(buf, std::chrono::milliseconds(10));
        if (n < 0) {
            std::fprintf(stderr, "zentrio-sim: receive failed on '%s'\n", ifname.c_str());
            return 1;
        }
        if (n == 0) {
            chain.poll();  // timers run without traffic too
            continue;
        }
        if (static_cast<size_t>(n) < ec::kEthHeaderSize)
            continue;
        // The link never shows us our own replies (outgoing packets are left out), so every
        // frame is a request: the source address cannot tell, as the master's may already carry
        // the bit the slaves set on the way back.
        frame.assign(buf.begin(), buf.begin() + n);
        if (capture)
            capture->record(frame, ec::CaptureDirection::Inbound);
        if (chain.processFrame(frame) && link->send(frame) && capture)
            capture->record(frame, ec::CaptureDirection::Outbound);
    }
    if (capture) {
        ec::CaptureStats stats;
        const bool complete = capture->stop(&stats);
        std::printf("zentrio-sim: capture %s: %llu frames written, %llu dropped%s\n",
                    capturePath.c_str(), static_cast<unsigned long long>(stats.written),
                    static_cast<unsigned long long>(stats.dropped),
                    complete ? "" : ", file incomplete");
    }
    std::printf("zentrio-sim: stopped\n");
    std::fflush(stdout);
    // The console thread may still block in getline; leave without running static destructors
    // under its feet.
    std::_Exit(0);
}
