#include "sim/commands.h"

#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "sim/cia402_drive.h"

namespace sim {

std::optional<unsigned long long> parseUnsigned(const std::string& text, int base) {
    // std::stoull takes "-1" as its largest value.
    if (text.empty() || text.find('-') != std::string::npos)
        return std::nullopt;
    try {
        size_t used = 0;
        const unsigned long long v = std::stoull(text, &used, base);
        if (used != text.size())
            return std::nullopt;
        return v;
    } catch (...) {
        return std::nullopt;
    }
}

namespace {

std::string hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04x", v & 0xFFFFu);
    return buf;
}

}  // namespace

std::string CommandInterpreter::execute(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string t; in >> t;)
        w.push_back(t);
    if (w.empty())
        return {};
    const std::string& cmd = w[0];

    auto usage = [&](const char* args) { return "error: usage: " + cmd + " " + args; };
    // Slave position argument, checked against the chain.
    auto position = [&](size_t i) -> std::optional<int> {
        if (i >= w.size())
            return std::nullopt;
        const auto v = parseUnsigned(w[i]);
        if (!v || *v < 1 || *v > chain_.size())
            return std::nullopt;
        return static_cast<int>(*v);
    };

    if (cmd == "quit" || cmd == "exit") {
        quit_ = true;
        return "bye";
    }
    if (cmd == "stats") {
        return "frames " + std::to_string(chain_.framesSeen()) + " lost " +
               std::to_string(chain_.framesLost()) + " reachable " +
               std::to_string(chain_.reachable()) + "/" + std::to_string(chain_.size()) +
               " to-nobody " + std::to_string(chain_.datagramsToNobody());
    }
    if (cmd == "loss") {
        // loss FRACTION SEED [return] [at K]
        std::vector<std::string> rest(w.begin() + std::min<size_t>(w.size(), 3), w.end());
        const bool onReturn = !rest.empty() && rest[0] == "return";
        if (onReturn)
            rest.erase(rest.begin());
        unsigned long long link = 1;
        bool linkOk = rest.empty();
        if (rest.size() == 2 && rest[0] == "at") {
            const auto k = parseUnsigned(rest[1]);
            linkOk = k.has_value();
            link = k.value_or(0);
        }
        double fraction = -1.0;
        try {
            fraction = w.size() >= 3 ? std::stod(w[1]) : -1.0;
        } catch (...) {
        }
        const auto seed = w.size() >= 3 ? parseUnsigned(w[2]) : std::nullopt;
        if (!seed || !linkOk || link < 1 || link > chain_.size() || fraction < 0.0 ||
            fraction > 1.0)
            return usage("FRACTION SEED [return] [at K]");
        chain_.setFrameLoss(fraction, *seed, onReturn ? LossPoint::Return : LossPoint::Outbound,
                            static_cast<int>(link));
        return "loss " + w[1] + " seed " + std::to_string(*seed) + (onReturn ? " return" : "") +
               (link == 1 ? "" : " at " + std::to_string(link));
    }
    if (cmd == "stall") {
        // stall MS: no frame comes back for that long
        const auto ms = w.size() == 2 ? parseUnsigned(w[1]) : std::nullopt;
        if (!ms)
            return usage("MS");
        chain_.stall(static_cast<int64_t>(*ms));
        return "stall " + std::to_string(*ms) + " ms";
    }
    if (cmd == "corrupt") {
        // corrupt K [return]: the next frame, on the cable into slave K
        const auto k = position(1);
        const bool onReturn = w.size() == 3 && w[2] == "return";
        if (!k || (w.size() != 2 && !onReturn))
            return usage("K [return]");
        chain_.corruptNextFrame(*k, onReturn ? LossPoint::Return : LossPoint::Outbound);
        return "corrupt " + std::to_string(*k) + (onReturn ? " return" : "");
    }
    if (cmd == "pull" || cmd == "plug" || cmd == "remove" || cmd == "restore" || cmd == "state") {
        const auto k = position(1);
        if (!k || w.size() != 2)
            return usage("K");
        if (cmd == "pull") {
            chain_.pullDrive(*k);
            return "pulled " + std::to_string(*k);
        }
        if (cmd == "plug") {
            chain_.plugDrive(*k);
            return "plugged " + std::to_string(*k);
        }
        if (cmd == "remove") {
            chain_.removeSlave(*k);
            return "removed " + std::to_string(*k);
        }
        if (cmd == "restore") {
            chain_.restoreSlave(*k);
            return "restored " + std::to_string(*k);
        }
        char buf[64];
        std::snprintf(buf, sizeof buf, "state %d 0x%02x code 0x%04x", *k, chain_.alState(*k),
                      chain_.alStatusCode(*k));
        return buf;
    }
    if (cmd == "safeop-error") {
        const auto k = position(1);
        const auto code = w.size() == 3 ? parseUnsigned(w[2]) : std::nullopt;
        if (!k || !code || *code > 0xFFFF)
            return usage("K CODE");
        chain_.forceSafeOpError(*k, static_cast<uint16_t>(*code));
        return "safeop-error " + std::to_string(*k) + " " + hex4(static_cast<unsigned>(*code));
    }
    if (cmd == "fall-back") {
        const auto k = position(1);
        const auto state = w.size() == 3 ? parseUnsigned(w[2]) : std::nullopt;
        if (!k || !state || *state > 0x0F)
            return usage("K STATE");
        if (!chain_.fallBack(*k, static_cast<uint8_t>(*state)))
            return "error: slave " + std::to_string(*k) + " cannot fall back to " + w[2];
        return "fall-back " + std::to_string(*k) + " " + std::to_string(*state);
    }
    if (cmd == "refuse") {
        const auto k = position(1);
        const auto state = w.size() == 4 ? parseUnsigned(w[2]) : std::nullopt;
        const auto code = w.size() == 4 ? parseUnsigned(w[3]).value_or(0x10000) : 0x10000;
        if (!k || !state || *state > 0x0F || code > 0xFFFF)
            return usage("K STATE CODE");
        chain_.refuseState(*k, static_cast<uint8_t>(*state), static_cast<uint16_t>(code));
        return "refuse " + std::to_string(*k) + " " + std::to_string(*state) + " " +
               hex4(static_cast<unsigned>(code));
    }
    if (cmd == "accept") {
        const auto k = position(1);
        const auto state = w.size() == 3 ? parseUnsigned(w[2]) : std::nullopt;
        if (!k || !state || *state > 0x0F)
            return usage("K STATE");
        chain_.acceptState(*k, static_cast<uint8_t>(*state));
        return "accept " + std::to_string(*k) + " " + std::to_string(*state);
    }
    if (cmd == "ignore") {
        const auto k = position(1);
        const bool full = w.size() == 5;
        const auto address = full ? parseUnsigned(w[2]).value_or(~0ull) : ~0ull;
        const auto count = full ? parseUnsigned(w[4]).value_or(~0ull) : ~0ull;
        const std::string kind = full ? w[3] : "";
        if (!k || address > 0xFFFF || count > 0x7FFFFFFF || (kind != "read" && kind != "write"))
            return usage("K ADDRESS read|write N");
        chain_.ignoreAccesses(*k, static_cast<uint16_t>(address),
                              kind == "read" ? Esc::AccessKind::Read : Esc::AccessKind::Write,
                              static_cast<int>(count));
        return "ignore " + std::to_string(*k) + " " + hex4(static_cast<unsigned>(address)) + " " +
               kind + " " + std::to_string(count);
    }
    if (cmd == "fault") {
        const auto k = position(1);
        const auto word = w.size() >= 3 ? parseUnsigned(w[2]).value_or(~0ull) : ~0ull;
        const auto drvWord = w.size() == 4 ? parseUnsigned(w[3]).value_or(~0ull) : 0ull;
        if (!k || w.size() > 4 || word > 0xFFFFFFFFull || drvWord > 0xFFFFFFFFull)
            return usage("K ERRORWORD [DRVERRORWORD]");
        if (!chain_.injectFault(*k, static_cast<uint32_t>(word), static_cast<uint32_t>(drvWord)))
            return "error: slave " + std::to_string(*k) + " is not a drive";
        return "fault " + std::to_string(*k) + " " + w[2] + (w.size() == 4 ? " " + w[3] : "");
    }
    if (cmd == "joint") {
        const auto k = position(1);
        if (!k || w.size() != 2)
            return usage("K");
        const auto j = chain_.joint(*k);
        if (!j)
            return "error: slave " + std::to_string(*k) + " is not a drive";
        char buf[256];
        std::snprintf(buf, sizeof buf,
                      "joint %d mode %d pos %.4f turn vel %.4f turn/s torque %.3f Nm current "
                      "%.2f A bus %.2f V temp motor %.1f mos %.1f mcu %.1f C%s%s",
                      *k, j->mode, j->position, j->velocity, j->torque, j->current, j->busVoltage,
                      j->motorTemp, j->mosTemp, j->mcuTemp, j->identifying ? " identifying" : "",
                      j->calibrating ? " calibrating" : "");
        return buf;
    }
    if (cmd == "power-cycle") {
        const auto k = position(1);
        if (!k || w.size() != 2)
            return usage("K");
        chain_.powerCycle(*k);
        return "power-cycled " + std::to_string(*k);
    }
    const auto notDrive = [](int k) {
        return "error: slave " + std::to_string(k) + " is not a drive";
    };
    if (cmd == "emergency") {
        const auto k = position(1);
        const auto code = w.size() >= 3 ? parseUnsigned(w[2]).value_or(~0ull) : ~0ull;
        const auto reg = w.size() == 4 ? parseUnsigned(w[3]).value_or(~0ull) : 0ull;
        if (!k || code > 0xFFFF || reg > 0xFF || w.size() > 4)
            return usage("K CODE [REG]");
        if (!chain_.sendEmergency(*k, static_cast<uint16_t>(code), static_cast<uint8_t>(reg)))
            return notDrive(*k);
        return "emergency " + std::to_string(*k) + " " + hex4(static_cast<unsigned>(code));
    }
    if (cmd == "firmware") {
        const auto k = position(1);
        if (!k || w.size() != 2)
            return usage("K");
        const auto f = chain_.firmware(*k);
        if (!f)
            return notDrive(*k);
        if (f->name.empty() && f->bytes.empty())
            return "firmware " + std::to_string(*k) + " none";
        char buf[96];
        std::snprintf(buf, sizeof buf, "%zu bytes crc 0x%08x %s", f->bytes.size(), f->crc32,
                      f->complete ? "complete" : "incomplete");
        return "firmware " + std::to_string(*k) + " '" + f->name + "' " + buf;
    }
    if (cmd == "param") {
        const auto k = position(1);
        const auto id = w.size() == 3 ? parseUnsigned(w[2]).value_or(~0ull) : ~0ull;
        if (!k || id >= static_cast<unsigned long long>(kDriveParamCount))
            return usage("K ID");
        const auto bytes = chain_.parameter(*k, static_cast<int>(id));
        if (bytes.empty())
            return notDrive(*k);
        std::string out = "param " + std::to_string(*k) + " " + std::to_string(id) + " bytes";
        uint32_t value = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            char b[4];
            std::snprintf(b, sizeof b, " %02x", bytes[i]);
            out += b;
            if (i < 4)
                value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
        }
        return out + " value " + std::to_string(value);
    }
    if (cmd == "misbehave") {
        static const std::map<std::string, Misbehaviour> kModes{
            {"none", Misbehaviour::None},
            {"oversized-upload", Misbehaviour::OversizedUpload},
            {"segments-beyond-size", Misbehaviour::SegmentsBeyondSize},
            {"stuck-toggle", Misbehaviour::StuckSegmentToggle},
            {"other-object", Misbehaviour::SdoOtherObjectFirst},
            {"short-length", Misbehaviour::ShortMailboxLength},
            {"wrong-foe-ack", Misbehaviour::WrongFoeAck},
            {"garbage", Misbehaviour::Garbage},
            {"silent", Misbehaviour::Silent},
            {"info-fragment-count", Misbehaviour::SdoInfoFragmentCount},
            {"info-short-reply", Misbehaviour::SdoInfoShortReply},
            {"info-long-names", Misbehaviour::SdoInfoLongNames},
            {"info-other-object", Misbehaviour::SdoInfoOtherObjectFirst}};
        const auto k = position(1);
        const auto mode = w.size() == 3 ? kModes.find(w[2]) : kModes.end();
        if (!k || mode == kModes.end())
            return usage(
                "K none|oversized-upload|segments-beyond-size|stuck-toggle|other-object|"
                "short-length|wrong-foe-ack|garbage|silent|info-fragment-count|"
                "info-short-reply|info-long-names|info-other-object");
        if (!chain_.setMailboxMisbehaviour(*k, mode->second))
            return notDrive(*k);
        return "misbehave " + std::to_string(*k) + " " + w[2];
    }
    if (cmd == "drop") {
        const auto k = position(1);
        const auto n = w.size() == 3 ? parseUnsigned(w[2]).value_or(~0ull) : ~0ull;
        if (!k || n > 1000)
            return usage("K N");
        if (!chain_.dropMailboxReplies(*k, static_cast<int>(n)))
            return notDrive(*k);
        return "drop " + std::to_string(*k) + " " + std::to_string(n);
    }
    if (cmd == "refuse-sdo") {
        const auto k = position(1);
        const size_t colon = w.size() == 4 ? w[2].find(':') : std::string::npos;
        const bool split = colon != std::string::npos;
        const auto index = split ? parseUnsigned(w[2].substr(0, colon), 16).value_or(~0ull) : ~0ull;
        const auto sub = split ? parseUnsigned(w[2].substr(colon + 1)).value_or(~0ull) : ~0ull;
        const auto code = w.size() == 4 ? parseUnsigned(w[3]).value_or(~0ull) : ~0ull;
        if (!k || index > 0xFFFF || sub > 0xFF || code > 0xFFFFFFFFull)
            return usage("K INDEX:SUB CODE");
        if (!chain_.refuseSdo(*k, static_cast<uint16_t>(index), static_cast<uint8_t>(sub),
                              static_cast<uint32_t>(code)))
            return "error: slave " + std::to_string(*k) + " has no entry " + w[2];
        return "refuse-sdo " + std::to_string(*k) + " " + w[2] + " " + w[3];
    }
    if (cmd == "duplicate") {
        const auto k = position(1);
        if (!k || w.size() != 2)
            return usage("K");
        if (!chain_.duplicateNextMailboxReply(*k))
            return notDrive(*k);
        return "duplicate " + std::to_string(*k);
    }
    return "error: unknown command '" + cmd + "'";
}

}  // namespace sim
