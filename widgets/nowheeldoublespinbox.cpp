#include "nowheeldoublespinbox.h"

#include <QLineEdit>

#include <QWheelEvent>

NoWheelDoubleSpinBox::NoWheelDoubleSpinBox(QWidget* parent) : QDoubleSpinBox(parent) {}

void NoWheelDoubleSpinBox::wheelEvent(QWheelEvent* event) {
    // Ignored events propagate to the parent widget, e.g. a scroll area.
    event->ignore();
}

void NoWheelDoubleSpinBox::setPlaceholderText(const QString& text) {
    lineEdit()->setPlaceholderText(text);
}

QString NoWheelDoubleSpinBox::placeholderText() const {
    return lineEdit()->placeholderText();
}
