// Shared pieces of the master's tests: simulated chains registered as adapters, a collector for
// the master's signals on the test thread, and a link that can swallow AL control requests.
#pragma once

#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QTest>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ecmaster.h"
#include "ethercat.h"
#include "sim/chain.h"
#include "sim/cia402_drive.h"
#include "sim/virtual_link.h"

namespace mastertest {

// Receives the master's signals on the test thread by queued connections, as the window does;
// QTRY_ macros spin the event loop that delivers them.
class SignalSink : public QObject {
    Q_OBJECT
public:
    explicit SignalSink(ecmaster& m) {
        connect(&m, &ecmaster::writeLog, this, &SignalSink::onLog, Qt::QueuedConnection);
        connect(&m, &ecmaster::slaveLost, this, &SignalSink::onLost, Qt::QueuedConnection);
        connect(&m, &ecmaster::getValueCallback, this, &SignalSink::onValue, Qt::QueuedConnection);
    }

    QStringList lines;
    int lost = 0;
    std::vector<TCiA402_GetValue> values;
    std::vector<uint64_t> stamps;

    int count(const QString& line) const { return static_cast<int>(lines.count(line)); }
    bool contains(const QString& line) const { return lines.contains(line); }
    void clear() {
        lines.clear();
        values.clear();
        stamps.clear();
        lost = 0;
    }

public slots:
    void onLog(const QString& text) { lines.append(text); }
    void onLost() { ++lost; }
    void onValue(TCiA402_GetValue v, uint64_t t) {
        values.push_back(v);
        stamps.push_back(t);
    }
};

// Faults a test can switch on in the link between the master and a chain.
struct LinkFaults {
    // Frames carrying an AL control write are swallowed: the request never reaches the slaves.
    std::atomic<bool> swallowAl{false};
    // This many process-data replies come back with a working counter one short.
    std::atomic<int> shortWkcReplies{0};
};

class FilterLink final : public ec::FrameLink {
public:
    FilterLink(std::unique_ptr<ec::FrameLink> inner, std::shared_ptr<LinkFaults> faults)
        : inner_(std::move(inner)), faults_(std::move(faults)) {}

    bool send(std::span<const uint8_t> frame) override {
        if (faults_->swallowAl.load() && findDatagram(frame, isAlControlWrite) != 0) {
            return true;
        }
        return inner_->send(frame);
    }
    int receive(std::span<uint8_t> buf, std::chrono::microseconds timeout) override {
        const int n = inner_->receive(buf, timeout);
        if (n > 0 && faults_->shortWkcReplies.load() > 0) {
            const auto frame = buf.first(static_cast<size_t>(n));
            if (const size_t wkcAt = findDatagram(frame, isLrw)) {
                const uint16_t wkc = static_cast<uint16_t>(frame[wkcAt] | (frame[wkcAt + 1] << 8));
                if (wkc > 0 && faults_->shortWkcReplies.fetch_sub(1) > 0) {
                    frame[wkcAt] = static_cast<uint8_t>((wkc - 1) & 0xFF);
                    frame[wkcAt + 1] = static_cast<uint8_t>((wkc - 1) >> 8);
                }
            }
        }
        return n;
    }

private:
    static bool isAlControlWrite(uint8_t cmd, uint16_t ado) {
        return (cmd == 0x02 || cmd == 0x05 || cmd == 0x08) && ado == 0x0120;  // APWR FPWR BWR
    }
    static bool isLrw(uint8_t cmd, uint16_t) { return cmd == 0x0C; }

    // Ethernet header (14), EtherCAT header (2), then datagrams: cmd, idx, address (4), len (2),
    // irq (2), data, wkc (2). Returns the offset of the first matching datagram's working
    // counter, 0 when none matches.
    template <typename Match>
    static size_t findDatagram(std::span<const uint8_t> f, Match match) {
        size_t at = 16;
        while (at + 12 <= f.size()) {
            const uint8_t cmd = f[at];
            const uint16_t ado = static_cast<uint16_t>(f[at + 4] | (f[at + 5] << 8));
            const uint16_t lenField = static_cast<uint16_t>(f[at + 6] | (f[at + 7] << 8));
            const size_t wkcAt = at + 10 + (lenField & 0x07FF);
            if (wkcAt + 2 > f.size()) {
                break;
            }
            if (match(cmd, ado)) {
                return wkcAt;
            }
            if (!(lenField & 0x8000)) {
                break;
            }
            at = wkcAt + 2;
        }
        return 0;
    }

    std::unique_ptr<ec::FrameLink> inner_;
    std::shared_ptr<LinkFaults> faults_;
};

// A chain registered under its own adapter name.
struct SimAdapter {
    std::string name;
    std::shared_ptr<sim::Chain> chain;
    std::shared_ptr<LinkFaults> faults = std::make_shared<LinkFaults>();

    SimAdapter(const std::string& adapterName, sim::ChainConfig cfg)
        : name(adapterName), chain(std::make_shared<sim::Chain>(std::move(cfg))) {
        auto c = chain;
        auto f = faults;
        ec::registerVirtualAdapter(name, "test chain " + name, [c, f] {
            return std::make_unique<FilterLink>(sim::makeVirtualLink(c), f);
        });
    }
    ~SimAdapter() { ec::unregisterVirtualAdapter(name); }
    SimAdapter(const SimAdapter&) = delete;
    SimAdapter& operator=(const SimAdapter&) = delete;

    const char* adapter() const { return name.c_str(); }

    // Runs f on the drive at a position under the chain's lock.
    template <typename F>
    void withDrive(int position, F f) {
        chain->withSlave(position, [&f](sim::Esc&, sim::SlaveApplication* app) {
            if (auto* d = dynamic_cast<sim::Cia402Drive*>(app)) {
                f(*d);
            }
        });
    }
};

// Sim firmware wrapper: forwards every hook to the drive behind it, letting a test change the
// output image on its way to the drive and see the control words the drive acted on.
class ForwardingDrive : public sim::SlaveApplication {
public:
    explicit ForwardingDrive(sim::SlaveApplication* inner) : inner_(inner) {}
    void attach(sim::Esc& esc) override {
        SlaveApplication::attach(esc);
        inner_->attach(esc);
    }
    void onPowerUp() override { inner_->onPowerUp(); }
    uint16_t checkTransition(uint8_t from, uint8_t to) override {
        return inner_->checkTransition(from, to);
    }
    void onStateChange(uint8_t from, uint8_t to) override { inner_->onStateChange(from, to); }
    void onOutputs(int sm, std::span<const uint8_t> data, bool apply) override {
        std::vector<uint8_t> copy(data.begin(), data.end());
        if (copy.size() >= static_cast<size_t>(kDriveOutputBytes)) {
            filter(copy.data());
            const uint16_t cw = loadLe16(copy.data() + kOutControlWord);
            std::lock_guard lock(mutex_);
            if (apply && (!seen_ || cw != last_)) {
                controlWords_.push_back(cw);
                last_ = cw;
                seen_ = true;
            }
        }
        inner_->onOutputs(sm, copy, apply);
    }
    void onOutputsInvalid() override { inner_->onOutputsInvalid(); }
    void onMailbox(std::span<const uint8_t> m) override { inner_->onMailbox(m); }
    void onMailboxStart() override { inner_->onMailboxStart(); }

    // Control words the drive acted on, each change once (since the last clear).
    std::vector<uint16_t> controlWords() {
        std::lock_guard lock(mutex_);
        return controlWords_;
    }
    void clearControlWords() {
        std::lock_guard lock(mutex_);
        controlWords_.clear();
    }

    // What to change in an output image (18 bytes) before the drive sees it.
    std::function<void(uint8_t*)> filter = [](uint8_t*) {};

private:
    sim::SlaveApplication* inner_;
    std::mutex mutex_;
    std::vector<uint16_t> controlWords_;  // guarded by mutex_
    uint16_t last_ = 0;                   // guarded by mutex_
    bool seen_ = false;                   // guarded by mutex_
};

// Puts a ForwardingDrive in front of the drive at a position for the lifetime of this object.
class WrappedDrive {
public:
    WrappedDrive(sim::Chain& chain, int position) : chain_(chain), position_(position) {
        chain_.withSlave(position_, [this](sim::Esc& esc, sim::SlaveApplication* app) {
            original_ = app;
            wrapper_ = std::make_unique<ForwardingDrive>(app);
            esc.setApplication(wrapper_.get());
        });
    }
    ~WrappedDrive() {
        chain_.withSlave(position_, [this](sim::Esc& esc, sim::SlaveApplication*) {
            esc.setApplication(original_);
        });
    }
    WrappedDrive(const WrappedDrive&) = delete;
    WrappedDrive& operator=(const WrappedDrive&) = delete;
    ForwardingDrive* operator->() { return wrapper_.get(); }

private:
    sim::Chain& chain_;
    int position_;
    sim::SlaveApplication* original_ = nullptr;
    std::unique_ptr<ForwardingDrive> wrapper_;
};

inline sim::ChainConfig couplerThenDrives(int drives) {
    sim::ChainConfig cfg;
    cfg.slaves.push_back(sim::SlaveConfig::coupler());
    for (int i = 1; i <= drives; ++i) {
        cfg.slaves.push_back(sim::SlaveConfig::drive(static_cast<uint32_t>(i)));
    }
    return cfg;
}

}  // namespace mastertest
