#include "capture/device_set.h"

#include <algorithm>

#include "media/media_device_monitor.h"
#include "media/media_platform.h"
#include "media/stream_formats.h"
#include "platform/message_box.h"

namespace {

CameraFacts FactsOf(const MediaDevice& device) {
    CameraFacts facts;
    facts.id = device.StableId().toStdString();
    GstCaps* caps = device.Caps();
    for (const StreamCapability& c : CapabilitiesOf(caps))
        facts.largestArea = std::max<int64_t>(facts.largestArea, int64_t(c.width) * c.height);
    if (caps)
        gst_caps_unref(caps);
    const QString removable = device.Removable();
    facts.placement = removable == u"removable" ? CameraPlacement::kExternal
                      : removable == u"fixed"   ? CameraPlacement::kBuiltIn
                                                : CameraPlacement::kUnknown;
    return facts;
}

}  // namespace

CDeviceSet::CDeviceSet() {
    MediaPlatformInit();
}

CDeviceSet::~CDeviceSet() {
    DestroyEngines();
    monitor_.reset();
    if (lostFormat_)
        gst_caps_unref(lostFormat_);
}

int CDeviceSet::Enumerate(const char* deviceClass, const char* createError, const char* tooMany,
                          std::array<MediaDevice, kMaxDevices>* devices, int* count) {
    *count = 0;
    devices->fill(MediaDevice());
    std::vector<MediaDevice> found;
    // The cameras are watched from their first enumeration on: the watch lists the same device
    // objects for as long as a camera stays, which tells a camera plugged out and in again apart
    // from one that stayed.
    const bool video = devices == &videoDevices;
    if (video && !monitor_ && MediaPlatformInit())
        monitor_ =
            std::make_unique<MediaDeviceMonitor>(deviceClass, [this] { OnCamerasChanged(); });
    if (video && monitor_ && monitor_->IsWatching()) {
        found = monitor_->Devices();
    } else if (!MediaPlatformInit() || !EnumerateMediaDevices(deviceClass, &found)) {
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
    const int result = Enumerate("Video/Source", "Error video Creating Device Enumerator",
                                 "Video Capture Device too many", &videoDevices, &videoCount);
    listed_ = Facts();
    return result;
}

int CDeviceSet::EnumerateAudioDevices() {
    return Enumerate("Audio/Source", "Error Creating Device Enumerator",
                     "Audio Capture Device too many", &audioDevices, &audioCount);
}

std::vector<CameraFacts> CDeviceSet::Facts() const {
    std::vector<CameraFacts> facts;
    for (int i = 0; i < videoCount; ++i) {
        facts.push_back(FactsOf(videoDevices[i]));
        // Two cameras that tell nothing apart but their name are numbered in list order.
        const auto same = std::count_if(facts.begin(), facts.end() - 1, [&](const CameraFacts& f) {
            return f.id == facts.back().id;
        });
        if (same > 0)
            facts.back().id += "#" + std::to_string(same + 1);
    }
    return facts;
}

int CDeviceSet::IndexOf(const QString& id) const {
    const std::string key = id.toStdString();
    for (int i = 0; i < int(listed_.size()); ++i) {
        if (listed_[i].id == key)
            return i;
    }
    return -1;
}

AboutDirectShow* CDeviceSet::Engine() const {
    for (const auto& engine : engines) {
        if (engine->primary == 0)
            return engine.get();
    }
    return nullptr;
}

// The camera is the chosen one when present, else the preferred one; the first device listed is
// only a tie-break (on a laptop it is the built-in webcam).
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
    const int index = StartingCamera(listed_, chosen_.toStdString());
    auto engine = std::make_unique<AboutDirectShow>();
    engine->videoDevice = videoDevices[index];
    engine->primary = 0;
    engine->audioDevice = MediaDevice();
    engine->replaceable = 0;
    engine->AddDevice();
    engine->BuildPreview();
    engines.push_back(std::move(engine));
    current_ = QString::fromStdString(listed_[index].id);
}

bool CDeviceSet::RunPreview() {
    runWanted_ = true;
    AboutDirectShow* engine = Engine();
    return engine && engine->Run();
}

bool CDeviceSet::StopPreview() {
    runWanted_ = false;
    AboutDirectShow* engine = Engine();
    return engine && engine->Stop();
}

bool CDeviceSet::ChangeOutputSize(int width, int height) {
    wantedWidth_ = width;
    wantedHeight_ = height;
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
    if (ok) {
        // The size the format dialog chose is the one a camera taken up later is asked for.
        wantedWidth_ = engine->currentWidth;
        wantedHeight_ = engine->currentHeight;
    }
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
    current_.clear();
}

void CDeviceSet::SetCameraListener(CameraListener listener) {
    listener_ = std::move(listener);
}

std::vector<CDeviceSet::CameraEntry> CDeviceSet::Cameras() const {
    std::vector<CameraEntry> entries;
    for (int i = 0; i < videoCount && i < int(listed_.size()); ++i)
        entries.push_back({QString::fromStdString(listed_[i].id), videoDevices[i].DisplayName()});
    return entries;
}

bool CDeviceSet::SwitchCamera(const QString& id) {
    const int index = IndexOf(id);
    if (index < 0)
        return false;
    if (id == current_ && Engine())
        return true;
    DestroyEngines();
    lost_.clear();
    TakeUp(index);
    return true;
}

void CDeviceSet::OnCamerasChanged() {
    const std::vector<CameraFacts> before = listed_;
    videoCount = 0;
    videoDevices.fill(MediaDevice());
    for (const MediaDevice& device : monitor_->Devices()) {
        if (videoCount < kMaxDevices && !device.DisplayName().isEmpty())
            videoDevices[videoCount++] = device;
    }
    listed_ = Facts();
    AboutDirectShow* engine = Engine();
    const auto end = videoDevices.begin() + videoCount;
    if (engine && std::none_of(videoDevices.begin(), end, [&](const MediaDevice& d) {
            return d.Device() == engine->videoDevice.Device();
        }))
        Unplug();
    for (int i = 0; i < int(listed_.size()); ++i) {
        const std::string& id = listed_[i].id;
        // The camera just unplugged may be back already, under the same identity.
        const bool appeared = id == lost_.toStdString() ||
                              std::none_of(before.begin(), before.end(),
                                           [&](const CameraFacts& f) { return f.id == id; });
        if (appeared && TakesAppearingCamera(id, current_.toStdString(), chosen_.toStdString(),
                                             lost_.toStdString())) {
            DestroyEngines();
            TakeUp(i);
            Notify(CameraEvent::kPluggedIn);
            break;
        }
    }
    Notify(CameraEvent::kListChanged);
}

void CDeviceSet::Unplug() {
    if (lostFormat_)
        gst_caps_unref(lostFormat_);
    lostFormat_ = Engine()->ChosenFormat();
    lost_ = current_;
    DestroyEngines();
    unplugged_ = true;
    Notify(CameraEvent::kUnplugged);
}

void CDeviceSet::TakeUp(int index) {
    const QString id = QString::fromStdString(listed_[index].id);
    auto engine = std::make_unique<AboutDirectShow>();
    engine->videoDevice = videoDevices[index];
    engine->AddDevice();
    // The camera that came back gets the format it had; another one the size asked for last.
    if (id == lost_ && lostFormat_)
        engine->KeepFormat(lostFormat_);
    else if (wantedWidth_ > 0 && wantedHeight_ > 0)
        engine->KeepSize(wantedWidth_, wantedHeight_);
    engine->BuildPreview();
    engines.push_back(std::move(engine));
    current_ = id;
    unplugged_ = false;
    lost_.clear();
    if (runWanted_)
        Engine()->Run();
}

void CDeviceSet::Notify(CameraEvent event) const {
    if (listener_)
        listener_(event);
}
