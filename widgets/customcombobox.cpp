#include "customcombobox.h"

CustomComboBox::CustomComboBox(QWidget* parent) : QComboBox(parent) {}

void CustomComboBox::showPopup() {
    emit popupShown();
    QComboBox::showPopup();
}
