// Single-datagram exchanges underneath the register calls, and small typed helpers the services
// use for 8/16/32/64-bit registers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "context.h"
#include "protocol.h"

namespace ec {

// Datagrams of configuration and supervision services: sent again every 2 ms while no frame comes
// back, for up to this long, so that a lost frame does not abort a bring-up.
inline constexpr int kConfigTimeoutUs = 20000;

// Sends one datagram carrying `out` (null: zeros) and waits for it; the returned data go to `in`
// when it is not null. Returns the working counter, or EC_NOFRAME.
int transceive(ecx_contextt* ctx, Command cmd, uint32_t address, uint16_t length, const void* out,
               void* in, int timeoutUs);

// Sends the datagrams of `batch` in order, as many to a frame as fit, and waits for each frame.
// Fills in every datagram's wkc and copies its returned data into `in` as far as that reaches.
// Returns how many datagrams came back.
int transceiveBatch(ecx_contextt* ctx, std::span<ec_datagramt> batch, int timeoutUs);

// Appends `d` to the frame `builder` is building, its `out` padded with zeros to its length.
// False when it does not fit.
bool addToFrame(FrameBuilder& builder, const ec_datagramt& d);

// Typed register access by configured address. Reads give nullopt without an answering slave.
std::optional<uint16_t> fprd16(ecx_contextt* ctx, uint16_t station, uint16_t reg, int timeoutUs);
int fpwr8(ecx_contextt* ctx, uint16_t station, uint16_t reg, uint8_t value, int timeoutUs);
int fpwr16(ecx_contextt* ctx, uint16_t station, uint16_t reg, uint16_t value, int timeoutUs);
int fpwr32(ecx_contextt* ctx, uint16_t station, uint16_t reg, uint32_t value, int timeoutUs);
int fpwr64(ecx_contextt* ctx, uint16_t station, uint16_t reg, uint64_t value, int timeoutUs);
int bwr8(ecx_contextt* ctx, uint16_t reg, uint8_t value, int timeoutUs);
int bwr16(ecx_contextt* ctx, uint16_t reg, uint16_t value, int timeoutUs);

}  // namespace ec
