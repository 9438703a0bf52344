// The motor-status group: the value fields of the selected drive and its two fault words, decoded
// through the definitions of state_config.yaml into the log and the fault box.
#include <QCoreApplication>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <array>

#include "mainwindow.h"
#include "model/cia402.h"
#include "model/cia402text.h"
#include "model/stateconfig.h"
#include "ui_mainwindow.h"

namespace {

// Records arrive every 2 ms; the fields are written for one record in 52, which is as fast as an
// operator can read them and keeps the GUI thread free for the plots. The count is shared by
// every window of the process, like the cycle that feeds it.
uint32_t displayCounter = 0;

struct FaultWordKind {
    const char* heading;      // first log line of a decode; translated where logged
    const char* unknownType;  // logged when the drive's product type is not known; translated
    const char* boxHeader;    // section header in textEdit_errorWord, a field name kept as is
};

const FaultWordKind kMotorWord{
    QT_TRANSLATE_NOOP("MainWindow", ">>> Error Word: "),
    QT_TRANSLATE_NOOP("MainWindow", "设备类型未知，无法解析电机错误字！"), "ErrorWord:"};
const FaultWordKind kDriveWord{QT_TRANSLATE_NOOP("MainWindow", ">>> Drv Error Word: "),
                               QT_TRANSLATE_NOOP("MainWindow", "设备类型未知，无法解析Drv错误字！"),
                               "DrvErrorWord:"};

// A line of a section: four blanks or a tab in front, or nothing at all.
bool isSectionLine(const QString& text) {
    return text.isEmpty() || text.startsWith(QLatin1String("    ")) ||
           text.startsWith(QLatin1Char('\t'));
}

}  // namespace

void MainWindow::translateFaultBoxTemplate() {
    const QString placeholder = QStringLiteral("PADDING");
    const QString shown = stateTextDisplay(placeholder);
    QTextDocument* doc = ui->textEdit_errorWord->document();
    for (QTextCursor at = doc->find(placeholder); !at.isNull(); at = doc->find(placeholder, at)) {
        at.insertText(shown);
    }
}

void MainWindow::setStatusLive(bool live) {
    statusLive = live;
    const std::array<QAbstractSpinBox*, 9> fields = {
        ui->spinBox_State,           ui->doubleSpinBox_Position, ui->doubleSpinBox_Torque,
        ui->doubleSpinBox_Velocity,  ui->spinBox_Mode,           ui->doubleSpinBox_BusVoltage,
        ui->doubleSpinBox_MotorTemp, ui->doubleSpinBox_MosTemp,  ui->doubleSpinBox_McuTemp};
    for (QAbstractSpinBox* field : fields) {
        field->setEnabled(live);
    }
    if (live) {
        return;
    }
    // No value stands there as if it were live: the measured ones show a dash (their minimum lies
    // far outside what a drive reports), the words are greyed.
    for (QDoubleSpinBox* box :
         {ui->doubleSpinBox_Position, ui->doubleSpinBox_Torque, ui->doubleSpinBox_Velocity,
          ui->doubleSpinBox_BusVoltage, ui->doubleSpinBox_MotorTemp, ui->doubleSpinBox_MosTemp,
          ui->doubleSpinBox_McuTemp}) {
        box->setSpecialValueText(QStringLiteral("—"));
        box->setValue(box->minimum());
    }
    ui->label_StateName->setText(QStringLiteral("—"));
    ui->label_StateName->setEnabled(false);
}

void MainWindow::showStatusFields(const TCiA402_GetValue& data, float position, float velocity,
                                  float torque) {
    if (statusHeld) {
        return;  // a late record of a bus that is gone
    }
    // The first record after a gap is shown at once; the count goes on either way.
    const bool due = refreshDue(displayCounter);
    if (!statusLive) {
        setStatusLive(true);
    } else if (!due) {
        return;
    }
    lastPosition = position;
    // The bits, and beside them the state they mean.
    ui->spinBox_State->setValue(data.statusWord);
    ui->label_StateName->setText(cia402StateNameText(cia402StateFromStatusWord(data.statusWord)));
    ui->label_StateName->setEnabled(true);
    ui->doubleSpinBox_Position->setValue(static_cast<double>(position));
    ui->doubleSpinBox_Torque->setValue(static_cast<double>(torque));
    ui->doubleSpinBox_Velocity->setValue(static_cast<double>(velocity));
    ui->spinBox_Mode->setValue(data.modeDisplay);
    ui->doubleSpinBox_BusVoltage->setValue(static_cast<double>(data.busVoltage));
    ui->doubleSpinBox_MotorTemp->setValue(data.motorTemp);
    ui->doubleSpinBox_MosTemp->setValue(data.mosTemp);
    ui->doubleSpinBox_McuTemp->setValue(data.mcuTemp);
}

void MainWindow::checkFaultWords(const TCiA402_GetValue& data) {
    // The drive's product type is on its way: the words are decoded once it is in.
    if (identitiesPending) {
        return;
    }
    // Not thinned: a fault that shows for a single record is still reported.
    if (data.errorWord != lastErrorWord) {
        lastErrorWord = data.errorWord;
        reactToFaultWord(false, data.errorWord);
    }
    if (data.drvErrorWord != lastDrvErrorWord) {
        lastDrvErrorWord = data.drvErrorWord;
        reactToFaultWord(true, data.drvErrorWord);
    }
}

void MainWindow::reactToFaultWord(bool driveWord, uint32_t word) {
    const FaultWordKind& kind = driveWord ? kDriveWord : kMotorWord;
    const QString productType = currentProductType();
    QStringList texts;
    const bool known = driveWord ? stateConfig->decodeDrvErrorWord(productType, word, texts)
                                 : stateConfig->decodeErrorWord(productType, word, texts);
    if (!known) {
        if (productType.isEmpty()) {
            emit writeLog(tr(kind.unknownType));
        } else {
            emit writeLog(tr("配置文件缺少\"%1\"").arg(productType));
        }
        return;
    }
    emit writeLog(tr(kind.heading));
    QStringList shown;
    for (const QString& text : texts) {
        shown << stateTextDisplay(text);
        emit writeLog(QStringLiteral(">>> ") + shown.last());
    }
    updateFaultBoxSection(QLatin1String(kind.boxHeader), shown);
}

void MainWindow::updateFaultBoxSection(const QString& header, const QStringList& texts) {
    QTextDocument* doc = ui->textEdit_errorWord->document();
    // Not case-sensitive and not whole words: "ErrorWord:" also matches inside "DrvErrorWord:",
    // but its own line comes first.
    const QTextCursor found = doc->find(header, 0);
    if (found.isNull()) {
        return;
    }
    const int afterHeader = found.position();

    // The section runs from the end of the header's line over the indented and empty lines
    // below it, up to the next header.
    QTextCursor cursor(doc);
    const QTextBlock headerBlock = found.block();
    cursor.setPosition(headerBlock.position() + headerBlock.length() - 1);
    for (QTextBlock next = headerBlock.next(); next.isValid() && isSectionLine(next.text());
         next = next.next()) {
        cursor.setPosition(next.position() + next.length() - 1, QTextCursor::KeepAnchor);
    }
    cursor.removeSelectedText();

    QTextCharFormat plain;
    plain.setForeground(Qt::black);
    plain.setFontWeight(QFont::Normal);
    QString line = QStringLiteral("\n");
    for (const QString& text : texts) {
        line += QStringLiteral("    ") + text;
    }
    line += QLatin1Char('\n');
    cursor.setPosition(afterHeader);
    cursor.insertText(line, plain);
}
