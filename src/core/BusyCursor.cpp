#include "BusyCursor.h"

#include <QApplication>
#include <QCursor>

namespace tarnvue {

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

BusyCursor::~BusyCursor() {
    QApplication::restoreOverrideCursor();
}

} // namespace tarnvue
