#include "camera/CameraVector.h"

#include <algorithm>

#include "camera/Camera.h"

void CameraVector::Add(Camera* camera) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    mCameras.push_back(camera);
}

void CameraVector::AddUnique(Camera* camera) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (std::find(mCameras.begin(), mCameras.end(), camera) == mCameras.end()) {
        mCameras.push_back(camera);
    }
}

Camera* CameraVector::At(int index) const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (index < 0 || static_cast<size_t>(index) >= mCameras.size()) {
        return nullptr;
    }
    return mCameras[static_cast<size_t>(index)];
}

bool CameraVector::Contains(const Camera* camera) const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return std::find(mCameras.begin(), mCameras.end(), camera) != mCameras.end();
}

int CameraVector::Size() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return static_cast<int>(mCameras.size());
}

void CameraVector::Remove(Camera* camera) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    auto found = std::find(mCameras.begin(), mCameras.end(), camera);
    if (found != mCameras.end()) {
        mCameras.erase(found);
    }
}

void CameraVector::DeleteAll() {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    for (Camera* camera : mCameras) {
        delete camera;
    }
    mCameras.clear();
}

void CameraVector::Clear() {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    mCameras.clear();
}
