#include "cia402text.h"

#include <QCoreApplication>

QString cia402StateDisplayText(Cia402State state) {
    return QCoreApplication::translate("Cia402State", cia402StateDisplayName(state));
}

QString cia402StateNameText(Cia402State state) {
    return QCoreApplication::translate("Cia402State", cia402StateName(state));
}
