#include "roundtriptimer.h"

#include <QThread>
#include <QTimer>

namespace {

// Lets the drive settle on the state it was left in before the first setpoint arrives.
constexpr unsigned long kStartPauseMs = 100;

}  // namespace

int roundTripMilliseconds(double seconds) {
    return static_cast<int>(static_cast<float>(seconds) * 1000.0f);
}

RoundtripTimer::RoundtripTimer(QObject* parent)
    : QObject(parent), stepTimer(new QTimer(this)), totalTimer(new QTimer(this)) {
    totalTimer->setSingleShot(true);
    connect(stepTimer, &QTimer::timeout, this, &RoundtripTimer::onTimeout);
    connect(totalTimer, &QTimer::timeout, this, &RoundtripTimer::onMaxTimeout);
}

void RoundtripTimer::start() {
    QThread::msleep(kStartPauseMs);
    stepTimer->start(interval);
    runtimes = 0;
    totalTimer->start(totalTime);
    emit timeoutTriggered(runtimes);
    runtimes = 1;
}

void RoundtripTimer::onTimeout() {
    emit timeoutTriggered(runtimes);
    ++runtimes;
}

void RoundtripTimer::onMaxTimeout() {
    stop();
    emit timeoutAll();
}

void RoundtripTimer::stop() {
    if (stepTimer->isActive()) {
        stepTimer->stop();
    }
    if (totalTimer->isActive()) {
        totalTimer->stop();
    }
}
