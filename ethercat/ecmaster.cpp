// The facade's construction and destruction: the parts' reports routed to the signals, the
// supervision thread started and, at the end, every thread stopped before the bus goes.
#include "ecmaster.h"

#include <QMutexLocker>

ecmaster::ecmaster(QObject* parent) : QObject(parent) {
    registerModelMetaTypes();
    qRegisterMetaType<SupervisionKind>("SupervisionKind");
    state_.log = [this](const QString& text) { emit writeLog(text); };
    state_.detail = [this](const QString& text) { emit writeDetail(text); };
    state_.faultChanged = [this](int index, const TCiA402_GetValue& data) {
        emit driveFaultChanged(index, data);
    };
    state_.slaveLost = [this] { emit slaveLost(); };
    state_.supervisionEvent = [this](int slave, SupervisionKind kind, const QString& detail) {
        emit supervisionEvent(slave, kind, detail);
    };
    state_.elapsedTimer.start();
    supervisor_.start();
}

ecmaster::~ecmaster() {
    // Queued transfers are dropped, the running one ends within its exchange.
    mailbox_.stopTransfers();
    state_.running = false;
    supervisor_.join();
    session_.disconnectBus();
}

QByteArray ecmaster::processImage() const {
    const QMutexLocker outputs(&state_.pdMutex);
    const QMutexLocker inputs(&state_.inputMutex);
    return QByteArray(reinterpret_cast<const char*>(state_.IOmap.data()),
                      static_cast<qsizetype>(state_.IOmap.size()));
}

std::optional<uint32_t> ecmaster::configureScope(std::span<const scope::ChannelDef> channels) {
    const std::optional<uint32_t> generation = state_.scope.configure(channels);
    if (generation) {
        state_.scopeOn.store(!channels.empty(), std::memory_order_relaxed);
    }
    return generation;
}

bool ecmaster::postScopeEvent(scope::EventKind kind, int index, std::string_view text) {
    return state_.scopeOn.load(std::memory_order_relaxed) &&
           state_.scope.postEvent(kind, index, text);
}
