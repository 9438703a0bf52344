// Not compiled: lists for lupdate the names drives give their objects over SDO information that
// the object dictionary window shows translated (context "ObjectNames"): the profile's objects
// and those every drive of ours carries. Names with a number at the end ("Mapped object 3") are
// looked up as "<name> %1". A name missing here is shown as the drive gives it.
//
// Keep in step with the objects the drives (and sim/) describe.

#include <QtGlobal>

[[maybe_unused]] static const char* const kObjectNames[] = {
    QT_TRANSLATE_NOOP("ObjectNames", "Device type"),
    QT_TRANSLATE_NOOP("ObjectNames", "Error register"),
    QT_TRANSLATE_NOOP("ObjectNames", "Device name"),
    QT_TRANSLATE_NOOP("ObjectNames", "Hardware version"),
    QT_TRANSLATE_NOOP("ObjectNames", "Software version"),
    QT_TRANSLATE_NOOP("ObjectNames", "Identity"),
    QT_TRANSLATE_NOOP("ObjectNames", "Number of entries"),
    QT_TRANSLATE_NOOP("ObjectNames", "Vendor ID"),
    QT_TRANSLATE_NOOP("ObjectNames", "Product code"),
    QT_TRANSLATE_NOOP("ObjectNames", "Revision"),
    QT_TRANSLATE_NOOP("ObjectNames", "Serial number"),
    QT_TRANSLATE_NOOP("ObjectNames", "RxPDO"),
    QT_TRANSLATE_NOOP("ObjectNames", "TxPDO"),
    QT_TRANSLATE_NOOP("ObjectNames", "Mapped object %1"),
    QT_TRANSLATE_NOOP("ObjectNames", "SyncManager types"),
    QT_TRANSLATE_NOOP("ObjectNames", "RxPDO assign"),
    QT_TRANSLATE_NOOP("ObjectNames", "TxPDO assign"),
    QT_TRANSLATE_NOOP("ObjectNames", "PDO"),
    QT_TRANSLATE_NOOP("ObjectNames", "Number of PDOs"),
    QT_TRANSLATE_NOOP("ObjectNames", "Gains"),
    QT_TRANSLATE_NOOP("ObjectNames", "Temperatures"),
    QT_TRANSLATE_NOOP("ObjectNames", "Clear fault history"),
    QT_TRANSLATE_NOOP("ObjectNames", "Joint label"),
    QT_TRANSLATE_NOOP("ObjectNames", "Drive parameters"),
    QT_TRANSLATE_NOOP("ObjectNames", "Controlword"),
    QT_TRANSLATE_NOOP("ObjectNames", "Statusword"),
    QT_TRANSLATE_NOOP("ObjectNames", "Target torque"),
    QT_TRANSLATE_NOOP("ObjectNames", "Target position"),
    QT_TRANSLATE_NOOP("ObjectNames", "Target velocity"),
    QT_TRANSLATE_NOOP("ObjectNames", "Modes of operation"),
    QT_TRANSLATE_NOOP("ObjectNames", "Modes of operation display"),
    QT_TRANSLATE_NOOP("ObjectNames", "Position actual value"),
    QT_TRANSLATE_NOOP("ObjectNames", "Velocity actual value"),
    QT_TRANSLATE_NOOP("ObjectNames", "Torque actual value"),
    QT_TRANSLATE_NOOP("ObjectNames", "DC link circuit voltage"),
    QT_TRANSLATE_NOOP("ObjectNames", "Motor error word"),
    QT_TRANSLATE_NOOP("ObjectNames", "Drive error word"),
    QT_TRANSLATE_NOOP("ObjectNames", "MCU temperature"),
    QT_TRANSLATE_NOOP("ObjectNames", "MOSFET temperature"),
    QT_TRANSLATE_NOOP("ObjectNames", "Motor temperature"),
    QT_TRANSLATE_NOOP("ObjectNames", "Kp"),
    QT_TRANSLATE_NOOP("ObjectNames", "Kd"),
    QT_TRANSLATE_NOOP("ObjectNames", "Inputs"),
    QT_TRANSLATE_NOOP("ObjectNames", "Outputs"),
};
