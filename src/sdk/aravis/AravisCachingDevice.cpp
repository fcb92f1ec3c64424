#include "sdk/aravis/AravisCachingDevice.h"

#include "sdk/aravis/AravisRegisterCache.h"

namespace sdk {

namespace {

struct CachingDevice {
    ArvDevice parent;
    ArvDevice* target;  // holds a reference
    ArvGc* gc;
    AravisRegisterCache* cache;
};

struct CachingDeviceClass {
    ArvDeviceClass parent;
};

CachingDevice* Self(ArvDevice* device) {
    return reinterpret_cast<CachingDevice*>(device);
}

const char* GetXml(ArvDevice* device, size_t* size) {
    return arv_device_get_genicam_xml(Self(device)->target, size);
}

ArvGc* GetGenicam(ArvDevice* device) {
    return Self(device)->gc;
}

ArvStream* CreateStream(ArvDevice* device, ArvStreamCallback callback, void* user,
                        GDestroyNotify destroy, GError** error) {
    return arv_device_create_stream_full(Self(device)->target, callback, user, destroy, error);
}

gboolean ReadMemory(ArvDevice* device, guint64 address, guint32 size, void* buffer,
                    GError** error) {
    CachingDevice* self = Self(device);
    return self->cache->Read(address, size, buffer, error,
                             [self](uint64_t at, uint32_t length, void* out, GError** failure) {
                                 return arv_device_read_memory(self->target, at, length, out,
                                                               failure) != FALSE;
                             });
}

gboolean WriteMemory(ArvDevice* device, guint64 address, guint32 size, void* buffer,
                     GError** error) {
    CachingDevice* self = Self(device);
    if (self->cache->Defer(address, size, buffer)) {
        return TRUE;
    }
    if (!self->cache->Flush(error)) {
        return FALSE;
    }
    const gboolean written = arv_device_write_memory(self->target, address, size, buffer, error);
    self->cache->NoteWrite(address, size, buffer);
    return written;
}

// A register's value in the order of the camera's memory: USB3 Vision cameras are little
// endian, GigE Vision ones big endian.
void Encode(bool bigEndian, guint32 value, uint8_t* bytes) {
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        bytes[i] = static_cast<uint8_t>(value >> shift);
    }
}

guint32 Decode(bool bigEndian, const uint8_t* bytes) {
    guint32 value = 0;
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        value |= guint32(bytes[i]) << shift;
    }
    return value;
}

// A single register is asked for with the camera's register read (and kept as memory bytes);
// the block around it, when one is read, with a memory read.
gboolean ReadRegister(ArvDevice* device, guint64 address, guint32* value, GError** error) {
    CachingDevice* self = Self(device);
    const bool bigEndian = !ARV_IS_UV_DEVICE(self->target);
    uint8_t bytes[4] = {0, 0, 0, 0};
    const bool read = self->cache->Read(
        address, 4, bytes, error,
        [self, address, bigEndian](uint64_t at, uint32_t length, void* out, GError** failure) {
            if (at != address || length != 4) {
                return arv_device_read_memory(self->target, at, length, out, failure) != FALSE;
            }
            guint32 word = 0;
            if (!arv_device_read_register(self->target, at, &word, failure)) {
                return false;
            }
            Encode(bigEndian, word, static_cast<uint8_t*>(out));
            return true;
        });
    if (read) {
        *value = Decode(bigEndian, bytes);
    }
    return read;
}

gboolean WriteRegister(ArvDevice* device, guint64 address, guint32 value, GError** error) {
    CachingDevice* self = Self(device);
    uint8_t bytes[4];
    Encode(!ARV_IS_UV_DEVICE(self->target), value, bytes);
    if (self->cache->Defer(address, 4, bytes)) {
        return TRUE;
    }
    if (!self->cache->Flush(error)) {
        return FALSE;
    }
    const gboolean written = arv_device_write_register(self->target, address, value, error);
    self->cache->NoteWrite(address, 4, bytes);
    return written;
}

void Finalize(GObject* object) {
    CachingDevice* self = reinterpret_cast<CachingDevice*>(object);
    g_clear_object(&self->gc);
    g_clear_object(&self->target);
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

GType CachingDeviceType() {
    static const GType type = g_type_register_static_simple(
        ARV_TYPE_DEVICE, "OstravelkCachingDevice", sizeof(CachingDeviceClass), ClassInit,
        sizeof(CachingDevice), nullptr, GTypeFlags(0));
    return type;
}

}  // namespace

ArvDevice* AravisCachingDevice::Create(ArvDevice* target, AravisRegisterCache& cache,
                                       GError** error) {
    size_t size = 0;
    const char* xml = arv_device_get_genicam_xml(target, &size);
    if (xml == nullptr || size == 0) {
        g_set_error(error, ARV_DEVICE_ERROR, ARV_DEVICE_ERROR_GENICAM_NOT_FOUND,
                    "The device gives no GenICam description");
        return nullptr;
    }
    auto* self = static_cast<CachingDevice*>(g_object_new(CachingDeviceType(), nullptr));
    self->target = ARV_DEVICE(g_object_ref(target));
    self->cache = &cache;
    self->gc = arv_gc_new(ARV_DEVICE(self), xml, size);
    // Held-back selector moves are written as memory, whichever way they were asked for.
    cache.SetDeviceWrite(
        [target](uint64_t address, uint32_t length, const void* bytes, GError** failure) {
            return arv_device_write_memory(target, address, length, const_cast<void*>(bytes),
                                           failure) != FALSE;
        });
    arv_gc_set_register_cache_policy(self->gc, ARV_REGISTER_CACHE_POLICY_DISABLE);
    return ARV_DEVICE(self);
}

ArvGc* AravisCachingDevice::Genicam(ArvDevice* device) {
    return Self(device)->gc;
}

}  // namespace sdk
