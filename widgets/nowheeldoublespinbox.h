#pragma once

#include <QDoubleSpinBox>

// Spin box for setpoints and parameters: the wheel scrolls the surrounding page instead of
// silently changing a value the cursor happens to pass over.
class NoWheelDoubleSpinBox : public QDoubleSpinBox {
    Q_OBJECT

public:
    explicit NoWheelDoubleSpinBox(QWidget* parent = nullptr);
    // Shown while the box is empty, e.g. while its value is being read.
    void setPlaceholderText(const QString& text);
    QString placeholderText() const;

protected:
    void wheelEvent(QWheelEvent* event) override;
};
