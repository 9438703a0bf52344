// Paces the round-trip test: one step signal per interval, starting at once, and one end signal
// when the total time has elapsed. GUI thread only.
#pragma once

#include <QObject>

class QTimer;

// A spin box's seconds as whole milliseconds: taken as single precision, times 1000, fractions of
// a millisecond cut off.
int roundTripMilliseconds(double seconds);

class RoundtripTimer : public QObject {
    Q_OBJECT

public:
    explicit RoundtripTimer(QObject* parent = nullptr);

    // Pauses the calling thread for 100 ms, then starts both timers and emits step 0 at once.
    void start();
    // Stops both timers; nothing is emitted.
    void stop();

signals:
    void timeoutTriggered(int runtimes);
    void timeoutAll();

public slots:
    void onTimeout();
    void onMaxTimeout();

private:
    QTimer* stepTimer = nullptr;   // child; periodic, one step per timeout
    QTimer* totalTimer = nullptr;  // child; single-shot, ends the test

public:
    // Set by the window before each start.
    int interval = 5;     // ms between steps
    int totalTime = 600;  // ms from the start to the end signal

private:
    int runtimes = 0;  // steps emitted since the last start
};
