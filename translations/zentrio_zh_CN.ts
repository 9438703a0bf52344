<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>BusDiagnostics</name>
    <message>
        <location filename="../console/busdiagnostics.ui" line="+14"/>
        <source>Bus diagnostics</source>
        <translation>总线诊断</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>Slave</source>
        <translation>从站</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>AL status</source>
        <translation>AL 状态</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Invalid frames (port 0/1/2/3)</source>
        <translation>无效帧 (端口 0/1/2/3)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>RX errors</source>
        <translation>接收错误</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Forwarded errors</source>
        <translation>转发错误</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Lost links</source>
        <translation>链路丢失</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Processing errors</source>
        <translation>处理错误</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>DC difference (ns)</source>
        <translation>DC 偏差 (ns)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Supervision misses</source>
        <translation>监控丢失次数</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Bus</source>
        <translation>总线</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Cycles</source>
        <translation>周期数</translation>
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
        <translation>跳过的周期</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Working-counter misses</source>
        <translation>工作计数器错误</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Working-counter misses, last minute</source>
        <translation>工作计数器错误 (最近一分钟)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Frames resent</source>
        <translation>重发帧数</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Frames lost</source>
        <translation>丢失帧数</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Supervision events</source>
        <translation>监控事件</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Reset counters</source>
        <translation>复位计数器</translation>
    </message>
    <message>
        <location filename="../console/busdiagnostics.cpp" line="+42"/>
        <source>no answer</source>
        <translation>无应答</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>reference</source>
        <translation>参考时钟</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>no DC</source>
        <translation>无 DC</translation>
    </message>
    <message>
        <location line="+76"/>
        <source>%1  slave %2 %3</source>
        <translation>%1  从站%2 %3</translation>
    </message>
</context>
<context>
    <name>BusSession</name>
    <message>
        <location filename="../ethercat/bussession.cpp" line="+68"/>
        <source>电机状态异常，请重新上电！</source>
        <translation>电机状态异常，请重新上电！</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>[Init] Initialization on %1 failed.</source>
        <translation>[Init] 在 %1 上初始化失败。</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>[Init] No slaves found!</source>
        <translation>[Init] 未找到从站！</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>[Init] %1 slaves found!</source>
        <translation>[Init] 找到 %1 个从站！</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>[Init] Bus refused: more than %1 slaves.</source>
        <translation>[Init] 拒绝总线：从站多于 %1 个。</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>[Init] Bus refused: process image of %1 bytes exceeds the %2-byte buffer.</source>
        <translation>[Init] 拒绝总线：过程映像 %1 字节，超出 %2 字节的缓冲区。</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>EC_STATE_PRE_OP error</source>
        <translation>EC_STATE_PRE_OP 错误</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>[Init] DC configured failed.</source>
        <translation>[Init] DC 配置失败。</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>[Init] 没有有效从站.</source>
        <translation>[Init] 没有有效从站.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>[Init] %1 slaves valid!</source>
        <translation>[Init] %1 个从站有效！</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>EC_STATE_SAFE_OP error</source>
        <translation>EC_STATE_SAFE_OP 错误</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>EC_STATE_OPERATIONAL error</source>
        <translation>EC_STATE_OPERATIONAL 错误</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>[Init] Cycle timer could not be started.</source>
        <translation>[Init] 无法启动周期定时器。</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Communication error</source>
        <translation>通讯错误</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>[Init] Slave %1 is no drive (%2 output / %3 input bytes), left alone.</source>
        <translation>[Init] 从站%1不是电机（输出 %2 字节 / 输入 %3 字节），不予处理。</translation>
    </message>
    <message>
        <location line="+50"/>
        <source>[EtherCAT Error] Slave %1 State=0x%2 StatusCode=0x%3 : %4
</source>
        <translation>[EtherCAT 错误] 从站%1 状态=0x%2 状态码=0x%3 : %4
</translation>
    </message>
    <message>
        <location line="+61"/>
        <source>Capturing bus traffic to %1</source>
        <translation>正在将总线报文记录到 %1</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>Capture ended: %1 frames, %2 dropped%3</source>
        <translation>记录结束：%1 帧，丢失 %2 帧%3</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>, file incomplete</source>
        <translation>，文件不完整</translation>
    </message>
</context>
<context>
    <name>Cia402State</name>
    <message>
        <location filename="../model/cia402.cpp" line="+73"/>
        <source>Not ready to switch on</source>
        <translation>未准备好接通</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Switch on disabled</source>
        <translation>接通禁止</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Ready to switch on</source>
        <translation>准备接通</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Switched on</source>
        <translation>已接通</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Operation enabled</source>
        <translation>运行使能</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Quick stop active</source>
        <translation>快速停止有效</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Fault reaction active</source>
        <translation>故障反应有效</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Fault</source>
        <translation>故障</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>初始化</source>
        <translation>初始化</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>初始化完成</source>
        <translation>初始化完成</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>伺服准备好</source>
        <translation>伺服准备好</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>伺服等待</source>
        <translation>伺服等待</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>伺服运行</source>
        <translation>伺服运行</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>急停</source>
        <translation>急停</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>故障停机</source>
        <translation>故障停机</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>故障</source>
        <translation>故障</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>未知状态</source>
        <translation>未知状态</translation>
    </message>
</context>
<context>
    <name>Cia402Walks</name>
    <message>
        <location filename="../ethercat/cia402walks.cpp" line="+44"/>
        <location line="+10"/>
        <source>Fail: null ptr warnning</source>
        <translation>失败：空指针警告</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>当前状态:%1无法Enable</source>
        <translation>当前状态:%1无法上使能</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Enable of slave %1 stopped by STOP.</source>
        <translation>从站%1的上使能被急停中止。</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>当前状态:%1无法Disable</source>
        <translation>当前状态:%1无法下使能</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>Not connected, cannot Enable!</source>
        <translation>未连接，无法上使能！</translation>
    </message>
    <message>
        <location line="+60"/>
        <location line="+10"/>
        <source>Is in enable, cannot enable!</source>
        <translation>已处于使能状态，无法上使能！</translation>
    </message>
    <message>
        <location line="+17"/>
        <location line="+11"/>
        <source>Not in enable, cannot Disable!</source>
        <translation>未处于使能状态，无法下使能！</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>Not connected, cannot reset a fault!</source>
        <translation>未连接，无法复位故障！</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>当前状态:%1无需复位</source>
        <translation>当前状态:%1无需复位</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Drive %1 did not end its fault reaction.</source>
        <translation>电机%1未结束故障反应。</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Fault reset of drive %1 stopped by STOP.</source>
        <translation>电机%1的故障复位被急停中止。</translation>
    </message>
</context>
<context>
    <name>CycleExchange</name>
    <message>
        <location filename="../ethercat/cycleexchange.cpp" line="+35"/>
        <source>struct null ptr warnning.</source>
        <translation>结构体空指针警告。</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+34"/>
        <source>Fail: null ptr warnning</source>
        <translation>失败：空指针警告</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>error with set parameter: %1</source>
        <translation>设置参数出错：%1</translation>
    </message>
</context>
<context>
    <name>DriveMailbox</name>
    <message>
        <location filename="../ethercat/drivemailbox.cpp" line="+67"/>
        <source>no drive %1</source>
        <translation>没有电机%1</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Attempt to write a read-only object at index 0x%1</source>
        <translation>试图写入只读对象，索引 0x%1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>read-only</source>
        <translation>只读</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>SDO %1 failed for index 0x%2 subindex 0x%3: %4</source>
        <translation>SDO %1失败，索引 0x%2 子索引 0x%3：%4</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>write</source>
        <translation>写入</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>read</source>
        <translation>读取</translation>
    </message>
    <message>
        <location line="+29"/>
        <location line="+9"/>
        <location line="+9"/>
        <location line="+18"/>
        <location line="+16"/>
        <location line="+25"/>
        <source>Error: no Connect!</source>
        <translation>错误：未连接！</translation>
    </message>
    <message>
        <location line="-53"/>
        <source>Error: SDO name not found!</source>
        <translation>错误：未找到 SDO 名称！</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Slave %1 is taking a firmware download; no parameter transfer.</source>
        <translation>从站%1正在下载固件，不进行参数传输。</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Firmware file &quot;%1&quot; has %2 bytes, more than the %3 a drive takes.</source>
        <translation>固件文件“%1”有 %2 字节，超过电机可接收的 %3 字节。</translation>
    </message>
    <message>
        <location line="+29"/>
        <location line="+35"/>
        <source>Request init state for slave %1</source>
        <translation>请求从站%1进入 INIT 状态</translation>
    </message>
    <message>
        <location line="-31"/>
        <source>Slave %1 state to INIT.</source>
        <translation>从站%1已进入 INIT 状态。</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Request BOOT state for slave %1.</source>
        <translation>请求从站%1进入 BOOT 状态。</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Slave %1 state to BOOT.</source>
        <translation>从站%1已进入 BOOT 状态。</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>FoE read Fail!</source>
        <translation>FoE 读取失败！</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>File &quot;%1&quot; load OK, %2 bytes.</source>
        <translation>文件“%1”加载成功，%2 字节。</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>FoE write....</source>
        <translation>FoE 写入....</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>FOE result: %1.</source>
        <translation>FoE 结果：%1。</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>Cannot open file: %1</source>
        <translation>无法打开文件：%1</translation>
    </message>
    <message>
        <location filename="../ethercat/drivemailbox_dictionary.cpp" line="+59"/>
        <source>no usable reply</source>
        <translation>无可用应答</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Object dictionary: no drive %1 on the bus.</source>
        <translation>对象字典：总线上没有电机%1。</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Object dictionary of drive %1: %2 failed: %3</source>
        <translation>电机%1的对象字典：%2失败：%3</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Object dictionary of drive %1: reading stopped.</source>
        <translation>电机%1的对象字典：读取已停止。</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>the object list</source>
        <translation>读取对象列表</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>an object description</source>
        <translation>读取对象描述</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Object dictionary of drive %1: an entry description failed: %2</source>
        <translation>电机%1的对象字典：读取条目描述失败：%2</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>%1 %2 of drive %3 failed: %4</source>
        <translation>%1电机%3的 %2 失败：%4</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Write</source>
        <translation>写入</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Wrote %1 of drive %2: %3</source>
        <translation>已写入电机%2的 %1：%3</translation>
    </message>
</context>
<context>
    <name>DriveOverview</name>
    <message>
        <location filename="../console/driveoverview.ui" line="+14"/>
        <source>Drive overview</source>
        <translation>电机总览</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>双击一行选择该电机；右键菜单复位故障或复制该行；Esc 急停</source>
        <translation>双击一行选择该电机；右键菜单复位故障或复制该行；Esc 急停</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>Drive</source>
        <translation>电机</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Slave</source>
        <translation>从站</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Mode</source>
        <translation>模式</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Position (turn)</source>
        <translation>位置 (turn)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Velocity (turn/s)</source>
        <translation>速度 (turn/s)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Torque (Nm)</source>
        <translation>转矩 (Nm)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Bus voltage</source>
        <translation>母线电压</translation>
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
        <translation>电机 (℃)</translation>
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
        <translation>复位故障</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Copy row</source>
        <translation>复制该行</translation>
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
        <translation>温度</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>校准</source>
        <translation>校准</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>辨识</source>
        <translation>辨识</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>标定</source>
        <translation>标定</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>入库</source>
        <translation>入库</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>单腿</source>
        <translation>单腿</translation>
    </message>
    <message>
        <location line="+38"/>
        <location line="+19"/>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>Upgrade</source>
        <translation>升级</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+3"/>
        <source>Dock Log</source>
        <translation>停靠日志</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+3"/>
        <source>Full Screen</source>
        <translation>全屏</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+3"/>
        <source>Normal Screen</source>
        <translation>正常窗口</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+3"/>
        <source>Exit</source>
        <translation>退出</translation>
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
        <translation>外观测试
PASS</translation>
    </message>
</context>
<context>
    <name>Glossary</name>
    <message>
        <location filename="glossary.cpp" line="+48"/>
        <source>drive</source>
        <extracomment>Glossary: the numbered servo joint drive on the bus (drive %1), counted from 0 in the console; in physical quantities 电机 means motor. Chinese: 电机</extracomment>
        <translation>电机</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>motor</source>
        <extracomment>Glossary: the motor itself in physical quantities (电机过温 motor overtemperature, 电机相电阻 motor phase resistance). Chinese: 电机</extracomment>
        <translation>电机</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>slave</source>
        <extracomment>Glossary: an EtherCAT bus position, counted from 1. Chinese: 从站</extracomment>
        <translation>从站</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>enable</source>
        <extracomment>Glossary: switch a drive on to Operation enabled (button: Enable); 使能 in compound words. Chinese: 上使能</extracomment>
        <translation>上使能</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>disable</source>
        <extracomment>Glossary: switch a drive off from Operation enabled (button: Disable). Chinese: 下使能</extracomment>
        <translation>下使能</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>fault</source>
        <extracomment>Glossary: a drive fault. Chinese: 故障</extracomment>
        <translation>故障</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Reset fault</source>
        <extracomment>Glossary: the command that clears a drive fault. Chinese: 复位故障</extracomment>
        <translation>复位故障</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>STOP</source>
        <extracomment>Glossary: the console&apos;s stop button for all drives; it sends quick stop. Chinese: 急停</extracomment>
        <translation>急停</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>quick stop</source>
        <extracomment>Glossary: the CiA 402 quick stop command. Chinese: 快速停止</extracomment>
        <translation>快速停止</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>parameter</source>
        <extracomment>Glossary: a drive parameter (object 0x6101). Chinese: 参数</extracomment>
        <translation>参数</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>parameter set</source>
        <extracomment>Glossary: a file holding parameter values. Chinese: 参数集</extracomment>
        <translation>参数集</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Read</source>
        <extracomment>Glossary: read values from a drive. Chinese: 读取</extracomment>
        <translation>读取</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Write</source>
        <extracomment>Glossary: write values to a drive. Chinese: 写入</extracomment>
        <translation>写入</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>product batch number</source>
        <extracomment>Glossary: the drive&apos;s batch number; 产品批次 means the same and is not used. Chinese: 产品批号</extracomment>
        <translation>产品批号</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>product type</source>
        <extracomment>Glossary: the drive&apos;s product type, e.g. QJ30. Chinese: 产品类型</extracomment>
        <translation>产品类型</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>software version</source>
        <extracomment>Glossary: the drive&apos;s software version, major.minor.patch. Chinese: 软件版本</extracomment>
        <translation>软件版本</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>object dictionary</source>
        <extracomment>Glossary: the CoE object dictionary of a drive. Chinese: 对象字典</extracomment>
        <translation>对象字典</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>firmware</source>
        <extracomment>Glossary: the drive&apos;s firmware. Chinese: 固件</extracomment>
        <translation>固件</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>firmware upgrade</source>
        <extracomment>Glossary: loading new firmware into a drive (FoE). Chinese: 固件升级</extracomment>
        <translation>固件升级</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>bus</source>
        <extracomment>Glossary: the EtherCAT bus. Chinese: 总线</extracomment>
        <translation>总线</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Connect</source>
        <extracomment>Glossary: bring the bus up. Chinese: 连接</extracomment>
        <translation>连接</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Disconnect</source>
        <extracomment>Glossary: take the bus down. Chinese: 断开</extracomment>
        <translation>断开</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Connected</source>
        <extracomment>Glossary: the bus is up. Chinese: 已连接</extracomment>
        <translation>已连接</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Not connected</source>
        <extracomment>Glossary: the bus is down. Chinese: 未连接</extracomment>
        <translation>未连接</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>adapter</source>
        <extracomment>Glossary: the Ethernet adapter the bus runs on. Chinese: 网卡</extracomment>
        <translation>网卡</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>log</source>
        <extracomment>Glossary: the log pane and the running log file. Chinese: 日志</extracomment>
        <translation>日志</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>calibration</source>
        <extracomment>Glossary: calibrating a drive (verb: calibrate). Chinese: 校准</extracomment>
        <translation>校准</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>identification</source>
        <extracomment>Glossary: identifying a drive&apos;s motor parameters (verb: identify). Chinese: 辨识</extracomment>
        <translation>辨识</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>multi-joint test</source>
        <extracomment>Glossary: the test that runs several joints together. Chinese: 多关节测试</extracomment>
        <translation>多关节测试</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>three-joint communication</source>
        <extracomment>Glossary: the communication test with three joints. Chinese: 三关节通讯</extracomment>
        <translation>三关节通讯</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>round trip</source>
        <extracomment>Glossary: a motion out and back. Chinese: 往返</extracomment>
        <translation>往返</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>status word</source>
        <extracomment>Glossary: the CiA 402 status word (0x6041). Chinese: 状态字</extracomment>
        <translation>状态字</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>control word</source>
        <extracomment>Glossary: the CiA 402 control word (0x6040). Chinese: 控制字</extracomment>
        <translation>控制字</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>error word</source>
        <extracomment>Glossary: the drive&apos;s error word; ErrorWord/DrvErrorWord stay as they are when used as field names. Chinese: 错误字</extracomment>
        <translation>错误字</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>working counter</source>
        <extracomment>Glossary: the EtherCAT working counter. Chinese: 工作计数器</extracomment>
        <translation>工作计数器</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>emergency (EMCY)</source>
        <extracomment>Glossary: a CoE emergency message. Chinese: 紧急报文</extracomment>
        <translation>紧急报文</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>supervision</source>
        <extracomment>Glossary: the master&apos;s watch over the slaves while the bus runs. Chinese: 监控</extracomment>
        <translation>监控</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>diagnostics</source>
        <extracomment>Glossary: bus diagnostics: counters, events. Chinese: 诊断</extracomment>
        <translation>诊断</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>torque</source>
        <extracomment>Glossary: torque; parameter names keep their own wording (力矩比例 etc.). Chinese: 转矩</extracomment>
        <translation>转矩</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>velocity</source>
        <extracomment>Glossary: velocity. Chinese: 速度</extracomment>
        <translation>速度</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>position</source>
        <extracomment>Glossary: position. Chinese: 位置</extracomment>
        <translation>位置</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>mode</source>
        <extracomment>Glossary: mode of operation. Chinese: 模式</extracomment>
        <translation>模式</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>setpoint</source>
        <extracomment>Glossary: a setpoint sent to a drive. Chinese: 设定值</extracomment>
        <translation>设定值</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Switch on disabled</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 接通禁止</extracomment>
        <translation>接通禁止</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Ready to switch on</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 准备接通</extracomment>
        <translation>准备接通</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Switched on</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 已接通</extracomment>
        <translation>已接通</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Operation enabled</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 运行使能</extracomment>
        <translation>运行使能</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Quick stop active</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 快速停止有效</extracomment>
        <translation>快速停止有效</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Fault reaction active</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 故障反应有效</extracomment>
        <translation>故障反应有效</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Fault</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 故障</extracomment>
        <translation>故障</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Not ready to switch on</source>
        <extracomment>Glossary: CiA 402 state name. Chinese: 未准备好接通</extracomment>
        <translation>未准备好接通</translation>
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
        <translation>关闭</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>✕</source>
        <translation>✕</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Para</source>
        <translation>参数</translation>
    </message>
    <message>
        <location line="+42"/>
        <location line="+103"/>
        <source>Freeze the view; points are still recorded</source>
        <translation>冻结视图；数据点仍在记录</translation>
    </message>
    <message>
        <location line="-97"/>
        <location line="+103"/>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <location line="-96"/>
        <location line="+103"/>
        <source>Fit both axes to the data</source>
        <translation>两轴适应数据</translation>
    </message>
    <message>
        <location line="-100"/>
        <location line="+103"/>
        <source>Fit</source>
        <translation>适应</translation>
    </message>
    <message>
        <location line="-96"/>
        <location line="+103"/>
        <source>Save the visible curves as CSV, or the plot as PNG or PDF</source>
        <translation>将可见曲线保存为 CSV，或将曲线图保存为 PNG 或 PDF</translation>
    </message>
    <message>
        <location line="-100"/>
        <location line="+103"/>
        <location line="+1296"/>
        <source>Export…</source>
        <translation>导出…</translation>
    </message>
    <message>
        <location line="-1386"/>
        <location line="+103"/>
        <location line="+490"/>
        <source>Clear</source>
        <translation>清除</translation>
    </message>
    <message>
        <location line="-583"/>
        <location line="+103"/>
        <location filename="../console/mainwindow.h" line="+93"/>
        <source>Start Plot</source>
        <translation>开始绘图</translation>
    </message>
    <message>
        <location line="-91"/>
        <source>Temp</source>
        <translation>温度</translation>
    </message>
    <message>
        <location line="+112"/>
        <source>电机状态</source>
        <translation>电机状态</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Torque:</source>
        <translation>转矩:</translation>
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
        <translation>位置:</translation>
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
        <translation>速度:</translation>
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
        <translation>模式:</translation>
    </message>
    <message>
        <location line="-403"/>
        <source>State:</source>
        <translation>状态:</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>CiA 402 state of the status word</source>
        <translation>状态字对应的 CiA 402 状态</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>—</source>
        <translation>—</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Bus Voltage:</source>
        <translation>母线电压:</translation>
    </message>
    <message>
        <location line="+13"/>
        <source> V</source>
        <translation> V</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>Motor Temp:</source>
        <translation>电机温度:</translation>
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
        <translation>MOS温度:</translation>
    </message>
    <message>
        <location line="+36"/>
        <source>MCU Temp:</source>
        <translation>MCU温度:</translation>
    </message>
    <message>
        <location line="+78"/>
        <source>日志信息</source>
        <translation>日志信息</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;This is the main text browser. Received messages and notification will be displayed here.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;主日志窗口，显示收到的消息和通知。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Save File</source>
        <translation>保存文件</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Clear text window&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;清空日志窗口&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>FWUpgrade</source>
        <translation>固件升级</translation>
    </message>
    <message>
        <location line="+16"/>
        <location filename="../console/mainwindow.h" line="-14"/>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <location line="+16"/>
        <location filename="../console/mainwindow.h" line="+4"/>
        <source>Enable</source>
        <translation>上使能</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>急停 (Esc)：停止当前电机，多关节测试时停止所有电机</source>
        <translation>急停 (Esc)：停止当前电机，多关节测试时停止所有电机</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>STOP</source>
        <translation>急停</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>电机数量:0</source>
        <translation>电机数量:0</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>操控电机</source>
        <translation>操控电机</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>转速爬升</source>
        <translation>转速爬升</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>轮廓位置</source>
        <translation>轮廓位置</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>力位混合</source>
        <translation>力位混合</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>正弦曲线</source>
        <translation>正弦曲线</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>转矩爬升</source>
        <translation>转矩爬升</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>转矩标定</source>
        <translation>转矩标定</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>电机编号:</source>
        <translation>电机编号:</translation>
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
        <translation>转矩</translation>
    </message>
    <message>
        <location line="+29"/>
        <location line="+69"/>
        <location line="+69"/>
        <location line="+66"/>
        <location line="+66"/>
        <source>Set</source>
        <translation>设置</translation>
    </message>
    <message>
        <location line="-236"/>
        <location filename="../console/mainwindow_plots.cpp" line="+3"/>
        <source>Position</source>
        <translation>位置</translation>
    </message>
    <message>
        <location line="+69"/>
        <source>velocity</source>
        <translation>速度</translation>
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
        <translation>产品类型</translation>
    </message>
    <message>
        <location line="+10"/>
        <location line="+37"/>
        <location line="+52"/>
        <location filename="../console/mainwindow_params.cpp" line="+120"/>
        <source>读取</source>
        <translation>读取</translation>
    </message>
    <message>
        <location line="-79"/>
        <location line="+37"/>
        <location line="+52"/>
        <location filename="../console/mainwindow_params.cpp" line="+2"/>
        <source>写入</source>
        <translation>写入</translation>
    </message>
    <message>
        <location line="-76"/>
        <source>产品批号</source>
        <translation>产品批号</translation>
    </message>
    <message>
        <location line="+52"/>
        <source>软件版本</source>
        <translation>软件版本</translation>
    </message>
    <message>
        <location line="+38"/>
        <location filename="../console/mainwindow_params.cpp" line="-83"/>
        <source>Read ALL</source>
        <translation>全部读取</translation>
    </message>
    <message>
        <location line="+7"/>
        <location filename="../console/mainwindow_params.cpp" line="-1"/>
        <source>Write ALL</source>
        <translation>全部写入</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Write every parameter of the drive to a YAML file</source>
        <translation>将电机的所有参数写入 YAML 文件</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Compare a parameter file with the drive and write the rows you tick</source>
        <translation>将参数文件与电机比较，并写入勾选的行</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Import…</source>
        <translation>导入…</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Show the parameters of two drives, or a drive and a file, side by side</source>
        <translation>并排显示两台电机的参数，或一台电机与一个文件的参数</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Compare drives…</source>
        <translation>比较电机…</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>RoundTrip</source>
        <translation>往返</translation>
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
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;位置环测试请先选择&lt;span style=&quot; font-weight:700; color:#ff557f;&quot;&gt;轮廓位置&lt;/span&gt;模式！&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;速度环测试请先选择&lt;span style=&quot; font-weight:700; color:#ff557f;&quot;&gt;转速爬升&lt;/span&gt;模式！&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;电流环测试请先选择&lt;span style=&quot; font-weight:700; color:#ff557f;&quot;&gt;转矩爬升&lt;/span&gt;模式！&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>运动总时间 (s)</source>
        <translation>运动总时间 (s)</translation>
    </message>
    <message>
        <location line="+20"/>
        <location filename="../console/mainwindow_pages.cpp" line="+79"/>
        <source>速度环往返参数 (turn/s)</source>
        <translation>速度环往返参数 (turn/s)</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>往返运动间隔时间 (s)</source>
        <translation>往返运动间隔时间 (s)</translation>
    </message>
    <message>
        <location line="+36"/>
        <location line="+231"/>
        <location filename="../console/mainwindow.h" line="+4"/>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <location line="-195"/>
        <source>校准辨识</source>
        <translation>校准辨识</translation>
    </message>
    <message>
        <location line="+12"/>
        <location filename="../console/mainwindow.cpp" line="+146"/>
        <source>当前状态：</source>
        <translation>当前状态：</translation>
    </message>
    <message>
        <location line="+7"/>
        <location filename="../console/mainwindow.h" line="+2"/>
        <source>开始校准</source>
        <translation>开始校准</translation>
    </message>
    <message>
        <location line="+7"/>
        <location filename="../console/mainwindow.h" line="+2"/>
        <source>开始辨识</source>
        <translation>开始辨识</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>提示1：校准模式需要退出Enable状态</source>
        <translation>提示1：校准模式需要退出上使能状态</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>提示1：辨识模式需要进入Enable模式</source>
        <translation>提示1：辨识模式需要进入上使能状态</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>提示2：校准时无法点击其他按钮</source>
        <translation>提示2：校准时无法点击其他按钮</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>提示2：辨识结束后将自动退出Enable</source>
        <translation>提示2：辨识结束后将自动下使能</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>提示3：辨识时无法点击其他按钮</source>
        <translation>提示3：辨识时无法点击其他按钮</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>三关节通讯</source>
        <translation>三关节通讯</translation>
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
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;请先上使能&lt;br /&gt;开始测试后会自动切换为转速爬升模式。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>当前级联个数</source>
        <translation>当前级联个数</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>测试转速</source>
        <translation>测试转速</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>1  turn/s</source>
        <translation>1  turn/s</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>EnbleAll</source>
        <translation>全部上使能</translation>
    </message>
    <message>
        <location line="+59"/>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Drive</source>
        <translation>电机</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Tools</source>
        <translation>工具</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <location line="+15"/>
        <location filename="../console/mainwindow.cpp" line="-68"/>
        <location filename="../console/mainwindow_faults.cpp" line="+188"/>
        <source>Capture bus traffic…</source>
        <translation>捕获总线通信…</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Object dictionary</source>
        <translation>对象字典</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Scope</source>
        <translation>示波器</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Bus diagnostics</source>
        <translation>总线诊断</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Drive overview</source>
        <translation>电机总览</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Reset fault</source>
        <translation>复位故障</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Reset faults of all drives</source>
        <translation>复位所有电机的故障</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Upgrade</source>
        <translation>升级</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+3"/>
        <source>Dock Log</source>
        <translation>停靠日志</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+3"/>
        <source>Full Screen</source>
        <translation>全屏</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+3"/>
        <source>Normal Screen</source>
        <translation>正常窗口</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Takes effect at the next start</source>
        <translation>下次启动时生效</translation>
    </message>
    <message>
        <location line="+30"/>
        <location line="+3"/>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <location filename="../console/mainwindow.cpp" line="-21"/>
        <source>未连接</source>
        <translation>未连接</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>已连接</source>
        <translation>已连接</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>上使能</source>
        <translation>上使能</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>测试中</source>
        <translation>测试中</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unknow</source>
        <translation>未知</translation>
    </message>
    <message>
        <location line="+12"/>
        <location filename="../console/mainwindow_faults.cpp" line="+20"/>
        <source>Stop capture</source>
        <translation>停止捕获</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>&gt;&gt;&gt; File &quot;state_config.yaml&quot; Load OK</source>
        <translation>&gt;&gt;&gt; 文件&quot;state_config.yaml&quot;加载成功</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&gt;&gt;&gt; File &quot;state_config.yaml&quot; Load FAIL!</source>
        <translation>&gt;&gt;&gt; 文件&quot;state_config.yaml&quot;加载失败！</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Results and saved logs go to %1</source>
        <translation>结果和保存的日志存放在 %1</translation>
    </message>
    <message>
        <location line="+44"/>
        <location line="+233"/>
        <location line="+78"/>
        <source>电机数量:%1</source>
        <translation>电机数量:%1</translation>
    </message>
    <message>
        <location line="-240"/>
        <location line="+227"/>
        <source>Disconnect Success.</source>
        <translation>断开成功。</translation>
    </message>
    <message>
        <location line="-125"/>
        <source>Connect Fail</source>
        <translation>连接失败</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Please exit the motor mode first！</source>
        <translation>请先退出上使能状态！</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Connect Fail.</source>
        <translation>连接失败。</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Connect Success.</source>
        <translation>连接成功。</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>currentMotorIndex.%1</source>
        <translation>当前电机索引:%1</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Drive %1 (slave %2)</source>
        <translation>电机%1 (从站%2)</translation>
    </message>
    <message>
        <location line="+67"/>
        <source>当前正在上使能或下使能，请等待其完成</source>
        <translation>当前正在上使能或下使能，请等待其完成</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>当前处于%1，请进入%2状态</source>
        <translation>当前处于%1，请进入%2状态</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>当前处于%1，请退回%2状态</source>
        <translation>当前处于%1，请退回%2状态</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>A slave was lost, the bus is disconnected.</source>
        <translation>从站丢失，总线已断开。</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Slave %1 lost, the bus is disconnected: %2</source>
        <translation>从站%1丢失，总线已断开：%2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>no reason recorded</source>
        <translation>未记录原因</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_faults.cpp" line="-144"/>
        <source>电机%1: 产品类型 %2, 软件版本 %3</source>
        <translation>电机%1: 产品类型 %2, 软件版本 %3</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+1"/>
        <source>未知</source>
        <translation>未知</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>电机%1故障: %2</source>
        <translation>电机%1故障: %2</translation>
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
        <translation>捕获总线通信</translation>
    </message>
    <message>
        <location line="-12"/>
        <source>Connect the bus first.</source>
        <translation>请先连接总线。</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>pcapng (*.pcapng)</source>
        <translation>抓包文件 (*.pcapng)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>%1 cannot be written.</source>
        <translation>无法写入 %1。</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>电机%1: %2, ErrorWord %3, DrvErrorWord %4</source>
        <translation>电机%1: %2, ErrorWord %3, DrvErrorWord %4</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>电机%1未处于故障状态，无需复位</source>
        <translation>电机%1未处于故障状态，无需复位</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>没有处于故障状态的电机</source>
        <translation>没有处于故障状态的电机</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>电机%1故障复位失败</source>
        <translation>电机%1故障复位失败</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>电机%1故障已复位</source>
        <translation>电机%1故障已复位</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_firmware.cpp" line="+29"/>
        <source>选择固件文件</source>
        <translation>选择固件文件</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>固件文件 (*.efw *.bin)</source>
        <translation>固件文件 (*.efw *.bin)</translation>
    </message>
    <message>
        <location line="+10"/>
        <location filename="../console/mainwindow_plots.cpp" line="+32"/>
        <source>ERROR</source>
        <translation>错误</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>输入错误</source>
        <translation>输入错误</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>unknown (the read failed)</source>
        <translation>未知（读取失败）</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Firmware download</source>
        <translation>固件下载</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Download %1 into drive %2 (slave %3), now running version %4?
The bus is taken down afterwards; connect again when it is done.</source>
        <translation>将 %1 下载到电机%2 (从站%3)，其当前运行版本为 %4？
下载后总线将断开；完成后请重新连接。</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Firmware download into drive %1 (slave %2) cancelled.</source>
        <translation>已取消向电机%1 (从站%2) 下载固件。</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>正在更新...</source>
        <translation>正在更新...</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>The drive has left OPERATIONAL for its bootloader: the bus is taken down; connect again.</source>
        <translation>电机已离开 OPERATIONAL 进入引导程序：总线已断开，请重新连接。</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>失败</source>
        <translation>失败</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>固件写入失败!</source>
        <translation>固件写入失败!</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>成功</source>
        <translation>成功</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>固件写入成功!</source>
        <translation>固件写入成功!</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_params.cpp" line="+5"/>
        <source>Get &quot;%1&quot;: %2</source>
        <translation>读取&quot;%1&quot;: %2</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Set &quot;%1&quot;: %2</source>
        <translation>设置&quot;%1&quot;: %2</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>读取产品类型失败，尝试重新解析</source>
        <translation>读取产品类型失败，尝试重新解析</translation>
    </message>
    <message>
        <location line="+48"/>
        <location line="+318"/>
        <source>Skip &quot;%1&quot;: no value shown</source>
        <translation>跳过&quot;%1&quot;：未显示数值</translation>
    </message>
    <message>
        <location line="-236"/>
        <source>reading…</source>
        <translation>读取中…</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>read failed</source>
        <translation>读取失败</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Get &quot;%1&quot;: read failed</source>
        <translation>读取&quot;%1&quot;：读取失败</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Get &quot;Software_Version&quot;: 0x%1</source>
        <translation>读取&quot;软件版本&quot;: 0x%1</translation>
    </message>
    <message>
        <location line="+53"/>
        <source>&quot;%1&quot;: %2 is beyond what the editor shows (%3 to %4); left blank</source>
        <translation>&quot;%1&quot;：%2 超出编辑框的显示范围（%3 至 %4），留空</translation>
    </message>
    <message>
        <location line="+82"/>
        <source>Read ALL / Write ALL is running; wait for it to finish.</source>
        <translation>全部读取 / 全部写入正在进行，请等待其完成。</translation>
    </message>
    <message>
        <location line="+55"/>
        <source>%1: row %2 of %3</source>
        <translation>%1：第%2行，共%3行</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>%1 finished.</source>
        <translation>%1完成。</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 stopped.</source>
        <translation>%1已中止。</translation>
    </message>
    <message>
        <location filename="../console/mainwindow.h" line="-11"/>
        <source>Connecting</source>
        <translation>连接中</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Disconnect</source>
        <translation>断开</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Disconnecting</source>
        <translation>断开中</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Enabling</source>
        <translation>上使能中</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Disable</source>
        <translation>下使能</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Disabling</source>
        <translation>下使能中</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>校准中</source>
        <translation>校准中</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>辨识中</source>
        <translation>辨识中</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Stop Plot</source>
        <translation>停止绘图</translation>
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
        <translation>设备未连接.</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>STOP: quick stop sent to drive(s) %1.</source>
        <translation>急停：快速停止已发送至电机 %1。</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>none</source>
        <translation>无</translation>
    </message>
    <message>
        <location line="+52"/>
        <source>电机%1处于故障状态，请先复位故障 (Drive &gt; Reset fault)</source>
        <translation>电机%1处于故障状态，请先复位故障 (电机 &gt; 复位故障)</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Enable Success.</source>
        <translation>上使能成功。</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Enable Fail.</source>
        <translation>上使能失败。</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Disable success.</source>
        <translation>下使能成功。</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Disable Fail.</source>
        <translation>下使能失败。</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Current Motor Index: %1</source>
        <translation>当前操控电机: %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>change mode:%1</source>
        <translation>切换模式:%1</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>command: %1 </source>
        <translation>指令: %1 </translation>
    </message>
    <message>
        <location filename="../console/mainwindow_language.cpp" line="+32"/>
        <source>Language at the next start: %1.</source>
        <translation>下次启动时的语言: %1。</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Log language: %1 (%2)</source>
        <translation>日志语言: %1 (%2)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Log language: none chosen, texts as written in the program</source>
        <translation>日志语言: 未选择, 文字按程序中的原文</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_log.cpp" line="+52"/>
        <source>保存日志文件</source>
        <translation>保存日志文件</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Text Files (*.txt);;All Files (*)</source>
        <translation>文本文件 (*.txt);;所有文件 (*)</translation>
    </message>
    <message>
        <location line="+6"/>
        <location line="+8"/>
        <source>保存失败</source>
        <translation>保存失败</translation>
    </message>
    <message>
        <location line="-8"/>
        <source>无法读取临时日志文件.</source>
        <translation>无法读取临时日志文件.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>无法保存日志文件到指定路径.</source>
        <translation>无法保存日志文件到指定路径.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>日志文件写入失败.</source>
        <translation>日志文件写入失败.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>保存成功</source>
        <translation>保存成功</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>日志已成功保存.</source>
        <translation>日志已成功保存.</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_pages.cpp" line="-32"/>
        <source>&gt;&gt;&gt; start Roundtrip</source>
        <translation>&gt;&gt;&gt; 开始往返测试</translation>
    </message>
    <message>
        <location line="+9"/>
        <location line="+126"/>
        <source>&gt;&gt;&gt; Stop Roundtrip</source>
        <translation>&gt;&gt;&gt; 停止往返测试</translation>
    </message>
    <message>
        <location line="-102"/>
        <source>位置环往返参数 (turn)</source>
        <translation>位置环往返参数 (turn)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电流环往返参数 (Nm)</source>
        <translation>电流环往返参数 (Nm)</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>&gt;&gt;&gt; 开始多关节测试</source>
        <translation>&gt;&gt;&gt; 开始多关节测试</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>&gt;&gt;&gt; 上使能所有电机失败。</source>
        <translation>&gt;&gt;&gt; 上使能所有电机失败。</translation>
    </message>
    <message>
        <location line="+14"/>
        <location line="+30"/>
        <source>&gt;&gt;&gt; 停止多关节测试</source>
        <translation>&gt;&gt;&gt; 停止多关节测试</translation>
    </message>
    <message>
        <location line="-24"/>
        <source>&gt;&gt;&gt; 下使能所有电机失败</source>
        <translation>&gt;&gt;&gt; 下使能所有电机失败</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_plots.cpp" line="-45"/>
        <location line="+2"/>
        <source>Time (s)</source>
        <translation>时间 (s)</translation>
    </message>
    <message>
        <location line="-1"/>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Temperature (℃)</source>
        <translation>温度 (℃)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Mcu</source>
        <translation>MCU</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>ntc-mos</source>
        <translation>MOS温度 (NTC)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Motor</source>
        <translation>电机</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Velocity</source>
        <translation>速度</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>请先Connect</source>
        <translation>请先连接</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>请先进入OP模式</source>
        <translation>请先进入OP模式</translation>
    </message>
    <message>
        <location line="+36"/>
        <location line="+6"/>
        <source>Export plot</source>
        <translation>导出曲线图</translation>
    </message>
    <message>
        <location line="-6"/>
        <source>CSV (*.csv);;PNG image (*.png);;PDF (*.pdf)</source>
        <translation>CSV (*.csv);;PNG 图像 (*.png);;PDF (*.pdf)</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>%1 was not written: %2</source>
        <translation>%1未写入: %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Plot exported to %1</source>
        <translation>曲线图已导出到 %1</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_procedures.cpp" line="-66"/>
        <source>已进行%1秒</source>
        <translation>已进行%1秒</translation>
    </message>
    <message>
        <location line="+46"/>
        <source>&gt;&gt;&gt; 开始校准</source>
        <translation>&gt;&gt;&gt; 开始校准</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Set &quot; %1&quot;: %2</source>
        <translation>写入&quot; %1&quot;: %2</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>&gt;&gt;&gt; 校准成功</source>
        <translation>&gt;&gt;&gt; 校准成功</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>校准成功</source>
        <translation>校准成功</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&gt;&gt;&gt; 校准超时，请重启电机并重新连接</source>
        <translation>&gt;&gt;&gt; 校准超时，请重启电机并重新连接</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+136"/>
        <source>校准失败</source>
        <translation>校准失败</translation>
    </message>
    <message>
        <location line="-119"/>
        <source>正在辨识</source>
        <translation>正在辨识</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>请先停止电机</source>
        <translation>请先停止电机</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>警告</source>
        <translation>警告</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>请先输入电机编号，再进行辨识！</source>
        <translation>请先输入电机编号，再进行辨识！</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>辨识</source>
        <translation>辨识</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>请确认电机编号为%1。点击Yes开始辨识，结束后文件将保存至:%2</source>
        <translation>请确认电机编号为%1。点击“是”开始辨识，结束后文件将保存至:%2</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>无法打开辨识文件</source>
        <translation>无法打开辨识文件</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>&gt;&gt;&gt; 开始辨识</source>
        <translation>&gt;&gt;&gt; 开始辨识</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>&gt;&gt;&gt; 辨识成功</source>
        <translation>&gt;&gt;&gt; 辨识成功</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>辨识成功</source>
        <translation>辨识成功</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&gt;&gt;&gt; 辨识结果文件写入失败: %1</source>
        <translation>&gt;&gt;&gt; 辨识结果文件写入失败: %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&gt;&gt;&gt; 辨识超时，请重启电机并重新连接</source>
        <translation>&gt;&gt;&gt; 辨识超时，请重启电机并重新连接</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+45"/>
        <source>辨识失败</source>
        <translation>辨识失败</translation>
    </message>
    <message>
        <location line="-4"/>
        <source>&gt;&gt;&gt; 校准中断：电机已断开</source>
        <translation>&gt;&gt;&gt; 校准中断：电机已断开</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>&gt;&gt;&gt; 辨识中断：电机已断开</source>
        <translation>&gt;&gt;&gt; 辨识中断：电机已断开</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_status.cpp" line="+31"/>
        <source>&gt;&gt;&gt; Error Word: </source>
        <translation>&gt;&gt;&gt; 错误字: </translation>
    </message>
    <message>
        <location line="+1"/>
        <source>设备类型未知，无法解析电机错误字！</source>
        <translation>设备类型未知，无法解析电机错误字！</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&gt;&gt;&gt; Drv Error Word: </source>
        <translation>&gt;&gt;&gt; 驱动错误字: </translation>
    </message>
    <message>
        <location line="+1"/>
        <source>设备类型未知，无法解析Drv错误字！</source>
        <translation>设备类型未知，无法解析驱动错误字！</translation>
    </message>
    <message>
        <location line="+98"/>
        <source>配置文件缺少&quot;%1&quot;</source>
        <translation>配置文件缺少&quot;%1&quot;</translation>
    </message>
    <message>
        <location filename="../console/mainwindow_update.cpp" line="+47"/>
        <source>Failed to start the updater.</source>
        <translation>无法启动更新程序。</translation>
    </message>
</context>
<context>
    <name>ObjectDictionary</name>
    <message>
        <location filename="../console/objectdictionary/objectdictionary.ui" line="+14"/>
        <source>Object dictionary</source>
        <translation>对象字典</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Drive</source>
        <translation>电机</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Read dictionary</source>
        <translation>读取对象字典</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>Index</source>
        <translation>索引</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Bits</source>
        <translation>位数</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Access</source>
        <translation>访问</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <location line="+8"/>
        <location filename="../console/objectdictionary/objectdictionary.cpp" line="+230"/>
        <source>No entry selected</source>
        <translation>未选择条目</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Write</source>
        <translation>写入</translation>
    </message>
    <message>
        <location filename="../console/objectdictionary/objectdictionary.cpp" line="-110"/>
        <source>The bus has changed; read the dictionary again.</source>
        <translation>总线已变化，请重新读取对象字典。</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>Reading the dictionary of drive %1…</source>
        <translation>正在读取电机%1的对象字典…</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>The dictionary of drive %1 could not be read; see the log.</source>
        <translation>无法读取电机%1的对象字典，详见日志。</translation>
    </message>
    <message>
        <location line="-55"/>
        <source>Drive %1 (slave %2)</source>
        <translation>电机%1 (从站%2)</translation>
    </message>
    <message>
        <location line="+61"/>
        <source>Objects read from drive %1: %2</source>
        <translation>从电机%1读取的对象: %2</translation>
    </message>
    <message>
        <location line="+72"/>
        <source>%1 could not be read: %2</source>
        <translation>无法读取%1: %2</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>%1 = %2</source>
        <translation>%1 = %2</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>&quot;%1&quot; is not a value of type %2.</source>
        <translation>&quot;%1&quot;不是类型 %2 的值。</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Not written: the console refuses writes now; see the log.</source>
        <translation>未写入: 控制台当前拒绝写入，详见日志。</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>%1 was not written: %2</source>
        <translation>%1未写入: %2</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Written; read back: </source>
        <translation>已写入；读回: </translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1 written.</source>
        <translation>%1已写入。</translation>
    </message>
</context>
<context>
    <name>ObjectNames</name>
    <message>
        <location filename="object_names.cpp" line="+11"/>
        <source>Device type</source>
        <translation>设备类型</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Error register</source>
        <translation>错误寄存器</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Device name</source>
        <translation>设备名称</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hardware version</source>
        <translation>硬件版本</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Software version</source>
        <translation>软件版本</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Identity</source>
        <translation>标识</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Number of entries</source>
        <translation>条目数</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Vendor ID</source>
        <translation>厂商代码</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Product code</source>
        <translation>产品代码</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Revision</source>
        <translation>修订号</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Serial number</source>
        <translation>序列号</translation>
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
        <translation>映射对象 %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>SyncManager types</source>
        <translation>SyncManager 类型</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>SM output parameter</source>
        <translation>SM 输出参数</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>SM input parameter</source>
        <translation>SM 输入参数</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Synchronization type</source>
        <translation>同步类型</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Cycle time</source>
        <translation>周期时间</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Synchronization types supported</source>
        <translation>支持的同步类型</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>RxPDO assign</source>
        <translation>RxPDO 分配</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>TxPDO assign</source>
        <translation>TxPDO 分配</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PDO</source>
        <translation>PDO</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Number of PDOs</source>
        <translation>PDO 数量</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Number of SyncManagers</source>
        <translation>SyncManager 数量</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Gains</source>
        <translation>增益</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Temperatures</source>
        <translation>温度</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Clear fault history</source>
        <translation>清除故障记录</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Joint label</source>
        <translation>关节标签</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Drive parameters</source>
        <translation>驱动器参数</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Controlword</source>
        <translation>控制字</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Statusword</source>
        <translation>状态字</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target torque</source>
        <translation>目标转矩</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target position</source>
        <translation>目标位置</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target velocity</source>
        <translation>目标速度</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Modes of operation</source>
        <translation>运行模式</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Modes of operation display</source>
        <translation>运行模式显示</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Position actual value</source>
        <translation>实际位置</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Velocity actual value</source>
        <translation>实际速度</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Torque actual value</source>
        <translation>实际转矩</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>DC link circuit voltage</source>
        <translation>母线电压</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Motor error word</source>
        <translation>电机错误字</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Drive error word</source>
        <translation>驱动器错误字</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU temperature</source>
        <translation>MCU 温度</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOSFET temperature</source>
        <translation>MOS 温度</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Motor temperature</source>
        <translation>电机温度</translation>
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
        <translation>输入</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Outputs</source>
        <translation>输出</translation>
    </message>
</context>
<context>
    <name>ParamTable</name>
    <message>
        <location filename="../model/paramtable.cpp" line="+25"/>
        <source>软件版本</source>
        <translation>软件版本</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>转矩常数</source>
        <translation>转矩常数</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机转动惯量</source>
        <translation>电机转动惯量</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机粘性摩擦</source>
        <translation>电机粘性摩擦</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机静摩擦</source>
        <translation>电机静摩擦</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>堵转触发电流</source>
        <translation>堵转触发电流</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>堵转触发速度</source>
        <translation>堵转触发速度</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>堵住触发时间</source>
        <translation>堵住触发时间</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>力矩电流限值</source>
        <translation>力矩电流限值</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>最大母线电流</source>
        <translation>最大母线电流</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>最大漏电流</source>
        <translation>最大漏电流</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>欠压保护阈值</source>
        <translation>欠压保护阈值</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>过压保护阈值</source>
        <translation>过压保护阈值</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>相电流保护阈值</source>
        <translation>相电流保护阈值</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU高温保护值</source>
        <translation>MCU高温保护值</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS高温保护值</source>
        <translation>MOS高温保护值</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机高温保护值</source>
        <translation>电机高温保护值</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>校准</source>
        <translation>校准</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>保存设置</source>
        <translation>保存设置</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>保存设置中</source>
        <translation>保存设置中</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU低温保护值</source>
        <translation>MCU低温保护值</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS低温保护值</source>
        <translation>MOS低温保护值</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机低温保护值</source>
        <translation>电机低温保护值</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>反转方向</source>
        <translation>反转方向</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机极对数</source>
        <translation>电机极对数</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>校准电流</source>
        <translation>校准电流</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>校准电压</source>
        <translation>校准电压</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>减速比</source>
        <translation>减速比</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机相电阻</source>
        <translation>电机相电阻</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机相电感</source>
        <translation>电机相电感</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机转速限值</source>
        <translation>电机转速限值</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>突破电流</source>
        <translation>突破电流</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>力矩比例</source>
        <translation>力矩比例</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电流比例</source>
        <translation>电流比例</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>产品批号</source>
        <translation>产品批号</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>未使用</source>
        <translation>未使用</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>产品类型</source>
        <translation>产品类型</translation>
    </message>
</context>
<context>
    <name>ParameterCompareDialog</name>
    <message>
        <location filename="../console/parametersets/parametercompare.ui" line="+14"/>
        <source>Compare parameters</source>
        <translation>比较参数</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>against</source>
        <translation>对比</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Compare</source>
        <translation>比较</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>Write</source>
        <translation>写入</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Parameter</source>
        <translation>参数</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Drive</source>
        <translation>电机</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Tick differing</source>
        <translation>勾选不同项</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Untick all</source>
        <translation>全部取消勾选</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Write ticked</source>
        <translation>写入勾选项</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <location filename="../console/parametersets/parametercompare.cpp" line="+39"/>
        <source>Import parameters: %1 into %2</source>
        <translation>导入参数: %1 到%2</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Compare drives</source>
        <translation>比较电机</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>File…</source>
        <translation>文件…</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Not in the file</source>
        <translation>文件中没有</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Read-only</source>
        <translation>只读</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Differing parameters: %1</source>
        <translation>不同的参数: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>; only ticked rows are written, identity rows never.</source>
        <translation>；只写入勾选的行，标识行从不写入。</translation>
    </message>
</context>
<context>
    <name>ParameterSetFile</name>
    <message>
        <location filename="../console/parametersets/parameterset.cpp" line="+90"/>
        <source>&apos;%1&apos; is not a text</source>
        <translation>&apos;%1&apos; 不是文本</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>not a parameter set</source>
        <translation>不是参数集</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>format %1 is not one this version reads</source>
        <translation>本版本无法读取格式 %1</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>no &apos;product_type&apos;</source>
        <translation>缺少 &apos;product_type&apos;</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>&apos;batch&apos; is not a whole number</source>
        <translation>&apos;batch&apos; 不是整数</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>no &apos;parameters&apos; list</source>
        <translation>缺少 &apos;parameters&apos; 列表</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>a parameter is not a mapping of id, name and value</source>
        <translation>有参数不是由 &apos;id&apos;、&apos;name&apos; 和 &apos;value&apos; 组成的映射</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>a parameter without a numeric &apos;id&apos;</source>
        <translation>有参数缺少数字 &apos;id&apos;</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>unknown parameter id %1</source>
        <translation>未知参数编号 %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>parameter id %1 appears twice</source>
        <translation>参数编号 %1 出现两次</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>parameter %1 (%2): the value is not a number</source>
        <translation>参数 %1 (%2): 值不是数字</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>parameter %1 (%2): %3 is out of range or not a step the drive takes</source>
        <translation>参数 %1 (%2): %3 超出范围或不是电机接受的步长</translation>
    </message>
    <message>
        <location line="+106"/>
        <location line="+2"/>
        <source>line %1: %2</source>
        <translation>第 %1 行: %2</translation>
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
        <translation>导出参数</translation>
    </message>
    <message>
        <location line="-141"/>
        <location line="+154"/>
        <location line="+7"/>
        <source>Parameter set</source>
        <translation>参数集</translation>
    </message>
    <message>
        <location line="-112"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location line="+39"/>
        <source>A parameter-set transfer is running; wait for it to finish.</source>
        <translation>参数集传输正在进行，请等待其完成。</translation>
    </message>
    <message>
        <location line="-91"/>
        <source>Parameter sets (*.yaml *.yml);;All files (*)</source>
        <translation>参数集 (*.yaml *.yml);;所有文件 (*)</translation>
    </message>
    <message>
        <location line="+97"/>
        <source>Drive %1 (slave %2)</source>
        <translation>电机%1 (从站%2)</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+70"/>
        <source>No drive %1 on the bus.</source>
        <translation>总线上没有电机%1。</translation>
    </message>
    <message>
        <location line="-58"/>
        <location line="+76"/>
        <source>Reading the parameters of drive %1…</source>
        <translation>正在读取电机%1的参数…</translation>
    </message>
    <message>
        <location line="-70"/>
        <source>Export of drive %1 stopped; no file written.</source>
        <translation>电机%1的导出已停止，未写入文件。</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>%1 could not be written: %2</source>
        <translation>无法写入%1: %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Parameters of drive %1 (%2) exported to %3: %4 values.</source>
        <translation>电机%1 (%2) 的参数已导出到%3: %4个值。</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Not readable, left out of the file: %1</source>
        <translation>无法读取，未写入文件: %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>These parameters could not be read and are not in the file:
%1</source>
        <translation>以下参数无法读取，未写入文件:
%1</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>%1 cannot be read: %2</source>
        <translation>无法读取%1: %2</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Parameter set %1 refused: %2</source>
        <translation>参数集%1被拒绝: %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 is not a parameter set this console can load; nothing was written.
%2</source>
        <translation>%1不是本控制台可以加载的参数集，未写入任何内容。
%2</translation>
    </message>
    <message>
        <location line="+12"/>
        <location line="+38"/>
        <location line="+78"/>
        <source>Import parameters</source>
        <translation>导入参数</translation>
    </message>
    <message>
        <location line="-91"/>
        <source>Import into drive %1 stopped: the bus has changed.</source>
        <translation>导入电机%1已停止: 总线已变化。</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Import into drive %1 stopped before anything was written.</source>
        <translation>导入电机%1在写入前已停止。</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>%1 holds parameters of a %2; drive %3 is a %4.
Compare and choose rows to write anyway?</source>
        <translation>%1保存的是 %2 的参数；电机%3是 %4。
仍要比较并选择要写入的行吗？</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Import of %1 into drive %2 (%3) declined: the file is for a %4.</source>
        <translation>已拒绝将%1导入电机%2 (%3): 该文件适用于 %4。</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>drive %1 (slave %2)</source>
        <translation>电机%1 (从站%2)</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>Not written: the bus has changed since drive %1 was read.</source>
        <translation>未写入: 读取电机%1后总线已变化。</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Writing parameters into drive %1 (%2 ticked)…</source>
        <translation>正在向电机%1写入参数 (已勾选%2个)…</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Set &quot;%1&quot;: %2</source>
        <translation>设置&quot;%1&quot;: %2</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Import into drive %1: not taken: %2</source>
        <translation>导入电机%1: 未生效: %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Drive %1 does not hold these values as written:
%2</source>
        <translation>电机%1中的以下值与写入的不一致:
%2</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Import into drive %1: %2 parameter(s) written and read back.</source>
        <translation>导入电机%1: 已写入并读回%2个参数。</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Compare drives</source>
        <translation>比较电机</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>No drive on the bus.</source>
        <translation>总线上没有电机。</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>Reading the parameters…</source>
        <translation>正在读取参数…</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Comparison stopped.</source>
        <translation>比较已停止。</translation>
    </message>
    <message>
        <location line="-106"/>
        <source>Not readable, shown empty: %1</source>
        <translation>无法读取，显示为空: %1</translation>
    </message>
</context>
<context>
    <name>PasswordDialog</name>
    <message>
        <location filename="../console/passworddialog.cpp" line="+40"/>
        <source>输入密码</source>
        <translation>输入密码</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>请输入16进制密码：</source>
        <translation>请输入16进制密码：</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>无效输入</source>
        <translation>无效输入</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>请输入有效的16进制密码！</source>
        <translation>请输入有效的16进制密码！</translation>
    </message>
</context>
<context>
    <name>PlotExport</name>
    <message>
        <location filename="../widgets/plotexport.cpp" line="+34"/>
        <source>the PDF could not be written</source>
        <translation>无法写入 PDF</translation>
    </message>
    <message>
        <location line="+62"/>
        <source>unknown file type &quot;%1&quot;: choose .csv, .png or .pdf</source>
        <translation>未知文件类型“%1”：请选择 .csv、.png 或 .pdf</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>the file could not be written</source>
        <translation>无法写入文件</translation>
    </message>
</context>
<context>
    <name>ScopeTool</name>
    <message>
        <location filename="../console/scope/scopetool.cpp" line="+14"/>
        <source>Position</source>
        <translation>位置</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Velocity</source>
        <translation>速度</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Torque</source>
        <translation>转矩</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Bus voltage</source>
        <translation>母线电压</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Motor temperature</source>
        <translation>电机温度</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS temperature</source>
        <translation>MOS 温度</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU temperature</source>
        <translation>MCU 温度</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Status word</source>
        <translation>状态字</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Error word</source>
        <translation>错误字</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Drive error word</source>
        <translation>驱动器错误字</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Mode display</source>
        <translation>模式显示</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target position</source>
        <translation>目标位置</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target velocity</source>
        <translation>目标速度</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Target torque</source>
        <translation>目标转矩</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Control word</source>
        <translation>控制字</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Mode</source>
        <translation>模式</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Following error</source>
        <translation>跟随误差</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Velocity error</source>
        <translation>速度误差</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Supervision lost</source>
        <translation>监控丢失</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Supervision recovered</source>
        <translation>监控恢复</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Supervision acknowledged</source>
        <translation>监控已确认</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Emergency</source>
        <translation>紧急报文</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>State change</source>
        <translation>状态变化</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>STOP</source>
        <translation>急停</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Enable</source>
        <translation>上使能</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Disable</source>
        <translation>下使能</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Working counter short</source>
        <translation>工作计数器不足</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Manual trigger</source>
        <translation>手动触发</translation>
    </message>
    <message>
        <location line="+60"/>
        <source>No bus is connected.</source>
        <translation>总线未连接。</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Add a channel first.</source>
        <translation>请先添加通道。</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>The recorder refused the channels.</source>
        <translation>记录器拒绝了这些通道。</translation>
    </message>
    <message>
        <location line="+74"/>
        <source>There is no recording to save.</source>
        <translation>没有可保存的记录。</translation>
    </message>
    <message>
        <location line="+53"/>
        <source>There is no recording to export.</source>
        <translation>没有可导出的记录。</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Drive %1 (slave %2)</source>
        <translation>电机%1 (从站%2)</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Drive %1: %2</source>
        <translation>电机%1: %2</translation>
    </message>
</context>
<context>
    <name>ScopeWindow</name>
    <message>
        <location filename="../console/scope/scopewindow.ui" line="+6"/>
        <source>Scope</source>
        <translation>示波器</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Channels</source>
        <translation>通道</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Drive</source>
        <translation>电机</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Signal</source>
        <translation>信号</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Scale</source>
        <translation>比例</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Colour</source>
        <translation>颜色</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Add channel</source>
        <translation>添加通道</translation>
    </message>
    <message>
        <location line="+6"/>
        <location line="+2"/>
        <source>Trigger</source>
        <translation>触发</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Rising edge</source>
        <translation>上升沿</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Falling edge</source>
        <translation>下降沿</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Status bit on</source>
        <translation>状态位置位</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Status bit off</source>
        <translation>状态位清零</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Fault entry</source>
        <translation>进入故障</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+10"/>
        <source>Event</source>
        <translation>事件</translation>
    </message>
    <message>
        <location line="-9"/>
        <source>Manual</source>
        <translation>手动</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Channel</source>
        <translation>通道</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Level</source>
        <translation>阈值</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Bit</source>
        <translation>位</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Mode</source>
        <translation>模式</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Single</source>
        <translation>单次</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Normal</source>
        <translation>常规</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Continuous (roll)</source>
        <translation>连续 (滚动)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Length</source>
        <translation>长度</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Pre-trigger</source>
        <translation>预触发</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> %</source>
        <translation> %</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Run</source>
        <translation>运行</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Manual trigger</source>
        <translation>手动触发</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save…</source>
        <translation>保存…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Open…</source>
        <translation>打开…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Overlay…</source>
        <translation>叠加…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Export CSV…</source>
        <translation>导出 CSV…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Export PNG…</source>
        <translation>导出 PNG…</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Separate axes</source>
        <translation>独立坐标轴</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Ctrl+click places cursor A, Ctrl+right-click cursor B; drag a cursor to move it.</source>
        <translation>Ctrl+单击放置光标 A，Ctrl+右击放置光标 B；拖动光标可移动它。</translation>
    </message>
    <message>
        <location filename="../console/scope/scopewindow.cpp" line="+90"/>
        <source>Recording; waiting for the trigger.</source>
        <translation>正在记录，等待触发。</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Stopped.</source>
        <translation>已停止。</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Recording of %1 samples, %2 events.</source>
        <translation>记录：%1 个采样点，%2 个事件。</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>Time (s)</source>
        <translation>时间 (s)</translation>
    </message>
    <message>
        <location line="+85"/>
        <source>Drive %1</source>
        <translation>电机%1</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Remove</source>
        <translation>移除</translation>
    </message>
    <message>
        <location line="+153"/>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <location line="+4"/>
        <location line="+9"/>
        <location line="+9"/>
        <source>Scope recordings (*.zscope)</source>
        <translation>示波器记录 (*.zscope)</translation>
    </message>
    <message>
        <location line="-15"/>
        <location line="+28"/>
        <location line="+9"/>
        <source>Saved %1.</source>
        <translation>已保存 %1。</translation>
    </message>
    <message>
        <location line="-36"/>
        <location line="+28"/>
        <location line="+9"/>
        <source>Not saved: %1</source>
        <translation>未保存：%1</translation>
    </message>
    <message>
        <location line="-29"/>
        <location line="+11"/>
        <source>Not opened: %1</source>
        <translation>未打开：%1</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>CSV files (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>PNG images (*.png)</source>
        <translation>PNG 图像 (*.png)</translation>
    </message>
    <message>
        <location line="+76"/>
        <source>%1 (overlay)</source>
        <translation>%1 (叠加)</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>Drive %1: %2</source>
        <translation>电机%1: %2</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>%1
t = %2 s, cycle %3</source>
        <translation>%1
t = %2 s，周期 %3</translation>
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
        <translation>准备启动</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>已启动</source>
        <translation>已启动</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>运行使能</source>
        <translation>运行使能</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>故障</source>
        <translation>故障</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电压使能</source>
        <translation>电压使能</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>快速停止</source>
        <translation>快速停止</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>禁止启动</source>
        <translation>禁止启动</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>警告</source>
        <translation>警告</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>远程控制</source>
        <translation>远程控制</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>目标到达</source>
        <translation>目标到达</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>内部限制激活</source>
        <translation>内部限制激活</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>过压</source>
        <translation>过压</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>欠压</source>
        <translation>欠压</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>过流</source>
        <translation>过流</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机过温</source>
        <translation>电机过温</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS过温</source>
        <translation>MOS过温</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU过温</source>
        <translation>MCU过温</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>编码器故障</source>
        <translation>编码器故障</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>堵转</source>
        <translation>堵转</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>缺相</source>
        <translation>缺相</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>通信丢失</source>
        <translation>通信丢失</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>未校准</source>
        <translation>未校准</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>超速</source>
        <translation>超速</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>位置跟随误差过大</source>
        <translation>位置跟随误差过大</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机低温</source>
        <translation>电机低温</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>抱闸故障</source>
        <translation>抱闸故障</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>母线过压</source>
        <translation>母线过压</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>母线欠压</source>
        <translation>母线欠压</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>母线过流</source>
        <translation>母线过流</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>相电流过流</source>
        <translation>相电流过流</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>漏电流过大</source>
        <translation>漏电流过大</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS低温</source>
        <translation>MOS低温</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU低温</source>
        <translation>MCU低温</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>栅极驱动故障</source>
        <translation>栅极驱动故障</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电流采样异常</source>
        <translation>电流采样异常</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>参数存储校验错误</source>
        <translation>参数存储校验错误</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>看门狗复位</source>
        <translation>看门狗复位</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>抱闸驱动故障</source>
        <translation>抱闸驱动故障</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>母线电压偏高</source>
        <translation>母线电压偏高</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>母线电压偏低</source>
        <translation>母线电压偏低</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电机温度偏高</source>
        <translation>电机温度偏高</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MOS温度偏高</source>
        <translation>MOS温度偏高</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>MCU温度偏高</source>
        <translation>MCU温度偏高</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>负载过大</source>
        <translation>负载过大</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>编码器信号弱</source>
        <translation>编码器信号弱</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>PADDING</source>
        <translation>无定义位</translation>
    </message>
</context>
<context>
    <name>Supervisor</name>
    <message>
        <location filename="../ethercat/supervisor.cpp" line="+38"/>
        <source>lost</source>
        <translation>丢失</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>recovered</source>
        <translation>已恢复</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>acknowledged</source>
        <translation>已确认</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>reconfigured</source>
        <translation>已重新配置</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>emergency</source>
        <translation>紧急报文</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>EMCY drive %1 (slave %2): error code 0x%3, error register 0x%4, manufacturer bytes %5</source>
        <translation>EMCY 电机%1 (从站%2)：错误代码 0x%3，错误寄存器 0x%4，厂商字节 %5</translation>
    </message>
    <message>
        <location line="+44"/>
        <source>End ethercat check.</source>
        <translation>EtherCAT 检查结束。</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>ERROR : slave %1 is in SAFE_OP + ERROR, attempting ack.</source>
        <translation>错误：从站%1处于 SAFE_OP + ERROR，尝试确认。</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>WARNING : slave %1 is in SAFE_OP, change to OPERATIONAL.</source>
        <translation>警告：从站%1处于 SAFE_OP，切换到 OPERATIONAL。</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>MESSAGE : slave %1 reconfigured.</source>
        <translation>消息：从站%1已重新配置。</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>MESSAGE : slave %1 found.</source>
        <translation>消息：已找到从站%1。</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>MESSAGE : slave %1 recovered.</source>
        <translation>消息：从站%1已恢复。</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>OK : all slaves resumed OPERATIONAL.</source>
        <translation>正常：所有从站已恢复 OPERATIONAL。</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>no answer for %1 ms; last answered in AL state %2, AL status code 0x%3 (%4)</source>
        <translation>%1 ms 无应答；最后应答时 AL 状态 %2，AL 状态码 0x%3 (%4)</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>ERROR : slave %1 lost.</source>
        <translation>错误：从站%1丢失。</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>ERROR : slave %1 lost: %2.</source>
        <translation>错误：从站%1丢失：%2。</translation>
    </message>
</context>
<context>
    <name>TransferResult</name>
    <message>
        <location filename="../ethercat/transferresult.cpp" line="+10"/>
        <source>ok</source>
        <translation>成功</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>not connected</source>
        <translation>未连接</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>no reply in time</source>
        <translation>未及时应答</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>failed</source>
        <translation>失败</translation>
    </message>
</context>
<context>
    <name>ecmaster</name>
    <message>
        <location filename="../ethercat/ecmaster_diagnostics.cpp" line="+90"/>
        <source>Error counters reset on %1 slaves.</source>
        <translation>已复位 %1 个从站的错误计数器。</translation>
    </message>
</context>
</TS>
