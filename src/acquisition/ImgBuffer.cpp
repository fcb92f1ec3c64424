#include "acquisition/ImgBuffer.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "base/DriverState.h"

ImgBuffer::~ImgBuffer() {
    DriverState& state = GetDriverState();
    if (mInUse && state.IsLogEnabled(1)) {
        state.Log(1, "ImgBuffer dtor WARNING: still in use by pylon");
    }
    Release();
}

void ImgBuffer::Init(int32_t size) {
    if (mInUse) {
        throw std::runtime_error("ImgBuffer::Init ERROR: in use by pylon");
    }
    if (size == 0) {
        throw std::runtime_error("ImgBuffer::Init size==0");
    }
    if (size < 0) {
        throw std::runtime_error("ImgBuffer::Init size<0");
    }
    if (mSize >= size) {
        return;
    }
    DriverState& state = GetDriverState();
    if (state.IsLogEnabled(3)) {
        state.Log(3, "port99: trace: >>> Allocating new buffer, size=" + std::to_string(size) +
                         ", ImgBuffer::Init");
    }
    Release();
    mData = new uint8_t[static_cast<size_t>(size)];
    mSize = size;
    mInUse = false;
}

void ImgBuffer::Release() {
    if (mData) {
        DriverState& state = GetDriverState();
        if (state.IsLogEnabled(3)) {
            char address[32];
            std::snprintf(address, sizeof address, "%lx", reinterpret_cast<unsigned long>(mData));
            state.Log(3, std::string("port99: trace: <<<Deleting memory, ptr=") + address +
                             ", ImgBuffer::Release");
        }
        delete[] mData;
    }
    mData = nullptr;
    mSize = 0;
    mInUse = false;
}
