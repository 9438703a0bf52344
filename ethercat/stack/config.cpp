// Bus configuration: scanning and addressing the slaves, reading their SII, mapping the process
// image, and bringing a single slave back after it was lost or restarted.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

#include "base.h"
#include "ethercat.h"
#include "iomap.h"
#include "mailbox.h"
#include "sii.h"
#include "wire.h"

namespace {

constexpr uint32_t kSmEnable = 0x00010000;  // activate bit 0 inside SMflags
constexpr uint16_t kEcatEventMaskDefault = 0x0004;
constexpr uint16_t kDcSpeedStartReset = 0x1000;
constexpr uint16_t kDcFilterDepthDefault = 0x0C00;
constexpr uint8_t kFmmuFuncOutputs = 1;

// An activated FMMU mapping `bytes` logical bytes (bits startBit..endBit at the ends) onto
// physical memory from `physical`; type read (inputs) or write (outputs).
ec_fmmut activeFmmu(uint32_t logical, uint32_t bytes, uint8_t startBit, uint8_t endBit,
                    uint16_t physical, uint8_t type) {
    return ec_fmmut{
        logical, static_cast<uint16_t>(bytes), startBit, endBit, physical, 0, type, 1, 0, 0};
}
constexpr uint8_t kFmmuFuncInputs = 2;

uint16_t positionAddress(int slave) {
    return static_cast<uint16_t>(1 - slave);
}

void encodeSm(const ec_smt& sm, uint8_t* out) {
    ec::putU16(out, sm.StartAddr);
    ec::putU16(out + 2, sm.SMlength);
    ec::putU32(out + 4, sm.SMflags);
}

void encodeFmmu(const ec_fmmut& f, uint8_t* out) {
    std::memset(out, 0, ec::kFmmuSize);
    ec::putU32(out, f.LogStart);
    ec::putU16(out + 4, f.LogLength);
    out[6] = f.LogStartbit;
    out[7] = f.LogEndbit;
    ec::putU16(out + 8, f.PhysStart);
    out[10] = f.PhysStartBit;
    out[11] = f.FMMUtype;
    out[12] = f.FMMUactive;
}

int writeSm(ecx_contextt* ctx, const ec_slavet& s, int n, int timeout) {
    uint8_t b[ec::kSmSize];
    encodeSm(s.SM[n], b);
    return ecx_FPWR(ctx, s.configadr, static_cast<uint16_t>(ec::kRegSm0 + n * ec::kSmSize),
                    sizeof b, b, timeout);
}

int writeFmmu(ecx_contextt* ctx, const ec_slavet& s, int n, int timeout) {
    uint8_t b[ec::kFmmuSize];
    encodeFmmu(s.FMMU[n], b);
    return ecx_FPWR(ctx, s.configadr, static_cast<uint16_t>(ec::kRegFmmu0 + n * ec::kFmmuSize),
                    sizeof b, b, timeout);
}

// Resets every slave to a known state: INIT, no FMMUs or SyncManagers, DC units off, master owns
// the SII. Returns the number of slaves (BRD working counter), or EC_NOFRAME.
int resetAndCount(ecx_contextt* ctx) {
    const uint8_t zeros[48] = {};
    ec::bwr8(ctx, ec::kRegDlAlias, 0, ec::kConfigTimeoutUs);
    ec::bwr16(ctx, ec::kRegAlControl, EC_STATE_INIT | EC_STATE_ACK, ec::kConfigTimeoutUs);
    ec::bwr16(ctx, ec::kRegAlControl, EC_STATE_INIT | EC_STATE_ACK, ec::kConfigTimeoutUs);
    uint8_t type[2] = {};
    const int count = ecx_BRD(ctx, 0, ec::kRegType, sizeof type, type, EC_TIMEOUTSAFE);
    if (count <= 0 || count > ctx->maxslave - 1) {
        return count;
    }
    ec::bwr8(ctx, ec::kRegDlPort, 0, ec::kConfigTimeoutUs);
    ec::bwr16(ctx, ec::kRegEcatEventMask, kEcatEventMaskDefault, ec::kConfigTimeoutUs);
    ecx_BWR(ctx, 0, ec::kRegRxErrorCounter, 8, zeros, ec::kConfigTimeoutUs);
    ecx_BWR(ctx, 0, ec::kRegFmmu0, 3 * ec::kFmmuSize, zeros, ec::kConfigTimeoutUs);
    ecx_BWR(ctx, 0, ec::kRegSm0, 4 * ec::kSmSize, zeros, ec::kConfigTimeoutUs);
    ec::bwr8(ctx, ec::kRegDcActivation, 0, ec::kConfigTimeoutUs);
    ecx_BWR(ctx, 0, ec::kRegDcSystemTime, 4, zeros, ec::kConfigTimeoutUs);
    ec::bwr16(ctx, ec::kRegDcSpeedStart, kDcSpeedStartReset, ec::kConfigTimeoutUs);
    ec::bwr16(ctx, ec::kRegDcFilterDepth, kDcFilterDepthDefault, ec::kConfigTimeoutUs);
    ec::bwr8(ctx, ec::kRegDlAlias, 0, ec::kConfigTimeoutUs);
    ec::bwr16(ctx, ec::kRegAlControl, EC_STATE_INIT | EC_STATE_ACK, ec::kConfigTimeoutUs);
    ec::bwr8(ctx, ec::kRegSiiConfig, 0x02,
             ec::kConfigTimeoutUs);  // force ECAT access, then release
    ec::bwr8(ctx, ec::kRegSiiConfig, 0x00, ec::kConfigTimeoutUs);
    return count;
}

// Upstream slave of a line/tree built from the port counts of the slaves before it.
uint16_t findParent(const ecx_contextt* ctx, int slave) {
    int open = 0;
    for (int s = slave - 1; s >= 1; --s) {
        const uint8_t topology = ctx->slavelist[s].topology;
        if (topology == 1) {
            --open;  // an end of a branch
        } else if (topology == 3) {
            ++open;
        } else if (topology == 4) {
            open += 2;
        }
        if ((open >= 0 && topology > 1) || s == 1) {
            return static_cast<uint16_t>(s);
        }
    }
    return 0;
}

// What slave n (its station address known) tells about itself: SII identity, mailboxes,
// categories, DC and ports. Reads only, apart from taking the SII for the master.
void describeSlave(ecx_contextt* ctx, int n) {
    ec_slavet& s = ctx->slavelist[n];
    s.aliasadr =
        ec::fprd16(ctx, s.configadr, ec::kRegStationAlias, ec::kConfigTimeoutUs).value_or(0);
    const uint16_t siiStatus =
        ec::fprd16(ctx, s.configadr, ec::kRegSiiControl, ec::kConfigTimeoutUs).value_or(0);
    s.eep_8byte = (siiStatus & ec::kSiiRead8Bytes) ? 1 : 0;

    // Through the reader's cache: one read of 4 words serves vendor and product code, and the
    // two mailbox words.
    ec::SiiBusReader reader(ctx, s.configadr, EC_TIMEOUTEEP);
    auto sii32 = [&reader](uint16_t word) {
        return static_cast<uint32_t>(reader.word(word).value_or(0)) |
               static_cast<uint32_t>(reader.word(word + 1u).value_or(0)) << 16;
    };
    s.eep_man = sii32(ec::kSiiVendorId);
    s.eep_id = sii32(ec::kSiiProductCode);
    s.eep_rev = sii32(ec::kSiiRevision);
    const uint32_t rxMbx = sii32(ec::kSiiStdRxMailbox);
    s.mbx_wo = static_cast<uint16_t>(rxMbx);
    s.mbx_l = static_cast<uint16_t>(rxMbx >> 16);
    if (s.mbx_l > 0) {
        const uint32_t txMbx = sii32(ec::kSiiStdTxMailbox);
        s.mbx_ro = static_cast<uint16_t>(txMbx);
        s.mbx_rl = static_cast<uint16_t>(txMbx >> 16);
        if (s.mbx_rl == 0) {
            s.mbx_rl = s.mbx_l;
        }
        s.mbx_proto = static_cast<uint16_t>(sii32(ec::kSiiMailboxProtocols));
    }

    const uint16_t features =
        ec::fprd16(ctx, s.configadr, ec::kRegFeatures, ec::kConfigTimeoutUs).value_or(0);
    s.hasdc = (features & ec::kFeatureDc) != 0;
    const uint16_t dlStatus =
        ec::fprd16(ctx, s.configadr, ec::kRegDlStatus, ec::kConfigTimeoutUs).value_or(0);
    // A port counts when it is open and communicating: its loop bit clear, its link bit set.
    s.activeports = 0;
    s.topology = 0;
    for (int p = 0; p < 4; ++p) {
        if (((dlStatus >> (8 + 2 * p)) & 0x3) == 0x2) {
            s.activeports |= static_cast<uint8_t>(1 << p);
            ++s.topology;
        }
    }
    s.ptype = static_cast<uint8_t>(
        ec::fprd16(ctx, s.configadr, ec::kRegPortDescriptor, ec::kConfigTimeoutUs).value_or(0));
    s.entryport = 0;
    s.consumedports = s.activeports & static_cast<uint8_t>(~1u);
    s.parent = findParent(ctx, n);
    s.parentport = 0;

    // Mailbox SyncManagers from the SII words, overridden by the SyncM category when present.
    if (s.mbx_l > 0) {
        s.SM[0] = ec_smt{s.mbx_wo, s.mbx_l, ec::kSmFlagsMailboxOut};
        s.SM[1] = ec_smt{s.mbx_ro, s.mbx_rl, ec::kSmFlagsMailboxIn};
        s.SMtype[0] = EC_SMTYPE_MBXOUT;
        s.SMtype[1] = EC_SMTYPE_MBXIN;
    }
    s.FMMU0func = kFmmuFuncOutputs;
    s.FMMU1func = kFmmuFuncInputs;
    s.FMMU2func = 3;
    s.FMMU3func = 0;
    const ec::SiiInfo sii =
        ec::parseSiiCategories([&reader](uint32_t w) { return reader.word(w); });
    ec::applySii(s, sii, ctx->siiPdo[static_cast<size_t>(n)]);
}

void scanSlave(ecx_contextt* ctx, int n) {
    ec_slavet& s = ctx->slavelist[n];
    const uint16_t adp = positionAddress(n);
    uint8_t b[8] = {};

    ecx_APRD(ctx, adp, ec::kRegPdiControl, 2, b, ec::kConfigTimeoutUs);
    s.Itype = ec::getU16(b);
    ec::putU16(b, static_cast<uint16_t>(EC_NODEOFFSET + n));
    ecx_APWR(ctx, adp, ec::kRegStationAddress, 2, b, ec::kConfigTimeoutUs);
    // Only the first slave drops non-EtherCAT frames; the others must forward whatever comes.
    ec::putU16(b, n == 1 ? 1 : 0);
    ecx_APWR(ctx, adp, ec::kRegDlControl, 2, b, ec::kConfigTimeoutUs);
    std::memset(b, 0, sizeof b);
    ecx_APRD(ctx, adp, ec::kRegStationAddress, 2, b, ec::kConfigTimeoutUs);
    s.configadr = ec::getU16(b);
    describeSlave(ctx, n);
    ecx_statecheck(ctx, static_cast<uint16_t>(n), EC_STATE_INIT, EC_TIMEOUTSTATE);

    if (s.mbx_l > 0) {
        uint8_t sms[2 * ec::kSmSize];
        encodeSm(s.SM[0], sms);
        encodeSm(s.SM[1], sms + ec::kSmSize);
        ecx_FPWR(ctx, s.configadr, ec::kRegSm0, sizeof sms, sms, ec::kConfigTimeoutUs);
    }
    ecx_eeprom2pdi(ctx, static_cast<uint16_t>(n));
    ec::fpwr16(ctx, s.configadr, ec::kRegAlControl, EC_STATE_PRE_OP | EC_STATE_ACK,
               ec::kConfigTimeoutUs);
}

// Output and input bits of one slave, and the SyncManager lengths that carry them.
ec::IoSlaveBits sizeSlave(ecx_contextt* ctx, uint16_t n) {
    ec_slavet& s = ctx->slavelist[n];
    uint32_t outBits = 0;
    uint32_t inBits = 0;
    if (ctx->readPdoSizes != nullptr && (s.mbx_proto & ec::kMbxProtoCoE) &&
        ctx->readPdoSizes(ctx, n, &outBits, &inBits)) {
        return {outBits, inBits};
    }
    const ec::SiiPdoSizes& pdo = ctx->siiPdo[n];
    // Any SyncManager may carry process data; slaves without mailbox often use SM0 and SM1.
    for (int i = 0; i < EC_MAXSM; ++i) {
        uint32_t bits = 0;
        if (s.SMtype[i] == EC_SMTYPE_OUTPUTS) {
            bits = pdo.outputBits[i];
            outBits += bits;
        } else if (s.SMtype[i] == EC_SMTYPE_INPUTS) {
            bits = pdo.inputBits[i];
            inBits += bits;
        } else {
            continue;
        }
        s.SM[i].SMlength = static_cast<uint16_t>((bits + 7) / 8);
    }
    return {outBits, inBits};
}

int firstSmOfType(const ec_slavet& s, uint8_t type) {
    for (int i = 0; i < EC_MAXSM; ++i) {
        if (s.SMtype[i] == type && s.SM[i].StartAddr != 0) {
            return i;
        }
    }
    return -1;
}

int fmmuFor(const ec_slavet& s, uint8_t func, int avoid) {
    const uint8_t funcs[EC_MAXFMMU] = {s.FMMU0func, s.FMMU1func, s.FMMU2func, s.FMMU3func};
    for (int i = 0; i < EC_MAXFMMU; ++i) {
        if (funcs[i] == func && i != avoid) {
            return i;
        }
    }
    for (int i = 0; i < EC_MAXFMMU; ++i) {
        if (i != avoid && funcs[i] != kFmmuFuncOutputs && funcs[i] != kFmmuFuncInputs &&
            funcs[i] != 3) {
            return i;
        }
    }
    return -1;
}

int configMap(ecx_contextt* ctx, void* iomap, std::optional<size_t> size, uint16_t only = 0) {
    if (ctx == nullptr || iomap == nullptr || !ctx->port) {
        return 0;
    }
    const int count = *ctx->slavecount;
    if (count < 1) {
        return 0;
    }
    // Slaves with a mailbox must have reached PRE-OP before it can be used.
    for (int n = 1; n <= count; ++n) {
        if (ctx->slavelist[n].mbx_l > 0 && ctx->readPdoSizes != nullptr) {
            ecx_statecheck(ctx, static_cast<uint16_t>(n), EC_STATE_PRE_OP, EC_TIMEOUTSTATE);
        }
    }
    std::vector<ec::IoSlaveBits> bits;
    for (int n = 1; n <= count; ++n) {
        bits.push_back(sizeSlave(ctx, static_cast<uint16_t>(n)));
    }
    const uint32_t group = 0;
    const uint32_t logical = group << EC_LOGGROUPOFFSET;
    const auto layout = ec::computeIoLayout(bits, ec::kMaxSegmentBytes, EC_MAXIOSEGMENTS);
    if (!layout || (size && layout->totalBytes() > *size)) {
        return 0;  // nothing mapped, nothing written to the slaves
    }
    auto* image = static_cast<uint8_t*>(iomap);

    // Records first: pointers into the image, FMMU images.
    for (int n = 1; n <= count; ++n) {
        ec_slavet& s = ctx->slavelist[n];
        const ec::IoPlace& o = layout->outputs[static_cast<size_t>(n - 1)];
        const ec::IoPlace& i = layout->inputs[static_cast<size_t>(n - 1)];
        s.group = 0;
        s.FMMUunused = 0;
        std::memset(s.FMMU, 0, sizeof s.FMMU);
        s.Obits = static_cast<uint16_t>(o.bits);
        s.Obytes = o.bits >= 8 ? o.bytes : 0;
        s.outputs = o.bits > 0 ? image + o.offset : nullptr;
        s.Ostartbit = o.startBit;
        s.Ibits = static_cast<uint16_t>(i.bits);
        s.Ibytes = i.bits >= 8 ? i.bytes : 0;
        s.inputs = i.bits > 0 ? image + i.offset : nullptr;
        s.Istartbit = i.startBit;
        for (int sm = 0; sm < EC_MAXSM; ++sm) {
            if (s.SMtype[sm] == EC_SMTYPE_OUTPUTS || s.SMtype[sm] == EC_SMTYPE_INPUTS) {
                s.SM[sm].SMflags = s.SM[sm].SMlength > 0 ? (s.SM[sm].SMflags | kSmEnable)
                                                         : (s.SM[sm].SMflags & ~kSmEnable);
            }
        }
        int used = -1;
        const int outSm = firstSmOfType(s, EC_SMTYPE_OUTPUTS);
        if (o.bits > 0 && outSm >= 0) {
            used = fmmuFor(s, kFmmuFuncOutputs, -1);
            if (used >= 0) {
                s.FMMU[used] = activeFmmu(logical + o.offset, o.bytes, o.startBit, o.endBit(),
                                          s.SM[outSm].StartAddr, ec::kFmmuTypeWrite);
                s.FMMUunused = static_cast<uint8_t>(used + 1);
            }
        }
        const int inSm = firstSmOfType(s, EC_SMTYPE_INPUTS);
        if (i.bits > 0 && inSm >= 0) {
            const int f = fmmuFor(s, kFmmuFuncInputs, used);
            if (f >= 0) {
                s.FMMU[f] = activeFmmu(logical + i.offset, i.bytes, i.startBit, i.endBit(),
                                       s.SM[inSm].StartAddr, ec::kFmmuTypeRead);
                s.FMMUunused = static_cast<uint8_t>(std::max<int>(s.FMMUunused, f + 1));
            }
        }
    }

    // Then the bus, in the order slaves expect: SyncManagers, output FMMUs, input FMMUs and the
    // request for SAFE-OP. Every slave handles the datagrams of a frame in order, so one batch for
    // all slaves keeps that order at each of them.
    for (int n = 1; n <= count; ++n) {
        ecx_eeprom2pdi(ctx, static_cast<uint16_t>(n));
    }
    std::vector<ec_datagramt> writes;
    std::deque<std::array<uint8_t, ec::kFmmuSize>> bytes;  // what the writes carry; never moves
    auto add = [&](const ec_slavet& s, uint16_t reg, size_t length) {
        writes.push_back(ec_datagramt{ec::Command::FPWR,
                                      ec::physicalAddress(s.configadr, reg),
                                      static_cast<uint16_t>(length),
                                      std::span<const uint8_t>(bytes.back().data(), length),
                                      {}});
    };
    for (int n = 1; n <= count; ++n) {
        const ec_slavet& s = ctx->slavelist[n];
        for (int sm = 0; sm < EC_MAXSM; ++sm) {
            const bool processData =
                s.SMtype[sm] == EC_SMTYPE_OUTPUTS || s.SMtype[sm] == EC_SMTYPE_INPUTS;
            if (processData && s.SM[sm].StartAddr != 0) {
                encodeSm(s.SM[sm], bytes.emplace_back().data());
                add(s, static_cast<uint16_t>(ec::kRegSm0 + sm * ec::kSmSize), ec::kSmSize);
            }
        }
    }
    for (const uint8_t type : {ec::kFmmuTypeWrite, ec::kFmmuTypeRead}) {
        for (int n = 1; n <= count; ++n) {
            const ec_slavet& s = ctx->slavelist[n];
            for (int f = 0; f < EC_MAXFMMU; ++f) {
                if (s.FMMU[f].FMMUactive && s.FMMU[f].FMMUtype == type) {
                    encodeFmmu(s.FMMU[f], bytes.emplace_back().data());
                    add(s, static_cast<uint16_t>(ec::kRegFmmu0 + f * ec::kFmmuSize), ec::kFmmuSize);
                }
            }
        }
    }
    for (int n = 1; n <= count; ++n) {
        if (only == 0 || n == only) {
            ec::putU16(bytes.emplace_back().data(), EC_STATE_SAFE_OP);
            add(ctx->slavelist[n], ec::kRegAlControl, 2);
        }
    }
    ec::transceiveBatch(ctx, writes, ec::kConfigTimeoutUs);

    ec_slavet& all = ctx->slavelist[0];
    all.outputs = image;
    all.Obytes = layout->outputBytes;
    all.Obits = static_cast<uint16_t>(std::min<uint32_t>(layout->outputBytes * 8, 0xFFFF));
    all.inputs = image + layout->outputBytes;
    all.Ibytes = layout->inputBytes;
    all.Ibits = static_cast<uint16_t>(std::min<uint32_t>(layout->inputBytes * 8, 0xFFFF));

    ec_groupt& g = ctx->grouplist[group];
    g.logstartaddr = logical;
    g.outputs = image;
    g.Obytes = layout->outputBytes;
    g.inputs = image + layout->outputBytes;
    g.Ibytes = layout->inputBytes;
    g.outputsWKC = layout->outputsWkc;
    g.inputsWKC = layout->inputsWkc;
    g.expectedWKC = layout->expectedWkc();
    g.nsegments = static_cast<uint16_t>(layout->segments.size());
    std::fill(std::begin(g.IOsegment), std::end(g.IOsegment), 0u);
    std::copy(layout->segments.begin(), layout->segments.end(), g.IOsegment);
    g.Isegment = layout->inputSegment;
    g.Ioffset = static_cast<uint16_t>(layout->inputSegmentOffset);
    g.docheckstate = false;
    g.blockLRW = 0;
    g.Ebuscurrent = 0;
    for (int n = 1; n <= count; ++n) {
        g.blockLRW |= ctx->slavelist[n].blockLRW;
        g.Ebuscurrent = static_cast<int16_t>(g.Ebuscurrent + ctx->slavelist[n].Ebuscurrent);
    }
    return static_cast<int>(layout->totalBytes());
}

// Before a scan: no slave or group on record, and every mailbox starts over.
void forgetSlaves(ecx_contextt* ctx) {
    *ctx->slavecount = 0;
    std::memset(ctx->slavelist, 0, sizeof(ec_slavet) * static_cast<size_t>(ctx->maxslave));
    std::memset(ctx->grouplist, 0, sizeof(ec_groupt) * static_cast<size_t>(ctx->maxgroup));
    ctx->siiPdo.assign(static_cast<size_t>(ctx->maxslave), ec::SiiPdoSizes{});
    ec::mailboxRestarted(ctx, 0);
}

}  // namespace

int ecx_config_init(ecx_contextt* ctx, uint8_t /*usetable*/) {
    if (ctx == nullptr || !ctx->port) {
        return 0;
    }
    forgetSlaves(ctx);
    const int count = resetAndCount(ctx);
    if (count <= 0) {
        return 0;
    }
    if (count > ctx->maxslave - 1) {
        return EC_SLAVECOUNTEXCEEDED;
    }
    *ctx->slavecount = count;
    for (int n = 1; n <= count; ++n) {
        scanSlave(ctx, n);
    }
    return count;
}

int ecx_config_inspect(ecx_contextt* ctx) {
    if (ctx == nullptr || !ctx->port) {
        return 0;
    }
    forgetSlaves(ctx);
    uint8_t type[2] = {};
    const int count = ecx_BRD(ctx, 0, ec::kRegType, sizeof type, type, EC_TIMEOUTSAFE);
    if (count <= 0) {
        return 0;
    }
    if (count > ctx->maxslave - 1) {
        return EC_SLAVECOUNTEXCEEDED;
    }
    // A station address is kept when it is set and no other slave has it; otherwise (a freshly
    // powered slave has 0) the scan's address is given, which leaves the AL state alone.
    std::vector<uint16_t> addresses;
    for (int n = 1; n <= count; ++n) {
        const auto adp = positionAddress(n);
        uint8_t b[2] = {};
        if (ecx_APRD(ctx, adp, ec::kRegStationAddress, sizeof b, b, ec::kConfigTimeoutUs) <= 0) {
            return 0;
        }
        uint16_t address = ec::getU16(b);
        if (address == 0 ||
            std::find(addresses.begin(), addresses.end(), address) != addresses.end()) {
            address = static_cast<uint16_t>(EC_NODEOFFSET + n);
            ec::putU16(b, address);
            ecx_APWR(ctx, adp, ec::kRegStationAddress, 2, b, ec::kConfigTimeoutUs);
        }
        addresses.push_back(address);
        ec_slavet& s = ctx->slavelist[n];
        s.configadr = address;
        s.Itype = ec::fprd16(ctx, address, ec::kRegPdiControl, ec::kConfigTimeoutUs).value_or(0);
        describeSlave(ctx, n);
        s.mbx_cnt = ec::kMbxCounterUnknown;
        ecx_eeprom2pdi(ctx, static_cast<uint16_t>(n));
    }
    *ctx->slavecount = count;
    ecx_readstate(ctx);
    return count;
}

int ecx_config_map(ecx_contextt* ctx, void* iomap) {
    return configMap(ctx, iomap, std::nullopt);
}

int ecx_config_map_sized(ecx_contextt* ctx, void* iomap, size_t size) {
    return configMap(ctx, iomap, size);
}

int ecx_config_map_slave(ecx_contextt* ctx, void* iomap, size_t size, uint16_t slave) {
    return configMap(ctx, iomap, size, slave);
}

int ecx_reconfig_slave(ecx_contextt* ctx, uint16_t slave, int timeout) {
    if (ctx == nullptr || slave < 1 || slave > *ctx->slavecount) {
        return 0;
    }
    ec_slavet& s = ctx->slavelist[slave];
    ec::mailboxRestarted(ctx, slave);
    if (ec::fpwr16(ctx, s.configadr, ec::kRegAlControl, EC_STATE_INIT, timeout) <= 0) {
        return 0;
    }
    ecx_eeprom2pdi(ctx, slave);
    int state = ecx_statecheck(ctx, slave, EC_STATE_INIT, EC_TIMEOUTSAFE);
    if (state != EC_STATE_INIT) {
        return state;
    }
    for (int sm = 0; sm < EC_MAXSM; ++sm) {
        if (s.SM[sm].StartAddr != 0) {
            writeSm(ctx, s, sm, timeout);
        }
    }
    ec::fpwr16(ctx, s.configadr, ec::kRegAlControl, EC_STATE_PRE_OP, timeout);
    state = ecx_statecheck(ctx, slave, EC_STATE_PRE_OP, EC_TIMEOUTSAFE);
    if (state != EC_STATE_PRE_OP) {
        return state;
    }
    ec::fpwr16(ctx, s.configadr, ec::kRegAlControl, EC_STATE_SAFE_OP, timeout);
    state = ecx_statecheck(ctx, slave, EC_STATE_SAFE_OP, EC_TIMEOUTSAFE);
    for (int f = 0; f < s.FMMUunused && f < EC_MAXFMMU; ++f) {
        writeFmmu(ctx, s, f, timeout);
    }
    return state;
}

int ecx_recover_slave(ecx_contextt* ctx, uint16_t slave, int timeout) {
    if (ctx == nullptr || slave < 1 || slave > *ctx->slavecount) {
        return 0;
    }
    ec_slavet& s = ctx->slavelist[slave];
    const uint16_t configadr = s.configadr;
    const uint16_t adp = positionAddress(slave);
    uint8_t b[2];
    ec::putU16(b, 0xFFFE);
    const int wkc = ecx_APRD(ctx, adp, ec::kRegStationAddress, sizeof b, b, timeout);
    const uint16_t found = ec::getU16(b);
    if (wkc > 0 && found == configadr) {
        return 1;  // the right slave answers at its position
    }
    // Only a slave that lost its address (restarted) is taken over.
    if (wkc <= 0 || found != 0) {
        return 0;
    }
    // Clear any slave left at the temporary address, then give it to the one at the position.
    ec::fpwr16(ctx, EC_TEMPNODE, ec::kRegStationAddress, 0, ec::kConfigTimeoutUs);
    ec::putU16(b, EC_TEMPNODE);
    if (ecx_APWR(ctx, adp, ec::kRegStationAddress, 2, b, timeout) <= 0) {
        ec::fpwr16(ctx, EC_TEMPNODE, ec::kRegStationAddress, 0, ec::kConfigTimeoutUs);
        return 0;
    }
    s.configadr = EC_TEMPNODE;
    ec::mailboxRestarted(ctx, slave);
    s.eep_pdi = 1;  // a restarted slave hands its SII to the PDI
    ecx_eeprom2master(ctx, slave);
    const auto alias = ec::fprd16(ctx, EC_TEMPNODE, ec::kRegStationAlias, timeout);
    const bool same = alias && *alias == s.aliasadr &&
                      ecx_readeeprom(ctx, slave, ec::kSiiProductCode, EC_TIMEOUTEEP) == s.eep_id &&
                      ecx_readeeprom(ctx, slave, ec::kSiiVendorId, EC_TIMEOUTEEP) == s.eep_man &&
                      ecx_readeeprom(ctx, slave, ec::kSiiRevision, EC_TIMEOUTEEP) == s.eep_rev;
    int rval = 0;
    if (same) {
        rval = ec::fpwr16(ctx, EC_TEMPNODE, ec::kRegStationAddress, configadr, timeout);
    } else {
        // Another device sits there: leave it unaddressed.
        ec::fpwr16(ctx, EC_TEMPNODE, ec::kRegStationAddress, 0, timeout);
    }
    s.configadr = configadr;
    return rval > 0 ? 1 : 0;
}
