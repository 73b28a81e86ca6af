#include "capture/device_set.h"

#include "media/media_platform.h"
#include "platform/message_box.h"

CDeviceSet::CDeviceSet() {
    MediaPlatformInit();
}

CDeviceSet::~CDeviceSet() {
    DestroyEngines();
}

int CDeviceSet::Enumerate(const char* deviceClass, const char* createError, const char* tooMany,
                          std::array<MediaDevice, kMaxDevices>* devices, int* count) {
    *count = 0;
    devices->fill(MediaDevice());
    std::vector<MediaDevice> found;
    if (!MediaPlatformInit() || !EnumerateMediaDevices(deviceClass, &found)) {
        QvMessageBox(QString::fromLatin1(createError), QStringLiteral("RozuzIze"));
        return 0;
    }
    for (const MediaDevice& device : found) {
        if (device.DisplayName().isEmpty())
            continue;  // a device without a readable name is skipped
        if (*count >= kMaxDevices) {
            QvMessageBox(QString::fromLatin1(tooMany), QStringLiteral("RozuzIze"));
            break;
        }
        (*devices)[(*count)++] = device;
    }
    return 1;
}

int CDeviceSet::EnumerateVideoDevices() {
    return Enumerate("Video/Source", "Error video Creating Device Enumerator",
                     "Video Capture Device too many", &videoDevices, &videoCount);
}

int CDeviceSet::EnumerateAudioDevices() {
    return Enumerate("Audio/Source", "Error Creating Device Enumerator",
                     "Audio Capture Device too many", &audioDevices, &audioCount);
}

AboutDirectShow* CDeviceSet::Engine() const {
    for (const auto& engine : engines) {
        if (engine->primary == 0)
            return engine.get();
    }
    return nullptr;
}

void CDeviceSet::CreateEngine() {
    for (auto it = engines.begin(); it != engines.end(); ++it) {
        if ((*it)->primary != 0)
            continue;
        if ((*it)->replaceable == 0)
            return;
        (*it)->Shutdown();
        engines.erase(it);
        break;
    }
    if (videoCount <= 0)
        return;
    auto engine = std::make_unique<AboutDirectShow>();
    engine->videoDevice = videoDevices[0];
    engine->primary = 0;
    engine->audioDevice = MediaDevice();
    engine->replaceable = 0;
    engine->AddDevice();
    engine->BuildPreview();
    engines.push_back(std::move(engine));
}

bool CDeviceSet::RunPreview() {
    AboutDirectShow* engine = Engine();
    return engine && engine->Run();
}

bool CDeviceSet::StopPreview() {
    AboutDirectShow* engine = Engine();
    return engine && engine->Stop();
}

bool CDeviceSet::ChangeOutputSize(int width, int height) {
    AboutDirectShow* engine = Engine();
    return engine && engine->ChangeOutputSize(width, height);
}

bool CDeviceSet::GetCurrentFormat(int* width, int* height) {
    AboutDirectShow* engine = Engine();
    if (!engine)
        return false;
    int code = engine->currentSubtype;
    int w = engine->currentWidth;
    int h = engine->currentHeight;
    const bool ok = engine->GetCurrentFormat(&code, &w, &h);
    if (width)
        *width = engine->currentWidth;
    if (height)
        *height = engine->currentHeight;
    return ok;
}

void CDeviceSet::ShowDeviceSettings() {
    AboutDirectShow* engine = Engine();
    if (engine && engine->videoDevice.IsValid() && engine->usable == 1)
        engine->ShowDeviceSettings();
}

bool CDeviceSet::ShowFormatSettings() {
    AboutDirectShow* engine = Engine();
    return engine && engine->ShowFormatSettings();
}

void CDeviceSet::DestroyEngines() {
    for (auto& engine : engines)
        engine->Shutdown();
    engines.clear();
}
