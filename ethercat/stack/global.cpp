// The process-wide context and the ec_* calls on it, opening and closing links, and the adapter
// list.
#include <cstdio>
#include <cstring>

#include "ethercat.h"

ec_slavet ec_slave[EC_MAXSLAVE];
int ec_slavecount;
ec_groupt ec_group[EC_MAXGROUP];
int64_t ec_DCtime;
ecx_contextt ecx_context(ec_slave, &ec_slavecount, ec_group, &ec_DCtime);

namespace ec {

OwnedContext::OwnedContext()
    : slaves_(new ec_slavet[EC_MAXSLAVE]()),
      ctx_(slaves_.get(), &slavecount_, groups_.data(), &dcTime_) {}

}  // namespace ec

int ecx_init_link(ecx_contextt* ctx, std::unique_ptr<ec::FrameLink> link) {
    if (ctx == nullptr || !link) {
        return 0;
    }
    ecx_close(ctx);
    ctx->port = std::make_unique<ec::Port>(std::move(link));
    return 1;
}

int ecx_init(ecx_contextt* ctx, const char* ifname) {
    if (ctx == nullptr || ifname == nullptr) {
        return 0;
    }
    if (ecx_init_link(ctx, ec::openLink(ifname)) <= 0) {
        return 0;
    }
    ctx->linkName = ifname;
    return 1;
}

int ecx_capture_start(ecx_contextt* ctx, const char* path) {
    if (ctx == nullptr || path == nullptr || !ctx->port) {
        return 0;
    }
    ecx_capture_stop(ctx, nullptr);
    std::shared_ptr<ec::FrameCapture> capture = ec::FrameCapture::start(path, ctx->linkName);
    if (!capture) {
        return 0;
    }
    ctx->capture = capture;
    ctx->port->setCapture(std::move(capture));
    return 1;
}

ec::PortStats ecx_port_stats(ecx_contextt* ctx) {
    return ctx != nullptr && ctx->port ? ctx->port->stats() : ec::PortStats{};
}

int ecx_capture_stop(ecx_contextt* ctx, ec::CaptureStats* stats) {
    if (ctx == nullptr || !ctx->capture) {
        return 0;
    }
    if (ctx->port) {
        ctx->port->setCapture(nullptr);
    }
    // A thread still recording holds its own reference; stop() drains what it queued.
    const bool complete = ctx->capture->stop(stats);
    ctx->capture.reset();
    return complete ? 1 : 0;
}

void ecx_close(ecx_contextt* ctx) {
    if (ctx == nullptr) {
        return;
    }
    {
        std::lock_guard lock(ctx->pdMutex);
        if (ctx->port) {
            for (const auto& f : ctx->pdFrames) {
                ctx->port->release(f.slot);
            }
        }
        ctx->pdFrames.clear();
        ctx->pdExtras = {};
    }
    ecx_capture_stop(ctx, nullptr);
    ctx->port.reset();
    ctx->linkName.clear();
}

ec_adaptert* ec_find_adapters() {
    ec_adaptert* head = nullptr;
    ec_adaptert** tail = &head;
    for (const ec::AdapterInfo& a : ec::listAdapters()) {
        auto* node = new ec_adaptert{};
        std::snprintf(node->name, sizeof node->name, "%s", a.name.c_str());
        std::snprintf(node->desc, sizeof node->desc, "%s", a.desc.c_str());
        *tail = node;
        tail = &node->next;
    }
    return head;
}

void ec_free_adapters(ec_adaptert* adapter) {
    while (adapter != nullptr) {
        ec_adaptert* next = adapter->next;
        delete adapter;
        adapter = next;
    }
}

// --- Calls on the process-wide context -----------------------------------------------------------

int ec_init(const char* ifname) {
    return ecx_init(&ecx_context, ifname);
}
void ec_close() {
    ecx_close(&ecx_context);
}
ec::PortStats ec_port_stats() {
    return ecx_port_stats(&ecx_context);
}
int ec_mbxpoll(uint16_t slave) {
    return ecx_mbxpoll(&ecx_context, slave);
}
int ec_capture_start(const char* path) {
    return ecx_capture_start(&ecx_context, path);
}
int ec_capture_stop(ec::CaptureStats* stats) {
    return ecx_capture_stop(&ecx_context, stats);
}
int ec_APRD(uint16_t ADP, uint16_t ADO, uint16_t length, void* data, int timeout) {
    return ecx_APRD(&ecx_context, ADP, ADO, length, data, timeout);
}
int ec_APWR(uint16_t ADP, uint16_t ADO, uint16_t length, const void* data, int timeout) {
    return ecx_APWR(&ecx_context, ADP, ADO, length, data, timeout);
}
int ec_FPRD(uint16_t ADP, uint16_t ADO, uint16_t length, void* data, int timeout) {
    return ecx_FPRD(&ecx_context, ADP, ADO, length, data, timeout);
}
int ec_FPWR(uint16_t ADP, uint16_t ADO, uint16_t length, const void* data, int timeout) {
    return ecx_FPWR(&ecx_context, ADP, ADO, length, data, timeout);
}
int ec_BRD(uint16_t ADP, uint16_t ADO, uint16_t length, void* data, int timeout) {
    return ecx_BRD(&ecx_context, ADP, ADO, length, data, timeout);
}
int ec_BWR(uint16_t ADP, uint16_t ADO, uint16_t length, const void* data, int timeout) {
    return ecx_BWR(&ecx_context, ADP, ADO, length, data, timeout);
}
int ec_ARMW(uint16_t ADP, uint16_t ADO, uint16_t length, void* data, int timeout) {
    return ecx_ARMW(&ecx_context, ADP, ADO, length, data, timeout);
}
int ec_FRMW(uint16_t ADP, uint16_t ADO, uint16_t length, void* data, int timeout) {
    return ecx_FRMW(&ecx_context, ADP, ADO, length, data, timeout);
}
int ec_LRD(uint32_t LogAdr, uint16_t length, void* data, int timeout) {
    return ecx_LRD(&ecx_context, LogAdr, length, data, timeout);
}
int ec_LWR(uint32_t LogAdr, uint16_t length, const void* data, int timeout) {
    return ecx_LWR(&ecx_context, LogAdr, length, data, timeout);
}
int ec_LRW(uint32_t LogAdr, uint16_t length, void* data, int timeout) {
    return ecx_LRW(&ecx_context, LogAdr, length, data, timeout);
}
int ec_transceive_batch(std::span<ec_datagramt> batch, int timeout) {
    return ecx_transceive_batch(&ecx_context, batch, timeout);
}
uint32_t ec_readeeprom(uint16_t slave, uint16_t eeproma, int timeout) {
    return ecx_readeeprom(&ecx_context, slave, eeproma, timeout);
}
int ec_config_init(uint8_t usetable) {
    return ecx_config_init(&ecx_context, usetable);
}
int ec_config_map(void* iomap) {
    return ecx_config_map(&ecx_context, iomap);
}
int ec_config_map_sized(void* iomap, size_t size) {
    return ecx_config_map_sized(&ecx_context, iomap, size);
}
int ec_reconfig_slave(uint16_t slave, int timeout) {
    return ecx_reconfig_slave(&ecx_context, slave, timeout);
}
int ec_recover_slave(uint16_t slave, int timeout) {
    return ecx_recover_slave(&ecx_context, slave, timeout);
}
int ec_writestate(uint16_t slave) {
    return ecx_writestate(&ecx_context, slave);
}
uint16_t ec_statecheck(uint16_t slave, uint16_t reqstate, int timeout) {
    return ecx_statecheck(&ecx_context, slave, reqstate, timeout);
}
int ec_readstate() {
    return ecx_readstate(&ecx_context);
}
bool ec_configdc() {
    return ecx_configdc(&ecx_context);
}
void ec_dcsync0(uint16_t slave, bool act, uint32_t CyclTime, int32_t CyclShift) {
    ecx_dcsync0(&ecx_context, slave, act, CyclTime, CyclShift);
}
int ec_send_processdata() {
    return ecx_send_processdata(&ecx_context);
}
int ec_send_processdata(std::span<ec_datagramt> extra) {
    return ecx_send_processdata(&ecx_context, extra);
}
uint64_t ec_processdata_frames() {
    return ecx_processdata_frames(&ecx_context);
}
int ec_receive_processdata(int timeout) {
    return ecx_receive_processdata(&ecx_context, timeout);
}
int ec_SDOread(uint16_t slave, uint16_t index, uint8_t subindex, bool CA, int* psize, void* p,
               int timeout) {
    return ecx_SDOread(&ecx_context, slave, index, subindex, CA, psize, p, timeout);
}
int ec_SDOwrite(uint16_t slave, uint16_t index, uint8_t subindex, bool CA, int psize, const void* p,
                int timeout) {
    return ecx_SDOwrite(&ecx_context, slave, index, subindex, CA, psize, p, timeout);
}
int ec_FOEwrite(uint16_t slave, const char* FileName, uint32_t password, int psize, const void* p,
                int timeout) {
    return ecx_FOEwrite(&ecx_context, slave, FileName, password, psize, p, timeout);
}
int ec_readODlist(uint16_t slave, ec_ODlistt* pODlist) {
    return ecx_readODlist(&ecx_context, slave, pODlist);
}
int ec_readODdescription(uint16_t item, ec_ODlistt* pODlist) {
    return ecx_readODdescription(&ecx_context, item, pODlist);
}
int ec_readOEsingle(uint16_t item, uint8_t subindex, ec_ODlistt* pODlist, ec_OElistt* pOElist) {
    return ecx_readOEsingle(&ecx_context, item, subindex, pODlist, pOElist);
}
int ec_readOE(uint16_t item, ec_ODlistt* pODlist, ec_OElistt* pOElist) {
    return ecx_readOE(&ecx_context, item, pODlist, pOElist);
}
bool ec_iserror() {
    return ecx_iserror(&ecx_context);
}
bool ec_poperror(ec_errort* ec) {
    return ecx_poperror(&ecx_context, ec);
}
const char* ec_elist2string() {
    return ecx_elist2string(&ecx_context);
}
ec_serviceresultt ec_lastservice() {
    return ecx_lastservice(&ecx_context);
}
