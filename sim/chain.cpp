#include "sim/chain.h"

#include <algorithm>

#include "ethercat/stack/protocol.h"
#include "sim/bytes.h"
#include "sim/cia402_drive.h"

namespace sim {

Chain::Chain(ChainConfig cfg)
    : clock_(cfg.clock ? cfg.clock : std::make_shared<SteadyClock>()),
      loss_(cfg.frameLoss),
      lossPoint_(cfg.lossPoint),
      rng_(cfg.seed) {
    slaves_.reserve(cfg.slaves.size());
    for (auto& sc : cfg.slaves) {
        Slave s;
        s.cfg = sc;
        s.esc = std::make_unique<Esc>(sc, *clock_);
        if (sc.kind == SlaveKind::Drive)
            s.app = std::make_unique<Cia402Drive>(sc);
        s.esc->setApplication(s.app.get());
        slaves_.push_back(std::move(s));
    }
    updateLinksLocked();
}

Chain::~Chain() = default;

size_t Chain::size() const {
    std::lock_guard lock(mutex_);
    return slaves_.size();
}

size_t Chain::reachable() const {
    std::lock_guard lock(mutex_);
    return const_cast<Chain*>(this)->reachableLocked().size();
}

bool Chain::validPosition(int position) const {
    return position >= 1 && static_cast<size_t>(position) <= slaves_.size();
}

std::vector<Chain::Slave*> Chain::reachableLocked() {
    std::vector<Slave*> line;
    for (auto& s : slaves_) {
        if (!s.cableIn)
            break;
        if (!s.removed)
            line.push_back(&s);
    }
    return line;
}

void Chain::updateLinksLocked() {
    auto line = reachableLocked();
    for (size_t i = 0; i < line.size(); ++i)
        line[i]->esc->setPort1Link(i + 1 < line.size());
}

void Chain::poll() {
    std::lock_guard lock(mutex_);
    for (auto* s : reachableLocked())
        s->esc->poll();
}

bool Chain::processFrame(std::vector<uint8_t>& frame) {
    std::lock_guard lock(mutex_);
    ++framesSeen_;
    auto line = reachableLocked();
    for (auto* s : line)
        s->esc->poll();
    if (line.empty() || clock_->nowNs() < stallUntilNs_) {
        ++framesLost_;
        return false;
    }
    bool lose = loss_ > 0.0 && std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < loss_;
    Corruption fault{lossLink_, lossPoint_};
    if (corruptNext_) {
        fault = *corruptNext_;
        corruptNext_.reset();
        lose = true;
    }
    // The cable the frame is corrupted on leads into line[cable]: the slave there takes it
    // invalid, the ones after it see it marked. Out there, they leave it alone; back, the slave
    // before that cable takes it on port 1, and those nearer the master see it marked.
    const size_t cable = std::min(static_cast<size_t>(fault.link), line.size()) - 1;
    size_t passes = line.size();
    if (lose && fault.where == LossPoint::Outbound) {
        passes = cable;
        line[cable]->esc->countInvalidFrame(0);
        for (size_t i = cable + 1; i < line.size(); ++i)
            line[i]->esc->countForwardedError(0);
    } else if (lose && cable > 0) {
        line[cable - 1]->esc->countInvalidFrame(1);
        for (size_t i = 0; i + 1 < cable; ++i)
            line[i]->esc->countForwardedError(1);
    }
    // Whatever passed the line, a loss on the way back swallows it.
    const auto delivered = [&] {
        if (!lose)
            return true;
        ++framesLost_;
        return false;
    };
    if (passes == 0)
        return delivered();

    // Anything but a well-formed EtherCAT frame passes unchanged.
    constexpr size_t kHeaderEnd = ec::kEthHeaderSize + ec::kEcHeaderSize;
    if (frame.size() < kHeaderEnd)
        return delivered();
    if (frame[12] != (ec::kEtherType >> 8) || frame[13] != (ec::kEtherType & 0xFF))
        return delivered();
    const uint16_t ecHeader = rd16(&frame[ec::kEthHeaderSize]);
    if ((ecHeader >> 12) != ec::kEcFrameTypeDatagrams)
        return delivered();
    const size_t ecLength = ecHeader & ec::kEcLengthMask;
    const auto malformed = [&](const char* why) {
        if (lineRefusals_.size() < Esc::kMaxRefusals)
            lineRefusals_.push_back("frame of " + std::to_string(frame.size()) + " bytes: " + why);
        return delivered();
    };
    if (frame.size() > ec::kEthMaxFrame)
        return malformed("longer than an Ethernet frame");
    if (kHeaderEnd + ecLength > frame.size())
        return malformed("EtherCAT length past the frame");

    struct Datagram {
        size_t header;
        uint16_t len;
        bool named = false;  // by some slave on the line
    };
    std::vector<Datagram> datagrams;
    size_t pos = kHeaderEnd;
    const size_t end = kHeaderEnd + ecLength;
    for (;;) {
        if (pos + ec::kDatagramHeaderSize > end)
            return malformed("datagram header past the EtherCAT length");
        const uint16_t lenField = rd16(&frame[pos + 6]);
        const uint16_t len = lenField & ec::kDatagramLengthMask;
        if (pos + ec::kDatagramHeaderSize + len + ec::kWkcSize > end)
            return malformed("datagram past the EtherCAT length");
        datagrams.push_back({pos, len, false});
        pos += ec::kDatagramHeaderSize + len + ec::kWkcSize;
        if (!(lenField & ec::kDatagramMore))
            break;
    }

    // Host time at which the frame reaches each slave's port 0, and at which it comes back
    // through port 1 after the rest of the line.
    const int64_t start = clock_->nowNs();
    std::vector<int64_t> arrive(line.size());
    int64_t t = start;
    for (size_t i = 0; i < line.size(); ++i) {
        t += line[i]->cfg.hopDelayNs;
        arrive[i] = t;
    }
    const int64_t turn = t;
    for (size_t i = 0; i < passes; ++i) {
        Esc::Passage p;
        p.port0HostNs = arrive[i];
        p.port1HostNs = turn + (turn - arrive[i]);  // back through the later hops
        p.lastInLine = i + 1 == line.size();
        Esc& esc = *line[i]->esc;
        esc.beginFrame(p);
        for (auto& d : datagrams) {
            uint8_t* header = &frame[d.header];
            d.named |= esc.processDatagram(header, header + ec::kDatagramHeaderSize, d.len,
                                           header + ec::kDatagramHeaderSize + d.len);
        }
        esc.endFrame();
    }
    if (passes == line.size())
        datagramsToNobody_ +=
            static_cast<uint64_t>(std::ranges::count(datagrams, false, &Datagram::named));
    frame[6] |= ec::kMacReturnBit;
    return delivered();
}

void Chain::setFrameLoss(double fraction, uint64_t seed, LossPoint where, int link) {
    std::lock_guard lock(mutex_);
    loss_ = fraction;
    lossPoint_ = where;
    lossLink_ = std::max(link, 1);
    rng_.seed(seed);
}

void Chain::corruptNextFrame(int link, LossPoint where) {
    std::lock_guard lock(mutex_);
    corruptNext_ = Corruption{std::max(link, 1), where};
}

void Chain::stall(int64_t ms) {
    std::lock_guard lock(mutex_);
    stallUntilNs_ = clock_->nowNs() + std::max<int64_t>(ms, 0) * 1'000'000;
}

void Chain::pullDrive(int position) {
    std::lock_guard lock(mutex_);
    if (!validPosition(position))
        return;
    slaves_[position - 1].cableIn = false;
    updateLinksLocked();
}

void Chain::plugDrive(int position) {
    std::lock_guard lock(mutex_);
    if (!validPosition(position))
        return;
    auto before = reachableLocked();
    slaves_[position - 1].cableIn = true;
    for (auto* s : reachableLocked()) {
        if (std::find(before.begin(), before.end(), s) == before.end())
            s->esc->powerUp();
    }
    updateLinksLocked();
}

void Chain::removeSlave(int position) {
    std::lock_guard lock(mutex_);
    if (!validPosition(position))
        return;
    slaves_[position - 1].removed = true;
    updateLinksLocked();
}

void Chain::restoreSlave(int position) {
    std::lock_guard lock(mutex_);
    if (!validPosition(position))
        return;
    Slave& s = slaves_[position - 1];
    if (s.removed) {
        s.removed = false;
        s.esc->powerUp();
    }
    updateLinksLocked();
}

void Chain::forceSafeOpError(int position, uint16_t alStatusCode) {
    std::lock_guard lock(mutex_);
    if (validPosition(position))
        slaves_[position - 1].esc->forceError(alStatusCode);
}

bool Chain::fallBack(int position, uint8_t state) {
    std::lock_guard lock(mutex_);
    return validPosition(position) && slaves_[position - 1].esc->fallBack(state);
}

void Chain::refuseState(int position, uint8_t state, uint16_t alStatusCode) {
    std::lock_guard lock(mutex_);
    if (validPosition(position))
        slaves_[position - 1].esc->refuseState(state, alStatusCode);
}

void Chain::acceptState(int position, uint8_t state) {
    std::lock_guard lock(mutex_);
    if (validPosition(position))
        slaves_[position - 1].esc->acceptState(state);
}

void Chain::ignoreAccesses(int position, uint16_t address, Esc::AccessKind kind, int count) {
    std::lock_guard lock(mutex_);
    if (validPosition(position))
        slaves_[position - 1].esc->ignoreAccesses(address, kind, count);
}

uint8_t Chain::alState(int position) const {
    std::lock_guard lock(mutex_);
    if (!validPosition(position))
        return 0;
    const Esc& esc = *slaves_[position - 1].esc;
    return static_cast<uint8_t>(esc.alState() | (esc.alError() ? ec::kAlStateError : 0));
}

uint16_t Chain::alStatusCode(int position) const {
    std::lock_guard lock(mutex_);
    return validPosition(position) ? slaves_[position - 1].esc->alStatusCode() : 0;
}

std::vector<uint8_t> Chain::readRegisters(int position, uint16_t address, size_t len) const {
    std::lock_guard lock(mutex_);
    if (!validPosition(position))
        return std::vector<uint8_t>(len, 0);
    return slaves_[position - 1].esc->peek(address, len);
}

uint64_t Chain::framesSeen() const {
    std::lock_guard lock(mutex_);
    return framesSeen_;
}

uint64_t Chain::framesLost() const {
    std::lock_guard lock(mutex_);
    return framesLost_;
}

uint64_t Chain::datagramsToNobody() const {
    std::lock_guard lock(mutex_);
    return datagramsToNobody_;
}

std::vector<std::string> Chain::takeRefusals() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> all = std::move(lineRefusals_);
    lineRefusals_.clear();
    for (size_t i = 0; i < slaves_.size(); ++i) {
        for (const auto& what : slaves_[i].esc->refusals())
            all.push_back("slave " + std::to_string(i + 1) + ": " + what);
        slaves_[i].esc->clearRefusals();
    }
    return all;
}

void Chain::withSlave(int position, const std::function<void(Esc&, SlaveApplication*)>& f) {
    std::lock_guard lock(mutex_);
    if (validPosition(position))
        f(*slaves_[position - 1].esc, slaves_[position - 1].app.get());
}

Cia402Drive* Chain::drive(int position) {
    if (!validPosition(position))
        return nullptr;
    return dynamic_cast<Cia402Drive*>(slaves_[position - 1].app.get());
}

bool Chain::withDrive(int position, const std::function<void(Cia402Drive&)>& f) {
    std::lock_guard lock(mutex_);
    if (!validPosition(position))
        return false;
    auto* d = dynamic_cast<Cia402Drive*>(slaves_[position - 1].app.get());
    if (!d)
        return false;
    f(*d);
    return true;
}

void Chain::powerCycle(int position) {
    std::lock_guard lock(mutex_);
    if (validPosition(position))
        slaves_[position - 1].esc->powerUp();
}

bool Chain::injectFault(int position, uint32_t errorWord, uint32_t drvErrorWord) {
    return withDrive(position, [&](Cia402Drive& d) { d.injectFault(errorWord, drvErrorWord); });
}

std::optional<JointReadings> Chain::joint(int position) {
    std::optional<JointReadings> r;
    withDrive(position, [&](const Cia402Drive& d) { r = d.readings(); });
    return r;
}

bool Chain::setMailboxMisbehaviour(int position, Misbehaviour m) {
    return withDrive(position, [m](Cia402Drive& d) { d.mailbox().misbehaviour = m; });
}

bool Chain::dropMailboxReplies(int position, int n) {
    return withDrive(position, [n](Cia402Drive& d) { d.mailbox().dropReplies = n; });
}

bool Chain::duplicateNextMailboxReply(int position) {
    return withDrive(position, [](Cia402Drive& d) { d.mailbox().duplicateNext = true; });
}

bool Chain::sendEmergency(int position, uint16_t errorCode, uint8_t errorRegister,
                          std::array<uint8_t, 5> manufacturer) {
    return withDrive(
        position, [&](Cia402Drive& d) { d.sendEmergency(errorCode, errorRegister, manufacturer); });
}

bool Chain::refuseSdo(int position, uint16_t index, uint8_t sub, uint32_t abortCode) {
    bool found = false;
    withDrive(position, [&](Cia402Drive& d) {
        if (SubObject* e = d.dictionary().entry(index, sub))
            found = true, e->refusal = abortCode;
    });
    return found;
}

std::optional<FirmwareFile> Chain::firmware(int position) {
    std::optional<FirmwareFile> f;
    withDrive(position, [&](Cia402Drive& d) { f = d.lastFirmware(); });
    return f;
}

std::vector<uint8_t> Chain::parameter(int position, int id) {
    std::vector<uint8_t> v;
    withDrive(position, [&](Cia402Drive& d) { v = d.parameter(id); });
    return v;
}

}  // namespace sim
