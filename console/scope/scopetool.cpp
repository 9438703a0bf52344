#include "scopetool.h"

#include <QCoreApplication>

#include <algorithm>

#include "ecmaster.h"

namespace {

// Shown names of the signals and event kinds, in the order of their enums; the files keep
// scope::signalName and scope::eventKindName.
constexpr const char* kSignalTitles[scope::kSignalCount] = {
    QT_TRANSLATE_NOOP("ScopeTool", "Position"),
    QT_TRANSLATE_NOOP("ScopeTool", "Velocity"),
    QT_TRANSLATE_NOOP("ScopeTool", "Torque"),
    QT_TRANSLATE_NOOP("ScopeTool", "Bus voltage"),
    QT_TRANSLATE_NOOP("ScopeTool", "Motor temperature"),
    QT_TRANSLATE_NOOP("ScopeTool", "MOS temperature"),
    QT_TRANSLATE_NOOP("ScopeTool", "MCU temperature"),
    QT_TRANSLATE_NOOP("ScopeTool", "Status word"),
    QT_TRANSLATE_NOOP("ScopeTool", "Error word"),
    QT_TRANSLATE_NOOP("ScopeTool", "Drive error word"),
    QT_TRANSLATE_NOOP("ScopeTool", "Mode display"),
    QT_TRANSLATE_NOOP("ScopeTool", "Target position"),
    QT_TRANSLATE_NOOP("ScopeTool", "Target velocity"),
    QT_TRANSLATE_NOOP("ScopeTool", "Target torque"),
    QT_TRANSLATE_NOOP("ScopeTool", "Control word"),
    QT_TRANSLATE_NOOP("ScopeTool", "Mode"),
    QT_TRANSLATE_NOOP("ScopeTool", "Following error"),
    QT_TRANSLATE_NOOP("ScopeTool", "Velocity error"),
};
constexpr const char* kEventTitles[scope::kEventKindCount] = {
    QT_TRANSLATE_NOOP("ScopeTool", "Supervision lost"),
    QT_TRANSLATE_NOOP("ScopeTool", "Supervision recovered"),
    QT_TRANSLATE_NOOP("ScopeTool", "Supervision acknowledged"),
    QT_TRANSLATE_NOOP("ScopeTool", "Emergency"),
    QT_TRANSLATE_NOOP("ScopeTool", "State change"),
    QT_TRANSLATE_NOOP("ScopeTool", "STOP"),
    QT_TRANSLATE_NOOP("ScopeTool", "Enable"),
    QT_TRANSLATE_NOOP("ScopeTool", "Disable"),
    QT_TRANSLATE_NOOP("ScopeTool", "Working counter short"),
    QT_TRANSLATE_NOOP("ScopeTool", "Manual trigger"),
};

// A batch of frames per take: 0.5 s of cycles.
constexpr size_t kFrameBatch = 256;
constexpr size_t kEventBatch = 64;
// Roll mode redraws every fifth poll.
constexpr int kSnapshotPolls = 5;
// The master's process-data cycle.
constexpr double kCycleTimeS = 0.002;

}  // namespace

ScopeTool::ScopeTool(ecmaster* m, QObject* parent)
    : QObject(parent), master(m), frames(kFrameBatch), events(kEventBatch) {
    timer.setInterval(kPollMs);
    connect(&timer, &QTimer::timeout, this, &ScopeTool::poll);
}

ScopeTool::~ScopeTool() {
    stop();
}

bool ScopeTool::addChannel(const scope::ChannelDef& channel) {
    if (static_cast<int>(channelList.size()) >= scope::kMaxChannels) {
        return false;
    }
    channelList.push_back(channel);
    emit channelsChanged();
    return true;
}

void ScopeTool::setChannel(int index, const scope::ChannelDef& channel) {
    if (index >= 0 && index < static_cast<int>(channelList.size())) {
        channelList[static_cast<size_t>(index)] = channel;
        emit channelsChanged();
    }
}

void ScopeTool::removeChannel(int index) {
    if (index >= 0 && index < static_cast<int>(channelList.size())) {
        channelList.erase(channelList.begin() + index);
        emit channelsChanged();
    }
}

void ScopeTool::setSettings(const scope::AcquisitionSettings& settings) {
    acquisitionSettings = settings;
    acquisitionSettings.cycleTimeS = kCycleTimeS;
    acquisitionSettings.recordSeconds =
        std::clamp(settings.recordSeconds, scope::Acquisition::kMinRecordSeconds,
                   scope::Acquisition::kMaxRecordSeconds);
    acquisitionSettings.preTriggerFraction = std::clamp(settings.preTriggerFraction, 0.0, 0.9);
    emit settingsChanged();
}

bool ScopeTool::start(QString* error) {
    stop();
    if (master == nullptr || !master->isConnected()) {
        if (error != nullptr) {
            *error = tr("No bus is connected.");
        }
        return false;
    }
    if (channelList.empty()) {
        if (error != nullptr) {
            *error = tr("Add a channel first.");
        }
        return false;
    }
    const std::optional<uint32_t> generation = master->configureScope(channelList);
    if (!generation) {
        if (error != nullptr) {
            *error = tr("The recorder refused the channels.");
        }
        return false;
    }
    // Events posted before this run belong to none of its frames.
    while (master->takeScopeEvents(events) == events.size()) {
    }
    acquisitionSettings.cycleTimeS = kCycleTimeS;
    acquisition =
        std::make_unique<scope::Acquisition>(acquisitionSettings, *generation, channelList);
    acquisition->identities = driveIdentities;
    pollsSinceSnapshot = 0;
    timer.start();
    emit runningChanged(true);
    return true;
}

void ScopeTool::stop() {
    if (!acquisition) {
        return;
    }
    timer.stop();
    acquisition.reset();
    if (master != nullptr && master->isConnected()) {
        master->configureScope({});
    }
    emit runningChanged(false);
}

void ScopeTool::triggerNow() {
    if (acquisition) {
        master->postScopeEvent(scope::EventKind::Manual, scope::kAllDrives, {});
        acquisition->triggerNow();
    }
}

void ScopeTool::poll() {
    if (!acquisition) {
        return;
    }
    if (!master->isConnected()) {
        // The bus is gone: the last recording stays.
        stop();
        return;
    }
    // Frames before events: an event of the last cycle taken finds its frame in this batch.
    std::vector<scope::Frame> batch;
    for (size_t n = kFrameBatch; n == kFrameBatch;) {
        n = master->takeScopeFrames(frames);
        batch.insert(batch.end(), frames.begin(), frames.begin() + static_cast<ptrdiff_t>(n));
    }
    std::vector<scope::EventRecord> eventBatch;
    for (size_t n = kEventBatch; n == kEventBatch;) {
        n = master->takeScopeEvents(events);
        eventBatch.insert(eventBatch.end(), events.begin(),
                          events.begin() + static_cast<ptrdiff_t>(n));
    }
    acquisition->feed(batch, eventBatch);
    while (std::optional<scope::Recording> r = acquisition->takeRecording()) {
        last = std::make_shared<const scope::Recording>(std::move(*r));
        emit recordingReady(last);
    }
    if (acquisitionSettings.mode == scope::TriggerMode::Continuous &&
        ++pollsSinceSnapshot >= kSnapshotPolls) {
        pollsSinceSnapshot = 0;
        emit liveSnapshot(std::make_shared<const scope::Recording>(acquisition->snapshot()));
    }
    if (!acquisition->armed()) {
        stop();  // a single shot is done
    }
}

bool ScopeTool::save(const QString& path, QString* error) const {
    if (!last) {
        *error = tr("There is no recording to save.");
        return false;
    }
    std::string reason;
    if (!last->save(path.toStdString(), &reason)) {
        *error = QString::fromStdString(reason);
        return false;
    }
    return true;
}

namespace {

// A recording file read, or nothing with the reason in `error`.
std::shared_ptr<const scope::Recording> loadRecording(const QString& path, QString* error) {
    std::string reason;
    std::optional<scope::Recording> r = scope::Recording::load(path.toStdString(), &reason);
    if (!r) {
        *error = QString::fromStdString(reason);
        return nullptr;
    }
    return std::make_shared<const scope::Recording>(std::move(*r));
}

}  // namespace

bool ScopeTool::open(const QString& path, QString* error) {
    auto r = loadRecording(path, error);
    if (!r) {
        return false;
    }
    last = std::move(r);
    emit recordingReady(last);
    return true;
}

bool ScopeTool::openOverlay(const QString& path, QString* error) {
    auto r = loadRecording(path, error);
    if (!r) {
        return false;
    }
    overlayRecording = std::move(r);
    emit overlayChanged(overlayRecording);
    return true;
}

void ScopeTool::clearOverlay() {
    overlayRecording.reset();
    emit overlayChanged(nullptr);
}

bool ScopeTool::exportCsv(const QString& path, QString* error) const {
    if (!last) {
        *error = tr("There is no recording to export.");
        return false;
    }
    std::string reason;
    if (!last->writeCsv(path.toStdString(), &reason)) {
        *error = QString::fromStdString(reason);
        return false;
    }
    return true;
}

QString ScopeTool::signalTitle(scope::Signal signal) {
    const auto i = static_cast<size_t>(signal);
    return i < std::size(kSignalTitles) ? tr(kSignalTitles[i]) : QString();
}

QString ScopeTool::eventTitle(scope::EventKind kind) {
    const auto i = static_cast<size_t>(kind);
    return i < std::size(kEventTitles) ? tr(kEventTitles[i]) : QString();
}

QStringList ScopeTool::driveNames() const {
    QStringList names;
    if (master != nullptr) {
        const QList<int32_t> slaves = master->validDriveList();
        for (qsizetype i = 0; i < slaves.size(); ++i) {
            names << tr("Drive %1 (slave %2)").arg(i).arg(slaves.at(i));
        }
    }
    return names;
}

QString ScopeTool::channelTitle(const scope::ChannelDef& channel) {
    if (!channel.label.empty()) {
        return QString::fromStdString(channel.label);
    }
    return tr("Drive %1: %2").arg(channel.drive).arg(signalTitle(channel.signal));
}

QString ScopeTool::channelUnit(const scope::ChannelDef& channel) {
    return QString::fromUtf8(channel.unit.empty() ? scope::signalUnit(channel.signal)
                                                  : channel.unit.c_str());
}
