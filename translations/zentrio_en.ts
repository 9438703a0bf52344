<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>BusDiagnostics</name>
    <message>
        <location filename="../console/busdiagnostics.ui" line="+14"/>
        <source>Bus diagnostics</source>
        <translation>Bus diagnostics</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>Slave</source>
        <translation>Slave</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Address</source>
        <translation>Address</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>State</source>
        <translation>State</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>AL status</source>
        <translation>AL status</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Invalid frames (port 0/1/2/3)</source>
        <translation>Invalid frames (port 0/1/2/3)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>RX errors</source>
        <translation>RX errors</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Forwarded errors</source>
        <translation>Forwarded errors</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Lost links</source>
        <translation>Lost links</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Processing errors</source>
        <translation>Processing errors</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>DC difference (ns)</source>
        <translation>DC difference (ns)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Supervision misses</source>
        <translation>Supervision misses</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Bus</source>
        <translation>Bus</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Cycles</source>
        <translation>Cycles</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+2"/>
        <location line="+2"/>
        <location line="+2"/>
        <location line="+2"/>
        <location line="+2"/>
        <source>-</source>
        <translation>-</translation>
    </message>
    <message>
        <location line="-9"/>
        <source>Skipped cycles</source>
        <translation>Skipped cycles</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Working-counter misses</source>
        <translation>Working-counter misses</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Working-counter misses, last minute</source>
        <translation>Working-counter misses, last minute</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Frames resent</source>
        <translation>Frames resent</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Frames lost</source>
        <translation>Frames lost</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Supervision events</source>
        <translation>Supervision events</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Reset counters</source>
        <translation>Reset counters</translation>
    </message>
    <message>
        <location filename="../console/busdiagnostics.cpp" line="+42"/>
        <source>no answer</source>
        <translation>no answer</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>reference</source>
        <translation>reference</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>no DC</source>
        <translation>no DC</translation>
    </message>
    <message>
        <location line="+76"/>
        <source>%1  slave %2 %3</source>
        <translation>%1  slave %2 %3</translation>
    </message>
</context>
<context>
    <name>BusSession</name>
    <message>
        <location filename="../ethercat/bussession.cpp" line="+68"/>
        <source>电机状态异常，请重新上电！</source>
        <translation>Drive state abnormal, please power the drives up again!</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>[Init] Initialization on %1 failed.</source>
        <translation>[Init] Initialization on %1 failed.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>[Init] No slaves found!</source>
        <translation>[Init] No slaves found!</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>[Init] %1 slaves found!</source>
        <translation>[Init] %1 slaves found!</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>[Init] Bus refused: more than %1 slaves.</source>
        <translation>[Init] Bus refused: more than %1 slaves.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>[Init] Bus refused: process image of %1 bytes exceeds the %2-byte buffer.</source>
        <translation>[Init] Bus refused: process image of %1 bytes exceeds the %2-byte buffer.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>EC_STATE_PRE_OP error</source>
        <translation>EC_STATE_PRE_OP error</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>[Init] DC configured failed.</source>
        <translation>[Init] DC configured failed.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>[Init] 没有有效从站.</source>
        <translation>[Init] No valid slaves.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>[Init] %1 slaves valid!</source>
        <translation>[Init] %1 slaves valid!</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>EC_STATE_SAFE_OP error</source>
        <translation>EC_STATE_SAFE_OP error</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>EC_STATE_OPERATIONAL error</source>
        <translation>EC_STATE_OPERATIONAL error</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>[Init] Cycle timer could not be started.</source>
        <translation>[Init] Cycle timer could not be started.</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Communication error</source>
        <translation>Communication error</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>[Init] Slave %1 is no drive (%2 output / %3 input bytes), left alone.</source>
        <translation>[Init] Slave %1 is no drive (%2 output / %3 input bytes), left alone.</translation>
    </message>
    <message>
        <location line="+50"/>
        <source>[EtherCAT Error] Slave %1 State=0x%2 StatusCode=0x%3 : %4
</source>
        <translation>[EtherCAT Error] Slave %1 State=0x%2 StatusCode=0x%3 : %4
</translation>
    </message>
    <message>
        <location line="+61"/>
        <source>Capturing bus traffic to %1</source>
        <translation>Capturing bus traffic to %1</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>Capture ended: %1 frames, %2 dropped%3</source>
        <translation>Capture ended: %1 frames, %2 dropped%3</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>, file incomplete</source>
        <translation>, file incomplete</translation>
    </message>
</context>
<context>
    <name>Cia402State</name>
    <message>
        <location filename="../model/cia402.cpp" line="+73"/>
        <source>Not ready to switch on</source>
        <translation>Not ready to switch on</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Switch on disabled</source>
        <translation>Switch on disabled</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Ready to switch on</source>
        <translation>Ready to switch on</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Switched on</source>
        <translation>Switched on</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Operation enabled</source>
        <translation>Operation enabled</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Quick stop active</source>
        <translation>Quick stop active</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Fault reaction active</source>
        <translation>Fault reaction active</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Fault</source>
        <translation>Fault</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Unknown</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>初始化</source>
        <translation>Not ready to switch on</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>初始化完成</source>
        <translation>Switch on disabled</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>伺服准备好</source>
        <translation>Ready to switch on</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>伺服等待</source>
        <translation>Switched on</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>伺服运行</source>
        <translation>Operation enabled</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>急停</source>
        <translation>Quick stop active</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>故障停机</source>
        <translation>Fault reaction active</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>故障</source>
        <translation>Fault</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>未知状态</source>
        <translation>Unknown state</translation>
    </message>
</context>
<context>
    <name>Cia402Walks</name>
    <message>
        <location filename="../ethercat/cia402walks.cpp" line="+44"/>
        <location line="+10"/>
        <source>Fail: null ptr warnning</source>
        <translation>Fail: null ptr warnning</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>当前状态:%1无法Enable</source>
        <translation>Current state: %1, cannot Enable</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Enable of slave %1 stopped by STOP.</source>
        <translation>Enable of slave %1 stopped by STOP.</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>当前状态:%1无法Disable</source>
        <translation>Current state: %1, cannot Disable</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>Not connected, cannot Enable!</source>
        <translation>Not connected, cannot Enable!</translation>
    </message>
    <message>
        <location line="+60"/>
        <location line="+10"/>
        <source>Is in enable, cannot enable!</source>
        <translation>Is in enable, cannot enable!</translation>
    </message>
    <message>
        <location line="+17"/>
        <location line="+11"/>
        <source>Not in enable, cannot Disable!</source>
        <translation>Not in enable, cannot Disable!</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>Not connected, cannot reset a fault!</source>
        <translation>Not connected, cannot reset a fault!</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>当前状态:%1无需复位</source>
        <translation>Current state: %1, no reset needed</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Drive %1 did not end its fault reaction.</source>
        <translation>Drive %1 did not end its fault reaction.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Fault reset of drive %1 stopped by STOP.</source>
        <translation>Fault reset of drive %1 stopped by STOP.</translation>
    </message>
</context>
<context>
    <name>CycleExchange</name>
    <message>
        <location filename="../ethercat/cycleexchange.cpp" line="+35"/>
        <source>struct null ptr warnning.</source>
        <translation>struct null ptr warnning.</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+34"/>
        <source>Fail: null ptr warnning</source>
        <translation>Fail: null ptr warnning</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>error with set parameter: %1</source>
        <translation>error with set parameter: %1</translation>
    </message>
</context>
<context>
    <name>DriveMailbox</name>
    <message>
        <location filename="../ethercat/drivemailbox.cpp" line="+67"/>
        <source>no drive %1</source>
        <translation>no drive %1</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Attempt to write a read-only object at index 0x%1</source>
        <translation>Attempt to write a read-only object at index 0x%1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>read-only</source>
        <translation>read-only</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>SDO %1 failed for index 0x%2 subindex 0x%3: %4</source>
        <translation>SDO %1 failed for index 0x%2 subindex 0x%3: %4</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>write</source>
        <translation>write</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>read</source>
        <translation>read</translation>
    </message>
    <message>
        <location line="+29"/>
        <location line="+9"/>
        <location line="+9"/>
        <location line="+18"/>
        <location line="+16"/>
        <location line="+25"/>
        <source>Error: no Connect!</source>
        <translation>Error: no Connect!</translation>
    </message>
    <message>
        <location line="-53"/>
        <source>Error: SDO name not found!</source>
        <translation>Error: SDO name not found!</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Slave %1 is taking a firmware download; no parameter transfer.</source>
        <translation>Slave %1 is taking a firmware download; no parameter transfer.</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Firmware file &quot;%1&quot; has %2 bytes, more than the %3 a drive takes.</source>
        <translation>Firmware file &quot;%1&quot; has %2 bytes, more than the %3 a drive takes.</translation>
    </message>
    <message>
        <location line="+29"/>
        <location line="+35"/>
        <source>Request init state for slave %1</source>
        <translation>Request init state for slave %1</translation>
    </message>
    <message>
        <location line="-31"/>
        <source>Slave %1 state to INIT.</source>
        <translation>Slave %1 state to INIT.</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Request BOOT state for slave %1.</source>
        <translation>Request BOOT state for slave %1.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Slave %1 state to BOOT.</source>
        <translation>Slave %1 state to BOOT.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>FoE read Fail!</source>
        <translation>FoE read Fail!</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>File &quot;%1&quot; load OK, %2 bytes.</source>
        <translation>File &quot;%1&quot; load OK, %2 bytes.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>FoE write....</source>
        <translation>FoE write....</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>FOE result: %1.</source>
        <translation>FOE result: %1.</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>Cannot open file: %1</source>
        <translation>Cannot open file: %1</translation>
    </message>
    <message>
        <location filename="../ethercat/drivemailbox_dictionary.cpp" line="+59"/>
        <source>no usable reply</source>
        <translation>no usable reply</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Object dictionary: no drive %1 on the bus.</source>
        <translation>Object dictionary: no drive %1 on the bus.</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Object dictionary of drive %1: %2 failed: %3</source>
        <translation>Object dictionary of drive %1: %2 failed: %3</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Object dictionary of drive %1: reading stopped.</source>
        <translation>Object dictionary of drive %1: reading stopped.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>the object list</source>
        <translation>the object list</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>an object description</source>
        <translation>an object description</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Object dictionary of drive %1: an entry description failed: %2</source>
        <translation>Object dictionary of drive %1: an entry description failed: %2</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>%1 %2 of drive %3 failed: %4</source>
        <translation>%1 %2 of drive %3 failed: %4</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Read</source>
        <translation>Read</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Write</source>
        <translation>Write</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Wrote %1 of drive %2: %3</source>
        <translation>Wrote %1 of drive %2: %3</translation>
    </message>
</context>
<context>
    <name>DriveOverview</name>
    <message>
        <location filename="../console/driveoverview.ui" line="+14"/>
        <source>Drive overview</source>
        <translation>Drive overview</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>双击一行选择该电机；右键菜单复位故障或复制该行；Esc 急停</source>
        <translation>Double-click a row to select that drive; reset a fault or copy the row from the context menu; Esc for STOP</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>Drive</source>
        <translation>Drive</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Slave</source>
        <translation>Slave</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>State</source>
        <translation>State</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Mode</source>
        <translation>Mode</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Position (turn)</source>
        <translation>Position (turn)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Velocity (turn/s)</source>
        <translation>Velocity (turn/s)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Torque (Nm)</source>
        <translation>Torque (Nm)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Bus voltage</source>
        <translation>Bus voltage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU (℃)</source>
        <translation>MCU (℃)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS (℃)</source>
        <translation>MOS (℃)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Motor (℃)</source>
        <translation>Motor (℃)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>ErrorWord</source>
        <translation>ErrorWord</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>DrvErrorWord</source>
        <translation>DrvErrorWord</translation>
    </message>
    <message>
        <location filename="../console/driveoverview.cpp" line="+147"/>
        <source>Reset fault</source>
        <translation>Reset fault</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Copy row</source>
        <translation>Copy row</translation>
    </message>
</context>
<context>
    <name>FactoryWindow</name>
    <message>
        <location filename="../factory/factorywindow.ui" line="+14"/>
        <source>Zentrio</source>
        <translation>Zentrio</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>校准</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>辨识</source>
        <translation>Identification</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>标定</source>
        <translation>Scaling</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>入库</source>
        <translation>Stock-in</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>单腿</source>
        <translation>Single leg</translation>
    </message>
    <message>
        <location line="+38"/>
        <location line="+19"/>
        <source>Connect</source>
        <translation>Connect</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>Upgrade</source>
        <translation>Upgrade</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+3"/>
        <source>Dock Log</source>
        <translation>Dock Log</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+3"/>
        <source>Full Screen</source>
        <translation>Full Screen</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+3"/>
        <source>Normal Screen</source>
        <translation>Normal Screen</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+3"/>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <location filename="../factory/factorywindow.cpp" line="+11"/>
        <source>外观测试
PASS</source>
        <translation>Appearance test
PASS</translation>
    </message>
</context>
<context>
    <name>Glossary</name>
    <message>
        <location filename="glossary.cpp" line="+48"/>
        <source>drive</source>
        <extracomment>Glossary: the numbered servo joint drive on the bus (drive %1), counted from 0 in the console; in physical quantities 电机 means motor. Chinese: 电机</extracomment>
        <translation>drive</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>motor</source>
        <extracomment>Glossary: the motor itself in physical quantities (电机过温 motor overtemperature, 电机相电阻 motor phase resistance). Chinese: 电机</extracomment>
        <translation>motor</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>slave</source>
        <extracomment>Glossary: an EtherCAT bus position, counted from 1. Chinese: 从站</extracomment>
        <translation>slave</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>enable</source>
        <extracomment>Glossary: switch a drive on to Operation enabled (button: Enable); 使能 in compound words. Chinese: 上使能</extracomment>
        <translation>enable</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>disable</source>
        <extracomment>Glossary: switch a drive off from Operation enabled (button: Disable). Chinese: 下使能</extracomment>
        <translation>disable</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>fault</source>
        <extracomment>Glossary: a drive fault. Chinese: 故障</extracomment>
        <translation>fault</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Reset fault</source>
        <extracomment>Glossary: the command that clears a drive fault. Chinese: 复位故障</extracomment>
        <translation>Reset fault</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>STOP</source>
        <extracomment>Glossary: the console&apos;s stop button for all drives; it sends quick stop. Chinese: 急停</extracomment>
        <translation>STOP</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>quick stop</source>
        <extracomment>Glossary: the CiA 402 quick stop command. Chinese: 快速停止</extracomment>
        <translation>quick stop</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>parameter</source>
        <extracomment>Glossary: a drive parameter (object 0x6101). Chinese: 参数</extracomment>
        <translation>parameter</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>parameter set</source>
        <extracomment>Glossary: a file holding parameter values. Chinese: 参数集</extracomment>
        <translation>parameter set</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Read</source>
        <extracomment>Glossary: read values from a drive. Chinese: 读取</extracomment>
        <translation>Read</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Write</source>
        <extracomment>Glossary: write values to a drive. Chinese: 写入</extracomment>
        <translation>Write</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>product batch number</source>
        <extracomment>Glossary: the drive&apos;s batch number; 产品批次 means the same and is not used. Chinese: 产品批号</extracomment>
        <translation>product batch number</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>product type</source>
        <extracomment>Glossary: the drive&apos;s product type, e.g. QJ30. Chinese: 产品类型</extracomment>
        <translation>product type</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>software version</source>
        <extracomment>Glossary: the drive&apos;s software version, major.minor.patch. Chinese: 软件版本</extracomment>
        <translation>software version</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>object dictionary</source>
        <extracomment>Glossary: the CoE object dictionary of a drive. Chinese: 对象字典</extracomment>
        <translation>object dictionary</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>firmware</source>
        <extracomment>Glossary: the drive&apos;s firmware. Chinese: 固件</extracomment>
        <translation>firmware</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>firmware upgrade</source>
        <extracomment>Glossary: loading new firmware into a drive (FoE). Chinese: 固件升级</extracomment>
        <translation>firmware upgrade</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>bus</source>
        <extracomment>Glossary: the EtherCAT bus. Chinese: 总线</extracomment>
        <translation>bus</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Connect</source>
        <extracomment>Glossary: bring the bus up. Chinese: 连接</extracomment>
        <translation>Connect</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Disconnect</source>
        <extracomment>Glossary: take the bus down. Chinese: 断开</extracomment>
        <translation>Disconnect</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Connected</source>
        <extracomment>Glossary: the bus is up. Chinese: 已连接</extracomment>
        <translation>Connected</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Not connected</source>
        <extracomment>Glossary: the bus is down. Chinese: 未连接</extracomment>
        <translation>Not connected</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>adapter</source>
        <extracomment>Glossary: the Ethernet adapter the bus runs on. Chinese: 网卡</extracomment>
        <translation>adapter</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>log</source>
        <extracomment>Glossary: the log pane and the running log file. Chinese: 日志</extracomment>
        <translation>log</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>calibration</source>
        <extracomment>Glossary: calibrating a drive (verb: calibrate). Chinese: 校准</extracomment>
        <translation>calibration</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>identification</source>
        <extracomment>Glossary: identifying a drive&apos;s motor parameters (verb: identify). Chinese: 辨识</extracomment>
        <translation>identification</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>multi-joint test</source>
        <extracomment>Glossary: the test that runs several joints together. Chinese: 多关节测试</extracomment>
        <translation>multi-joint test</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>three-joint communication</source>
        <extracomment>Glossary: the communication test with three joints. Chinese: 三关节通讯</extracomment>
        <translation>three-joint communication</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>round trip</source>
        <extracomment>Glossary: a motion out and back. Chinese: 往返</extracomment>
        <translation>round trip</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>status word</source>
        <extracomment>Glossary: the CiA 402 status word (0x6041). Chinese: 状态字</extracomment>
        <translation>status word</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>control word</source>
        <extracomment>Glossary: the CiA 402 control word (0x6040). Chinese: 控制字</extracomment>
        <translation>control word</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>error word</source>
        <extracomment>Glossary: the drive&apos;s error word; ErrorWord/DrvErrorWord stay as they are when used as field names. Chinese: 错误字</extracomment>
        <translation>error word</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>working counter</source>
        <extracomment>Glossary: the EtherCAT working counter. Chinese: 工作计数器</extracomment>
        <translation>working counter</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>emergency (EMCY)</source>
        <extracomment>Glossary: a CoE emergency message. Chinese: 紧急报文</extracomment>
        <translation>emergency (EMCY)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>supervision</source>
        <extracomment>Glossary: the master&apos;s watch over the slaves while the bus runs. Chinese: 监控</extracomment>
        <translation>supervision</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>diagnostics</source>
        <extracomment>Glossary: bus diagnostics: counters, events. Chinese: 诊断</extracomment>
        <translation>diagnostics</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>torque</source>
        <extracomment>Glossary: torque; parameter names keep their own wording (力矩比例 etc.). Chinese: 转矩</extracomment>
        <translation>torque</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>velocity</source>
        <extracomment>Glossary: velocity. Chinese: 速度</extracomment>
        <translation>Velocity</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>position</source>
        <extracomment>Glossary: position. Chinese: 位置</extracomment>
        <translation>position</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>mode</source>
        <extracomment>Glossary: mode of operation. Chinese: 模式</extracomment>
        <translation>mode</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>setpoint</source>
        <extracomment>Glossary: a setpoint sent to a drive. Chinese: 设定值</extracomment>
        <translation>setpoint</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Switch on disabled</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 接通禁止</extracomment>
        <translation>Switch on disabled</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Ready to switch on</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 准备接通</extracomment>
        <translation>Ready to switch on</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Switched on</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 已接通</extracomment>
        <translation>Switched on</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Operation enabled</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 运行使能</extracomment>
        <translation>Operation enabled</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Quick stop active</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 快速停止有效</extracomment>
        <translation>Quick stop active</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Fault reaction active</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 故障反应有效</extracomment>
        <translation>Fault reaction active</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Fault</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 故障</extracomment>
        <translation>Fault</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Not ready to switch on</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 未准备好接通</extracomment>
        <translation>Not ready to switch on</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../console/mainwindow.ui" line="+14"/>
        <source>Zentrio</source>
        <translation>Zentrio</translation>
    </message>
    <message>
        <location line="+53"/>
        <source>Dismiss</source>
        <translation>Dismiss</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>✕</source>
        <translation>✕</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Para</source>
        <translation>Para</translation>
    </message>
    <message>
        <location line="+42"/>
        <location line="+103"/>
        <source>Freeze the view; points are still recorded</source>
        <translation>Freeze the view; points are still recorded</translation>
    </message>
    <message>
        <location line="-97"/>
        <location line="+103"/>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <location line="-96"/>
        <location line="+103"/>
        <source>Fit both axes to the data</source>
        <translation>Fit both axes to the data</translation>
    </message>
    <message>
        <location line="-100"/>
        <location line="+103"/>
        <source>Fit</source>
        <translation>Fit</translation>
    </message>
    <message>
        <location line="-96"/>
        <location line="+103"/>
        <source>Save the visible curves as CSV, or the plot as PNG or PDF</source>
        <translation>Save the visible curves as CSV, or the plot as PNG or PDF</translation>
    </message>
    <message>
        <location line="-100"/>
        <location line="+103"/>
        <location line="+1296"/>
        <source>Export…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <location line="-1386"/>
        <location line="+103"/>
        <location line="+490"/>
        <source>Clear</source>
        <translation>Clear</translation>
    </message>
    <message>
        <location line="-583"/>
        <location line="+103"/>
        <location filename="../console/mainwindow.h" line="+93"/>
        <source>Start Plot</source>
        <translation>Start Plot</translation>
    </message>
    <message>
        <location line="-91"/>
        <source>Temp</source>
        <translation>Temp</translation>
    </message>
    <message>
        <location line="+112"/>
        <source>电机状态</source>
        <translation>Drive status</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Torque:</source>
        <translation>Torque:</translation>
    </message>
    <message>
        <location line="+13"/>
        <location line="+696"/>
        <source> Nm</source>
        <translation> Nm</translation>
    </message>
    <message>
        <location line="-673"/>
        <source>Position:</source>
        <translation>Position:</translation>
    </message>
    <message>
        <location line="+13"/>
        <location line="+729"/>
        <source>turn</source>
        <translation>turn</translation>
    </message>
    <message>
        <location line="-706"/>
        <source>Velocity:</source>
        <translation>Velocity:</translation>
    </message>
    <message>
        <location line="+13"/>
        <location line="+762"/>
        <source>turn/s</source>
        <translation>turn/s</translation>
    </message>
    <message>
        <location line="-735"/>
        <location line="+439"/>
        <source>Mode:</source>
        <translation>Mode:</translation>
    </message>
    <message>
        <location line="-403"/>
        <source>State:</source>
        <translation>State:</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>CiA 402 state of the status word</source>
        <translation>CiA 402 state of the status word</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>—</source>
        <translation>—</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Bus Voltage:</source>
        <translation>Bus Voltage:</translation>
    </message>
    <message>
        <location line="+13"/>
        <source> V</source>
        <translation> V</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>Motor Temp:</source>
        <translation>Motor Temp:</translation>
    </message>
    <message>
        <location line="+13"/>
        <location line="+36"/>
        <location line="+36"/>
        <source> ℃</source>
        <translation> ℃</translation>
    </message>
    <message>
        <location line="-49"/>
        <source>MOS Temp:</source>
        <translation>MOS Temp:</translation>
    </message>
    <message>
        <location line="+36"/>
        <source>MCU Temp:</source>
        <translation>MCU Temp:</translation>
    </message>
    <message>
        <location line="+78"/>
        <source>日志信息</source>
        <translation>Log</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;This is the main text browser. Received messages and notification will be displayed here.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;This is the main text browser. Received messages and notification will be displayed here.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Save File</source>
        <translation>Save File</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Clear text window&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Clear text window&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>FWUpgrade</source>
        <translation>FWUpgrade</translation>
    </message>
    <message>
        <location line="+16"/>
        <location filename="../console/mainwindow.h" line="-14"/>
        <source>Connect</source>
        <translation>Connect</translation>
    </message>
    <message>
        <location line="+16"/>
        <location filename="../console/mainwindow.h" line="+4"/>
        <source>Enable</source>
        <translation>Enable</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>急停 (Esc)：停止当前电机，多关节测试时停止所有电机</source>
        <translation>STOP (Esc): stops the operated drive; during the multi-joint test, every drive</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>STOP</source>
        <translation>STOP</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>电机数量:0</source>
        <translation>Drives: 0</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>操控电机</source>
        <translation>Operated drive</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>转速爬升</source>
        <translation>Velocity ramp</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>轮廓位置</source>
        <translation>Profile position</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>力位混合</source>
        <translation>Hybrid force-position</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>正弦曲线</source>
        <translation>Sine curve</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>转矩爬升</source>
        <translation>Torque ramp</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>转矩标定</source>
        <translation>Torque calibration</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>电机编号:</source>
        <translation>Motor number:</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>PDO</source>
        <translation>PDO</translation>
    </message>
    <message>
        <location line="+73"/>
        <location filename="../console/mainwindow_plots.cpp" line="+71"/>
        <source>Torque</source>
        <translation>Torque</translation>
    </message>
    <message>
        <location line="+29"/>
        <location line="+69"/>
        <location line="+69"/>
        <location line="+66"/>
        <location line="+66"/>
        <source>Set</source>
        <translation>Set</translation>
    </message>
    <message>
        <location line="-236"/>
        <location filename="../console/mainwindow_plots.cpp" line="+3"/>
        <source>Position</source>
        <translation>Position</translation>
    </message>
    <message>
        <location line="+69"/>
        <source>velocity</source>
        <translation>Velocity</translation>
    </message>
    <message>
        <location line="+69"/>
        <source>Kp</source>
        <translation>Kp</translation>
    </message>
    <message>
        <location line="+66"/>
        <source>Kd</source>
        <translation>Kd</translation>
    </message>
    <message>
        <location line="+66"/>
        <source>SDO</source>
        <translation>SDO</translation>
    </message>
    <message>
        <location line="+45"/>
        <source>产品类型</source>
        <translation>Product type</translation>
    </message>
    <message>
        <location line="+10"/>
        <location line="+37"/>
        <location line="+52"/>
        <location filename="../console/mainwindow_params.cpp" line="+120"/>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <location line="-79"/>
        <location line="+37"/>
        <location line="+52"/>
        <location filename="../console/mainwindow_params.cpp" line="+2"/>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <location line="-76"/>
        <source>产品批号</source>
        <translation>Product batch number</translation>
    </message>
    <message>
        <location line="+52"/>
        <source>软件版本</source>
        <translation>Software version</translation>
    </message>
    <message>
        <location line="+38"/>
        <location filename="../console/mainwindow_params.cpp" line="-83"/>
        <source>Read ALL</source>
        <translation>Read ALL</translation>
    </message>
    <message>
        <location line="+7"/>
        <location filename="../console/mainwindow_params.cpp" line="-1"/>
        <source>Write ALL</source>
        <translation>Write ALL</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Write every parameter of the drive to a YAML file</source>
        <translation>Write every parameter of the drive to a YAML file</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Compare a parameter file with the drive and write the rows you tick</source>
        <translation>Compare a parameter file with the drive and write the rows you tick</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Import…</source>
        <translation>Import…</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Show the parameters of two drives, or a drive and a file, side by side</source>
        <translation>Show the parameters of two drives, or a drive and a file, side by side</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Compare drives…</source>
        <translation>Compare drives…</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>RoundTrip</source>
        <translation>RoundTrip</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>&lt;!DOCTYPE HTML PUBLIC &quot;-//W3C//DTD HTML 4.0//EN&quot; &quot;http://www.w3.org/TR/REC-html40/strict.dtd&quot;&gt;
&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;meta charset=&quot;utf-8&quot; /&gt;&lt;style type=&quot;text/css&quot;&gt;
p, li { white-space: pre-wrap; }
hr { height: 1px; border-width: 0; }
li.unchecked::marker { content: &quot;\2610&quot;; }
li.checked::marker { content: &quot;\2612&quot;; }
&lt;/style&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;Microsoft YaHei UI&apos;; font-size:9pt; font-weight:400; font-style:normal;&quot;&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;位置环测试请先选择&lt;span style=&quot; font-weight:700; color:#ff557f;&quot;&gt;轮廓位置&lt;/span&gt;模式！&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;速度环测试请先选择&lt;span style=&quot; font-weight:700; color:#ff557f;&quot;&gt;转速爬升&lt;/span&gt;模式！&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;电流环测试请先选择&lt;span style=&quot; font-weight:700; color:#ff557f;&quot;&gt;转矩爬升&lt;/span&gt;模式！&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;!DOCTYPE HTML PUBLIC &quot;-//W3C//DTD HTML 4.0//EN&quot; &quot;http://www.w3.org/TR/REC-html40/strict.dtd&quot;&gt;
&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;meta charset=&quot;utf-8&quot; /&gt;&lt;style type=&quot;text/css&quot;&gt;
p, li { white-space: pre-wrap; }
hr { height: 1px; border-width: 0; }
li.unchecked::marker { content: &quot;\2610&quot;; }
li.checked::marker { content: &quot;\2612&quot;; }
&lt;/style&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;Microsoft YaHei UI&apos;; font-size:9pt; font-weight:400; font-style:normal;&quot;&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;For the position loop test, select the &lt;span style=&quot; font-weight:700; color:#ff557f;&quot;&gt;Profile position&lt;/span&gt; mode first!&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;For the velocity loop test, select the &lt;span style=&quot; font-weight:700; color:#ff557f;&quot;&gt;Velocity ramp&lt;/span&gt; mode first!&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;For the current loop test, select the &lt;span style=&quot; font-weight:700; color:#ff557f;&quot;&gt;Torque ramp&lt;/span&gt; mode first!&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>运动总时间 (s)</source>
        <translation>Total motion time (s)</translation>
    </message>
    <message>
        <location line="+20"/>
        <location filename="../console/mainwindow_pages.cpp" line="+79"/>
        <source>速度环往返参数 (turn/s)</source>
        <translation>Velocity loop round-trip setpoints (turn/s)</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>往返运动间隔时间 (s)</source>
        <translation>Round-trip interval (s)</translation>
    </message>
    <message>
        <location line="+36"/>
        <location line="+231"/>
        <location filename="../console/mainwindow.h" line="+4"/>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <location line="-195"/>
        <source>校准辨识</source>
        <translation>Calibration and identification</translation>
    </message>
    <message>
        <location line="+12"/>
        <location filename="../console/mainwindow.cpp" line="+146"/>
        <source>当前状态：</source>
        <translation>Status:</translation>
    </message>
    <message>
        <location line="+7"/>
        <location filename="../console/mainwindow.h" line="+2"/>
        <source>开始校准</source>
        <translation>Start calibration</translation>
    </message>
    <message>
        <location line="+7"/>
        <location filename="../console/mainwindow.h" line="+2"/>
        <source>开始辨识</source>
        <translation>Start identification</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>提示1：校准模式需要退出Enable状态</source>
        <translation>Note 1: calibration requires leaving the Enable state</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>提示1：辨识模式需要进入Enable模式</source>
        <translation>Note 1: identification requires the Enable state</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>提示2：校准时无法点击其他按钮</source>
        <translation>Note 2: no other button can be clicked during calibration</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>提示2：辨识结束后将自动退出Enable</source>
        <translation>Note 2: the drive leaves Enable by itself when identification ends</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>提示3：辨识时无法点击其他按钮</source>
        <translation>Note 3: no other button can be clicked during identification</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>三关节通讯</source>
        <translation>Three-joint communication</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>&lt;!DOCTYPE HTML PUBLIC &quot;-//W3C//DTD HTML 4.0//EN&quot; &quot;http://www.w3.org/TR/REC-html40/strict.dtd&quot;&gt;
&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;meta charset=&quot;utf-8&quot; /&gt;&lt;style type=&quot;text/css&quot;&gt;
p, li { white-space: pre-wrap; }
hr { height: 1px; border-width: 0; }
li.unchecked::marker { content: &quot;\2610&quot;; }
li.checked::marker { content: &quot;\2612&quot;; }
&lt;/style&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;Microsoft YaHei UI&apos;; font-size:9pt; font-weight:400; font-style:normal;&quot;&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;请先进入Enable&lt;br /&gt;开始测试后会自动切换为转速爬升模式。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;!DOCTYPE HTML PUBLIC &quot;-//W3C//DTD HTML 4.0//EN&quot; &quot;http://www.w3.org/TR/REC-html40/strict.dtd&quot;&gt;
&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;meta charset=&quot;utf-8&quot; /&gt;&lt;style type=&quot;text/css&quot;&gt;
p, li { white-space: pre-wrap; }
hr { height: 1px; border-width: 0; }
li.unchecked::marker { content: &quot;\2610&quot;; }
li.checked::marker { content: &quot;\2612&quot;; }
&lt;/style&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;Microsoft YaHei UI&apos;; font-size:9pt; font-weight:400; font-style:normal;&quot;&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;Enable first.&lt;br /&gt;Once the test starts, the mode switches to Velocity ramp by itself.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>当前级联个数</source>
        <translation>Drives in the chain</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>测试转速</source>
        <translation>Test velocity</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>1  turn/s</source>
        <translation>1  turn/s</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>EnbleAll</source>
        <translation>EnbleAll</translation>
    </message>
    <message>
        <location line="+59"/>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Drive</source>
        <translation>Drive</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Tools</source>
        <translation>Tools</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message>
        <location line="+15"/>
        <location filename="../console/mainwindow.cpp" line="-68"/>
        <location filename="../console/mainwindow_faults.cpp" line="+188"/>
        <source>Capture bus traffic…</source>
        <translation>Capture bus traffic…</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Object dictionary</source>
        <translation>Object dictionary</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Scope</source>
        <translation>Scope</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Bus diagnostics</source>
        <translation>Bus diagnostics</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Drive overview</source>
        <translation>Drive overview</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Reset fault</source>
        <translation>Reset fault</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Reset faults of all drives</source>
        <translation>Reset faults of all drives</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Upgrade</source>
        <translation>Upgrade</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+3"/>
        <source>Dock Log</source>
        <translation>Dock Log</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+3"/>
        <source>Full Screen</source>
        <translation>Full Screen</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+3"/>
        <source>Normal Screen</source>
        <translation>Normal Screen</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Takes effect at the next start</source>
        <translation>Takes effect at the next start</translation>
    </message>
    <message>
        <location line="+30"/>
        <location line="+3"/>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <location filename="../console/mainwindow.cpp" line="-21"/>
        <source>未连接</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>已连接</source>
        <translation>Connected</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>上使能</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>测试中</source>
        <translation>Testing</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unknow</source>
        <translation>Unknow</translation>
    </message>
    <message>
        <location line="+12"/>
        <location filename="../console/mainwindow_faults.cpp" line="+20"/>
        <source>Stop capture</source>
        <translation>Stop capture</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>&gt;&gt;&gt; File &quot;state_config.yaml&quot; Load OK</source>
        <translation>&gt;&gt;&gt; File &quot;state_config.yaml&quot; Load OK</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&gt;&gt;&gt; File &quot;state_config.yaml&quot; Load FAIL!</source>
        <translation>&gt;&gt;&gt; File &quot;state_config.yaml&quot; Load FAIL!</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Results and saved logs go to %1</source>
        <translation>Results and saved logs go to %1</translation>
    </message>
    <message>
        <location line="+44"/>
        <location line="+233"/>
        <location line="+78"/>
        <source>电机数量:%1</source>
        <translation>Drives: %1</translation>
    </message>
    <message>
        <location line="-240"/>
        <location line="+227"/>
        <source>Disconnect Success.</source>
        <translation>Disconnect Success.</translation>
    </message>
    <message>
        <location line="-125"/>
        <source>Connect Fail</source>
        <translation>Connect Fail</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Please exit the motor mode first！</source>
        <translation>Please exit the motor mode first!</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Connect Fail.</source>
        <translation>Connect Fail.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Connect Success.</source>
        <translation>Connect Success.</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>currentMotorIndex.%1</source>
        <translation>currentMotorIndex.%1</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Drive %1 (slave %2)</source>
        <translation>Drive %1 (slave %2)</translation>
    </message>
    <message>
        <location line="+67"/>
        <source>当前正在上使能或下使能，请等待其完成</source>
        <translation>An enable or disable is under way; wait for it to finish</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>当前处于%1，请进入%2状态</source>
        <translation>The console is in state %1; go to state %2 first</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>当前处于%1，请退回%2状态</source>
        <translation>The console is in state %1; go back to state %2 first</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>A slave was lost, the bus is disconnected.</source>
        <translation>A slave was lost, the bus is disconnected.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Slave %1 lost, the bus is disconnected: %2</source>
        <translation>Slave %1 lost, the bus is disconnected: %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>no reason recorded</source>
        <translation>no reason recorded</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_faults.cpp" line="-144"/>
        <source>电机%1: 产品类型 %2, 软件版本 %3</source>
        <translation>Drive %1: product type %2, software version %3</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+1"/>
        <source>未知</source>
        <translation>unknown</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>电机%1故障: %2</source>
        <translation>Drive %1 fault: %2</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>, DrvErrorWord %1</source>
        <translation>, DrvErrorWord %1</translation>
    </message>
    <message>
        <location line="+79"/>
        <location line="+4"/>
        <location line="+8"/>
        <source>Capture bus traffic</source>
        <translation>Capture bus traffic</translation>
    </message>
    <message>
        <location line="-12"/>
        <source>Connect the bus first.</source>
        <translation>Connect the bus first.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>pcapng (*.pcapng)</source>
        <translation>pcapng (*.pcapng)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>%1 cannot be written.</source>
        <translation>%1 cannot be written.</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>电机%1: %2, ErrorWord %3, DrvErrorWord %4</source>
        <translation>Drive %1: %2, ErrorWord %3, DrvErrorWord %4</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>电机%1未处于故障状态，无需复位</source>
        <translation>Drive %1 is not in fault; no reset needed</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>没有处于故障状态的电机</source>
        <translation>No drive is in fault</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>电机%1故障复位失败</source>
        <translation>Fault reset of drive %1 failed</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>电机%1故障已复位</source>
        <translation>Fault of drive %1 reset</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_firmware.cpp" line="+29"/>
        <source>选择固件文件</source>
        <translation>Select firmware file</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>固件文件 (*.efw *.bin)</source>
        <translation>Firmware files (*.efw *.bin)</translation>
    </message>
    <message>
        <location line="+10"/>
        <location filename="../console/mainwindow_plots.cpp" line="+32"/>
        <source>ERROR</source>
        <translation>ERROR</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>输入错误</source>
        <translation>Invalid input</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>unknown (the read failed)</source>
        <translation>unknown (the read failed)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Firmware download</source>
        <translation>Firmware download</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Download %1 into drive %2 (slave %3), now running version %4?
The bus is taken down afterwards; connect again when it is done.</source>
        <translation>Download %1 into drive %2 (slave %3), now running version %4?
The bus is taken down afterwards; connect again when it is done.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Firmware download into drive %1 (slave %2) cancelled.</source>
        <translation>Firmware download into drive %1 (slave %2) cancelled.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>正在更新...</source>
        <translation>Updating...</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>The drive has left OPERATIONAL for its bootloader: the bus is taken down; connect again.</source>
        <translation>The drive has left OPERATIONAL for its bootloader: the bus is taken down; connect again.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>固件写入失败!</source>
        <translation>Firmware write failed!</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>成功</source>
        <translation>Success</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>固件写入成功!</source>
        <translation>Firmware written successfully!</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_params.cpp" line="+5"/>
        <source>Get &quot;%1&quot;: %2</source>
        <translation>Get &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Set &quot;%1&quot;: %2</source>
        <translation>Set &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>读取产品类型失败，尝试重新解析</source>
        <translation>Reading the product type failed; deriving it from the software version</translation>
    </message>
    <message>
        <location line="+48"/>
        <location line="+318"/>
        <source>Skip &quot;%1&quot;: no value shown</source>
        <translation>Skip &quot;%1&quot;: no value shown</translation>
    </message>
    <message>
        <location line="-236"/>
        <source>reading…</source>
        <translation>reading…</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>read failed</source>
        <translation>read failed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Get &quot;%1&quot;: read failed</source>
        <translation>Get &quot;%1&quot;: read failed</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Get &quot;Software_Version&quot;: 0x%1</source>
        <translation>Get &quot;Software_Version&quot;: 0x%1</translation>
    </message>
    <message>
        <location line="+53"/>
        <source>&quot;%1&quot;: %2 is beyond what the editor shows (%3 to %4); left blank</source>
        <translation>&quot;%1&quot;: %2 is beyond what the editor shows (%3 to %4); left blank</translation>
    </message>
    <message>
        <location line="+82"/>
        <source>Read ALL / Write ALL is running; wait for it to finish.</source>
        <translation>Read ALL / Write ALL is running; wait for it to finish.</translation>
    </message>
    <message>
        <location line="+55"/>
        <source>%1: row %2 of %3</source>
        <translation>%1: row %2 of %3</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>%1 finished.</source>
        <translation>%1 finished.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 stopped.</source>
        <translation>%1 stopped.</translation>
    </message>
    <message>
        <location filename="../console/mainwindow.h" line="-11"/>
        <source>Connecting</source>
        <translation>Connecting</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Disconnect</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Disconnecting</source>
        <translation>Disconnecting</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Enabling</source>
        <translation>Enabling</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Disable</source>
        <translation>Disable</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Disabling</source>
        <translation>Disabling</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>校准中</source>
        <translation>Calibrating</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>辨识中</source>
        <translation>Identifying</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Stop Plot</source>
        <translation>Stop Plot</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_drive.cpp" line="+34"/>
        <location line="+13"/>
        <location filename="../console/mainwindow_faults.cpp" line="-40"/>
        <location filename="../console/mainwindow_params.cpp" line="-284"/>
        <location line="+159"/>
        <location line="+21"/>
        <location line="+8"/>
        <location filename="../console/mainwindow_procedures.cpp" line="+108"/>
        <source>设备未连接.</source>
        <translation>Not connected.</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>STOP: quick stop sent to drive(s) %1.</source>
        <translation>STOP: quick stop sent to drive(s) %1.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>none</source>
        <translation>none</translation>
    </message>
    <message>
        <location line="+52"/>
        <source>电机%1处于故障状态，请先复位故障 (Drive &gt; Reset fault)</source>
        <translation>Drive %1 is in fault; reset the fault first (Drive &gt; Reset fault)</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Enable Success.</source>
        <translation>Enable Success.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Enable Fail.</source>
        <translation>Enable Fail.</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Disable success.</source>
        <translation>Disable success.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Disable Fail.</source>
        <translation>Disable Fail.</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Current Motor Index: %1</source>
        <translation>Current Motor Index: %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>change mode:%1</source>
        <translation>change mode:%1</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>command: %1 </source>
        <translation>command: %1 </translation>
    </message>
    <message>
        <location filename="../console/mainwindow_language.cpp" line="+32"/>
        <source>Language at the next start: %1.</source>
        <translation>Language at the next start: %1.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Log language: %1 (%2)</source>
        <translation>Log language: %1 (%2)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Log language: none chosen, texts as written in the program</source>
        <translation>Log language: none chosen, texts as written in the program</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_log.cpp" line="+52"/>
        <source>保存日志文件</source>
        <translation>Save log file</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Text Files (*.txt);;All Files (*)</source>
        <translation>Text Files (*.txt);;All Files (*)</translation>
    </message>
    <message>
        <location line="+6"/>
        <location line="+8"/>
        <source>保存失败</source>
        <translation>Save failed</translation>
    </message>
    <message>
        <location line="-8"/>
        <source>无法读取临时日志文件.</source>
        <translation>Cannot read the temporary log file.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>无法保存日志文件到指定路径.</source>
        <translation>Cannot save the log file to the chosen path.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>日志文件写入失败.</source>
        <translation>Writing the log file failed.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>保存成功</source>
        <translation>Saved</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>日志已成功保存.</source>
        <translation>The log was saved.</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_pages.cpp" line="-32"/>
        <source>&gt;&gt;&gt; start Roundtrip</source>
        <translation>&gt;&gt;&gt; start Roundtrip</translation>
    </message>
    <message>
        <location line="+9"/>
        <location line="+126"/>
        <source>&gt;&gt;&gt; Stop Roundtrip</source>
        <translation>&gt;&gt;&gt; Stop Roundtrip</translation>
    </message>
    <message>
        <location line="-102"/>
        <source>位置环往返参数 (turn)</source>
        <translation>Position loop round-trip setpoints (turn)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电流环往返参数 (Nm)</source>
        <translation>Current loop round-trip setpoints (Nm)</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>&gt;&gt;&gt; 开始多关节测试</source>
        <translation>&gt;&gt;&gt; Multi-joint test started</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>&gt;&gt;&gt; 上使能所有电机失败。</source>
        <translation>&gt;&gt;&gt; Enabling all drives failed.</translation>
    </message>
    <message>
        <location line="+14"/>
        <location line="+30"/>
        <source>&gt;&gt;&gt; 停止多关节测试</source>
        <translation>&gt;&gt;&gt; Multi-joint test stopped</translation>
    </message>
    <message>
        <location line="-24"/>
        <source>&gt;&gt;&gt; 下使能所有电机失败</source>
        <translation>&gt;&gt;&gt; Disabling all drives failed</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_plots.cpp" line="-45"/>
        <location line="+2"/>
        <source>Time (s)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <location line="-1"/>
        <source>Value</source>
        <translation>Value</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Temperature (℃)</source>
        <translation>Temperature (℃)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Mcu</source>
        <translation>Mcu</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>ntc-mos</source>
        <translation>MOS (NTC)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Motor</source>
        <translation>Motor</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Velocity</source>
        <translation>Velocity</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>请先Connect</source>
        <translation>Connect first</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>请先进入OP模式</source>
        <translation>Bring the bus to OP first</translation>
    </message>
    <message>
        <location line="+36"/>
        <location line="+6"/>
        <source>Export plot</source>
        <translation>Export plot</translation>
    </message>
    <message>
        <location line="-6"/>
        <source>CSV (*.csv);;PNG image (*.png);;PDF (*.pdf)</source>
        <translation>CSV (*.csv);;PNG image (*.png);;PDF (*.pdf)</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>%1 was not written: %2</source>
        <translation>%1 was not written: %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Plot exported to %1</source>
        <translation>Plot exported to %1</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_procedures.cpp" line="-66"/>
        <source>已进行%1秒</source>
        <translation>%1 s elapsed</translation>
    </message>
    <message>
        <location line="+46"/>
        <source>&gt;&gt;&gt; 开始校准</source>
        <translation>&gt;&gt;&gt; Calibration started</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Set &quot; %1&quot;: %2</source>
        <translation>Set &quot; %1&quot;: %2</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>&gt;&gt;&gt; 校准成功</source>
        <translation>&gt;&gt;&gt; Calibration succeeded</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>校准成功</source>
        <translation>Calibration succeeded</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&gt;&gt;&gt; 校准超时，请重启电机并重新连接</source>
        <translation>&gt;&gt;&gt; Calibration timed out; restart the drive and connect again</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+136"/>
        <source>校准失败</source>
        <translation>Calibration failed</translation>
    </message>
    <message>
        <location line="-119"/>
        <source>正在辨识</source>
        <translation>Identification is running</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>请先停止电机</source>
        <translation>Stop the motor first</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>请先输入电机编号，再进行辨识！</source>
        <translation>Enter the motor number before identifying!</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>辨识</source>
        <translation>Identification</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>请确认电机编号为%1。点击Yes开始辨识，结束后文件将保存至:%2</source>
        <translation>Confirm that the motor number is %1. Click Yes to start identification; afterwards the file is saved to:%2</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>无法打开辨识文件</source>
        <translation>Cannot open the identification file</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>&gt;&gt;&gt; 开始辨识</source>
        <translation>&gt;&gt;&gt; Identification started</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>&gt;&gt;&gt; 辨识成功</source>
        <translation>&gt;&gt;&gt; Identification succeeded</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>辨识成功</source>
        <translation>Identification succeeded</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&gt;&gt;&gt; 辨识结果文件写入失败: %1</source>
        <translation>&gt;&gt;&gt; Writing the identification result file failed: %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&gt;&gt;&gt; 辨识超时，请重启电机并重新连接</source>
        <translation>&gt;&gt;&gt; Identification timed out; restart the drive and connect again</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+45"/>
        <source>辨识失败</source>
        <translation>Identification failed</translation>
    </message>
    <message>
        <location line="-4"/>
        <source>&gt;&gt;&gt; 校准中断：电机已断开</source>
        <translation>&gt;&gt;&gt; Calibration aborted: the drive was disconnected</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>&gt;&gt;&gt; 辨识中断：电机已断开</source>
        <translation>&gt;&gt;&gt; Identification aborted: the drive was disconnected</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_status.cpp" line="+31"/>
        <source>&gt;&gt;&gt; Error Word: </source>
        <translation>&gt;&gt;&gt; Error Word: </translation>
    </message>
    <message>
        <location line="+1"/>
        <source>设备类型未知，无法解析电机错误字！</source>
        <translation>Product type unknown: the motor error word cannot be decoded!</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&gt;&gt;&gt; Drv Error Word: </source>
        <translation>&gt;&gt;&gt; Drv Error Word: </translation>
    </message>
    <message>
        <location line="+1"/>
        <source>设备类型未知，无法解析Drv错误字！</source>
        <translation>Product type unknown: the drive error word cannot be decoded!</translation>
    </message>
    <message>
        <location line="+98"/>
        <source>配置文件缺少&quot;%1&quot;</source>
        <translation>The configuration file lacks &quot;%1&quot;</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_update.cpp" line="+47"/>
        <source>Failed to start the updater.</source>
        <translation>Failed to start the updater.</translation>
    </message>
</context>
<context>
    <name>ObjectDictionary</name>
    <message>
        <location filename="../console/objectdictionary/objectdictionary.ui" line="+14"/>
        <source>Object dictionary</source>
        <translation>Object dictionary</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Drive</source>
        <translation>Drive</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Read dictionary</source>
        <translation>Read dictionary</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>Index</source>
        <translation>Index</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Bits</source>
        <translation>Bits</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Access</source>
        <translation>Access</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Value</source>
        <translation>Value</translation>
    </message>
    <message>
        <location line="+8"/>
        <location filename="../console/objectdictionary/objectdictionary.cpp" line="+230"/>
        <source>No entry selected</source>
        <translation>No entry selected</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Read</source>
        <translation>Read</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Write</source>
        <translation>Write</translation>
    </message>
    <message>
        <location filename="../console/objectdictionary/objectdictionary.cpp" line="-110"/>
        <source>The bus has changed; read the dictionary again.</source>
        <translation>The bus has changed; read the dictionary again.</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>Reading the dictionary of drive %1…</source>
        <translation>Reading the dictionary of drive %1…</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>The dictionary of drive %1 could not be read; see the log.</source>
        <translation>The dictionary of drive %1 could not be read; see the log.</translation>
    </message>
    <message>
        <location line="-55"/>
        <source>Drive %1 (slave %2)</source>
        <translation>Drive %1 (slave %2)</translation>
    </message>
    <message>
        <location line="+61"/>
        <source>Objects read from drive %1: %2</source>
        <translation>Objects read from drive %1: %2</translation>
    </message>
    <message>
        <location line="+72"/>
        <source>%1 could not be read: %2</source>
        <translation>%1 could not be read: %2</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>%1 = %2</source>
        <translation>%1 = %2</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>&quot;%1&quot; is not a value of type %2.</source>
        <translation>&quot;%1&quot; is not a value of type %2.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Not written: the console refuses writes now; see the log.</source>
        <translation>Not written: the console refuses writes now; see the log.</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>%1 was not written: %2</source>
        <translation>%1 was not written: %2</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Written; read back: </source>
        <translation>Written; read back: </translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1 written.</source>
        <translation>%1 written.</translation>
    </message>
</context>
<context>
    <name>ObjectNames</name>
    <message>
        <location filename="object_names.cpp" line="+11"/>
        <source>Device type</source>
        <translation>Device type</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Error register</source>
        <translation>Error register</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Device name</source>
        <translation>Device name</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hardware version</source>
        <translation>Hardware version</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Software version</source>
        <translation>Software version</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Identity</source>
        <translation>Identity</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Number of entries</source>
        <translation>Number of entries</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Vendor ID</source>
        <translation>Vendor ID</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Product code</source>
        <translation>Product code</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Revision</source>
        <translation>Revision</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Serial number</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>RxPDO</source>
        <translation>RxPDO</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>TxPDO</source>
        <translation>TxPDO</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Mapped object %1</source>
        <translation>Mapped object %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>SyncManager types</source>
        <translation>SyncManager types</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>SM output parameter</source>
        <translation>SM output parameter</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>SM input parameter</source>
        <translation>SM input parameter</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Synchronization type</source>
        <translation>Synchronization type</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Cycle time</source>
        <translation>Cycle time</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Synchronization types supported</source>
        <translation>Synchronization types supported</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>RxPDO assign</source>
        <translation>RxPDO assign</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>TxPDO assign</source>
        <translation>TxPDO assign</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PDO</source>
        <translation>PDO</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Number of PDOs</source>
        <translation>Number of PDOs</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Number of SyncManagers</source>
        <translation>Number of SyncManagers</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Gains</source>
        <translation>Gains</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Temperatures</source>
        <translation>Temperatures</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Clear fault history</source>
        <translation>Clear fault history</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Joint label</source>
        <translation>Joint label</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Drive parameters</source>
        <translation>Drive parameters</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Controlword</source>
        <translation>Controlword</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Statusword</source>
        <translation>Statusword</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target torque</source>
        <translation>Target torque</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target position</source>
        <translation>Target position</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target velocity</source>
        <translation>Target velocity</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Modes of operation</source>
        <translation>Modes of operation</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Modes of operation display</source>
        <translation>Modes of operation display</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Position actual value</source>
        <translation>Position actual value</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Velocity actual value</source>
        <translation>Velocity actual value</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Torque actual value</source>
        <translation>Torque actual value</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>DC link circuit voltage</source>
        <translation>DC link circuit voltage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Motor error word</source>
        <translation>Motor error word</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Drive error word</source>
        <translation>Drive error word</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU temperature</source>
        <translation>MCU temperature</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOSFET temperature</source>
        <translation>MOSFET temperature</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Motor temperature</source>
        <translation>Motor temperature</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Kp</source>
        <translation>Kp</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Kd</source>
        <translation>Kd</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Inputs</source>
        <translation>Inputs</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Outputs</source>
        <translation>Outputs</translation>
    </message>
</context>
<context>
    <name>ParamTable</name>
    <message>
        <location filename="../model/paramtable.cpp" line="+25"/>
        <source>软件版本</source>
        <translation>Software version</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>转矩常数</source>
        <translation>Torque constant</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机转动惯量</source>
        <translation>Motor inertia</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机粘性摩擦</source>
        <translation>Motor viscous friction</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机静摩擦</source>
        <translation>Motor static friction</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>堵转触发电流</source>
        <translation>Stall trigger current</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>堵转触发速度</source>
        <translation>Stall trigger velocity</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>堵住触发时间</source>
        <translation>Stall trigger time</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>力矩电流限值</source>
        <translation>Torque current limit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>最大母线电流</source>
        <translation>Maximum DC link current</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>最大漏电流</source>
        <translation>Maximum leakage current</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>欠压保护阈值</source>
        <translation>Undervoltage protection threshold</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>过压保护阈值</source>
        <translation>Overvoltage protection threshold</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>相电流保护阈值</source>
        <translation>Phase current protection threshold</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU高温保护值</source>
        <translation>MCU overtemperature limit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS高温保护值</source>
        <translation>MOS overtemperature limit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机高温保护值</source>
        <translation>Motor overtemperature limit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>校准</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>保存设置</source>
        <translation>Save settings</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>保存设置中</source>
        <translation>Saving settings</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU低温保护值</source>
        <translation>MCU undertemperature limit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS低温保护值</source>
        <translation>MOS undertemperature limit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机低温保护值</source>
        <translation>Motor undertemperature limit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>反转方向</source>
        <translation>Reverse direction</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机极对数</source>
        <translation>Motor pole pairs</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>校准电流</source>
        <translation>Calibration current</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>校准电压</source>
        <translation>Calibration voltage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>减速比</source>
        <translation>Gear ratio</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机相电阻</source>
        <translation>Motor phase resistance</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机相电感</source>
        <translation>Motor phase inductance</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机转速限值</source>
        <translation>Motor velocity limit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>突破电流</source>
        <translation>Breakaway current</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>力矩比例</source>
        <translation>Torque scale</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电流比例</source>
        <translation>Current scale</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>产品批号</source>
        <translation>Product batch number</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>未使用</source>
        <translation>Unused</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>产品类型</source>
        <translation>Product type</translation>
    </message>
</context>
<context>
    <name>ParameterCompareDialog</name>
    <message>
        <location filename="../console/parametersets/parametercompare.ui" line="+14"/>
        <source>Compare parameters</source>
        <translation>Compare parameters</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>against</source>
        <translation>against</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Compare</source>
        <translation>Compare</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>Write</source>
        <translation>Write</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Parameter</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>File</source>
        <translation>File</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Drive</source>
        <translation>Drive</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Tick differing</source>
        <translation>Tick differing</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Untick all</source>
        <translation>Untick all</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Write ticked</source>
        <translation>Write ticked</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <location filename="../console/parametersets/parametercompare.cpp" line="+39"/>
        <source>Import parameters: %1 into %2</source>
        <translation>Import parameters: %1 into %2</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Compare drives</source>
        <translation>Compare drives</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>File…</source>
        <translation>File…</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Not in the file</source>
        <translation>Not in the file</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Read-only</source>
        <translation>Read-only</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Differing parameters: %1</source>
        <translation>Differing parameters: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>; only ticked rows are written, identity rows never.</source>
        <translation>; only ticked rows are written, identity rows never.</translation>
    </message>
</context>
<context>
    <name>ParameterSetFile</name>
    <message>
        <location filename="../console/parametersets/parameterset.cpp" line="+90"/>
        <source>&apos;%1&apos; is not a text</source>
        <translation>&apos;%1&apos; is not a text</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>not a parameter set</source>
        <translation>not a parameter set</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>format %1 is not one this version reads</source>
        <translation>format %1 is not one this version reads</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>no &apos;product_type&apos;</source>
        <translation>no &apos;product_type&apos;</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>&apos;batch&apos; is not a whole number</source>
        <translation>&apos;batch&apos; is not a whole number</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>no &apos;parameters&apos; list</source>
        <translation>no &apos;parameters&apos; list</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>a parameter is not a mapping of id, name and value</source>
        <translation>a parameter is not a mapping of id, name and value</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>a parameter without a numeric &apos;id&apos;</source>
        <translation>a parameter without a numeric &apos;id&apos;</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>unknown parameter id %1</source>
        <translation>unknown parameter id %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>parameter id %1 appears twice</source>
        <translation>parameter id %1 appears twice</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>parameter %1 (%2): the value is not a number</source>
        <translation>parameter %1 (%2): the value is not a number</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>parameter %1 (%2): %3 is out of range or not a step the drive takes</source>
        <translation>parameter %1 (%2): %3 is out of range or not a step the drive takes</translation>
    </message>
    <message>
        <location line="+106"/>
        <location line="+2"/>
        <source>line %1: %2</source>
        <translation>line %1: %2</translation>
    </message>
</context>
<context>
    <name>ParameterSets</name>
    <message>
        <location filename="../console/parametersets/parametersets.cpp" line="+36"/>
        <location line="+106"/>
        <location line="+26"/>
        <location line="+11"/>
        <source>Export parameters</source>
        <translation>Export parameters</translation>
    </message>
    <message>
        <location line="-141"/>
        <location line="+154"/>
        <location line="+7"/>
        <source>Parameter set</source>
        <translation>Parameter set</translation>
    </message>
    <message>
        <location line="-112"/>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <location line="+39"/>
        <source>A parameter-set transfer is running; wait for it to finish.</source>
        <translation>A parameter-set transfer is running; wait for it to finish.</translation>
    </message>
    <message>
        <location line="-91"/>
        <source>Parameter sets (*.yaml *.yml);;All files (*)</source>
        <translation>Parameter sets (*.yaml *.yml);;All files (*)</translation>
    </message>
    <message>
        <location line="+97"/>
        <source>Drive %1 (slave %2)</source>
        <translation>Drive %1 (slave %2)</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+70"/>
        <source>No drive %1 on the bus.</source>
        <translation>No drive %1 on the bus.</translation>
    </message>
    <message>
        <location line="-58"/>
        <location line="+76"/>
        <source>Reading the parameters of drive %1…</source>
        <translation>Reading the parameters of drive %1…</translation>
    </message>
    <message>
        <location line="-70"/>
        <source>Export of drive %1 stopped; no file written.</source>
        <translation>Export of drive %1 stopped; no file written.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>%1 could not be written: %2</source>
        <translation>%1 could not be written: %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Parameters of drive %1 (%2) exported to %3: %4 values.</source>
        <translation>Parameters of drive %1 (%2) exported to %3: %4 values.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Not readable, left out of the file: %1</source>
        <translation>Not readable, left out of the file: %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>These parameters could not be read and are not in the file:
%1</source>
        <translation>These parameters could not be read and are not in the file:
%1</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>%1 cannot be read: %2</source>
        <translation>%1 cannot be read: %2</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Parameter set %1 refused: %2</source>
        <translation>Parameter set %1 refused: %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 is not a parameter set this console can load; nothing was written.
%2</source>
        <translation>%1 is not a parameter set this console can load; nothing was written.
%2</translation>
    </message>
    <message>
        <location line="+12"/>
        <location line="+38"/>
        <location line="+78"/>
        <source>Import parameters</source>
        <translation>Import parameters</translation>
    </message>
    <message>
        <location line="-91"/>
        <source>Import into drive %1 stopped: the bus has changed.</source>
        <translation>Import into drive %1 stopped: the bus has changed.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Import into drive %1 stopped before anything was written.</source>
        <translation>Import into drive %1 stopped before anything was written.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>%1 holds parameters of a %2; drive %3 is a %4.
Compare and choose rows to write anyway?</source>
        <translation>%1 holds parameters of a %2; drive %3 is a %4.
Compare and choose rows to write anyway?</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Import of %1 into drive %2 (%3) declined: the file is for a %4.</source>
        <translation>Import of %1 into drive %2 (%3) declined: the file is for a %4.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>drive %1 (slave %2)</source>
        <translation>drive %1 (slave %2)</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>Not written: the bus has changed since drive %1 was read.</source>
        <translation>Not written: the bus has changed since drive %1 was read.</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Writing parameters into drive %1 (%2 ticked)…</source>
        <translation>Writing parameters into drive %1 (%2 ticked)…</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Set &quot;%1&quot;: %2</source>
        <translation>Set &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Import into drive %1: not taken: %2</source>
        <translation>Import into drive %1: not taken: %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Drive %1 does not hold these values as written:
%2</source>
        <translation>Drive %1 does not hold these values as written:
%2</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Import into drive %1: %2 parameter(s) written and read back.</source>
        <translation>Import into drive %1: %2 parameter(s) written and read back.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Compare drives</source>
        <translation>Compare drives</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>No drive on the bus.</source>
        <translation>No drive on the bus.</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>Reading the parameters…</source>
        <translation>Reading the parameters…</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Comparison stopped.</source>
        <translation>Comparison stopped.</translation>
    </message>
    <message>
        <location line="-106"/>
        <source>Not readable, shown empty: %1</source>
        <translation>Not readable, shown empty: %1</translation>
    </message>
</context>
<context>
    <name>PasswordDialog</name>
    <message>
        <location filename="../console/passworddialog.cpp" line="+40"/>
        <source>输入密码</source>
        <translation>Enter password</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>请输入16进制密码：</source>
        <translation>Enter the password in hex:</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>无效输入</source>
        <translation>Invalid input</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>请输入有效的16进制密码！</source>
        <translation>Enter a valid hex password!</translation>
    </message>
</context>
<context>
    <name>PlotExport</name>
    <message>
        <location filename="../widgets/plotexport.cpp" line="+34"/>
        <source>the PDF could not be written</source>
        <translation>the PDF could not be written</translation>
    </message>
    <message>
        <location line="+62"/>
        <source>unknown file type &quot;%1&quot;: choose .csv, .png or .pdf</source>
        <translation>unknown file type &quot;%1&quot;: choose .csv, .png or .pdf</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>the file could not be written</source>
        <translation>the file could not be written</translation>
    </message>
</context>
<context>
    <name>ScopeTool</name>
    <message>
        <location filename="../console/scope/scopetool.cpp" line="+14"/>
        <source>Position</source>
        <translation>Position</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Velocity</source>
        <translation>Velocity</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Torque</source>
        <translation>Torque</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Bus voltage</source>
        <translation>Bus voltage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Motor temperature</source>
        <translation>Motor temperature</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS temperature</source>
        <translation>MOS temperature</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU temperature</source>
        <translation>MCU temperature</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Status word</source>
        <translation>Status word</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Error word</source>
        <translation>Error word</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Drive error word</source>
        <translation>Drive error word</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Mode display</source>
        <translation>Mode display</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target position</source>
        <translation>Target position</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target velocity</source>
        <translation>Target velocity</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target torque</source>
        <translation>Target torque</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Control word</source>
        <translation>Control word</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Mode</source>
        <translation>Mode</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Following error</source>
        <translation>Following error</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Velocity error</source>
        <translation>Velocity error</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Supervision lost</source>
        <translation>Supervision lost</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Supervision recovered</source>
        <translation>Supervision recovered</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Supervision acknowledged</source>
        <translation>Supervision acknowledged</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Emergency</source>
        <translation>Emergency</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>State change</source>
        <translation>State change</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>STOP</source>
        <translation>STOP</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Enable</source>
        <translation>Enable</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Disable</source>
        <translation>Disable</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Working counter short</source>
        <translation>Working counter short</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Manual trigger</source>
        <translation>Manual trigger</translation>
    </message>
    <message>
        <location line="+60"/>
        <source>No bus is connected.</source>
        <translation>No bus is connected.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Add a channel first.</source>
        <translation>Add a channel first.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>The recorder refused the channels.</source>
        <translation>The recorder refused the channels.</translation>
    </message>
    <message>
        <location line="+74"/>
        <source>There is no recording to save.</source>
        <translation>There is no recording to save.</translation>
    </message>
    <message>
        <location line="+53"/>
        <source>There is no recording to export.</source>
        <translation>There is no recording to export.</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Drive %1 (slave %2)</source>
        <translation>Drive %1 (slave %2)</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Drive %1: %2</source>
        <translation>Drive %1: %2</translation>
    </message>
</context>
<context>
    <name>ScopeWindow</name>
    <message>
        <location filename="../console/scope/scopewindow.ui" line="+6"/>
        <source>Scope</source>
        <translation>Scope</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Channels</source>
        <translation>Channels</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Drive</source>
        <translation>Drive</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Signal</source>
        <translation>Signal</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Scale</source>
        <translation>Scale</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Colour</source>
        <translation>Colour</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Add channel</source>
        <translation>Add channel</translation>
    </message>
    <message>
        <location line="+6"/>
        <location line="+2"/>
        <source>Trigger</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Rising edge</source>
        <translation>Rising edge</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Falling edge</source>
        <translation>Falling edge</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Status bit on</source>
        <translation>Status bit on</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Status bit off</source>
        <translation>Status bit off</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Fault entry</source>
        <translation>Fault entry</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+10"/>
        <source>Event</source>
        <translation>Event</translation>
    </message>
    <message>
        <location line="-9"/>
        <source>Manual</source>
        <translation>Manual</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Channel</source>
        <translation>Channel</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Level</source>
        <translation>Level</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Bit</source>
        <translation>Bit</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Mode</source>
        <translation>Mode</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Single</source>
        <translation>Single</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Continuous (roll)</source>
        <translation>Continuous (roll)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Length</source>
        <translation>Length</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Pre-trigger</source>
        <translation>Pre-trigger</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> %</source>
        <translation> %</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Run</source>
        <translation>Run</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Manual trigger</source>
        <translation>Manual trigger</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Open…</source>
        <translation>Open…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Overlay…</source>
        <translation>Overlay…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Export CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Export PNG…</source>
        <translation>Export PNG…</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Separate axes</source>
        <translation>Separate axes</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Ctrl+click places cursor A, Ctrl+right-click cursor B; drag a cursor to move it.</source>
        <translation>Ctrl+click places cursor A, Ctrl+right-click cursor B; drag a cursor to move it.</translation>
    </message>
    <message>
        <location filename="../console/scope/scopewindow.cpp" line="+90"/>
        <source>Recording; waiting for the trigger.</source>
        <translation>Recording; waiting for the trigger.</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Stopped.</source>
        <translation>Stopped.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Recording of %1 samples, %2 events.</source>
        <translation>Recording of %1 samples, %2 events.</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>Time (s)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <location line="+85"/>
        <source>Drive %1</source>
        <translation>Drive %1</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Remove</source>
        <translation>Remove</translation>
    </message>
    <message>
        <location line="+153"/>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Open</source>
        <translation>Open</translation>
    </message>
    <message>
        <location line="+4"/>
        <location line="+9"/>
        <location line="+9"/>
        <source>Scope recordings (*.zscope)</source>
        <translation>Scope recordings (*.zscope)</translation>
    </message>
    <message>
        <location line="-15"/>
        <location line="+28"/>
        <location line="+9"/>
        <source>Saved %1.</source>
        <translation>Saved %1.</translation>
    </message>
    <message>
        <location line="-36"/>
        <location line="+28"/>
        <location line="+9"/>
        <source>Not saved: %1</source>
        <translation>Not saved: %1</translation>
    </message>
    <message>
        <location line="-29"/>
        <location line="+11"/>
        <source>Not opened: %1</source>
        <translation>Not opened: %1</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>CSV files (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>PNG images (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <location line="+76"/>
        <source>%1 (overlay)</source>
        <translation>%1 (overlay)</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>Drive %1: %2</source>
        <translation>Drive %1: %2</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>%1
t = %2 s, cycle %3</source>
        <translation>%1
t = %2 s, cycle %3</translation>
    </message>
    <message>
        <location line="+56"/>
        <source>A: %1 s   B: %2 s   Δt: %3 s</source>
        <translation>A: %1 s   B: %2 s   Δt: %3 s</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>%1: A %2   B %3</source>
        <translation>%1: A %2   B %3</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1: A %2   B %3   Δ %4 %5</source>
        <translation>%1: A %2   B %3   Δ %4 %5</translation>
    </message>
</context>
<context>
    <name>StateConfig</name>
    <message>
        <location filename="state_config_texts.cpp" line="+13"/>
        <source>准备启动</source>
        <translation>Ready to switch on</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>已启动</source>
        <translation>Switched on</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>运行使能</source>
        <translation>Operation enabled</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>故障</source>
        <translation>Fault</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电压使能</source>
        <translation>Voltage enabled</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>快速停止</source>
        <translation>Quick stop</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>禁止启动</source>
        <translation>Switch on disabled</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>远程控制</source>
        <translation>Remote</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>目标到达</source>
        <translation>Target reached</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>内部限制激活</source>
        <translation>Internal limit active</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>过压</source>
        <translation>Overvoltage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>欠压</source>
        <translation>Undervoltage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>过流</source>
        <translation>Overcurrent</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机过温</source>
        <translation>Motor overtemperature</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS过温</source>
        <translation>MOS overtemperature</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU过温</source>
        <translation>MCU overtemperature</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>编码器故障</source>
        <translation>Encoder fault</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>堵转</source>
        <translation>Stall</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>缺相</source>
        <translation>Phase loss</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>通信丢失</source>
        <translation>Communication lost</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>未校准</source>
        <translation>Not calibrated</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>超速</source>
        <translation>Overspeed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>位置跟随误差过大</source>
        <translation>Position following error too large</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机低温</source>
        <translation>Motor undertemperature</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>抱闸故障</source>
        <translation>Brake fault</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>母线过压</source>
        <translation>DC link overvoltage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>母线欠压</source>
        <translation>DC link undervoltage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>母线过流</source>
        <translation>DC link overcurrent</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>相电流过流</source>
        <translation>Phase overcurrent</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>漏电流过大</source>
        <translation>Leakage current too high</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS低温</source>
        <translation>MOS undertemperature</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU低温</source>
        <translation>MCU undertemperature</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>栅极驱动故障</source>
        <translation>Gate driver fault</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电流采样异常</source>
        <translation>Current sensing fault</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>参数存储校验错误</source>
        <translation>Parameter storage checksum error</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>看门狗复位</source>
        <translation>Watchdog reset</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>抱闸驱动故障</source>
        <translation>Brake driver fault</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>母线电压偏高</source>
        <translation>DC link voltage high</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>母线电压偏低</source>
        <translation>DC link voltage low</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机温度偏高</source>
        <translation>Motor temperature high</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS温度偏高</source>
        <translation>MOS temperature high</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU温度偏高</source>
        <translation>MCU temperature high</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>负载过大</source>
        <translation>Load too high</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>编码器信号弱</source>
        <translation>Encoder signal weak</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>PADDING</source>
        <translation>PADDING</translation>
    </message>
</context>
<context>
    <name>Supervisor</name>
    <message>
        <location filename="../ethercat/supervisor.cpp" line="+38"/>
        <source>lost</source>
        <translation>lost</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>recovered</source>
        <translation>recovered</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>acknowledged</source>
        <translation>acknowledged</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>reconfigured</source>
        <translation>reconfigured</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>emergency</source>
        <translation>emergency</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>EMCY drive %1 (slave %2): error code 0x%3, error register 0x%4, manufacturer bytes %5</source>
        <translation>EMCY drive %1 (slave %2): error code 0x%3, error register 0x%4, manufacturer bytes %5</translation>
    </message>
    <message>
        <location line="+44"/>
        <source>End ethercat check.</source>
        <translation>End ethercat check.</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>ERROR : slave %1 is in SAFE_OP + ERROR, attempting ack.</source>
        <translation>ERROR : slave %1 is in SAFE_OP + ERROR, attempting ack.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>WARNING : slave %1 is in SAFE_OP, change to OPERATIONAL.</source>
        <translation>WARNING : slave %1 is in SAFE_OP, change to OPERATIONAL.</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>MESSAGE : slave %1 reconfigured.</source>
        <translation>MESSAGE : slave %1 reconfigured.</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>MESSAGE : slave %1 found.</source>
        <translation>MESSAGE : slave %1 found.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>MESSAGE : slave %1 recovered.</source>
        <translation>MESSAGE : slave %1 recovered.</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>OK : all slaves resumed OPERATIONAL.</source>
        <translation>OK : all slaves resumed OPERATIONAL.</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>no answer for %1 ms; last answered in AL state %2, AL status code 0x%3 (%4)</source>
        <translation>no answer for %1 ms; last answered in AL state %2, AL status code 0x%3 (%4)</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>ERROR : slave %1 lost.</source>
        <translation>ERROR : slave %1 lost.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>ERROR : slave %1 lost: %2.</source>
        <translation>ERROR : slave %1 lost: %2.</translation>
    </message>
</context>
<context>
    <name>TransferResult</name>
    <message>
        <location filename="../ethercat/transferresult.cpp" line="+10"/>
        <source>ok</source>
        <translation>ok</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>not connected</source>
        <translation>not connected</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>cancelled</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>no reply in time</source>
        <translation>no reply in time</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>failed</source>
        <translation>failed</translation>
    </message>
</context>
<context>
    <name>ecmaster</name>
    <message>
        <location filename="../ethercat/ecmaster_diagnostics.cpp" line="+90"/>
        <source>Error counters reset on %1 slaves.</source>
        <translation>Error counters reset on %1 slaves.</translation>
    </message>
</context>
</TS>
