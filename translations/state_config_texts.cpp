// The bit texts of state_config.yaml, listed for translation. lupdate reads this file; nothing
// compiles it. The console shows a text through stateTextDisplay (model/stateconfig.h), which
// translates it in context "StateConfig"; the file itself stays as it is.
//
// This list must follow state_config.yaml: every text the file names appears here once, under the
// section it first appears in (tst_model checks that none is missing). A text added to or changed
// in the file is added here too.

#include <QtGlobal>

[[maybe_unused]] static const char* const kStateConfigTexts[] = {
    // state_word: CiA 402 status word
    QT_TRANSLATE_NOOP("StateConfig", "准备启动"),
    QT_TRANSLATE_NOOP("StateConfig", "已启动"),
    QT_TRANSLATE_NOOP("StateConfig", "运行使能"),
    QT_TRANSLATE_NOOP("StateConfig", "故障"),
    QT_TRANSLATE_NOOP("StateConfig", "电压使能"),
    QT_TRANSLATE_NOOP("StateConfig", "快速停止"),
    QT_TRANSLATE_NOOP("StateConfig", "禁止启动"),
    QT_TRANSLATE_NOOP("StateConfig", "警告"),
    QT_TRANSLATE_NOOP("StateConfig", "远程控制"),
    QT_TRANSLATE_NOOP("StateConfig", "目标到达"),
    QT_TRANSLATE_NOOP("StateConfig", "内部限制激活"),
    // error_word: motor error word
    QT_TRANSLATE_NOOP("StateConfig", "过压"),
    QT_TRANSLATE_NOOP("StateConfig", "欠压"),
    QT_TRANSLATE_NOOP("StateConfig", "过流"),
    QT_TRANSLATE_NOOP("StateConfig", "电机过温"),
    QT_TRANSLATE_NOOP("StateConfig", "MOS过温"),
    QT_TRANSLATE_NOOP("StateConfig", "MCU过温"),
    QT_TRANSLATE_NOOP("StateConfig", "编码器故障"),
    QT_TRANSLATE_NOOP("StateConfig", "堵转"),
    QT_TRANSLATE_NOOP("StateConfig", "缺相"),
    QT_TRANSLATE_NOOP("StateConfig", "通信丢失"),
    QT_TRANSLATE_NOOP("StateConfig", "未校准"),
    QT_TRANSLATE_NOOP("StateConfig", "超速"),
    QT_TRANSLATE_NOOP("StateConfig", "位置跟随误差过大"),
    QT_TRANSLATE_NOOP("StateConfig", "电机低温"),
    QT_TRANSLATE_NOOP("StateConfig", "抱闸故障"),
    // drv_error_word: drive (power stage) error word
    QT_TRANSLATE_NOOP("StateConfig", "母线过压"),
    QT_TRANSLATE_NOOP("StateConfig", "母线欠压"),
    QT_TRANSLATE_NOOP("StateConfig", "母线过流"),
    QT_TRANSLATE_NOOP("StateConfig", "相电流过流"),
    QT_TRANSLATE_NOOP("StateConfig", "漏电流过大"),
    QT_TRANSLATE_NOOP("StateConfig", "MOS低温"),
    QT_TRANSLATE_NOOP("StateConfig", "MCU低温"),
    QT_TRANSLATE_NOOP("StateConfig", "栅极驱动故障"),
    QT_TRANSLATE_NOOP("StateConfig", "电流采样异常"),
    QT_TRANSLATE_NOOP("StateConfig", "参数存储校验错误"),
    QT_TRANSLATE_NOOP("StateConfig", "看门狗复位"),
    QT_TRANSLATE_NOOP("StateConfig", "抱闸驱动故障"),
    // warnning: warning word
    QT_TRANSLATE_NOOP("StateConfig", "母线电压偏高"),
    QT_TRANSLATE_NOOP("StateConfig", "母线电压偏低"),
    QT_TRANSLATE_NOOP("StateConfig", "电机温度偏高"),
    QT_TRANSLATE_NOOP("StateConfig", "MOS温度偏高"),
    QT_TRANSLATE_NOOP("StateConfig", "MCU温度偏高"),
    QT_TRANSLATE_NOOP("StateConfig", "负载过大"),
    QT_TRANSLATE_NOOP("StateConfig", "编码器信号弱"),
    // shown for a word none of whose set bits the file names
    QT_TRANSLATE_NOOP("StateConfig", "PADDING"),
};
