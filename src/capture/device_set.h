#pragma once
// The cameras (and audio inputs) the platform lists, and the capture engine for the first
// camera. The main window's preview commands are forwarded to that engine; without a camera
// there is no engine and every forwarded command does nothing. User-interface thread only.

#include <array>
#include <list>
#include <memory>

#include "capture/capture_engine.h"
#include "media/media_device.h"

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

    int videoCount = 0;
    int audioCount = 0;
    std::array<MediaDevice, kMaxDevices> videoDevices;
    std::array<MediaDevice, kMaxDevices> audioDevices;
    std::list<std::unique_ptr<AboutDirectShow>> engines;

private:
    int Enumerate(const char* deviceClass, const char* createError, const char* tooMany,
                  std::array<MediaDevice, kMaxDevices>* devices, int* count);
};
