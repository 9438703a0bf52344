#include "metatypes.h"

#include <cstdint>

void registerModelMetaTypes() {
    qRegisterMetaType<TCiA402_GetValue>("TCiA402_GetValue");
    qRegisterMetaType<App_SetValue*>("App_SetValue*");
    qRegisterMetaType<uint64_t>("uint64_t");
}
