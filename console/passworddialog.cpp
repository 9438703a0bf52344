#include "passworddialog.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace {

const QRegularExpression& hexDigits() {
    static const QRegularExpression re(QStringLiteral("^[0-9A-Fa-f]*$"));
    return re;
}

}  // namespace

QValidator* createHexPasswordValidator(QObject* parent) {
    return new QRegularExpressionValidator(hexDigits(), parent);
}

bool parseFirmwarePassword(const QString& text, uint32_t& password) {
    // The number parser alone would also take blanks, a sign or a "0x" prefix.
    if (text.isEmpty() || !hexDigits().match(text).hasMatch()) {
        return false;
    }
    bool ok = false;
    const uint value = text.toUpper().toUInt(&ok, 16);
    if (!ok) {
        return false;
    }
    password = static_cast<uint32_t>(value);
    return true;
}

int askFirmwarePassword(QWidget* parent, uint32_t& password) {
    QInputDialog dialog(parent);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(QCoreApplication::translate("PasswordDialog", "输入密码"));
    dialog.setLabelText(QCoreApplication::translate("PasswordDialog", "请输入16进制密码："));
    dialog.setTextValue(QStringLiteral("0"));
    if (auto* field = dialog.findChild<QLineEdit*>()) {
        field->setValidator(createHexPasswordValidator(field));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return kPasswordCancelled;
    }
    if (!parseFirmwarePassword(dialog.textValue(), password)) {
        QMessageBox::warning(
            parent, QCoreApplication::translate("PasswordDialog", "无效输入"),
            QCoreApplication::translate("PasswordDialog", "请输入有效的16进制密码！"),
            QMessageBox::Ok);
        return kPasswordInvalid;
    }
    return kPasswordAccepted;
}
