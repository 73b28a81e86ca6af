// The simulated cameras as devices: the list the options asked for, and the device provider that
// lists those plugged in through the ordinary device monitor. A camera with a picture file is
// plugged in while the file exists; while a monitor watches, the provider adds and removes the
// devices as the files come and go (from the file watch thread) and as the list is changed.

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "media/followed_picture_file.h"
#include "media/simulated_camera.h"

namespace {

struct Camera {
    SimulatedCameraSetup setup;
    uint64_t serial = 0;  // tells this entry apart from the one it replaced
    std::shared_ptr<FollowedPictureFile> file;
    std::string name;

    bool PluggedIn() const { return !file || file->Exists(); }
};

std::mutex g_camerasLock;
std::vector<Camera> g_cameras;  // webcams first, then document cameras in the order given
std::string g_documentFile;     // what SetSimulatedCameraCount's cameras lay on the desk
uint64_t g_serials = 0;
std::atomic<bool> g_registered{false};

// Serialises the provider's changes: the options (user-interface thread) and the file watch.
std::mutex g_syncLock;
GstDeviceProvider* g_provider = nullptr;  // while a monitor watches
struct Listed {
    uint64_t serial;
    GstDevice* device;  // our reference
};
std::vector<Listed> g_listed;

// ---- the device ----

struct QvSimCamDevice {
    GstDevice parent;
    bool builtIn;
    char* pictureFile;
};
struct QvSimCamDeviceClass {
    GstDeviceClass parentClass;
};
G_DEFINE_TYPE(QvSimCamDevice, qv_sim_cam_device, GST_TYPE_DEVICE)

GstElement* qv_sim_cam_device_create_element(GstDevice* device, const gchar* name) {
    auto* self = reinterpret_cast<QvSimCamDevice*>(device);
    GstElement* element = gst_element_factory_make(kSimulatedCameraElement, name);
    if (element)
        g_object_set(element, "picture-file", self->pictureFile, "built-in", self->builtIn,
                     nullptr);
    return element;
}

void qv_sim_cam_device_finalize(GObject* object) {
    g_free(reinterpret_cast<QvSimCamDevice*>(object)->pictureFile);
    G_OBJECT_CLASS(qv_sim_cam_device_parent_class)->finalize(object);
}

void qv_sim_cam_device_class_init(QvSimCamDeviceClass* klass) {
    GST_DEVICE_CLASS(klass)->create_element = qv_sim_cam_device_create_element;
    G_OBJECT_CLASS(klass)->finalize = qv_sim_cam_device_finalize;
}
void qv_sim_cam_device_init(QvSimCamDevice* self) {
    self->builtIn = false;
    self->pictureFile = nullptr;
}

// A new device for the camera, owned by the caller.
GstDevice* MakeDevice(const Camera& camera) {
    GstCaps* caps = SimulatedCameraCaps(camera.setup.webcam);
    // Properties as a real camera's: an identity that stays the same from run to run (the
    // picture file, where it has one) and whether it sits on an outside port.
    GstStructure* props = gst_structure_new("properties", "device.api", G_TYPE_STRING, "simulated",
                                            "device.removable", G_TYPE_STRING,
                                            camera.setup.webcam ? "fixed" : "removable", nullptr);
    if (!camera.setup.pictureFile.empty())
        gst_structure_set(props, "device.serial", G_TYPE_STRING, camera.setup.pictureFile.c_str(),
                          nullptr);
    GObject* object = G_OBJECT(g_object_new(qv_sim_cam_device_get_type(), "display-name",
                                            camera.name.c_str(), "caps", caps, "device-class",
                                            "Video/Source", "properties", props, nullptr));
    gst_caps_unref(caps);
    gst_structure_free(props);
    auto* device = reinterpret_cast<QvSimCamDevice*>(gst_object_ref_sink(object));
    device->builtIn = camera.setup.webcam;
    device->pictureFile = g_strdup(camera.setup.pictureFile.c_str());
    return GST_DEVICE(device);
}

// The cameras plugged in now, in list order.
std::vector<Camera> PluggedCameras() {
    std::lock_guard<std::mutex> guard(g_camerasLock);
    std::vector<Camera> plugged;
    for (const Camera& c : g_cameras) {
        if (c.PluggedIn())
            plugged.push_back(c);
    }
    return plugged;
}

// Any thread: brings the watching provider's devices in line with the cameras plugged in.
void Resync() {
    std::lock_guard<std::mutex> sync(g_syncLock);
    if (!g_provider)
        return;
    const std::vector<Camera> plugged = PluggedCameras();
    for (auto it = g_listed.begin(); it != g_listed.end();) {
        const bool stays = std::any_of(plugged.begin(), plugged.end(),
                                       [&](const Camera& c) { return c.serial == it->serial; });
        if (stays) {
            ++it;
            continue;
        }
        gst_device_provider_device_remove(g_provider, it->device);
        gst_object_unref(it->device);
        it = g_listed.erase(it);
    }
    for (const Camera& c : plugged) {
        const bool listed = std::any_of(g_listed.begin(), g_listed.end(),
                                        [&](const Listed& l) { return l.serial == c.serial; });
        if (listed)
            continue;
        GstDevice* device = MakeDevice(c);
        gst_device_provider_device_add(g_provider, device);
        g_listed.push_back({c.serial, device});
    }
}

// ---- the provider ----

struct QvSimCamProvider {
    GstDeviceProvider parent;
};
struct QvSimCamProviderClass {
    GstDeviceProviderClass parentClass;
};
G_DEFINE_TYPE(QvSimCamProvider, qv_sim_cam_provider, GST_TYPE_DEVICE_PROVIDER)

GList* qv_sim_cam_provider_probe(GstDeviceProvider*) {
    GList* devices = nullptr;
    for (const Camera& c : PluggedCameras())
        devices = g_list_append(devices, MakeDevice(c));
    return devices;
}

gboolean qv_sim_cam_provider_start(GstDeviceProvider* provider) {
    {
        std::lock_guard<std::mutex> sync(g_syncLock);
        g_provider = provider;
    }
    Resync();
    return TRUE;
}

// The base class lets go of its devices after this.
void qv_sim_cam_provider_stop(GstDeviceProvider*) {
    std::lock_guard<std::mutex> sync(g_syncLock);
    g_provider = nullptr;
    for (const Listed& l : g_listed)
        gst_object_unref(l.device);
    g_listed.clear();
}

void qv_sim_cam_provider_class_init(QvSimCamProviderClass* klass) {
    GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
    provider->probe = qv_sim_cam_provider_probe;
    provider->start = qv_sim_cam_provider_start;
    provider->stop = qv_sim_cam_provider_stop;
    gst_device_provider_class_set_static_metadata(provider, "Simulated camera provider",
                                                  "Source/Video", "Lists the simulated cameras",
                                                  "Quorvane");
}
void qv_sim_cam_provider_init(QvSimCamProvider*) {}

gboolean PluginInit(GstPlugin* plugin) {
    return gst_element_register(plugin, kSimulatedCameraElement, GST_RANK_NONE,
                                SimulatedCameraElementType()) &&
           gst_device_provider_register(plugin, "quorvanesimcamprovider", GST_RANK_PRIMARY,
                                        qv_sim_cam_provider_get_type());
}

// Names like a real camera's: numbered from the second of a kind on.
std::string NameOf(bool webcam, int number) {
    const std::string base = webcam ? kSimulatedWebcamName : kSimulatedCameraName;
    return number == 1 ? base : base + " " + std::to_string(number);
}

// Under g_camerasLock: the list for setups, keeping the entries (and so the devices) of cameras
// that are asked for again unchanged.
void SetCameras(std::vector<SimulatedCameraSetup> setups) {
    std::stable_partition(setups.begin(), setups.end(),
                          [](const SimulatedCameraSetup& s) { return s.webcam; });
    std::vector<Camera> cameras;
    int webcams = 0, documents = 0;
    for (size_t i = 0; i < setups.size(); ++i) {
        Camera c;
        c.setup = setups[i];
        c.name = NameOf(c.setup.webcam, c.setup.webcam ? ++webcams : ++documents);
        if (i < g_cameras.size() && g_cameras[i].setup.pictureFile == c.setup.pictureFile &&
            g_cameras[i].setup.webcam == c.setup.webcam) {
            c = g_cameras[i];
        } else {
            c.serial = ++g_serials;
            c.file = FollowedPictureFile::Follow(c.setup.pictureFile);
        }
        cameras.push_back(std::move(c));
    }
    g_cameras = std::move(cameras);
}

}  // namespace

void RegisterSimulatedCameras(const std::vector<SimulatedCameraSetup>& cameras) {
    {
        std::lock_guard<std::mutex> guard(g_camerasLock);
        SetCameras(cameras);
        for (const SimulatedCameraSetup& s : cameras) {
            if (!s.webcam) {
                g_documentFile = s.pictureFile;
                break;
            }
        }
    }
    bool expected = false;
    if (g_registered.compare_exchange_strong(expected, true)) {
        FollowedPictureFile::SetPresenceHook(Resync);
        gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "quorvanesimcam",
                                   "Simulated document camera", PluginInit, "1.0", "Proprietary",
                                   "quorvane", "quorvane", "https://quorvane.invalid/");
    }
    Resync();
}

void RegisterSimulatedCamera(const std::string& pictureFile, int deviceCount) {
    RegisterSimulatedCameras(
        std::vector<SimulatedCameraSetup>(std::max(0, deviceCount), {pictureFile, false}));
}

void SetSimulatedCameraCount(int deviceCount) {
    std::vector<SimulatedCameraSetup> setups;
    {
        std::lock_guard<std::mutex> guard(g_camerasLock);
        setups.assign(std::max(0, deviceCount), {g_documentFile, false});
    }
    RegisterSimulatedCameras(setups);
}

bool SimulatedCameraRegistered() {
    return g_registered.load();
}
