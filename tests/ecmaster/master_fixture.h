// The master's tests: simulated chains as adapters, a signal collector, a control-word recorder.
#pragma once

#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../filebytes.h"
#include "ecmaster.h"
#include "ethercat.h"
#include "sim/chain.h"
#include "sim/cia402_drive.h"
#include "sim/virtual_link.h"

namespace mastertest {

using Words = std::vector<uint16_t>;

// Takes the master's signals queued and its records on a timer, as the window does.
class SignalSink : public QObject {
public:
    explicit SignalSink(ecmaster& m) {
        // A sink may outlive its master (a test of the master's teardown).
        connect(&recordTimer, &QTimer::timeout, this, [this, master = QPointer<ecmaster>(&m)] {
            std::array<TimedRecord, 64> batch;
            for (size_t n = master ? master->takeRecords(batch) : 0, i = 0; i < n; ++i)
                values.push_back(batch[i].data), stamps.push_back(batch[i].timestamp);
        });
        recordTimer.start(5);
        connect(&m, &ecmaster::writeLog, this, &SignalSink::addLine, Qt::QueuedConnection);
        connect(&m, &ecmaster::writeDetail, this, &SignalSink::addLine, Qt::QueuedConnection);
        connect(&m, &ecmaster::slaveLost, this, &SignalSink::countLoss, Qt::QueuedConnection);
    }
    void addLine(const QString& line) { lines.append(line); }
    void countLoss() { ++lost; }
    QTimer recordTimer;
    QStringList lines;
    int lost = 0;
    std::vector<TCiA402_GetValue> values;
    std::vector<uint64_t> stamps;
    int count(const QString& line) const { return static_cast<int>(lines.count(line)); }
    bool contains(const QString& line) const { return lines.contains(line); }
    void clear() { lines.clear(), values.clear(), stamps.clear(), lost = 0; }
};

// Hands the next process-data replies on with a working counter one short.
class FilterLink final : public ec::FrameLink {
public:
    FilterLink(std::unique_ptr<ec::FrameLink> inner, std::shared_ptr<std::atomic<int>> shortWkc)
        : inner_(std::move(inner)), shortWkc_(std::move(shortWkc)) {}
    bool send(std::span<const uint8_t> f) override { return inner_->send(f); }
    int receive(std::span<uint8_t> f, std::chrono::microseconds timeout) override {
        const int n = inner_->receive(f, timeout);
        // After 16 header bytes: cmd, idx, adp(4), len(2), irq(2), data, wkc(2); PDO is one LRW.
        const size_t at = 16 + 10 + (f[16 + 6] | (f[16 + 7] & 0x07) << 8);
        if (n >= 28 && f[16] == 0x0C && at + 2 <= size_t(n) && (f[at] | f[at + 1]) != 0 &&
            *shortWkc_ > 0 && shortWkc_->fetch_sub(1) > 0) {
            const auto wkc = static_cast<uint16_t>((f[at] | f[at + 1] << 8) - 1);
            f[at] = static_cast<uint8_t>(wkc), f[at + 1] = static_cast<uint8_t>(wkc >> 8);
        }
        return n;
    }

private:
    std::unique_ptr<ec::FrameLink> inner_;
    std::shared_ptr<std::atomic<int>> shortWkc_;
};

struct SimAdapter {
    std::string name;
    std::shared_ptr<sim::Chain> chain;
    std::shared_ptr<std::atomic<int>> shortWkcReplies = std::make_shared<std::atomic<int>>(0);
    SimAdapter(const std::string& adapterName, sim::ChainConfig cfg)
        : name(adapterName), chain(std::make_shared<sim::Chain>(std::move(cfg))) {
        ec::registerVirtualAdapter(name, "test chain " + name, [c = chain, f = shortWkcReplies] {
            return std::make_unique<FilterLink>(sim::makeVirtualLink(c), f);
        });
    }
    ~SimAdapter() {
        ec::unregisterVirtualAdapter(name);
        std::string refused;  // nothing the master sent may be what a real controller refuses
        for (const auto& what : chain->takeRefusals())
            refused += what + "; ";
        QVERIFY2(refused.empty(), refused.c_str());
        QVERIFY(offLine || chain->datagramsToNobody() == 0);  // nor address a slave not there
    }
    void pull(int position) { offLine = true, chain->pullDrive(position); }
    bool offLine = false;  // a slave was pulled: datagrams for it name nobody
    const char* adapter() const { return name.c_str(); }
};

// Connects, waits until the bring-up's lines have arrived, then forgets them.
inline bool connectQuietly(ecmaster& m, SignalSink& sink, const SimAdapter& bus) {
    const bool up = m.connectBus(bus.adapter()) && QTest::qWaitFor([&] {
                        return !sink.lines.filter(QStringLiteral("slaves valid!")).isEmpty();
                    });
    QTest::qWait(20);
    sink.clear();
    return up;
}

// Stands in for the drive at a position, forwarding every hook, recording control words.
class WrappedDrive : public sim::SlaveApplication {
public:
    WrappedDrive(sim::Chain& chain, int position) : chain_(chain), position_(position) {
        chain_.withSlave(position_, [this](sim::Esc& esc, sim::SlaveApplication* app) {
            inner_ = app;
            esc.setApplication(this);
        });
    }
    ~WrappedDrive() override {
        chain_.withSlave(position_, [this](sim::Esc& esc, sim::SlaveApplication*) {
            esc.setApplication(inner_);
        });
    }
    void attach(sim::Esc& esc) override { SlaveApplication::attach(esc), inner_->attach(esc); }
    void onPowerUp() override { inner_->onPowerUp(); }
    uint16_t checkTransition(uint8_t from, uint8_t to) override {
        return inner_->checkTransition(from, to);
    }
    void onStateChange(uint8_t from, uint8_t to) override { inner_->onStateChange(from, to); }
    void onOutputs(int sm, std::span<const uint8_t> data, bool apply) override {
        if (apply && data.size() >= static_cast<size_t>(kDriveOutputBytes)) {
            const uint16_t cw = loadLe16(data.data() + kOutControlWord);
            std::lock_guard lock(mutex_);
            if (!std::exchange(seen_, true) || cw != last_)
                words_.push_back(cw);
            last_ = cw;
        }
        inner_->onOutputs(sm, data, apply);
    }
    void onOutputsInvalid() override { inner_->onOutputsInvalid(); }
    void onMailbox(std::span<const uint8_t> m) override { inner_->onMailbox(m); }
    void onMailboxStart() override { inner_->onMailboxStart(); }
    Words controlWords() {  // each change once, since the last take
        std::lock_guard lock(mutex_);
        return std::exchange(words_, {});
    }

private:
    sim::Chain& chain_;
    int position_;
    sim::SlaveApplication* inner_ = nullptr;
    std::mutex mutex_;
    Words words_;        // guarded by mutex_
    uint16_t last_ = 0;  // guarded by mutex_
    bool seen_ = false;  // guarded by mutex_
};

}  // namespace mastertest
