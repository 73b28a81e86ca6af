#pragma once
// The cameras (and audio inputs) the platform lists, the camera the program uses, and the
// capture engine for it. The main window's preview commands are forwarded to that engine; without
// a camera there is no engine and every forwarded command does nothing. User-interface thread
// only.
//
// Which camera: the one the user chose when it is present, else the one with the largest picture
// (a document camera rather than a laptop's webcam; camera_choice.h). Once the cameras are
// watched, the camera in use being unplugged ends its engine and leaves none (the program does
// not switch to another camera on its own); when it is plugged back in, or when another camera
// appears that camera_choice.h takes up, a new engine is made on it with the format or size the
// preview had, and the preview runs again when it was asked to run.

#include <QString>
#include <array>
#include <functional>
#include <list>
#include <memory>
#include <vector>

#include "capture/camera_choice.h"
#include "capture/capture_engine.h"
#include "media/media_device.h"

class MediaDeviceMonitor;

class CDeviceSet {
public:
    static constexpr int kMaxDevices = 20;

    CDeviceSet();
    ~CDeviceSet();
    CDeviceSet(const CDeviceSet&) = delete;
    CDeviceSet& operator=(const CDeviceSet&) = delete;

    int EnumerateVideoDevices();
    int EnumerateAudioDevices();
    void CreateEngine();
    bool RunPreview();
    bool StopPreview();
    bool ChangeOutputSize(int width, int height);
    bool GetCurrentFormat(int* width, int* height);
    void ShowDeviceSettings();
    bool ShowFormatSettings();
    void DestroyEngines();

    // The engine the forwarding operations address; null when there is none.
    AboutDirectShow* Engine() const;

    // What the owner hears of cameras coming and going.
    enum class CameraEvent {
        kUnplugged,    // the camera in use went; there is no engine now
        kPluggedIn,    // a camera was taken up: a new engine, running when asked to
        kListChanged,  // the list of cameras changed (after the two above, too)
    };
    using CameraListener = std::function<void(CameraEvent)>;
    // Cameras are watched from the first EnumerateVideoDevices on; the listener runs on this
    // thread, from its event loop.
    void SetCameraListener(CameraListener listener);

    // The user's choice by stable identity; empty for none (the preference decides).
    void SetChosenCamera(const QString& id) { chosen_ = id; }
    const QString& ChosenCamera() const { return chosen_; }
    // The identity of the camera the engine runs on; empty while there is none.
    const QString& CurrentCamera() const { return current_; }
    // The camera in use was unplugged and none has been taken up since.
    bool IsCameraUnplugged() const { return unplugged_; }

    struct CameraEntry {
        QString id;
        QString name;
    };
    // The cameras listed now, in the platform's order.
    std::vector<CameraEntry> Cameras() const;
    // Moves the preview to the listed camera with this identity, at the size last asked for when
    // it offers it; it runs when the preview was running. False when no such camera is listed.
    bool SwitchCamera(const QString& id);

    int videoCount = 0;
    int audioCount = 0;
    std::array<MediaDevice, kMaxDevices> videoDevices;
    std::array<MediaDevice, kMaxDevices> audioDevices;
    std::list<std::unique_ptr<AboutDirectShow>> engines;

private:
    int Enumerate(const char* deviceClass, const char* createError, const char* tooMany,
                  std::array<MediaDevice, kMaxDevices>* devices, int* count);
    // The listed cameras' identities and what the preference rule weighs, in list order.
    std::vector<CameraFacts> Facts() const;
    int IndexOf(const QString& id) const;
    // A monitor change: the camera in use gone, a camera taken up, the list refreshed.
    void OnCamerasChanged();
    void Unplug();
    // Makes the engine for videoDevices[index] and brings it to the preview's format and state.
    void TakeUp(int index);
    void Notify(CameraEvent event) const;

    std::unique_ptr<MediaDeviceMonitor> monitor_;
    CameraListener listener_;
    std::vector<CameraFacts> listed_;  // at the last enumeration
    QString chosen_;
    QString current_;
    QString lost_;                   // unplugged while in use
    GstCaps* lostFormat_ = nullptr;  // the format it was previewed in, when one was chosen
    bool unplugged_ = false;
    bool runWanted_ = false;  // RunPreview asked last, whether or not a camera was there
    int wantedWidth_ = 0;     // the size asked for or read back last
    int wantedHeight_ = 0;
};
