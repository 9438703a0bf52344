// Names for the numbers of the EtherCAT wire protocol: frame and datagram layout, commands,
// ESC registers, AL states, SII words and categories, mailbox, CoE and FoE codes.
// Shared by the master stack and the simulated slaves, so both speak from one table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ec {

// A datagram's address for register `ado` of the slave at position or station `adp`.
inline uint32_t physicalAddress(uint16_t adp, uint16_t ado) {
    return static_cast<uint32_t>(adp) | static_cast<uint32_t>(ado) << 16;
}

// --- Ethernet frame -------------------------------------------------------------------------
inline constexpr uint16_t kEtherType = 0x88A4;
inline constexpr size_t kEthHeaderSize = 14;  // dst MAC, src MAC, EtherType
inline constexpr size_t kEcHeaderSize = 2;    // length (11 bits) + type (4 bits)
inline constexpr size_t kEthMinFrame = 60;    // without FCS
inline constexpr size_t kEthMaxFrame = 1514;  // without FCS
inline constexpr uint16_t kEcFrameTypeDatagrams = 1;
inline constexpr uint16_t kEcLengthMask = 0x07FF;
inline constexpr size_t kMaxDatagramBytes = 1498;  // all datagrams of one frame
inline constexpr size_t kMaxDatagramData = 1486;   // data of one datagram

// Source MAC of the master on a link without an address of its own (the in-process simulated
// bus): unicast, locally administered. On an adapter the master sends with the adapter's address.
inline constexpr std::array<uint8_t, 6> kMasterMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
// Every ESC sets the locally administered bit (0x02 of the first octet) of the source address on
// frames that pass its processing unit: with a universally administered adapter address, a
// returned frame is told from our own transmission.
inline constexpr uint8_t kMacReturnBit = 0x02;

// --- Datagram ---------------------------------------------------------------------------------
inline constexpr size_t kDatagramHeaderSize = 10;  // cmd, idx, address (4), len/flags, irq
inline constexpr size_t kWkcSize = 2;
inline constexpr uint16_t kDatagramLengthMask = 0x07FF;
inline constexpr uint16_t kDatagramCirculating = 0x4000;
inline constexpr uint16_t kDatagramMore = 0x8000;

enum class Command : uint8_t {
    NOP = 0,
    APRD = 1,
    APWR = 2,
    APRW = 3,
    FPRD = 4,
    FPWR = 5,
    FPRW = 6,
    BRD = 7,
    BWR = 8,
    BRW = 9,
    LRD = 10,
    LWR = 11,
    LRW = 12,
    ARMW = 13,
    FRMW = 14,
};

// --- ESC registers ----------------------------------------------------------------------------
inline constexpr uint16_t kRegType = 0x0000;
inline constexpr uint16_t kRegFmmuCount = 0x0004;
inline constexpr uint16_t kRegSmCount = 0x0005;
inline constexpr uint16_t kRegRamSize = 0x0006;
inline constexpr uint16_t kRegPortDescriptor = 0x0007;
inline constexpr uint16_t kRegFeatures = 0x0008;
inline constexpr uint16_t kFeatureDc = 0x0004;
inline constexpr uint16_t kRegStationAddress = 0x0010;
inline constexpr uint16_t kRegStationAlias = 0x0012;
inline constexpr uint16_t kRegDlControl = 0x0100;
inline constexpr uint16_t kRegDlPort = 0x0101;
inline constexpr uint16_t kRegDlAlias = 0x0103;
inline constexpr uint16_t kRegDlStatus = 0x0110;
inline constexpr uint16_t kRegAlControl = 0x0120;
inline constexpr uint16_t kRegAlStatus = 0x0130;
inline constexpr uint16_t kRegAlStatusCode = 0x0134;
inline constexpr uint16_t kRegPdiControl = 0x0140;
inline constexpr uint16_t kRegEscConfig = 0x0141;
inline constexpr uint16_t kRegEcatEventMask = 0x0200;
inline constexpr uint16_t kRegAlEventMask = 0x0204;
inline constexpr uint16_t kRegEcatEventRequest = 0x0210;
inline constexpr uint16_t kRegAlEventRequest = 0x0220;
inline constexpr uint16_t kRegRxErrorCounter = 0x0300;
inline constexpr uint16_t kRegLostLinkCounter = 0x0310;
inline constexpr uint16_t kRegWatchdogDivider = 0x0400;
inline constexpr uint16_t kRegWatchdogPdi = 0x0410;
inline constexpr uint16_t kRegWatchdogSm = 0x0420;
inline constexpr uint16_t kRegWatchdogSmStatus = 0x0440;
inline constexpr uint16_t kRegSiiConfig = 0x0500;
inline constexpr uint16_t kRegSiiControl = 0x0502;
inline constexpr uint16_t kRegSiiAddress = 0x0504;
inline constexpr uint16_t kRegSiiData = 0x0508;
inline constexpr uint16_t kSiiDataSize = 8;  // 0x0508-0x050F: what one read delivers, at most
inline constexpr uint16_t kRegFmmu0 = 0x0600;
inline constexpr uint16_t kFmmuSize = 16;
inline constexpr uint16_t kRegSm0 = 0x0800;
inline constexpr uint16_t kSmSize = 8;
inline constexpr uint16_t kRegDcRecvTimePort0 = 0x0900;
inline constexpr uint16_t kRegDcRecvTimePort1 = 0x0904;
inline constexpr uint16_t kRegDcRecvTimePort2 = 0x0908;
inline constexpr uint16_t kRegDcRecvTimePort3 = 0x090C;
inline constexpr uint16_t kRegDcSystemTime = 0x0910;
inline constexpr uint16_t kRegDcRecvTimeUnit = 0x0918;
inline constexpr uint16_t kRegDcSystemOffset = 0x0920;
inline constexpr uint16_t kRegDcSystemDelay = 0x0928;
inline constexpr uint16_t kRegDcSystemDiff = 0x092C;
inline constexpr uint16_t kRegDcSpeedStart = 0x0930;
inline constexpr uint16_t kRegDcFilterDepth = 0x0934;
inline constexpr uint16_t kRegDcCyclicControl = 0x0980;
inline constexpr uint16_t kRegDcActivation = 0x0981;
inline constexpr uint16_t kRegDcPulseLength = 0x0982;
inline constexpr uint16_t kRegDcActivationStatus = 0x0984;
inline constexpr uint16_t kRegDcStartTime = 0x0990;
inline constexpr uint16_t kRegDcSync0Cycle = 0x09A0;
inline constexpr uint16_t kRegDcSync1Cycle = 0x09A4;
inline constexpr uint16_t kProcessRamStart = 0x1000;

inline constexpr uint16_t kNodeOffset = 0x1000;  // station address = slave number + this
inline constexpr uint16_t kTempNode = 0xFFFF;    // station address used while recovering a slave

// SyncManager register bytes (offsets within one 8-byte SM block) and their bits.
inline constexpr uint8_t kSmControl = 4;
inline constexpr uint8_t kSmStatus = 5;
inline constexpr uint8_t kSmActivate = 6;
inline constexpr uint8_t kSmPdiControl = 7;
inline constexpr uint8_t kSmModeMailbox = 0x02;
inline constexpr uint8_t kSmDirectionWrite = 0x04;  // ECAT writes, PDI reads
inline constexpr uint8_t kSmStatusMailboxFull = 0x08;
inline constexpr uint8_t kSmActivateEnable = 0x01;
inline constexpr uint8_t kSmActivateRepeat = 0x02;
inline constexpr uint8_t kSmPdiRepeatAck = 0x02;
inline constexpr uint32_t kSmFlagsMailboxOut = 0x00010026;  // SM0 as masters write it
inline constexpr uint32_t kSmFlagsMailboxIn = 0x00010022;   // SM1

// FMMU bytes and types.
inline constexpr uint8_t kFmmuTypeRead = 0x01;   // memory -> datagram (inputs)
inline constexpr uint8_t kFmmuTypeWrite = 0x02;  // datagram -> memory (outputs)

// --- AL state machine -------------------------------------------------------------------------
enum AlState : uint16_t {
    kAlStateNone = 0x00,
    kAlStateInit = 0x01,
    kAlStatePreOp = 0x02,
    kAlStateBoot = 0x03,
    kAlStateSafeOp = 0x04,
    kAlStateOp = 0x08,
    kAlStateError = 0x10,  // error indication in AL status, acknowledge in AL control
};
inline constexpr uint16_t kAlStateAck = kAlStateError;
inline constexpr uint16_t kAlStateMask = 0x0F;

// AL status codes that slaves report and masters act on.
enum AlStatusCode : uint16_t {
    kAlNoError = 0x0000,
    kAlUnspecified = 0x0001,
    kAlInvalidStateChange = 0x0011,
    kAlUnknownState = 0x0012,
    kAlBootstrapNotSupported = 0x0013,
    kAlInvalidMailboxBoot = 0x0015,
    kAlInvalidMailboxPreOp = 0x0016,
    kAlInvalidSmConfig = 0x0017,
    kAlSyncError = 0x001A,
    kAlSmWatchdog = 0x001B,
    kAlInvalidOutputConfig = 0x001D,
    kAlInvalidInputConfig = 0x001E,
    kAlInvalidWatchdogConfig = 0x001F,
    kAlInvalidInputMapping = 0x0024,
    kAlInvalidOutputMapping = 0x0025,
    kAlNoSyncError = 0x002D,
    kAlInvalidInputFmmu = 0x002E,
    kAlInvalidDcSync = 0x0030,
};

// --- SII (word addresses) ---------------------------------------------------------------------
inline constexpr uint16_t kSiiPdiControl = 0x00;
inline constexpr uint16_t kSiiSyncPulse = 0x02;
inline constexpr uint16_t kSiiAlias = 0x04;
inline constexpr uint16_t kSiiChecksum = 0x07;
inline constexpr uint16_t kSiiVendorId = 0x08;
inline constexpr uint16_t kSiiProductCode = 0x0A;
inline constexpr uint16_t kSiiRevision = 0x0C;
inline constexpr uint16_t kSiiSerial = 0x0E;
inline constexpr uint16_t kSiiBootRxMailbox = 0x14;  // offset, then size
inline constexpr uint16_t kSiiBootTxMailbox = 0x16;
inline constexpr uint16_t kSiiStdRxMailbox = 0x18;
inline constexpr uint16_t kSiiStdTxMailbox = 0x1A;
inline constexpr uint16_t kSiiMailboxProtocols = 0x1C;
inline constexpr uint16_t kSiiSizeCode = 0x3E;
inline constexpr uint16_t kSiiVersion = 0x3F;
inline constexpr uint16_t kSiiFirstCategory = 0x40;

enum SiiCategory : uint16_t {
    kSiiCatStrings = 10,
    kSiiCatGeneral = 30,
    kSiiCatFmmu = 40,
    kSiiCatSyncManager = 41,
    kSiiCatTxPdo = 50,
    kSiiCatRxPdo = 51,
    kSiiCatDc = 60,
    kSiiCatEnd = 0xFFFF,
};

// SII interface control/status bits (register 0x0502).
inline constexpr uint16_t kSiiCmdRead = 0x0100;
inline constexpr uint16_t kSiiCmdWrite = 0x0200;
inline constexpr uint16_t kSiiCmdReload = 0x0400;
inline constexpr uint16_t kSiiCmdMask = 0x0700;
inline constexpr uint16_t kSiiRead8Bytes = 0x0040;
inline constexpr uint16_t kSiiErrorMask = 0x7800;
inline constexpr uint16_t kSiiErrorAck = 0x2000;
inline constexpr uint16_t kSiiBusy = 0x8000;

// Mailbox protocols (SII word 0x1C).
inline constexpr uint16_t kMbxProtoAoE = 0x01;
inline constexpr uint16_t kMbxProtoEoE = 0x02;
inline constexpr uint16_t kMbxProtoCoE = 0x04;
inline constexpr uint16_t kMbxProtoFoE = 0x08;
inline constexpr uint16_t kMbxProtoSoE = 0x10;

// --- Mailbox ------------------------------------------------------------------------------------
inline constexpr size_t kMbxHeaderSize = 6;
enum MailboxType : uint8_t {
    kMbxTypeError = 0,
    kMbxTypeAoE = 1,
    kMbxTypeEoE = 2,
    kMbxTypeCoE = 3,
    kMbxTypeFoE = 4,
    kMbxTypeSoE = 5,
    kMbxTypeVoE = 15,
};
// Byte 5 of the header: type in bits 0-3, counter in bits 4-6 (1..7, 0 = not counted).
inline constexpr uint8_t kMbxTypeMask = 0x0F;
inline constexpr uint8_t kMbxCounterShift = 4;
inline constexpr uint8_t kMbxCounterMask = 0x07;
inline constexpr uint8_t kMbxCounterMax = 7;
// SyncManager registers the mailbox handshake uses: SM0 status, SM1 status/activate/PDI control.
inline constexpr uint16_t kRegSm0Status = kRegSm0 + kSmStatus;
inline constexpr uint16_t kRegSm1Status = kRegSm0 + kSmSize + kSmStatus;
inline constexpr uint16_t kRegSm1PdiControl = kRegSm0 + kSmSize + kSmPdiControl;

// --- CoE ----------------------------------------------------------------------------------------
enum CoeService : uint8_t {
    kCoeEmergency = 1,
    kCoeSdoRequest = 2,
    kCoeSdoResponse = 3,
    kCoeTxPdo = 4,
    kCoeRxPdo = 5,
    kCoeSdoInfo = 8,
};
inline constexpr uint8_t kCoeServiceShift = 12;  // in the 16-bit CoE header
inline constexpr size_t kCoeHeaderSize = 2;
inline constexpr size_t kSdoHeaderSize = 10;        // CoE header, command, index, subindex, 4 data
inline constexpr size_t kSdoSegmentHeaderSize = 3;  // CoE header, command
inline constexpr size_t kSdoSegmentMinData = 7;     // a segment is padded to at least this much

// SDO command specifiers (byte 2 of the CoE data) and their bits.
inline constexpr uint8_t kSdoCsMask = 0xE0;
inline constexpr uint8_t kSdoDownloadSegmentRq = 0x00;   // ccs 0
inline constexpr uint8_t kSdoDownloadInitRq = 0x20;      // ccs 1
inline constexpr uint8_t kSdoUploadInitRq = 0x40;        // ccs 2
inline constexpr uint8_t kSdoUploadSegmentRq = 0x60;     // ccs 3
inline constexpr uint8_t kSdoAbort = 0x80;               // either side
inline constexpr uint8_t kSdoUploadSegmentRsp = 0x00;    // scs 0
inline constexpr uint8_t kSdoDownloadSegmentRsp = 0x20;  // scs 1
inline constexpr uint8_t kSdoUploadInitRsp = 0x40;       // scs 2
inline constexpr uint8_t kSdoDownloadInitRsp = 0x60;     // scs 3
inline constexpr uint8_t kSdoSizeIndicated = 0x01;
inline constexpr uint8_t kSdoExpedited = 0x02;
inline constexpr uint8_t kSdoSizeShift = 2;  // unused bytes of an expedited transfer, bits 3-2
inline constexpr uint8_t kSdoCompleteAccess = 0x10;
inline constexpr uint8_t kSdoToggle = 0x10;     // segments
inline constexpr uint8_t kSdoSegmentShift = 1;  // unused bytes of a segment, bits 3-1
inline constexpr uint8_t kSdoLastSegment = 0x01;

// SII CoE details (General category).
inline constexpr uint8_t kCoeDetailSdo = 0x01;
inline constexpr uint8_t kCoeDetailSdoInfo = 0x02;
inline constexpr uint8_t kCoeDetailPdoAssign = 0x04;
inline constexpr uint8_t kCoeDetailPdoConfig = 0x08;
inline constexpr uint8_t kCoeDetailUpload = 0x10;
inline constexpr uint8_t kCoeDetailCompleteAccess = 0x20;

// SDO information (CoE service 8): CoE header, opcode (bit 7: more fragments follow), reserved,
// fragments left after this one (U16), then the service's data.
inline constexpr size_t kSdoInfoHeaderSize = 6;
enum SdoInfoOpcode : uint8_t {
    kSdoInfoListRq = 1,
    kSdoInfoListRsp = 2,
    kSdoInfoObjectRq = 3,
    kSdoInfoObjectRsp = 4,
    kSdoInfoEntryRq = 5,
    kSdoInfoEntryRsp = 6,
    kSdoInfoError = 7,  // U32 abort code
};
inline constexpr uint8_t kSdoInfoOpcodeMask = 0x7F;
inline constexpr uint8_t kSdoInfoIncomplete = 0x80;
// Object lists: 0 = the sizes of lists 1-5, 1 all objects, 2 RxPDO-mappable, 3 TxPDO-mappable,
// 4 stored for device replacement, 5 startup parameters.
inline constexpr uint16_t kOdListSizes = 0;
inline constexpr uint16_t kOdListAll = 1;
inline constexpr uint16_t kOdListRxPdo = 2;
inline constexpr uint16_t kOdListTxPdo = 3;
inline constexpr uint16_t kOdListLast = 5;
// Object description: index, data type, max subindex, object code, then the name.
inline constexpr size_t kObjectDescriptionSize = 6;
inline constexpr uint8_t kObjectCodeVar = 7;
inline constexpr uint8_t kObjectCodeArray = 8;
inline constexpr uint8_t kObjectCodeRecord = 9;
// Entry description: index, subindex, value info, data type, bit length, access, then the name.
inline constexpr size_t kEntryDescriptionSize = 10;
inline constexpr uint16_t kEntryReadable = 0x0007;  // in PRE-OP, SAFE-OP and OP
inline constexpr uint16_t kEntryWritable = 0x0038;
inline constexpr uint16_t kEntryRxPdoMappable = 0x0040;
inline constexpr uint16_t kEntryTxPdoMappable = 0x0080;

// Objects the mapping reads.
inline constexpr uint16_t kObjSmCommType = 0x1C00;
inline constexpr uint16_t kObjSmPdoAssign = 0x1C10;  // + SyncManager number

// --- FoE ----------------------------------------------------------------------------------------
enum FoeOpcode : uint8_t {
    kFoeRead = 1,
    kFoeWrite = 2,
    kFoeData = 3,
    kFoeAck = 4,
    kFoeError = 5,
    kFoeBusy = 6,
};
inline constexpr size_t kFoeHeaderSize = 6;        // opcode, reserved, 32-bit parameter
inline constexpr size_t kFoeMailboxOverhead = 12;  // mailbox + FoE header: packet = SM0 - this
inline constexpr uint32_t kFoeErrorNotFound = 0x8001;
inline constexpr uint32_t kFoeErrorPacketNumber = 0x8005;

// --- Distributed clocks -------------------------------------------------------------------------
// System time counts nanoseconds from 2000-01-01 00:00:00; Unix time minus this many seconds.
inline constexpr int64_t kDcEpochOffsetSeconds = 946684800;

}  // namespace ec
