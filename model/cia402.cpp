#include "cia402.h"

#include "processdata.h"

// The names below are translated where they are shown (cia402text.h, context "Cia402State");
// this library has no Qt, so the marker lupdate looks for is defined here as Qt defines it.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace {

struct StateRow {
    uint16_t mask;
    uint16_t value;
    Cia402State state;
};

// First matching row wins. The two exact low bytes on top override the profile's rows below,
// which would read both as Not ready to switch on: the master has always read a bare 0x30 as
// Switched on and a bare 0x10 as Switch on disabled, so their place at the top stays.
constexpr StateRow kStateRows[] = {
    {0x00FF, 0x0030, Cia402State::SwitchedOn},
    {0x00FF, 0x0010, Cia402State::SwitchOnDisabled},
    {kStatusWordStateMask, 0x0000, Cia402State::NotReadyToSwitchOn},
    {kStatusWordStateMask, 0x0040, Cia402State::SwitchOnDisabled},
    {kStatusWordStateMaskWithQuickStop, 0x0021, Cia402State::ReadyToSwitchOn},
    {kStatusWordStateMaskWithQuickStop, 0x0023, Cia402State::SwitchedOn},
    {kStatusWordStateMaskWithQuickStop, 0x0027, Cia402State::OperationEnabled},
    {kStatusWordStateMaskWithQuickStop, 0x0007, Cia402State::QuickStopActive},
    {kStatusWordStateMask, 0x000F, Cia402State::FaultReactionActive},
    {kStatusWordStateMask, 0x0008, Cia402State::Fault},
};

}  // namespace

Cia402State cia402StateFromStatusWord(uint16_t statusWord) {
    for (const StateRow& row : kStateRows) {
        if ((statusWord & row.mask) == row.value) {
            return row.state;
        }
    }
    return Cia402State::Unknown;
}

uint16_t cia402StatusBits(Cia402State state) {
    switch (state) {
        case Cia402State::NotReadyToSwitchOn:
            return 0x00;
        case Cia402State::SwitchOnDisabled:
            return 0x40;
        case Cia402State::ReadyToSwitchOn:
            return 0x21;
        case Cia402State::SwitchedOn:
            return 0x23;
        case Cia402State::OperationEnabled:
            return 0x27;
        case Cia402State::QuickStopActive:
            return 0x07;
        case Cia402State::FaultReactionActive:
            return 0x0F;
        case Cia402State::Fault:
            return 0x08;
        case Cia402State::Unknown:
            break;
    }
    return 0x00;
}

const char* cia402StateName(Cia402State state) {
    switch (state) {
        case Cia402State::NotReadyToSwitchOn:
            return QT_TRANSLATE_NOOP("Cia402State", "Not ready to switch on");
        case Cia402State::SwitchOnDisabled:
            return QT_TRANSLATE_NOOP("Cia402State", "Switch on disabled");
        case Cia402State::ReadyToSwitchOn:
            return QT_TRANSLATE_NOOP("Cia402State", "Ready to switch on");
        case Cia402State::SwitchedOn:
            return QT_TRANSLATE_NOOP("Cia402State", "Switched on");
        case Cia402State::OperationEnabled:
            return QT_TRANSLATE_NOOP("Cia402State", "Operation enabled");
        case Cia402State::QuickStopActive:
            return QT_TRANSLATE_NOOP("Cia402State", "Quick stop active");
        case Cia402State::FaultReactionActive:
            return QT_TRANSLATE_NOOP("Cia402State", "Fault reaction active");
        case Cia402State::Fault:
            return QT_TRANSLATE_NOOP("Cia402State", "Fault");
        case Cia402State::Unknown:
            break;
    }
    return QT_TRANSLATE_NOOP("Cia402State", "Unknown");
}

bool isFaultNews(const TCiA402_GetValue& before, const TCiA402_GetValue& now) {
    const bool faultCame =
        (now.statusWord & kStatusWordFault) != 0 && (before.statusWord & kStatusWordFault) == 0;
    const bool wordChanged = (now.errorWord != 0 && now.errorWord != before.errorWord) ||
                             (now.drvErrorWord != 0 && now.drvErrorWord != before.drvErrorWord);
    return faultCame || wordChanged;
}

const char* cia402StateDisplayName(Cia402State state) {
    switch (state) {
        case Cia402State::NotReadyToSwitchOn:
            return QT_TRANSLATE_NOOP("Cia402State", "初始化");
        case Cia402State::SwitchOnDisabled:
            return QT_TRANSLATE_NOOP("Cia402State", "初始化完成");
        case Cia402State::ReadyToSwitchOn:
            return QT_TRANSLATE_NOOP("Cia402State", "伺服准备好");
        case Cia402State::SwitchedOn:
            return QT_TRANSLATE_NOOP("Cia402State", "伺服等待");
        case Cia402State::OperationEnabled:
            return QT_TRANSLATE_NOOP("Cia402State", "伺服运行");
        case Cia402State::QuickStopActive:
            return QT_TRANSLATE_NOOP("Cia402State", "急停");
        case Cia402State::FaultReactionActive:
            return QT_TRANSLATE_NOOP("Cia402State", "故障停机");
        case Cia402State::Fault:
            return QT_TRANSLATE_NOOP("Cia402State", "故障");
        case Cia402State::Unknown:
            break;
    }
    return QT_TRANSLATE_NOOP("Cia402State", "未知状态");
}
