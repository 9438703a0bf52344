// The scope's state and actions, without widgets: the channel list, the trigger and acquisition
// settings, the run on a timer that takes the master's frames and events on the GUI thread (the
// takes never wait on a cycle) and feeds a scope::Acquisition, the last recording (kept after the
// bus is gone), an overlay recording, and the files.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

#include "scope/trigger.h"

class ecmaster;

class ScopeTool : public QObject {
    Q_OBJECT

public:
    // Taking the master's rings this often: 25 Hz keeps 4096 frames far from full.
    static constexpr int kPollMs = 40;

    explicit ScopeTool(ecmaster* master, QObject* parent = nullptr);
    ~ScopeTool() override;
    ScopeTool(const ScopeTool&) = delete;
    ScopeTool& operator=(const ScopeTool&) = delete;

    // --- channels (the next run's; a running one keeps the list it started with) --------------
    const std::vector<scope::ChannelDef>& channels() const { return channelList; }
    // False when the list is full (scope::kMaxChannels).
    bool addChannel(const scope::ChannelDef& channel);
    void setChannel(int index, const scope::ChannelDef& channel);
    void removeChannel(int index);

    // --- trigger and acquisition -----------------------------------------------------------------
    const scope::AcquisitionSettings& settings() const { return acquisitionSettings; }
    // Out-of-range lengths and pre-trigger fractions are brought into range.
    void setSettings(const scope::AcquisitionSettings& settings);

    // The drives' identities (product type, software version, ...) by drive index, copied into the
    // recordings of the next run.
    void setIdentities(std::map<int, scope::DriveIdentity> identities) {
        driveIdentities = std::move(identities);
    }

    // --- the run --------------------------------------------------------------------------------
    bool running() const { return acquisition != nullptr; }
    // Configures the master's recorder with the channels and arms. False with a reason for the
    // operator when there is no bus or no channel.
    bool start(QString* error = nullptr);
    void stop();
    // The next frame taken triggers (any trigger kind), marked by a manual event.
    void triggerNow();
    // Takes what the master recorded since the last take; the timer calls it.
    void poll();

    // --- recordings -----------------------------------------------------------------------------
    std::shared_ptr<const scope::Recording> recording() const { return last; }
    std::shared_ptr<const scope::Recording> overlay() const { return overlayRecording; }
    bool save(const QString& path, QString* error) const;
    // Opening needs no bus; a recording opened replaces the last one (and stops nothing).
    bool open(const QString& path, QString* error);
    bool openOverlay(const QString& path, QString* error);
    void clearOverlay();
    bool exportCsv(const QString& path, QString* error) const;

    // --- names shown -----------------------------------------------------------------------------
    static QString signalTitle(scope::Signal signal);
    static QString eventTitle(scope::EventKind kind);
    // "Drive 0 (slave 1)" for the drives on the bus now.
    QStringList driveNames() const;
    // A channel's label in the plot and read-out: its own, else "Drive 0: Velocity".
    static QString channelTitle(const scope::ChannelDef& channel);
    // The unit shown for a channel (its own, else the signal's).
    static QString channelUnit(const scope::ChannelDef& channel);

signals:
    void runningChanged(bool running);
    void recordingReady(std::shared_ptr<const scope::Recording> recording);
    // Roll mode: what the history holds, a few times a second.
    void liveSnapshot(std::shared_ptr<const scope::Recording> recording);
    void overlayChanged(std::shared_ptr<const scope::Recording> recording);
    void channelsChanged();
    void settingsChanged();

private:
    void finishRun();

    ecmaster* master = nullptr;  // not owned; outlives the tool
    std::vector<scope::ChannelDef> channelList;
    scope::AcquisitionSettings acquisitionSettings;
    std::unique_ptr<scope::Acquisition> acquisition;
    std::map<int, scope::DriveIdentity> driveIdentities;
    std::shared_ptr<const scope::Recording> last;
    std::shared_ptr<const scope::Recording> overlayRecording;
    std::vector<scope::Frame> frames;
    std::vector<scope::EventRecord> events;
    QTimer timer;
    int pollsSinceSnapshot = 0;
};
