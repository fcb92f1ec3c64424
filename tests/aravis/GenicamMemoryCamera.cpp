#include "GenicamMemoryCamera.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "BedFrame.h"
#include "sdk/aravis/AravisSupport.h"

namespace {

using sdk::aravis::Linked;

constexpr uint64_t kPage = 4096;
constexpr int64_t kReadOnlyMaximum = 1024;
// Larger image maxima than this are limits of a register's type, not of a sensor.
constexpr int64_t kLargestSensor = 16384;

// The device class: Aravis' GenICam tree over the camera's memory; the stream comes from an
// in-process fake device whose camera the AcquisitionStart register starts.
struct MemoryDevice {
    ArvDevice parent;
    GenicamMemoryCamera* camera;
    ArvGc* gc;
    ArvDevice* fake;
    gboolean lostSignalled;
    gint acquiring;  // atomic: between the AcquisitionStart and AcquisitionStop registers' writes
};

// Aravis' fake stream fills buffers whether acquiring or not: its thread is held before each
// buffer until the device acquires or the stream goes.
struct StreamGate {
    ArvDevice* device;  // holds a reference
    ArvStreamCallback callback;
    void* user;
    GDestroyNotify destroy;
    std::atomic<bool> closed{false};
};

void GateCallback(void* data, ArvStreamCallbackType type, ArvBuffer* buffer);
void GateDestroy(void* data);
void GateClosed(gpointer data, GObject*);

struct MemoryDeviceClass {
    ArvDeviceClass parent;
};

GType MemoryDeviceType();

MemoryDevice* Self(ArvDevice* device) {
    return reinterpret_cast<MemoryDevice*>(device);
}

ArvStream* CreateStream(ArvDevice* device, ArvStreamCallback callback, void* user,
                        GDestroyNotify destroy, GError** error) {
    auto* gate = new StreamGate;
    gate->device = ARV_DEVICE(g_object_ref(device));
    gate->callback = callback;
    gate->user = user;
    gate->destroy = destroy;
    ArvStream* stream =
        arv_device_create_stream_full(Self(device)->fake, &GateCallback, gate, &GateDestroy, error);
    if (stream) {
        g_object_weak_ref(G_OBJECT(stream), &GateClosed, gate);
    }
    return stream;
}

void GateCallback(void* data, ArvStreamCallbackType type, ArvBuffer* buffer) {
    auto* gate = static_cast<StreamGate*>(data);
    if (type == ARV_STREAM_CALLBACK_TYPE_START_BUFFER) {
        while (!g_atomic_int_get(&Self(gate->device)->acquiring) && !gate->closed) {
            g_usleep(2000);
        }
    }
    if (gate->callback) {
        gate->callback(gate->user, type, buffer);
    }
}

void GateClosed(gpointer data, GObject*) {
    static_cast<StreamGate*>(data)->closed = true;
}

void GateDestroy(void* data) {
    auto* gate = static_cast<StreamGate*>(data);
    if (gate->destroy) {
        gate->destroy(gate->user);
    }
    g_object_unref(gate->device);
    delete gate;
}

const char* GetXml(ArvDevice* device, size_t* size) {
    const std::string& xml = Self(device)->camera->Xml();
    *size = xml.size();
    return xml.data();
}

ArvGc* GetGenicam(ArvDevice* device) {
    return Self(device)->gc;
}

gboolean ReadMemory(ArvDevice* device, guint64 address, guint32 size, void* buffer,
                    GError** error) {
    MemoryDevice* self = Self(device);
    self->camera->Count(device, false, address, size);
    if (!self->camera->CheckPresent(device, error)) {
        return FALSE;
    }
    if (device != self->camera->SeedingDevice() && !self->camera->AcceptsRead(size)) {
        g_set_error(error, ARV_DEVICE_ERROR, ARV_DEVICE_ERROR_PROTOCOL_ERROR_INVALID_ADDRESS,
                    "reads of %u bytes are not served", size);
        return FALSE;
    }
    return self->camera->ReadMemory(address, size, buffer, error);
}

gboolean WriteMemory(ArvDevice* device, guint64 address, guint32 size, void* buffer,
                     GError** error) {
    MemoryDevice* self = Self(device);
    self->camera->Count(device, true, address, size);
    if (!self->camera->CheckPresent(device, error)) {
        return FALSE;
    }
    const bool written = self->camera->WriteMemory(device, address, size, buffer, error);
    if (device != self->camera->SeedingDevice()) {
        self->camera->React(address, size);
    }
    return written;
}

gboolean ReadRegister(ArvDevice* device, guint64 address, guint32* value, GError** error) {
    guint8 bytes[4];
    if (!ReadMemory(device, address, 4, bytes, error)) {
        return FALSE;
    }
    *value =
        (guint32(bytes[0]) << 24) | (guint32(bytes[1]) << 16) | (guint32(bytes[2]) << 8) | bytes[3];
    return TRUE;
}

gboolean WriteRegister(ArvDevice* device, guint64 address, guint32 value, GError** error) {
    guint8 bytes[4] = {guint8(value >> 24), guint8(value >> 16), guint8(value >> 8), guint8(value)};
    return WriteMemory(device, address, 4, bytes, error);
}

void Finalize(GObject* object) {
    MemoryDevice* self = reinterpret_cast<MemoryDevice*>(object);
    g_clear_object(&self->gc);
    g_clear_object(&self->fake);
    G_OBJECT_CLASS(g_type_class_peek_parent(G_OBJECT_GET_CLASS(object)))->finalize(object);
}

void ClassInit(gpointer klass, gpointer) {
    ArvDeviceClass* device = ARV_DEVICE_CLASS(klass);
    device->create_stream = CreateStream;
    device->get_genicam_xml = GetXml;
    device->get_genicam = GetGenicam;
    device->read_memory = ReadMemory;
    device->write_memory = WriteMemory;
    device->read_register = ReadRegister;
    device->write_register = WriteRegister;
    G_OBJECT_CLASS(klass)->finalize = Finalize;
}

GType MemoryDeviceType() {
    static const GType type = g_type_register_static_simple(
        ARV_TYPE_DEVICE, "OstravelkGenicamMemoryDevice", sizeof(MemoryDeviceClass), ClassInit,
        sizeof(MemoryDevice), nullptr, GTypeFlags(0));
    return type;
}

ArvDevice* NewDevice(GenicamMemoryCamera* camera, GError** error) {
    ArvDevice* fake = arv_fake_device_new(camera->Serial().c_str(), error);
    if (!fake) {
        return nullptr;
    }
    MemoryDevice* self = static_cast<MemoryDevice*>(g_object_new(MemoryDeviceType(), nullptr));
    self->camera = camera;
    self->fake = fake;
    self->gc = arv_gc_new(ARV_DEVICE(self), camera->Xml().data(), camera->Xml().size());
    return ARV_DEVICE(self);
}

template <class Visit>
void ForEachElement(ArvDomNode* parent, const Visit& visit) {
    for (ArvDomNode* child = arv_dom_node_get_first_child(parent); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (ARV_IS_DOM_ELEMENT(child)) {
            visit(child);
            ForEachElement(child, visit);
        }
    }
}

// A condition's value: non-zero is true; errors are false.
bool IsTrue(ArvGcNode* node) {
    GError* error = nullptr;
    bool value = false;
    if (ARV_IS_GC_INTEGER(node)) {
        value = arv_gc_integer_get_value(ARV_GC_INTEGER(node), &error) != 0;
    } else if (ARV_IS_GC_BOOLEAN(node)) {
        value = arv_gc_boolean_get_value(ARV_GC_BOOLEAN(node), &error);
    } else if (ARV_IS_GC_FLOAT(node)) {
        value = arv_gc_float_get_value(ARV_GC_FLOAT(node), &error) != 0.0;
    }
    if (error) {
        g_clear_error(&error);
        return false;
    }
    return value;
}

bool IsReadOnlyRegister(ArvGcNode* node) {
    return ARV_IS_GC_REGISTER(node) && ARV_IS_GC_FEATURE_NODE(node) &&
           arv_gc_feature_node_get_actual_access_mode(ARV_GC_FEATURE_NODE(node)) ==
               ARV_GC_ACCESS_MODE_RO;
}

// A register or an entry of a struct register, of any access mode.
bool IsRegister(ArvGcNode* node) {
    return (ARV_IS_GC_REGISTER(node) || ARV_IS_GC_STRUCT_ENTRY_NODE(node)) &&
           ARV_IS_GC_FEATURE_NODE(node);
}

// The registers a condition or bound reads (through pValue and pVariable): the read-only ones,
// or with anyRegister those of every access mode and struct entries too.
void CollectLeaves(ArvGcNode* node, std::vector<ArvGcNode*>& leaves, std::set<ArvGcNode*>& seen,
                   int depth, bool anyRegister = false) {
    if (!node || depth > 8 || !seen.insert(node).second) {
        return;
    }
    if (IsReadOnlyRegister(node) || (anyRegister && IsRegister(node))) {
        leaves.push_back(node);
        return;
    }
    for (ArvGcNode* linked : Linked(ARV_DOM_NODE(node), {ARV_GC_PROPERTY_NODE_TYPE_P_VALUE,
                                                         ARV_GC_PROPERTY_NODE_TYPE_P_VARIABLE})) {
        CollectLeaves(linked, leaves, seen, depth + 1, anyRegister);
    }
}

}  // namespace

GenicamMemoryCamera::GenicamMemoryCamera(const std::string& xmlPath, std::string serial)
    : mSerial(std::move(serial)) {
    std::ifstream file(xmlPath, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + xmlPath);
    }
    std::ostringstream text;
    text << file.rdbuf();
    mXml = text.str();
    std::string base = xmlPath.substr(xmlPath.find_last_of('/') + 1);
    mModel = base.size() > 4 && base.compare(base.size() - 4, 4, ".xml") == 0
                 ? base.substr(0, base.size() - 4)
                 : base;
    GError* error = nullptr;
    mDevice = NewDevice(this, &error);
    if (!mDevice) {
        std::string message = error ? error->message : "no device";
        g_clear_error(&error);
        throw std::runtime_error("cannot create the device: " + message);
    }
    mGc = arv_device_get_genicam(mDevice);
    if (!arv_dom_document_get_document_element(ARV_DOM_DOCUMENT(mGc))) {
        g_clear_object(&mDevice);
        throw std::runtime_error("cannot parse " + xmlPath);
    }
    Seed();
}

GenicamMemoryCamera::~GenicamMemoryCamera() {
    g_clear_object(&mDevice);
}

ArvDevice* GenicamMemoryCamera::Open(GError** error) {
    if (!mPresent) {
        g_set_error(error, ARV_DEVICE_ERROR, ARV_DEVICE_ERROR_NOT_FOUND, "'%s' is not present",
                    mSerial.c_str());
        return nullptr;
    }
    return NewDevice(this, error);
}

void GenicamMemoryCamera::Seed() {
    std::lock_guard<std::recursive_mutex> lock(mGcLock);
    arv_gc_set_register_cache_policy(mGc, ARV_REGISTER_CACHE_POLICY_DISABLE);
    arv_gc_set_access_check_policy(mGc, ARV_ACCESS_CHECK_POLICY_DISABLE);
    arv_gc_set_range_check_policy(mGc, ARV_RANGE_CHECK_POLICY_DISABLE);
    SeedConditions();
    SeedReadOnly();
    SeedUnlocked();
    SeedValues();
    SeedValues();
    SeedImage();
    mStart = FindCommand("AcquisitionStart");
    mStop = FindCommand("AcquisitionStop");
}

void GenicamMemoryCamera::SeedConditions() {
    std::vector<ArvGcNode*> conditions;
    std::set<ArvGcNode*> known;
    ForEachElement(ARV_DOM_NODE(arv_dom_document_get_document_element(ARV_DOM_DOCUMENT(mGc))),
                   [&](ArvDomNode* element) {
                       for (ArvGcNode* condition :
                            Linked(element, {ARV_GC_PROPERTY_NODE_TYPE_P_IS_IMPLEMENTED,
                                             ARV_GC_PROPERTY_NODE_TYPE_P_IS_AVAILABLE})) {
                           if (known.insert(condition).second) {
                               conditions.push_back(condition);
                           }
                       }
                   });
    for (ArvGcNode* condition : conditions) {
        SeedCondition(condition);
    }
}

void GenicamMemoryCamera::SeedCondition(ArvGcNode* condition) {
    {
        std::vector<ArvGcNode*> leaves;
        std::set<ArvGcNode*> seen;
        CollectLeaves(condition, leaves, seen, 0, true);
        std::vector<ArvGcNode*> open;
        for (ArvGcNode* leaf : leaves) {
            if (Decide(leaf)) {
                open.push_back(leaf);
            }
        }
        // A leaf is set through its own node: a masked register's bits only, so that the other
        // features sharing its address (a value beside an availability bit) keep theirs.
        auto fill = [this](ArvGcNode* leaf, uint8_t byte) {
            GError* error = nullptr;
            if (ARV_IS_GC_INTEGER(leaf)) {
                const int64_t max = arv_gc_integer_get_max(ARV_GC_INTEGER(leaf), &error);
                if (!error && max > 0) {
                    arv_gc_integer_set_value(ARV_GC_INTEGER(leaf), byte != 0 ? max : 0, &error);
                    if (!error) {
                        return;
                    }
                }
                g_clear_error(&error);
            }
            const uint64_t address = arv_gc_register_get_address(ARV_GC_REGISTER(leaf), &error);
            const uint64_t length =
                error ? 0 : arv_gc_register_get_length(ARV_GC_REGISTER(leaf), &error);
            g_clear_error(&error);
            Fill(address, length, byte);
        };
        for (ArvGcNode* leaf : open) {
            fill(leaf, 0xFF);
        }
        // A condition that wants a zero somewhere (an inverted flag) gets it, one leaf at a time.
        for (size_t i = 0; i < open.size() && !IsTrue(condition); ++i) {
            fill(open[i], 0x00);
            if (!IsTrue(condition)) {
                fill(open[i], 0xFF);
            }
        }
    }
}

// A register's value as a number; 0 when it cannot be read.
int64_t GenicamMemoryCamera::ReadLeaf(ArvGcNode* leaf) {
    GError* error = nullptr;
    int64_t value = 0;
    if (ARV_IS_GC_INTEGER(leaf)) {
        value = arv_gc_integer_get_value(ARV_GC_INTEGER(leaf), &error);
    } else if (ARV_IS_GC_FLOAT(leaf)) {
        value = static_cast<int64_t>(arv_gc_float_get_value(ARV_GC_FLOAT(leaf), &error));
    }
    g_clear_error(&error);
    return value;
}

// A register's address can depend on a selector: what is decided is the register at its
// present address.
bool GenicamMemoryCamera::Decide(ArvGcNode* leaf) {
    GError* error = nullptr;
    const uint64_t address = arv_gc_register_get_address(ARV_GC_REGISTER(leaf), &error);
    g_clear_error(&error);
    return mDecided.insert({leaf, address}).second;
}

void GenicamMemoryCamera::SeedReadOnly() {
    auto set = [](ArvGcNode* node, double value) {
        GError* error = nullptr;
        if (ARV_IS_GC_INTEGER(node)) {
            arv_gc_integer_set_value(ARV_GC_INTEGER(node), static_cast<int64_t>(value), &error);
        } else if (ARV_IS_GC_FLOAT(node)) {
            arv_gc_float_set_value(ARV_GC_FLOAT(node), value, &error);
        }
        g_clear_error(&error);
    };
    std::vector<ArvDomNode*> elements;
    ForEachElement(ARV_DOM_NODE(arv_dom_document_get_document_element(ARV_DOM_DOCUMENT(mGc))),
                   [&](ArvDomNode* element) { elements.push_back(element); });
    // Maxima read from read-only registers (sensor sizes, limits) get a sensor-like size. They
    // come first: a register is seeded once, and the loop below would take them all.
    for (ArvDomNode* element : elements) {
        for (ArvGcNode* bound : Linked(element, {ARV_GC_PROPERTY_NODE_TYPE_P_MAXIMUM})) {
            std::vector<ArvGcNode*> leaves;
            std::set<ArvGcNode*> seen;
            CollectLeaves(bound, leaves, seen, 0);
            for (ArvGcNode* leaf : leaves) {
                if (Decide(leaf)) {
                    set(leaf, kReadOnlyMaximum);
                }
            }
        }
    }
    // What a camera reads in its other registers is rarely 0: a divisor, an increment, a size.
    // A register already set through another node at its address keeps that value.
    for (ArvDomNode* element : elements) {
        ArvGcNode* node = ARV_GC_NODE(element);
        if (IsReadOnlyRegister(node) && Decide(node) && ReadLeaf(node) == 0) {
            set(node, 1);
        }
    }
}

// After power-up a camera locks nothing a host sets before acquiring: the read-only registers
// that the features' pIsLocked conditions read are cleared where that unlocks them and the
// implemented/available conditions seeded before still hold.
void GenicamMemoryCamera::SeedUnlocked() {
    std::vector<ArvGcNode*> locks;
    std::set<ArvGcNode*> known;
    std::vector<ArvGcNode*> conditions;
    std::set<ArvGcNode*> knownConditions;
    ForEachElement(
        ARV_DOM_NODE(arv_dom_document_get_document_element(ARV_DOM_DOCUMENT(mGc))),
        [&](ArvDomNode* element) {
            for (ArvGcNode* lock : Linked(element, {ARV_GC_PROPERTY_NODE_TYPE_P_IS_LOCKED})) {
                if (known.insert(lock).second) {
                    locks.push_back(lock);
                }
            }
            for (ArvGcNode* condition :
                 Linked(element, {ARV_GC_PROPERTY_NODE_TYPE_P_IS_IMPLEMENTED,
                                  ARV_GC_PROPERTY_NODE_TYPE_P_IS_AVAILABLE})) {
                if (knownConditions.insert(condition).second) {
                    conditions.push_back(condition);
                }
            }
        });
    std::set<ArvGcNode*> conditionLeaves;
    for (ArvGcNode* condition : conditions) {
        std::vector<ArvGcNode*> leaves;
        std::set<ArvGcNode*> seen;
        CollectLeaves(condition, leaves, seen, 0, true);
        conditionLeaves.insert(leaves.begin(), leaves.end());
    }
    for (ArvGcNode* lock : locks) {
        std::vector<ArvGcNode*> leaves;
        std::set<ArvGcNode*> seen;
        CollectLeaves(lock, leaves, seen, 0, true);
        for (size_t i = 0; i < leaves.size() && IsTrue(lock); ++i) {
            if (conditionLeaves.count(leaves[i]) == 0 && ARV_IS_GC_INTEGER(leaves[i])) {
                GError* error = nullptr;
                arv_gc_integer_set_value(ARV_GC_INTEGER(leaves[i]), 0, &error);
                g_clear_error(&error);
            }
        }
    }
}

// A sensor-like image: offsets at the sensor's corner, Width and Height at their maximum where
// the description bounds it (at 1024 where it does not), a pixel format the bed draws, and a
// payload that holds the image.
void GenicamMemoryCamera::SeedImage() {
    // The image starts at the sensor's corner, as after power-up.
    for (const char* name : {"OffsetX", "OffsetY"}) {
        ArvGcNode* node = arv_gc_get_node(mGc, name);
        if (node && ARV_IS_GC_INTEGER(node)) {
            GError* error = nullptr;
            const int64_t min = arv_gc_integer_get_min(ARV_GC_INTEGER(node), &error);
            if (!error) {
                arv_gc_integer_set_value(ARV_GC_INTEGER(node), std::max<int64_t>(min, 0), &error);
            }
            g_clear_error(&error);
        }
    }
    for (const char* name : {"Width", "Height"}) {
        ArvGcNode* node = arv_gc_get_node(mGc, name);
        if (!node || !ARV_IS_GC_INTEGER(node)) {
            continue;
        }
        ArvGcInteger* size = ARV_GC_INTEGER(node);
        GError* error = nullptr;
        const int64_t min = arv_gc_integer_get_min(size, &error);
        g_clear_error(&error);
        int64_t max = arv_gc_integer_get_max(size, &error);
        if (error || max > kLargestSensor) {
            max = kReadOnlyMaximum;
        }
        g_clear_error(&error);
        int64_t inc = arv_gc_integer_get_inc(size, &error);
        g_clear_error(&error);
        inc = inc > 0 ? inc : 1;
        const int64_t low = std::max<int64_t>(min, 1);
        int64_t value = std::max(low, max);
        value -= (value - low) % inc;
        arv_gc_integer_set_value(size, value, &error);
        g_clear_error(&error);
    }
    ArvGcNode* format = arv_gc_get_node(mGc, "PixelFormat");
    if (format && ARV_IS_GC_ENUMERATION(format) &&
        !BedFrame::Draws(static_cast<ArvPixelFormat>(ReadInteger("PixelFormat")))) {
        std::set<int64_t> offered;
        for (ArvDomNode* child = arv_dom_node_get_first_child(ARV_DOM_NODE(format)); child;
             child = arv_dom_node_get_next_sibling(child)) {
            GError* error = nullptr;
            if (ARV_IS_GC_ENUM_ENTRY(child) &&
                arv_gc_feature_node_is_implemented(ARV_GC_FEATURE_NODE(child), &error) &&
                arv_gc_feature_node_is_available(ARV_GC_FEATURE_NODE(child), &error)) {
                offered.insert(arv_gc_enum_entry_get_value(ARV_GC_ENUM_ENTRY(child), &error));
            }
            g_clear_error(&error);
        }
        for (ArvPixelFormat preferred : BedFrame::Preferred()) {
            if (offered.count(preferred) != 0) {
                GError* error = nullptr;
                arv_gc_enumeration_set_int_value(ARV_GC_ENUMERATION(format), preferred, &error);
                g_clear_error(&error);
                break;
            }
        }
    }
    ArvGcNode* payload = arv_gc_get_node(mGc, "PayloadSize");
    const int64_t image = ReadInteger("Width") * ReadInteger("Height") * BytesPerPixel();
    if (payload && ARV_IS_GC_INTEGER(payload) && ReadInteger("PayloadSize") < image) {
        GError* error = nullptr;
        arv_gc_integer_set_value(ARV_GC_INTEGER(payload), image, &error);
        g_clear_error(&error);
        // A PayloadSize computed from the camera's registers: the registers hold the size.
        std::vector<ArvGcNode*> leaves;
        std::set<ArvGcNode*> seen;
        CollectLeaves(payload, leaves, seen, 0, true);
        for (size_t i = 0; i < leaves.size() && ReadInteger("PayloadSize") < image; ++i) {
            if (ARV_IS_GC_INTEGER(leaves[i])) {
                arv_gc_integer_set_value(ARV_GC_INTEGER(leaves[i]), image, &error);
                g_clear_error(&error);
            }
        }
    }
}

int64_t GenicamMemoryCamera::BytesPerPixel() {
    const int64_t bits = ARV_PIXEL_FORMAT_BIT_PER_PIXEL(ReadInteger("PixelFormat"));
    return bits > 0 ? (bits + 7) / 8 : 1;
}

// A camera does not hold 0 where its description divides by the value (a frame period under a
// frame rate converter): such values read 1.
void GenicamMemoryCamera::SeedDivisors(ArvDomNode* element) {
    GError* error = nullptr;
    if (ARV_IS_GC_FLOAT(element)) {
        arv_gc_float_get_value(ARV_GC_FLOAT(element), &error);
    } else if (ARV_IS_GC_INTEGER(element)) {
        arv_gc_integer_get_value(ARV_GC_INTEGER(element), &error);
    } else {
        return;
    }
    const bool division = error && std::strstr(error->message, "division by zero");
    g_clear_error(&error);
    if (!division) {
        return;
    }
    std::vector<ArvGcNode*> links =
        Linked(element, {ARV_GC_PROPERTY_NODE_TYPE_P_VALUE, ARV_GC_PROPERTY_NODE_TYPE_P_VARIABLE});
    for (size_t i = 0; i < links.size() && i < 64; ++i) {
        ArvGcNode* link = links[i];
        if (ARV_IS_GC_INTEGER(link) &&
            arv_gc_integer_get_value(ARV_GC_INTEGER(link), &error) == 0 && !error) {
            arv_gc_integer_set_value(ARV_GC_INTEGER(link), 1, &error);
        } else if (ARV_IS_GC_FLOAT(link) &&
                   arv_gc_float_get_value(ARV_GC_FLOAT(link), &error) == 0.0 && !error) {
            arv_gc_float_set_value(ARV_GC_FLOAT(link), 1.0, &error);
        } else if (error) {
            // A divisor further down the chain.
            for (ArvGcNode* deeper : Linked(
                     ARV_DOM_NODE(link),
                     {ARV_GC_PROPERTY_NODE_TYPE_P_VALUE, ARV_GC_PROPERTY_NODE_TYPE_P_VARIABLE})) {
                links.push_back(deeper);
            }
        }
        g_clear_error(&error);
    }
}

void GenicamMemoryCamera::SeedValues() {
    auto implementedAndAvailable = [](ArvGcFeatureNode* node) {
        GError* error = nullptr;
        const bool yes = arv_gc_feature_node_is_implemented(node, &error) && !error &&
                         arv_gc_feature_node_is_available(node, &error) && !error;
        g_clear_error(&error);
        return yes;
    };
    // The features a user sees: those the categories below Root list.
    std::vector<ArvDomNode*> features;
    std::set<ArvGcNode*> listed;
    std::function<void(ArvGcNode*)> walk = [&](ArvGcNode* node) {
        if (!node || !listed.insert(node).second) {
            return;
        }
        if (!ARV_IS_GC_CATEGORY(node)) {
            features.push_back(ARV_DOM_NODE(node));
            return;
        }
        for (const GSList* item = arv_gc_category_get_features(ARV_GC_CATEGORY(node)); item;
             item = item->next) {
            walk(arv_gc_get_node(mGc, static_cast<const char*>(item->data)));
        }
    };
    walk(arv_gc_get_node(mGc, "Root"));
    std::function<void(ArvDomNode*)> seed = [&](ArvDomNode* element) {
        SeedDivisors(element);
        GError* error = nullptr;
        if (ARV_IS_GC_ENUMERATION(element)) {
            ArvGcEnumeration* enumeration = ARV_GC_ENUMERATION(element);
            const int64_t value = arv_gc_enumeration_get_int_value(enumeration, &error);
            const bool readable = !error;
            g_clear_error(&error);
            int64_t first = 0;
            bool haveFirst = false;
            bool valid = false;
            for (ArvDomNode* child = arv_dom_node_get_first_child(element); child;
                 child = arv_dom_node_get_next_sibling(child)) {
                if (!ARV_IS_GC_ENUM_ENTRY(child) ||
                    !implementedAndAvailable(ARV_GC_FEATURE_NODE(child))) {
                    continue;
                }
                const int64_t entry = arv_gc_enum_entry_get_value(ARV_GC_ENUM_ENTRY(child), &error);
                g_clear_error(&error);
                if (!haveFirst) {
                    first = entry;
                    haveFirst = true;
                }
                valid = valid || (readable && entry == value);
            }
            if (!valid && haveFirst) {
                arv_gc_enumeration_set_int_value(enumeration, first, &error);
                g_clear_error(&error);
            }
        } else if (ARV_IS_GC_INTEGER(element) && !ARV_IS_GC_ENUMERATION(element)) {
            ArvGcInteger* integer = ARV_GC_INTEGER(element);
            const int64_t value = arv_gc_integer_get_value(integer, &error);
            const int64_t min = error ? 0 : arv_gc_integer_get_min(integer, &error);
            const int64_t max = error ? 0 : arv_gc_integer_get_max(integer, &error);
            if (!error && min <= max && (value < min || value > max)) {
                arv_gc_integer_set_value(integer, max - min <= kReadOnlyMaximum ? max : min,
                                         &error);
            }
            g_clear_error(&error);
        } else if (ARV_IS_GC_FLOAT(element)) {
            ArvGcFloat* number = ARV_GC_FLOAT(element);
            const double value = arv_gc_float_get_value(number, &error);
            const double min = error ? 0 : arv_gc_float_get_min(number, &error);
            const double max = error ? 0 : arv_gc_float_get_max(number, &error);
            if (!error && min <= max && !(value >= min && value <= max)) {
                arv_gc_float_set_value(number, max - min <= kReadOnlyMaximum ? max : min, &error);
            }
            g_clear_error(&error);
        }
    };
    for (ArvDomNode* element : features) {
        seed(element);
        // The features a selector selects hold a value per entry: each is seeded.
        if (!ARV_IS_GC_ENUMERATION(element) ||
            !arv_gc_selector_is_selector(ARV_GC_SELECTOR(element))) {
            continue;
        }
        ArvGcEnumeration* selector = ARV_GC_ENUMERATION(element);
        GError* error = nullptr;
        const int64_t current = arv_gc_enumeration_get_int_value(selector, &error);
        g_clear_error(&error);
        for (ArvDomNode* child = arv_dom_node_get_first_child(element); child;
             child = arv_dom_node_get_next_sibling(child)) {
            if (!ARV_IS_GC_ENUM_ENTRY(child) ||
                !implementedAndAvailable(ARV_GC_FEATURE_NODE(child))) {
                continue;
            }
            arv_gc_enumeration_set_int_value(
                selector, arv_gc_enum_entry_get_value(ARV_GC_ENUM_ENTRY(child), nullptr), &error);
            g_clear_error(&error);
            for (const GSList* item =
                     arv_gc_selector_get_selected_features(ARV_GC_SELECTOR(element));
                 item; item = item->next) {
                if (!ARV_IS_GC_FEATURE_NODE(item->data) || item->data == element) {
                    continue;
                }
                // Conditions often read another register for each entry of the selector.
                ArvDomNode* selected = ARV_DOM_NODE(item->data);
                std::vector<ArvDomNode*> owners = {selected};
                for (ArvDomNode* sub = arv_dom_node_get_first_child(selected); sub;
                     sub = arv_dom_node_get_next_sibling(sub)) {
                    if (ARV_IS_GC_ENUM_ENTRY(sub)) {
                        owners.push_back(sub);
                    }
                }
                for (ArvDomNode* owner : owners) {
                    for (ArvGcNode* condition :
                         Linked(owner, {ARV_GC_PROPERTY_NODE_TYPE_P_IS_IMPLEMENTED,
                                        ARV_GC_PROPERTY_NODE_TYPE_P_IS_AVAILABLE})) {
                        SeedCondition(condition);
                    }
                }
                seed(selected);
            }
        }
        arv_gc_enumeration_set_int_value(selector, current, &error);
        g_clear_error(&error);
    }
}

GenicamMemoryCamera::Command GenicamMemoryCamera::FindCommand(const char* name) {
    Command command;
    ArvGcNode* node = arv_gc_get_node(mGc, name);
    if (!node || !ARV_IS_GC_COMMAND(node)) {
        return command;
    }
    // The register the command writes, also behind a converter that sets its bits.
    std::vector<ArvGcNode*> values =
        Linked(ARV_DOM_NODE(node), {ARV_GC_PROPERTY_NODE_TYPE_P_VALUE});
    command.valueNode = values.empty() ? nullptr : values.front();
    for (int depth = 0; !values.empty() && depth < 4; ++depth) {
        ArvGcNode* value = values.front();
        if (ARV_IS_GC_REGISTER(value)) {
            GError* error = nullptr;
            command.address = arv_gc_register_get_address(ARV_GC_REGISTER(value), &error);
            if (error) {
                command.address = UINT64_MAX;
            }
            g_clear_error(&error);
            break;
        }
        values = Linked(ARV_DOM_NODE(value), {ARV_GC_PROPERTY_NODE_TYPE_P_VALUE});
    }
    for (ArvDomNode* child = arv_dom_node_get_first_child(ARV_DOM_NODE(node)); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (ARV_IS_GC_PROPERTY_NODE(child) &&
            arv_gc_property_node_get_node_type(ARV_GC_PROPERTY_NODE(child)) ==
                ARV_GC_PROPERTY_NODE_TYPE_COMMAND_VALUE) {
            GError* error = nullptr;
            command.value = arv_gc_property_node_get_int64(ARV_GC_PROPERTY_NODE(child), &error);
            g_clear_error(&error);
        }
    }
    return command;
}

int64_t GenicamMemoryCamera::ReadInteger(const std::string& feature) {
    std::lock_guard<std::recursive_mutex> lock(mGcLock);
    ArvGcNode* node = arv_gc_get_node(mGc, feature.c_str());
    GError* error = nullptr;
    int64_t value = 0;
    if (node && ARV_IS_GC_ENUMERATION(node)) {
        value = arv_gc_enumeration_get_int_value(ARV_GC_ENUMERATION(node), &error);
    } else if (node && ARV_IS_GC_INTEGER(node)) {
        value = arv_gc_integer_get_value(ARV_GC_INTEGER(node), &error);
    } else if (node && ARV_IS_GC_BOOLEAN(node)) {
        value = arv_gc_boolean_get_value(ARV_GC_BOOLEAN(node), &error);
    }
    if (error) {
        g_clear_error(&error);
        return 0;
    }
    return value;
}

std::string GenicamMemoryCamera::ReadEntry(const std::string& feature) {
    std::lock_guard<std::recursive_mutex> lock(mGcLock);
    ArvGcNode* node = arv_gc_get_node(mGc, feature.c_str());
    if (!node || !ARV_IS_GC_ENUMERATION(node)) {
        return "";
    }
    GError* error = nullptr;
    const char* entry = arv_gc_enumeration_get_string_value(ARV_GC_ENUMERATION(node), &error);
    const std::string text = !error && entry ? entry : "";
    g_clear_error(&error);
    return text;
}

size_t GenicamMemoryCamera::CountImplementedFeatures() {
    std::lock_guard<std::recursive_mutex> lock(mGcLock);
    std::set<ArvGcNode*> features;
    std::set<ArvGcNode*> categories;
    std::function<void(ArvGcNode*)> walk = [&](ArvGcNode* node) {
        if (!node) {
            return;
        }
        if (!ARV_IS_GC_CATEGORY(node)) {
            GError* error = nullptr;
            if (ARV_IS_GC_FEATURE_NODE(node) &&
                arv_gc_feature_node_is_implemented(ARV_GC_FEATURE_NODE(node), &error) && !error) {
                features.insert(node);
            }
            g_clear_error(&error);
            return;
        }
        if (!categories.insert(node).second) {
            return;
        }
        for (const GSList* item = arv_gc_category_get_features(ARV_GC_CATEGORY(node)); item;
             item = item->next) {
            walk(arv_gc_get_node(mGc, static_cast<const char*>(item->data)));
        }
    };
    walk(arv_gc_get_node(mGc, "Root"));
    return features.size();
}

void GenicamMemoryCamera::WriteInteger(const std::string& feature, int64_t value) {
    std::lock_guard<std::recursive_mutex> lock(mGcLock);
    ArvGcNode* node = arv_gc_get_node(mGc, feature.c_str());
    GError* error = nullptr;
    if (node && ARV_IS_GC_ENUMERATION(node)) {
        arv_gc_enumeration_set_int_value(ARV_GC_ENUMERATION(node), value, &error);
    } else if (node && ARV_IS_GC_INTEGER(node)) {
        arv_gc_integer_set_value(ARV_GC_INTEGER(node), value, &error);
    }
    g_clear_error(&error);
}

void GenicamMemoryCamera::WriteFloat(const std::string& feature, double value) {
    std::lock_guard<std::recursive_mutex> lock(mGcLock);
    ArvGcNode* node = arv_gc_get_node(mGc, feature.c_str());
    GError* error = nullptr;
    if (node && ARV_IS_GC_FLOAT(node)) {
        arv_gc_float_set_value(ARV_GC_FLOAT(node), value, &error);
    }
    g_clear_error(&error);
}

void GenicamMemoryCamera::WriteEntry(const std::string& feature, const std::string& entry) {
    std::lock_guard<std::recursive_mutex> lock(mGcLock);
    ArvGcNode* node = arv_gc_get_node(mGc, feature.c_str());
    GError* error = nullptr;
    if (node && ARV_IS_GC_ENUMERATION(node)) {
        arv_gc_enumeration_set_string_value(ARV_GC_ENUMERATION(node), entry.c_str(), &error);
    }
    g_clear_error(&error);
}

void GenicamMemoryCamera::Fill(uint64_t address, uint64_t length, uint8_t byte) {
    std::vector<uint8_t> bytes(length, byte);
    Store(address, static_cast<uint32_t>(length), bytes.data());
}

bool GenicamMemoryCamera::CheckPresent(ArvDevice* device, GError** error) {
    if (mPresent && mReadsLeft > 0 && --mReadsLeft == 0) {
        mPresent = false;
    }
    if (mPresent) {
        return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(mGoneDelayMs.load()));
    MemoryDevice* self = Self(device);
    if (device != mDevice && !self->lostSignalled) {
        self->lostSignalled = TRUE;
        g_signal_emit_by_name(device, "control-lost");
    }
    g_set_error(error, ARV_DEVICE_ERROR, ARV_DEVICE_ERROR_TIMEOUT, "'%s' does not answer",
                mSerial.c_str());
    return false;
}

GenicamMemoryCamera::Transactions GenicamMemoryCamera::Transactions::operator-(
    const Transactions& earlier) const {
    Transactions difference;
    difference.reads = reads - earlier.reads;
    difference.writes = writes - earlier.writes;
    difference.readBytes = readBytes - earlier.readBytes;
    difference.writtenBytes = writtenBytes - earlier.writtenBytes;
    return difference;
}

GenicamMemoryCamera::Transactions GenicamMemoryCamera::Counted() const {
    Transactions counted;
    counted.reads = mReads;
    counted.writes = mWrites;
    counted.readBytes = mReadBytes;
    counted.writtenBytes = mWrittenBytes;
    return counted;
}

void GenicamMemoryCamera::Count(ArvDevice* device, bool write, uint64_t address, uint32_t bytes) {
    if (device == mDevice) {  // set once, before any other connection
        return;
    }
    if (mObserver) {
        mObserver(write, address, bytes);
    }
    if (write) {
        ++mWrites;
        mWrittenBytes += bytes;
    } else {
        ++mReads;
        mReadBytes += bytes;
    }
    if (mDelayUs > 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(mDelayUs.load()));
    }
}

void GenicamMemoryCamera::OnWrite(uint64_t address,
                                  std::function<void(GenicamMemoryCamera&)> reaction) {
    std::lock_guard<std::mutex> lock(mReactionLock);
    mReactions.emplace_back(address, std::move(reaction));
}

void GenicamMemoryCamera::React(uint64_t address, uint32_t size) {
    std::vector<std::function<void(GenicamMemoryCamera&)>> due;
    {
        std::lock_guard<std::mutex> lock(mReactionLock);
        for (const auto& reaction : mReactions) {
            if (address <= reaction.first && reaction.first < address + size) {
                due.push_back(reaction.second);
            }
        }
    }
    for (const auto& reaction : due) {
        reaction(*this);
    }
}

uint32_t GenicamMemoryCamera::Peek32(uint64_t address) {
    uint8_t bytes[4];
    ReadMemory(address, 4, bytes, nullptr);
    return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) |
           bytes[3];
}

void GenicamMemoryCamera::Poke32(uint64_t address, uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                              uint8_t(value)};
    WriteMemory(nullptr, address, 4, bytes, nullptr);
}

bool GenicamMemoryCamera::AcceptsRead(uint32_t size) const {
    return mLongestRead == 0 || size <= mLongestRead;
}

namespace {

// What arv-tool-0.8 values reads below a node (see CountReadingEveryValueOnce).
void ReadValues(ArvGc* gc, const char* name, int depth) {
    ArvGcNode* node = arv_gc_get_node(gc, name);
    if (node == nullptr || depth > 64) {
        return;
    }
    GError* error = nullptr;
    if (ARV_IS_GC_FEATURE_NODE(node) && !ARV_IS_GC_CATEGORY(node) &&
        arv_gc_feature_node_is_implemented(ARV_GC_FEATURE_NODE(node), &error) && !error &&
        arv_gc_feature_node_is_available(ARV_GC_FEATURE_NODE(node), &error) && !error) {
        arv_gc_feature_node_get_actual_access_mode(ARV_GC_FEATURE_NODE(node));
        if (ARV_IS_GC_STRING(node) || ARV_IS_GC_ENUMERATION(node)) {
            arv_gc_string_get_value(ARV_GC_STRING(node), &error);
        } else if (ARV_IS_GC_INTEGER(node)) {
            arv_gc_integer_get_value(ARV_GC_INTEGER(node), &error);
        } else if (ARV_IS_GC_FLOAT(node)) {
            arv_gc_float_get_value(ARV_GC_FLOAT(node), &error);
        } else if (ARV_IS_GC_BOOLEAN(node)) {
            arv_gc_boolean_get_value(ARV_GC_BOOLEAN(node), &error);
        }
    }
    g_clear_error(&error);
    if (ARV_IS_GC_CATEGORY(node)) {
        for (const GSList* it = arv_gc_category_get_features(ARV_GC_CATEGORY(node)); it;
             it = it->next) {
            ReadValues(gc, static_cast<const char*>(it->data), depth + 1);
        }
    }
}

}  // namespace

int64_t GenicamMemoryCamera::CountReadingEveryValueOnce() {
    GError* error = nullptr;
    ArvDevice* device = Open(&error);
    if (device == nullptr) {
        g_clear_error(&error);
        return -1;
    }
    ArvGc* gc = arv_device_get_genicam(device);
    arv_gc_set_register_cache_policy(gc, ARV_REGISTER_CACHE_POLICY_ENABLE);
    const Transactions before = Counted();
    ReadValues(gc, "Root", 0);
    const int64_t count = (Counted() - before).Count();
    g_object_unref(device);
    return count;
}

bool GenicamMemoryCamera::ReadMemory(uint64_t address, uint32_t size, void* buffer, GError**) {
    std::lock_guard<std::mutex> lock(mMemoryLock);
    auto* out = static_cast<uint8_t*>(buffer);
    for (uint32_t i = 0; i < size; ++i) {
        const uint64_t at = address + i;
        const auto page = mPages.find(at / kPage);
        out[i] = page == mPages.end() ? 0 : page->second[at % kPage];
    }
    return true;
}

bool GenicamMemoryCamera::WriteMemory(ArvDevice* device, uint64_t address, uint32_t size,
                                      const void* buffer, GError**) {
    if (!device || device == mDevice) {
        Store(address, size, buffer);
        return true;
    }
    ArvDevice* fake = Self(device)->fake;
    switch (WriteAsHost(address, size, buffer)) {
        case Written::Start:
            StartFake(fake);
            g_atomic_int_set(&Self(device)->acquiring, 1);
            break;
        case Written::Stop:
            g_atomic_int_set(&Self(device)->acquiring, 0);
            arv_fake_camera_write_register(arv_fake_device_get_fake_camera(ARV_FAKE_DEVICE(fake)),
                                           ARV_FAKE_CAMERA_REGISTER_ACQUISITION, 0);
            break;
        case Written::Plain:
            break;
    }
    return true;
}

void GenicamMemoryCamera::Store(uint64_t address, uint32_t size, const void* buffer) {
    std::lock_guard<std::mutex> lock(mMemoryLock);
    const auto* in = static_cast<const uint8_t*>(buffer);
    for (uint32_t i = 0; i < size; ++i) {
        const uint64_t at = address + i;
        std::vector<uint8_t>& page = mPages[at / kPage];
        if (page.empty()) {
            page.assign(kPage, 0);
        }
        page[at % kPage] = in[i];
    }
}

GenicamMemoryCamera::Written GenicamMemoryCamera::WriteAsHost(uint64_t address, uint32_t size,
                                                              const void* buffer) {
    Store(address, size, buffer);
    auto hits = [&](const Command& command) {
        return command.address != UINT64_MAX && address <= command.address &&
               command.address < address + size;
    };
    // Start and stop writing one register are told apart by the value the command's own node
    // reads back (through its converter, if any).
    const bool shared = mStart.address == mStop.address;
    const auto is = [&](const Command& command) {
        if (!shared) {
            return true;
        }
        std::lock_guard<std::recursive_mutex> lock(mGcLock);
        GError* error = nullptr;
        const int64_t value =
            command.valueNode && ARV_IS_GC_INTEGER(command.valueNode)
                ? arv_gc_integer_get_value(ARV_GC_INTEGER(command.valueNode), &error)
                : INT64_MIN;
        g_clear_error(&error);
        return value == command.value;
    };
    if (hits(mStart) && is(mStart)) {
        ++mStarts;
        mAcquiring = true;
        return Written::Start;
    }
    if (hits(mStop) && is(mStop)) {
        ++mStops;
        mAcquiring = false;
        return Written::Stop;
    }
    return Written::Plain;
}

void GenicamMemoryCamera::StartFake(ArvDevice* fake) {
    ArvFakeCamera* camera = arv_fake_device_get_fake_camera(ARV_FAKE_DEVICE(fake));
    const Frame frame = NextFrame();
    const int64_t width = frame.width;
    const int64_t height = frame.height;
    const int64_t format = frame.format;
    arv_fake_camera_write_register(camera, ARV_FAKE_CAMERA_REGISTER_SENSOR_WIDTH, guint32(width));
    arv_fake_camera_write_register(camera, ARV_FAKE_CAMERA_REGISTER_SENSOR_HEIGHT, guint32(height));
    arv_fake_camera_write_register(camera, ARV_FAKE_CAMERA_REGISTER_WIDTH, guint32(width));
    arv_fake_camera_write_register(camera, ARV_FAKE_CAMERA_REGISTER_HEIGHT, guint32(height));
    arv_fake_camera_write_register(camera, ARV_FAKE_CAMERA_REGISTER_PIXEL_FORMAT, guint32(format));
    arv_fake_camera_write_register(camera, ARV_FAKE_CAMERA_REGISTER_ACQUISITION_FRAME_PERIOD_US,
                                   20000);
    arv_fake_camera_write_register(camera, ARV_FAKE_CAMERA_REGISTER_ACQUISITION, 1);
}

GenicamMemoryCamera::Frame GenicamMemoryCamera::NextFrame() {
    Frame frame;
    frame.format = static_cast<ArvPixelFormat>(ReadInteger("PixelFormat"));
    if (!BedFrame::Draws(frame.format)) {
        frame.format = ARV_PIXEL_FORMAT_MONO_8;
    }
    const int64_t bytes = (ARV_PIXEL_FORMAT_BIT_PER_PIXEL(frame.format) + 7) / 8;
    frame.width = std::max<int64_t>(1, ReadInteger("Width"));
    frame.height = std::max<int64_t>(1, ReadInteger("Height"));
    const int64_t payload = ReadInteger("PayloadSize");
    if (payload > 0 && frame.width * frame.height * bytes > payload) {
        frame.height = std::max<int64_t>(1, payload / (frame.width * bytes));
    }
    return frame;
}
