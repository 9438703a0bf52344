#pragma once

#include <QComboBox>

// Combo box that announces its list is about to open, so the owner can refill the items first.
class CustomComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit CustomComboBox(QWidget* parent = nullptr);

    void showPopup() override;

signals:
    // Delivered synchronously before the list opens; items added by a slot appear in it.
    void popupShown();
};
