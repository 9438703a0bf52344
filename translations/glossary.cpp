// clang-format off
// The console's glossary: one name per thing, in each language. lupdate reads this file; nothing
// compiles it. Each term below carries its meaning and its Chinese name as a translator comment,
// so that translators find the glossary in the .ts files (context "Glossary").
//
// | Chinese | English | note |
// |---|---|---|
// | 电机 (as the numbered device on the bus, 电机%1) | drive (drive %1) | in physical quantities (电机过温, 电机相电阻) 电机 = motor |
// | 从站 | slave | bus position, from 1 |
// | 上使能 | enable (Enable) | 使能 in compound words |
// | 下使能 | disable (Disable) | |
// | 故障 | fault | 复位故障 = reset fault ("Reset fault") |
// | 急停 | STOP | quick stop (the CiA 402 command) = 快速停止 |
// | 参数 | parameter | 参数集 = parameter set |
// | 读取 / 写入 | Read / Write | |
// | 产品批号 | product batch number | 产品批次 is the same thing: use 产品批号 everywhere |
// | 产品类型 | product type | |
// | 软件版本 | software version | |
// | 对象字典 | object dictionary | |
// | 固件 / 固件升级 | firmware / firmware upgrade | |
// | 总线 | bus | |
// | 连接 / 断开 | Connect / Disconnect | 已连接 Connected, 未连接 Not connected |
// | 网卡 | adapter | Ethernet adapter |
// | 日志 | log | |
// | 校准 | calibration (calibrate) | |
// | 辨识 | identification (identify) | |
// | 多关节测试 | multi-joint test | 三关节通讯 = three-joint communication |
// | 往返 | round trip | |
// | 状态字 / 控制字 / 错误字 | status word / control word / error word | |
// | 工作计数器 | working counter | |
// | 紧急报文 | emergency (EMCY) | |
// | 监控 | supervision | |
// | 诊断 | diagnostics | |
// | 转矩 | torque | parameter names keep their own wording (力矩比例 etc.) |
// | 速度 / 位置 | velocity / position | |
// | 模式 | mode | |
// | 设定值 | setpoint | |
// | 接通禁止 / 准备接通 / 已接通 / 运行使能 / 快速停止有效 / 故障反应有效 / 故障 / 未准备好接通 | Switch on disabled / Ready to switch on / Switched on / Operation enabled / Quick stop active / Fault reaction active / Fault / Not ready to switch on | CiA 402 state names |
//
// Kept as they are in both languages: EtherCAT, CiA 402, CoE, SDO, PDO, FoE, EMCY, DC, AL, SII,
// ESC, INIT, PRE-OP, SAFE-OP, OP, BOOT, EC_STATE_* names, hex numbers, units (Nm, turn, turn/s,
// A, V, °C, ms, s, rpm), ErrorWord/DrvErrorWord when used as field names.

#include <QtGlobal>

[[maybe_unused]] static const char* const kGlossary[] = {
    //: Glossary: the numbered servo joint drive on the bus (drive %1), counted from 0 in the console; in physical quantities 电机 means motor. Chinese: 电机
    QT_TRANSLATE_NOOP("Glossary", "drive"),
    //: Glossary: the motor itself in physical quantities (电机过温 motor overtemperature, 电机相电阻 motor phase resistance). Chinese: 电机
    QT_TRANSLATE_NOOP("Glossary", "motor"),
    //: Glossary: an EtherCAT bus position, counted from 1. Chinese: 从站
    QT_TRANSLATE_NOOP("Glossary", "slave"),
    //: Glossary: switch a drive on to Operation enabled (button: Enable); 使能 in compound words. Chinese: 上使能
    QT_TRANSLATE_NOOP("Glossary", "enable"),
    //: Glossary: switch a drive off from Operation enabled (button: Disable). Chinese: 下使能
    QT_TRANSLATE_NOOP("Glossary", "disable"),
    //: Glossary: a drive fault. Chinese: 故障
    QT_TRANSLATE_NOOP("Glossary", "fault"),
    //: Glossary: the command that clears a drive fault. Chinese: 复位故障
    QT_TRANSLATE_NOOP("Glossary", "Reset fault"),
    //: Glossary: the console's stop button for all drives; it sends quick stop. Chinese: 急停
    QT_TRANSLATE_NOOP("Glossary", "STOP"),
    //: Glossary: the CiA 402 quick stop command. Chinese: 快速停止
    QT_TRANSLATE_NOOP("Glossary", "quick stop"),
    //: Glossary: a drive parameter (object 0x6101). Chinese: 参数
    QT_TRANSLATE_NOOP("Glossary", "parameter"),
    //: Glossary: a file holding parameter values. Chinese: 参数集
    QT_TRANSLATE_NOOP("Glossary", "parameter set"),
    //: Glossary: read values from a drive. Chinese: 读取
    QT_TRANSLATE_NOOP("Glossary", "Read"),
    //: Glossary: write values to a drive. Chinese: 写入
    QT_TRANSLATE_NOOP("Glossary", "Write"),
    //: Glossary: the drive's batch number; 产品批次 means the same and is not used. Chinese: 产品批号
    QT_TRANSLATE_NOOP("Glossary", "product batch number"),
    //: Glossary: the drive's product type, e.g. QJ30. Chinese: 产品类型
    QT_TRANSLATE_NOOP("Glossary", "product type"),
    //: Glossary: the drive's software version, major.minor.patch. Chinese: 软件版本
    QT_TRANSLATE_NOOP("Glossary", "software version"),
    //: Glossary: the CoE object dictionary of a drive. Chinese: 对象字典
    QT_TRANSLATE_NOOP("Glossary", "object dictionary"),
    //: Glossary: the drive's firmware. Chinese: 固件
    QT_TRANSLATE_NOOP("Glossary", "firmware"),
    //: Glossary: loading new firmware into a drive (FoE). Chinese: 固件升级
    QT_TRANSLATE_NOOP("Glossary", "firmware upgrade"),
    //: Glossary: the EtherCAT bus. Chinese: 总线
    QT_TRANSLATE_NOOP("Glossary", "bus"),
    //: Glossary: bring the bus up. Chinese: 连接
    QT_TRANSLATE_NOOP("Glossary", "Connect"),
    //: Glossary: take the bus down. Chinese: 断开
    QT_TRANSLATE_NOOP("Glossary", "Disconnect"),
    //: Glossary: the bus is up. Chinese: 已连接
    QT_TRANSLATE_NOOP("Glossary", "Connected"),
    //: Glossary: the bus is down. Chinese: 未连接
    QT_TRANSLATE_NOOP("Glossary", "Not connected"),
    //: Glossary: the Ethernet adapter the bus runs on. Chinese: 网卡
    QT_TRANSLATE_NOOP("Glossary", "adapter"),
    //: Glossary: the log pane and the running log file. Chinese: 日志
    QT_TRANSLATE_NOOP("Glossary", "log"),
    //: Glossary: calibrating a drive (verb: calibrate). Chinese: 校准
    QT_TRANSLATE_NOOP("Glossary", "calibration"),
    //: Glossary: identifying a drive's motor parameters (verb: identify). Chinese: 辨识
    QT_TRANSLATE_NOOP("Glossary", "identification"),
    //: Glossary: the test that runs several joints together. Chinese: 多关节测试
    QT_TRANSLATE_NOOP("Glossary", "multi-joint test"),
    //: Glossary: the communication test with three joints. Chinese: 三关节通讯
    QT_TRANSLATE_NOOP("Glossary", "three-joint communication"),
    //: Glossary: a motion out and back. Chinese: 往返
    QT_TRANSLATE_NOOP("Glossary", "round trip"),
    //: Glossary: the CiA 402 status word (0x6041). Chinese: 状态字
    QT_TRANSLATE_NOOP("Glossary", "status word"),
    //: Glossary: the CiA 402 control word (0x6040). Chinese: 控制字
    QT_TRANSLATE_NOOP("Glossary", "control word"),
    //: Glossary: the drive's error word; ErrorWord/DrvErrorWord stay as they are when used as field names. Chinese: 错误字
    QT_TRANSLATE_NOOP("Glossary", "error word"),
    //: Glossary: the EtherCAT working counter. Chinese: 工作计数器
    QT_TRANSLATE_NOOP("Glossary", "working counter"),
    //: Glossary: a CoE emergency message. Chinese: 紧急报文
    QT_TRANSLATE_NOOP("Glossary", "emergency (EMCY)"),
    //: Glossary: the master's watch over the slaves while the bus runs. Chinese: 监控
    QT_TRANSLATE_NOOP("Glossary", "supervision"),
    //: Glossary: bus diagnostics: counters, events. Chinese: 诊断
    QT_TRANSLATE_NOOP("Glossary", "diagnostics"),
    //: Glossary: torque; parameter names keep their own wording (力矩比例 etc.). Chinese: 转矩
    QT_TRANSLATE_NOOP("Glossary", "torque"),
    //: Glossary: velocity. Chinese: 速度
    QT_TRANSLATE_NOOP("Glossary", "velocity"),
    //: Glossary: position. Chinese: 位置
    QT_TRANSLATE_NOOP("Glossary", "position"),
    //: Glossary: mode of operation. Chinese: 模式
    QT_TRANSLATE_NOOP("Glossary", "mode"),
    //: Glossary: a setpoint sent to a drive. Chinese: 设定值
    QT_TRANSLATE_NOOP("Glossary", "setpoint"),
    //: Glossary: CiA 402 state name. Chinese: 接通禁止
    QT_TRANSLATE_NOOP("Glossary", "Switch on disabled"),
    //: Glossary: CiA 402 state name. Chinese: 准备接通
    QT_TRANSLATE_NOOP("Glossary", "Ready to switch on"),
    //: Glossary: CiA 402 state name. Chinese: 已接通
    QT_TRANSLATE_NOOP("Glossary", "Switched on"),
    //: Glossary: CiA 402 state name. Chinese: 运行使能
    QT_TRANSLATE_NOOP("Glossary", "Operation enabled"),
    //: Glossary: CiA 402 state name. Chinese: 快速停止有效
    QT_TRANSLATE_NOOP("Glossary", "Quick stop active"),
    //: Glossary: CiA 402 state name. Chinese: 故障反应有效
    QT_TRANSLATE_NOOP("Glossary", "Fault reaction active"),
    //: Glossary: CiA 402 state name. Chinese: 故障
    QT_TRANSLATE_NOOP("Glossary", "Fault"),
    //: Glossary: CiA 402 state name. Chinese: 未准备好接通
    QT_TRANSLATE_NOOP("Glossary", "Not ready to switch on"),
};
