#include "sim/sdo_server.h"

#include <algorithm>

#include "ethercat/stack/protocol.h"
#include "sim/bytes.h"

namespace sim {

namespace {

// Offsets in the CoE data (after the mailbox header).
constexpr size_t kCmd = 2;
constexpr size_t kIndex = 3;
constexpr size_t kSub = 5;
constexpr size_t kData = 6;         // expedited data, complete size or abort code
constexpr size_t kNormalData = 10;  // data of a normal transfer
constexpr size_t kSegmentData = 3;  // data of a segment
constexpr size_t kMinLength = 10;   // shortest SDO message
constexpr size_t kMbxHeader = ec::kMbxHeaderSize;

constexpr uint8_t kCcsDownloadSegment = 0;
constexpr uint8_t kCcsDownloadInit = 1;
constexpr uint8_t kCcsUploadInit = 2;
constexpr uint8_t kCcsUploadSegment = 3;
constexpr uint8_t kCcsAbort = 4;
constexpr uint8_t kCompleteAccess = 0x10;
constexpr uint8_t kExpedited = 0x02;
constexpr uint8_t kSizeIndicated = 0x01;
constexpr uint8_t kLastSegment = 0x01;

constexpr size_t kOversizedPayload = 200;

std::vector<uint8_t> response(size_t length, uint8_t cmd, uint16_t index, uint8_t sub) {
    std::vector<uint8_t> r(length, 0);
    wr16(&r[0], static_cast<uint16_t>(ec::kCoeSdoResponse << 12));
    r[kCmd] = cmd;
    wr16(&r[kIndex], index);
    r[kSub] = sub;
    return r;
}

}  // namespace

void SdoServer::reset() {
    mode_ = Mode::Idle;
    toggle_ = 0;
    announced_ = 0;
    offset_ = 0;
    data_.clear();
}

std::vector<uint8_t> SdoServer::abort(uint16_t index, uint8_t sub, uint32_t code) {
    reset();
    // Either side sends an abort with the request service.
    std::vector<uint8_t> r(kMinLength, 0);
    wr16(&r[0], static_cast<uint16_t>(ec::kCoeSdoRequest << 12));
    r[kCmd] = 0x80;
    wr16(&r[kIndex], index);
    r[kSub] = sub;
    wr32(&r[kData], code);
    return r;
}

std::vector<uint8_t> SdoServer::handle(std::span<const uint8_t> rq, size_t rxWindow,
                                       size_t txWindow) {
    (void)rxWindow;  // a client that overfills the window is cut by the mailbox header length
    if (rq.size() < kMinLength)
        return abort(0, 0, sdo_abort::kGeneral);
    const uint8_t ccs = rq[kCmd] >> 5;
    switch (ccs) {
        case kCcsDownloadInit:
            return downloadInit(rq);
        case kCcsDownloadSegment:
            return downloadSegment(rq);
        case kCcsUploadInit:
            return uploadInit(rq, txWindow);
        case kCcsUploadSegment:
            return uploadSegment(rq, txWindow);
        case kCcsAbort:
            reset();
            return {};
        default:
            return abort(rd16(&rq[kIndex]), rq[kSub], sdo_abort::kCommandSpecifier);
    }
}

std::vector<uint8_t> SdoServer::downloadInit(std::span<const uint8_t> rq) {
    reset();
    const uint8_t cmd = rq[kCmd];
    const uint16_t index = rd16(&rq[kIndex]);
    const uint8_t sub = rq[kSub];
    if (cmd & kCompleteAccess)
        return abort(index, sub, sdo_abort::kUnsupportedAccess);
    if (cmd & kExpedited) {
        size_t size = 4;
        if (cmd & kSizeIndicated) {
            size = 4 - ((cmd >> 2) & 0x03);
        } else if (const SubObject* e = od_.entry(index, sub); e && e->size < 4) {
            size = e->size;  // size not indicated: the entry's own size
        }
        if (const uint32_t code = od_.download(index, sub, rq.subspan(kData, size)))
            return abort(index, sub, code);
        return response(kMinLength, 0x60, index, sub);
    }
    const size_t size = rd32(&rq[kData]);
    if (const uint32_t code = od_.checkDownload(index, sub, size))
        return abort(index, sub, code);
    const size_t here = std::min(rq.size() - kNormalData, size);
    if (here == size) {
        if (const uint32_t code = od_.download(index, sub, rq.subspan(kNormalData, size)))
            return abort(index, sub, code);
        return response(kMinLength, 0x60, index, sub);
    }
    mode_ = Mode::Download;
    index_ = index;
    sub_ = sub;
    announced_ = size;
    data_.assign(rq.begin() + kNormalData, rq.begin() + kNormalData + here);
    return response(kMinLength, 0x60, index, sub);
}

std::vector<uint8_t> SdoServer::downloadSegment(std::span<const uint8_t> rq) {
    if (mode_ != Mode::Download)
        return abort(0, 0, sdo_abort::kCommandSpecifier);
    const uint8_t cmd = rq[kCmd];
    const uint8_t toggle = (cmd >> 4) & 0x01;
    if (toggle != toggle_)
        return abort(index_, sub_, sdo_abort::kToggle);
    // A short segment travels padded to 7 bytes with the unused count in n.
    const size_t count = rq.size() > kMinLength ? rq.size() - kSegmentData : 7 - ((cmd >> 1) & 7);
    data_.insert(data_.end(), rq.begin() + kSegmentData, rq.begin() + kSegmentData + count);
    if (data_.size() > announced_)
        return abort(index_, sub_, sdo_abort::kLengthMismatch);
    const uint16_t index = index_;
    const uint8_t sub = sub_;
    auto reply = response(kMinLength, static_cast<uint8_t>(0x20 | (toggle << 4)), 0, 0);
    // The segment response carries no index; the bytes after the command stay zero.
    toggle_ ^= 1;
    if (!(cmd & kLastSegment))
        return reply;
    if (data_.size() != announced_)
        return abort(index, sub, sdo_abort::kLengthMismatch);
    const std::vector<uint8_t> data = std::move(data_);
    reset();
    if (const uint32_t code = od_.download(index, sub, data))
        return abort(index, sub, code);
    return reply;
}

std::vector<uint8_t> SdoServer::uploadInit(std::span<const uint8_t> rq, size_t txWindow) {
    reset();
    const uint16_t index = rd16(&rq[kIndex]);
    const uint8_t sub = rq[kSub];
    if (rq[kCmd] & kCompleteAccess)
        return abort(index, sub, sdo_abort::kUnsupportedAccess);
    std::vector<uint8_t> value;
    if (const uint32_t code = od_.upload(index, sub, value))
        return abort(index, sub, code);
    const size_t room =
        txWindow > kMbxHeader + kNormalData ? txWindow - kMbxHeader - kNormalData : 0;
    if (oversizedUpload) {
        const size_t sent = std::min(kOversizedPayload, room);
        auto r = response(kNormalData + sent, 0x41, index, sub);
        wr32(&r[kData], static_cast<uint32_t>(value.size()));
        for (size_t i = 0; i < sent; ++i)
            r[kNormalData + i] = i < value.size() ? value[i] : static_cast<uint8_t>(0xA5 ^ i);
        return r;
    }
    if (value.size() <= 4 && !value.empty() && !segmentsBeyondSize) {
        const auto unused = static_cast<uint8_t>(4 - value.size());
        auto r = response(kMinLength, static_cast<uint8_t>(0x43 | (unused << 2)), index, sub);
        std::copy(value.begin(), value.end(), r.begin() + kData);
        return r;
    }
    // Segments must come for the fault to show: the first reply then carries no data.
    const size_t first = segmentsBeyondSize ? 0 : std::min(value.size(), room);
    auto r = response(kNormalData + first, 0x41, index, sub);
    wr32(&r[kData], static_cast<uint32_t>(value.size()));
    std::copy_n(value.begin(), first, r.begin() + kNormalData);
    if (first < value.size() || segmentsBeyondSize) {
        mode_ = Mode::Upload;
        index_ = index;
        sub_ = sub;
        data_ = std::move(value);
        offset_ = first;
        if (segmentsBeyondSize)
            data_.insert(data_.end(), 3 * 7 + 5, 0x5A);
    }
    return r;
}

std::vector<uint8_t> SdoServer::uploadSegment(std::span<const uint8_t> rq, size_t txWindow) {
    if (mode_ != Mode::Upload)
        return abort(rd16(&rq[kIndex]), rq[kSub], sdo_abort::kCommandSpecifier);
    const uint8_t toggle = (rq[kCmd] >> 4) & 0x01;
    if (toggle != toggle_)
        return abort(index_, sub_, sdo_abort::kToggle);
    const size_t room =
        txWindow > kMbxHeader + kSegmentData ? txWindow - kMbxHeader - kSegmentData : 0;
    const size_t m = std::min(data_.size() - offset_, room);
    const bool last = offset_ + m == data_.size();
    uint8_t cmd = stuckSegmentToggle ? 0 : static_cast<uint8_t>(toggle << 4);
    if (m < 7)
        cmd = static_cast<uint8_t>(cmd | ((7 - m) << 1));
    if (last)
        cmd |= kLastSegment;
    std::vector<uint8_t> r(kSegmentData + std::max<size_t>(m, 7), 0);
    wr16(&r[0], static_cast<uint16_t>(ec::kCoeSdoResponse << 12));
    r[kCmd] = cmd;
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(offset_), m, r.begin() + kSegmentData);
    offset_ += m;
    toggle_ ^= 1;
    if (last)
        reset();
    return r;
}

}  // namespace sim
