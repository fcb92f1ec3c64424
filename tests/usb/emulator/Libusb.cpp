// The libusb calls Aravis makes, over the emulated bus of EmulatedCamera objects (see README.md).
// One lock guards the whole bus; transfers of the stream endpoint wait in a queue per camera that
// the camera's stream thread serves, completed asynchronous transfers wait in their context until
// libusb_handle_events_timeout runs their callbacks, as do the hotplug events.
#include <dlfcn.h>

// The library's whole point is its exported functions (the project builds with hidden ones).
#pragma GCC visibility push(default)
#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "UsbEmulator.h"
#pragma GCC visibility pop

#include "EmulatedCamera.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kControlEndpoint = 0x01;
constexpr uint8_t kDataEndpoint = 0x02;
constexpr uint16_t kVendorId = 0x1E0E;
constexpr uint16_t kProductId = 0x0001;
enum StringIndex : uint8_t { kVendor = 1, kModel, kSerial, kGuid, kVersion };

struct Slot;

// A transfer of the stream endpoint waiting for bytes: a libusb_bulk_transfer call's or an
// asynchronous transfer's.
struct Request {
    unsigned char* buffer = nullptr;
    int length = 0;
    int actual = 0;
    bool done = false;
    libusb_transfer_status status = LIBUSB_TRANSFER_COMPLETED;
    libusb_transfer* transfer = nullptr;  // null for a synchronous call
    libusb_context* context = nullptr;
    Clock::time_point deadline = Clock::time_point::max();
};

struct HotplugCallback {
    int handle;
    int events;
    libusb_hotplug_callback_fn callback;
    void* user;
};

struct HotplugEvent {
    libusb_device* device;
    libusb_hotplug_event event;
};

}  // namespace

struct libusb_context {
    std::vector<libusb_device*> devices;  // every device this context saw, kept to the end
    std::vector<HotplugCallback> hotplug;
    std::deque<HotplugEvent> events;
    std::deque<libusb_transfer*> completed;
    int nextHandle = 1;
};

struct libusb_device {
    libusb_context* context;
    Slot* slot;
    int generation;  // the plug it belongs to
    uint8_t address;
};

struct libusb_device_handle {
    libusb_device* device;
};

namespace {

// A camera of the bus and its stream thread.
struct Slot {
    std::unique_ptr<EmulatedCamera> camera;
    bool present = true;
    bool removed = false;
    int generation = 1;
    std::deque<std::vector<uint8_t>> acks;
    std::deque<Request*> requests;
    std::thread stream;
};

struct Bus {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::unique_ptr<Slot>> slots;
    std::vector<libusb_context*> contexts;
    uint8_t nextAddress = 1;
};

// Never destroyed: Aravis' threads may still wait in it while the program exits.
Bus& TheBus() {
    static Bus* const bus = new Bus;
    return *bus;
}

libusb_context* DefaultContext() {
    static libusb_context context;
    return &context;
}

libusb_context* ContextOf(libusb_context* context) {
    return context ? context : DefaultContext();
}

bool Alive(const libusb_device* device) {
    return device->slot->present && !device->slot->removed &&
           device->generation == device->slot->generation;
}

// Ends a request; an asynchronous one's callback runs in its context's event handling.
void Complete(Request* request, libusb_transfer_status status) {
    request->status = status;
    request->done = true;
    if (request->transfer) {
        request->transfer->status = status;
        request->transfer->actual_length = request->actual;
        request->context->completed.push_back(request->transfer);
        delete request;
    }
}

void EndRequests(Slot& slot, libusb_transfer_status status) {
    for (Request* request : slot.requests) {
        Complete(request, status);
    }
    slot.requests.clear();
}

// Serves the stream endpoint's transfers from the camera's frames, at the camera's frame rate.
void StreamThread(Slot* slot) {
    Bus& bus = TheBus();
    std::unique_lock<std::mutex> hold(bus.lock);
    while (!slot->removed) {
        const auto now = Clock::now();
        auto wake = now + std::chrono::milliseconds(50);
        for (auto it = slot->requests.begin(); it != slot->requests.end();) {
            if ((*it)->deadline <= now) {
                Complete(*it, LIBUSB_TRANSFER_TIMED_OUT);
                it = slot->requests.erase(it);
                bus.changed.notify_all();
            } else {
                wake = std::min(wake, (*it)->deadline);
                ++it;
            }
        }
        EmulatedCamera& camera = *slot->camera;
        if (!slot->present || !camera.Streaming() || slot->requests.empty()) {
            bus.changed.wait_until(hold, wake);
            continue;
        }
        if (!camera.HasBlock()) {
            if (now < camera.NextFrameTime()) {
                bus.changed.wait_until(hold, std::min(wake, camera.NextFrameTime()));
                continue;
            }
            camera.MakeFrame();
        }
        while (!slot->requests.empty() && camera.HasBlock()) {
            Request* request = slot->requests.front();
            slot->requests.pop_front();
            request->actual = static_cast<int>(camera.Take(request->buffer, request->length));
            Complete(request, LIBUSB_TRANSFER_COMPLETED);
        }
        bus.changed.notify_all();
    }
}

// A module named by OSTRAVELK_USB_CAMERA_MODULE plugs its cameras when loaded, so that programs
// that know nothing of the emulator (Aravis' own tools) find them.
void LoadCameraModule() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* module = std::getenv("OSTRAVELK_USB_CAMERA_MODULE");
        if (module && *module && !dlopen(module, RTLD_NOW | RTLD_GLOBAL)) {
            std::fprintf(stderr, "usb emulator: %s\n", dlerror());
        }
    });
}

libusb_device* DeviceFor(libusb_context* context, Slot* slot) {
    for (libusb_device* device : context->devices) {
        if (device->slot == slot && device->generation == slot->generation) {
            return device;
        }
    }
    auto* device = new libusb_device{context, slot, slot->generation, TheBus().nextAddress++};
    context->devices.push_back(device);
    return device;
}

// Tells every context about a device arriving or leaving.
void Announce(Slot* slot, libusb_hotplug_event event) {
    for (libusb_context* context : TheBus().contexts) {
        if (!context->hotplug.empty()) {
            context->events.push_back({DeviceFor(context, slot), event});
        }
    }
}

// The configuration: the control interface (with the USB3 Vision device information
// descriptor), the event interface left out, the stream interface.
struct Configuration {
    libusb_config_descriptor config;
    libusb_interface interfaces[2];
    libusb_interface_descriptor settings[2];
    libusb_endpoint_descriptor endpoints[3];
    unsigned char info[20];
};

libusb_endpoint_descriptor Endpoint(uint8_t address) {
    libusb_endpoint_descriptor endpoint{};
    endpoint.bLength = LIBUSB_DT_ENDPOINT_SIZE;
    endpoint.bDescriptorType = LIBUSB_DT_ENDPOINT;
    endpoint.bEndpointAddress = address;
    endpoint.bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
    endpoint.wMaxPacketSize = 1024;
    return endpoint;
}

Configuration* NewConfiguration() {
    auto* c = new Configuration{};
    c->endpoints[0] = Endpoint(LIBUSB_ENDPOINT_OUT | kControlEndpoint);
    c->endpoints[1] = Endpoint(LIBUSB_ENDPOINT_IN | kControlEndpoint);
    c->endpoints[2] = Endpoint(LIBUSB_ENDPOINT_IN | kDataEndpoint);
    const unsigned char info[20] = {20,     0x24,     0x01,    0x00,    0x00,  0x01,    0x00,
                                    0x00,   0x00,     0x01,    0x00,    kGuid, kVendor, kModel,
                                    kModel, kVersion, kVendor, kSerial, 0,     0x0F};
    std::memcpy(c->info, info, sizeof info);
    for (uint8_t i = 0; i < 2; ++i) {
        libusb_interface_descriptor& setting = c->settings[i];
        setting.bLength = LIBUSB_DT_INTERFACE_SIZE;
        setting.bDescriptorType = LIBUSB_DT_INTERFACE;
        setting.bInterfaceNumber = i;
        setting.bInterfaceClass = LIBUSB_CLASS_MISCELLANEOUS;  // 0xEF
        setting.bInterfaceSubClass = 0x05;                     // USB3 Vision
        setting.bInterfaceProtocol = i == 0 ? 0x00 : 0x02;     // control, stream
        setting.bNumEndpoints = i == 0 ? 2 : 1;
        setting.endpoint = i == 0 ? &c->endpoints[0] : &c->endpoints[2];
        c->interfaces[i].altsetting = &setting;
        c->interfaces[i].num_altsetting = 1;
    }
    c->settings[0].extra = c->info;
    c->settings[0].extra_length = sizeof c->info;
    c->config.bLength = LIBUSB_DT_CONFIG_SIZE;
    c->config.bDescriptorType = LIBUSB_DT_CONFIG;
    c->config.bNumInterfaces = 2;
    c->config.bConfigurationValue = 1;
    c->config.MaxPower = 112;
    c->config.interface = c->interfaces;
    return c;
}

Slot* SlotOf(int camera) {
    Bus& bus = TheBus();
    return camera >= 0 && static_cast<size_t>(camera) < bus.slots.size()
               ? bus.slots[static_cast<size_t>(camera)].get()
               : nullptr;
}

int Control(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data, int length,
            int* transferred, unsigned int timeout, std::unique_lock<std::mutex>& hold) {
    Bus& bus = TheBus();
    Slot* slot = handle->device->slot;
    if (!(endpoint & LIBUSB_ENDPOINT_IN)) {
        std::vector<uint8_t> ack = slot->camera->Command(data, static_cast<size_t>(length));
        if (!ack.empty()) {
            slot->acks.push_back(std::move(ack));
        }
        *transferred = length;
        return 0;
    }
    const auto deadline =
        timeout ? Clock::now() + std::chrono::milliseconds(timeout) : Clock::time_point::max();
    while (slot->acks.empty() && Alive(handle->device)) {
        if (bus.changed.wait_until(hold, deadline) == std::cv_status::timeout &&
            slot->acks.empty()) {
            return LIBUSB_ERROR_TIMEOUT;
        }
    }
    if (!Alive(handle->device)) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    const std::vector<uint8_t> ack = std::move(slot->acks.front());
    slot->acks.pop_front();
    const size_t size = std::min(ack.size(), static_cast<size_t>(length));
    std::memcpy(data, ack.data(), size);
    *transferred = static_cast<int>(size);
    return size < ack.size() ? LIBUSB_ERROR_OVERFLOW : 0;
}

}  // namespace

extern "C" {

int ostravelk_usb_plug(const OstravelkUsbCamera* camera) {
    if (!camera || !camera->read || !camera->write || !camera->payloadSize || !camera->frame ||
        !camera->xml) {
        return -1;
    }
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> hold(bus.lock);
    auto slot = std::make_unique<Slot>();
    slot->camera = std::make_unique<EmulatedCamera>(*camera);
    Slot* raw = slot.get();
    bus.slots.push_back(std::move(slot));
    raw->stream = std::thread(StreamThread, raw);
    Announce(raw, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED);
    bus.changed.notify_all();
    return static_cast<int>(bus.slots.size() - 1);
}

void ostravelk_usb_unplug(int camera) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> hold(bus.lock);
    Slot* slot = SlotOf(camera);
    if (!slot || !slot->present) {
        return;
    }
    Announce(slot, LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT);
    slot->present = false;
    slot->acks.clear();
    EndRequests(*slot, LIBUSB_TRANSFER_NO_DEVICE);
    bus.changed.notify_all();
}

void ostravelk_usb_replug(int camera) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> hold(bus.lock);
    Slot* slot = SlotOf(camera);
    if (!slot || slot->present || slot->removed) {
        return;
    }
    slot->present = true;
    ++slot->generation;
    slot->camera->PowerCycle();
    Announce(slot, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED);
    bus.changed.notify_all();
}

void ostravelk_usb_remove(int camera) {
    ostravelk_usb_unplug(camera);
    Bus& bus = TheBus();
    std::thread stream;
    {
        std::lock_guard<std::mutex> hold(bus.lock);
        Slot* slot = SlotOf(camera);
        if (!slot || slot->removed) {
            return;
        }
        slot->removed = true;
        slot->camera->Forget();
        stream.swap(slot->stream);
        bus.changed.notify_all();
    }
    if (stream.joinable()) {
        stream.join();
    }
}

uint64_t ostravelk_usb_frames_sent(int camera) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> hold(bus.lock);
    Slot* slot = SlotOf(camera);
    return slot ? slot->camera->FramesSent() : 0;
}

int libusb_init(libusb_context** context) {
    LoadCameraModule();
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> hold(bus.lock);
    libusb_context* made = context ? new libusb_context : DefaultContext();
    bus.contexts.push_back(made);
    if (context) {
        *context = made;
    }
    return 0;
}

void libusb_exit(libusb_context* context) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> hold(bus.lock);
    libusb_context* gone = ContextOf(context);
    bus.contexts.erase(std::remove(bus.contexts.begin(), bus.contexts.end(), gone),
                       bus.contexts.end());
    if (gone != DefaultContext()) {
        for (libusb_device* device : gone->devices) {
            delete device;
        }
        delete gone;
    }
}

const char* libusb_error_name(int code) {
    switch (code) {
        case LIBUSB_SUCCESS:
            return "LIBUSB_SUCCESS";
        case LIBUSB_ERROR_IO:
            return "LIBUSB_ERROR_IO";
        case LIBUSB_ERROR_INVALID_PARAM:
            return "LIBUSB_ERROR_INVALID_PARAM";
        case LIBUSB_ERROR_NO_DEVICE:
            return "LIBUSB_ERROR_NO_DEVICE";
        case LIBUSB_ERROR_NOT_FOUND:
            return "LIBUSB_ERROR_NOT_FOUND";
        case LIBUSB_ERROR_TIMEOUT:
            return "LIBUSB_ERROR_TIMEOUT";
        case LIBUSB_ERROR_OVERFLOW:
            return "LIBUSB_ERROR_OVERFLOW";
        case LIBUSB_ERROR_NOT_SUPPORTED:
            return "LIBUSB_ERROR_NOT_SUPPORTED";
        default:
            return "LIBUSB_ERROR_OTHER";
    }
}

ssize_t libusb_get_device_list(libusb_context* context, libusb_device*** list) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> hold(bus.lock);
    std::vector<libusb_device*> present;
    for (auto& slot : bus.slots) {
        if (slot->present && !slot->removed) {
            present.push_back(DeviceFor(ContextOf(context), slot.get()));
        }
    }
    *list = static_cast<libusb_device**>(std::calloc(present.size() + 1, sizeof(libusb_device*)));
    std::copy(present.begin(), present.end(), *list);
    return static_cast<ssize_t>(present.size());
}

void libusb_free_device_list(libusb_device** list, int) {
    std::free(list);
}

int libusb_get_device_descriptor(libusb_device*, libusb_device_descriptor* descriptor) {
    *descriptor = {};
    descriptor->bLength = LIBUSB_DT_DEVICE_SIZE;
    descriptor->bDescriptorType = LIBUSB_DT_DEVICE;
    descriptor->bcdUSB = 0x0300;
    descriptor->bDeviceClass = LIBUSB_CLASS_MISCELLANEOUS;
    descriptor->bDeviceSubClass = 0x02;
    descriptor->bDeviceProtocol = 0x01;  // interface association
    descriptor->bMaxPacketSize0 = 9;
    descriptor->idVendor = kVendorId;
    descriptor->idProduct = kProductId;
    descriptor->bcdDevice = 0x0100;
    descriptor->iManufacturer = kVendor;
    descriptor->iProduct = kModel;
    descriptor->iSerialNumber = kSerial;
    descriptor->bNumConfigurations = 1;
    return 0;
}

int libusb_get_config_descriptor(libusb_device*, uint8_t index, libusb_config_descriptor** config) {
    if (index != 0) {
        return LIBUSB_ERROR_NOT_FOUND;
    }
    *config = &NewConfiguration()->config;
    return 0;
}

void libusb_free_config_descriptor(libusb_config_descriptor* config) {
    delete reinterpret_cast<Configuration*>(config);
}

int libusb_open(libusb_device* device, libusb_device_handle** handle) {
    std::lock_guard<std::mutex> hold(TheBus().lock);
    if (!Alive(device)) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    *handle = new libusb_device_handle{device};
    return 0;
}

void libusb_close(libusb_device_handle* handle) {
    delete handle;
}

libusb_device* libusb_get_device(libusb_device_handle* handle) {
    return handle->device;
}

int libusb_get_string_descriptor_ascii(libusb_device_handle* handle, uint8_t index,
                                       unsigned char* data, int length) {
    std::lock_guard<std::mutex> hold(TheBus().lock);
    if (!Alive(handle->device)) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    const EmulatedCamera& camera = *handle->device->slot->camera;
    std::string text;
    switch (index) {
        case kVendor:
            text = camera.Vendor();
            break;
        case kModel:
            text = camera.Model();
            break;
        case kSerial:
            text = camera.Serial();
            break;
        case kGuid:
            text = camera.Guid();
            break;
        case kVersion:
            text = "1.0";
            break;
        default:
            return LIBUSB_ERROR_INVALID_PARAM;
    }
    if (length <= 0) {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    const size_t size = std::min(text.size(), static_cast<size_t>(length - 1));
    std::memcpy(data, text.data(), size);
    data[size] = 0;
    return static_cast<int>(size);
}

int libusb_claim_interface(libusb_device_handle* handle, int) {
    std::lock_guard<std::mutex> hold(TheBus().lock);
    return Alive(handle->device) ? 0 : LIBUSB_ERROR_NO_DEVICE;
}

int libusb_release_interface(libusb_device_handle*, int) {
    return 0;
}

int libusb_set_auto_detach_kernel_driver(libusb_device_handle*, int) {
    return 0;
}

int libusb_clear_halt(libusb_device_handle* handle, unsigned char endpoint) {
    std::lock_guard<std::mutex> hold(TheBus().lock);
    if (!Alive(handle->device)) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    if ((endpoint & 0x0F) == kDataEndpoint) {
        handle->device->slot->camera->ClearHalt();
    }
    return 0;
}

int libusb_control_transfer(libusb_device_handle* handle, uint8_t, uint8_t, uint16_t, uint16_t,
                            unsigned char*, uint16_t, unsigned int) {
    std::lock_guard<std::mutex> hold(TheBus().lock);
    return Alive(handle->device) ? 0 : LIBUSB_ERROR_NO_DEVICE;
}

int libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data,
                         int length, int* transferred, unsigned int timeout) {
    Bus& bus = TheBus();
    std::unique_lock<std::mutex> hold(bus.lock);
    int ignored = 0;
    int& count = transferred ? *transferred : ignored;
    count = 0;
    if (!Alive(handle->device)) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    Slot* slot = handle->device->slot;
    if ((endpoint & 0x0F) == kControlEndpoint) {
        return Control(handle, endpoint, data, length, &count, timeout, hold);
    }
    if (endpoint != (LIBUSB_ENDPOINT_IN | kDataEndpoint)) {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    Request request;
    request.buffer = data;
    request.length = length;
    slot->requests.push_back(&request);
    bus.changed.notify_all();
    const auto deadline =
        timeout ? Clock::now() + std::chrono::milliseconds(timeout) : Clock::time_point::max();
    if (!bus.changed.wait_until(hold, deadline, [&] { return request.done; })) {
        slot->requests.erase(std::find(slot->requests.begin(), slot->requests.end(), &request));
        return LIBUSB_ERROR_TIMEOUT;
    }
    count = request.actual;
    switch (request.status) {
        case LIBUSB_TRANSFER_COMPLETED:
            return 0;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return LIBUSB_ERROR_NO_DEVICE;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return LIBUSB_ERROR_TIMEOUT;
        default:
            return LIBUSB_ERROR_IO;
    }
}

libusb_transfer* libusb_alloc_transfer(int isoPackets) {
    const size_t size = sizeof(libusb_transfer) +
                        sizeof(libusb_iso_packet_descriptor) * static_cast<size_t>(isoPackets);
    return static_cast<libusb_transfer*>(std::calloc(1, size));
}

void libusb_free_transfer(libusb_transfer* transfer) {
    if (transfer && (transfer->flags & LIBUSB_TRANSFER_FREE_BUFFER)) {
        std::free(transfer->buffer);
    }
    std::free(transfer);
}

int libusb_submit_transfer(libusb_transfer* transfer) {
    Bus& bus = TheBus();
    std::unique_lock<std::mutex> hold(bus.lock);
    libusb_device* device = transfer->dev_handle->device;
    if (!Alive(device)) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    transfer->actual_length = 0;
    if ((transfer->endpoint & 0x0F) == kControlEndpoint) {
        // Commands and acknowledges are exchanged at once.
        int count = 0;
        const int result = Control(transfer->dev_handle, transfer->endpoint, transfer->buffer,
                                   transfer->length, &count, 1, hold);
        transfer->actual_length = count;
        transfer->status = result == 0 ? LIBUSB_TRANSFER_COMPLETED : LIBUSB_TRANSFER_ERROR;
        device->context->completed.push_back(transfer);
        bus.changed.notify_all();
        return 0;
    }
    if (transfer->endpoint != (LIBUSB_ENDPOINT_IN | kDataEndpoint) ||
        transfer->type != LIBUSB_TRANSFER_TYPE_BULK) {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    auto* request = new Request;
    request->buffer = transfer->buffer;
    request->length = transfer->length;
    request->transfer = transfer;
    request->context = device->context;
    if (transfer->timeout) {
        request->deadline = Clock::now() + std::chrono::milliseconds(transfer->timeout);
    }
    device->slot->requests.push_back(request);
    bus.changed.notify_all();
    return 0;
}

int libusb_cancel_transfer(libusb_transfer* transfer) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> hold(bus.lock);
    std::deque<Request*>& requests = transfer->dev_handle->device->slot->requests;
    for (auto it = requests.begin(); it != requests.end(); ++it) {
        if ((*it)->transfer == transfer) {
            Complete(*it, LIBUSB_TRANSFER_CANCELLED);
            requests.erase(it);
            bus.changed.notify_all();
            return 0;
        }
    }
    return LIBUSB_ERROR_NOT_FOUND;
}

int libusb_handle_events_timeout(libusb_context* context, struct timeval* tv) {
    Bus& bus = TheBus();
    libusb_context* own = ContextOf(context);
    std::deque<libusb_transfer*> completed;
    std::deque<HotplugEvent> events;
    std::vector<HotplugCallback> callbacks;
    {
        std::unique_lock<std::mutex> hold(bus.lock);
        const auto wait =
            tv ? std::chrono::microseconds(int64_t(tv->tv_sec) * 1000000 + tv->tv_usec)
               : std::chrono::microseconds(60000000);
        bus.changed.wait_for(hold, wait,
                             [&] { return !own->completed.empty() || !own->events.empty(); });
        completed.swap(own->completed);
        events.swap(own->events);
        callbacks = own->hotplug;
    }
    for (libusb_transfer* transfer : completed) {
        transfer->callback(transfer);
    }
    for (const HotplugEvent& event : events) {
        for (const HotplugCallback& callback : callbacks) {
            if ((callback.events & event.event) &&
                callback.callback(own, event.device, event.event, callback.user) == 1) {
                libusb_hotplug_deregister_callback(own, callback.handle);
            }
        }
    }
    return 0;
}

int libusb_hotplug_register_callback(libusb_context* context, int events, int flags, int, int, int,
                                     libusb_hotplug_callback_fn callback, void* user,
                                     libusb_hotplug_callback_handle* handle) {
    Bus& bus = TheBus();
    libusb_context* own = ContextOf(context);
    std::vector<libusb_device*> present;
    int made = 0;
    {
        std::lock_guard<std::mutex> hold(bus.lock);
        made = own->nextHandle++;
        own->hotplug.push_back({made, events, callback, user});
        for (auto& slot : bus.slots) {
            if (slot->present && !slot->removed) {
                present.push_back(DeviceFor(own, slot.get()));
            }
        }
    }
    if (handle) {
        *handle = made;
    }
    if ((flags & LIBUSB_HOTPLUG_ENUMERATE) && (events & LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED)) {
        for (libusb_device* device : present) {
            callback(own, device, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, user);
        }
    }
    return 0;
}

void libusb_hotplug_deregister_callback(libusb_context* context,
                                        libusb_hotplug_callback_handle handle) {
    std::lock_guard<std::mutex> hold(TheBus().lock);
    std::vector<HotplugCallback>& callbacks = ContextOf(context)->hotplug;
    callbacks.erase(std::remove_if(callbacks.begin(), callbacks.end(),
                                   [&](const HotplugCallback& c) { return c.handle == handle; }),
                    callbacks.end());
}

}  // extern "C"
