#pragma once

#include <mutex>
#include <vector>

class Camera;

// A growable array of camera pointers with its own lock. It does not own its cameras, except
// that DeleteAll destroys them.
//
// Threading: any thread. Every operation holds mLock (recursive) for its own duration only, so
// a walk reads Size() once and then fetches entries with At().
class CameraVector {
  public:
    void Add(Camera* camera);
    // Appends unless the same pointer is present already.
    void AddUnique(Camera* camera);
    // The camera at index, or null for an index out of range.
    Camera* At(int index) const;
    int Size() const;
    bool Contains(const Camera* camera) const;
    // Removes the first entry equal to camera, keeping the order of the rest.
    void Remove(Camera* camera);
    // Destroys every camera, then empties the vector.
    void DeleteAll();
    // Empties the vector without destroying anything.
    void Clear();

  private:
    mutable std::recursive_mutex mLock;
    std::vector<Camera*> mCameras;  // guarded by mLock
};
