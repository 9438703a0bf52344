// Texts of the AL status codes as operators see them in the bring-up log.
#include <gtest/gtest.h>

#include <string>

#include "ethercat.h"

TEST(AlStatusText, KnownCodesHaveTheirTexts) {
    const struct {
        uint16_t code;
        const char* text;
    } rows[] = {
        {0x0000, "No error"},
        {0x0001, "Unspecified error"},
        {0x0011, "Invalid requested state change"},
        {0x0012, "Unknown requested state"},
        {0x0015, "Invalid mailbox configuration"},
        {0x0016, "Invalid mailbox configuration"},
        {0x0017, "Invalid sync manager configuration"},
        {0x001A, "Synchronization error"},
        {0x001B, "Sync manager watchdog"},
        {0x001C, "Invalid sync Manager types"},
        {0x001D, "Invalid output configuration"},
        {0x001E, "Invalid input configuration"},
        {0x001F, "Invalid watchdog configuration"},
        {0x0024, "Invalid input mapping"},
        {0x0025, "Invalid output mapping"},
        {0x0028, "Synchronisation not supported"},
        {0x0029, "Freerun needs 3buffer mode"},
        {0x002D, "No sync error"},
        {0x0030, "Invalid DC SYNC configuration"},
        {0x0036, "DC invalid sync0 cycle time"},
        {0x0043, "MBX_COE"},
        {0x004F, "MBX_VOE"},
        {0x0051, "EEPROM error"},
        {0x0061, "Device identification value updated"},
        {0x00F0, "Application controller available"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(std::string(ec_ALstatuscode2string(row.code)), row.text) << "code " << row.code;
    }
}

TEST(AlStatusText, UnlistedCodesReadUnknown) {
    // Gaps in the table, codes later revisions added, and vendor codes.
    for (uint16_t code : {0x0003, 0x000E, 0x002F, 0x0038, 0x0046, 0x0052, 0x0070, 0x8000, 0xFFFF}) {
        EXPECT_STREQ(ec_ALstatuscode2string(code), "Unknown") << "code " << code;
    }
}
