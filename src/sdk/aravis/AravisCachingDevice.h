#pragma once

#include <arv.h>

namespace sdk {

class AravisRegisterCache;

// An Aravis device standing in front of a camera's device for a GenICam tree of its own: the
// tree is parsed from the camera's description, and every register access it makes passes
// through an AravisRegisterCache (Aravis' own register cache is off for it) before it reaches
// the camera. Register accesses made on the camera's device directly (stream set-up, say) do
// not pass through it.
//
// Threading: the tree and the cache are used under the node map's lock only.
class AravisCachingDevice {
  public:
    // A new device (the caller owns the reference) over the target (which it holds). Null with
    // the error set when the target gives no description.
    static ArvDevice* Create(ArvDevice* target, AravisRegisterCache& cache, GError** error);
    // The tree of a device Create made (owned by the device).
    static ArvGc* Genicam(ArvDevice* device);
};

}  // namespace sdk
