#include "acquisition/ImgBuffers.h"

#include <boost/numeric/conversion/cast.hpp>

#include <stdexcept>
#include <string>

#include "acquisition/AcquisitionCamera.h"
#include "base/DriverState.h"
#include "parameters/Param_.h"
#include "parameters/TypedParameterAccess.h"
#include "sdk/grab/GrabResult.h"
#include "sdk/grab/GrabResultPtr.h"
#include "sdk/image/PixelType.h"
#include "sdk/image/PixelTypeMapper.h"

namespace {

constexpr uint32_t kMono8 = 0x01080001;
constexpr uint32_t kRGB8packed = 0x02180014;
constexpr uint32_t kBGR8packed = 0x02180015;

}  // namespace

ImgBuffers::ImgBuffers(AcquisitionCamera* camera) : mCamera(camera) {
    mPool.reserve(10);
}

ImgBuffers::~ImgBuffers() {
    DriverState& state = GetDriverState();
    if (state.IsLogEnabled(3)) {
        state.Log(3, "port" + std::to_string(mCamera->GetPort()) +
                         ": trace: ImgBuffers dtor, ImgBuffers::~ImgBuffers");
    }
}

void ImgBuffers::AllocateBuffer(size_t bufferSize, void** createdBuffer, intptr_t& bufferContext) {
    std::lock_guard<std::mutex> lock(mPoolMutex);
    ImgBuffer* free = nullptr;
    for (const std::unique_ptr<ImgBuffer>& buffer : mPool) {
        if (!buffer->mInUse) {
            free = buffer.get();
            break;
        }
    }
    if (!free) {
        mPool.push_back(std::make_unique<ImgBuffer>());
        free = mPool.back().get();
    }
    free->Init(boost::numeric_cast<int32_t>(bufferSize));
    free->mInUse = true;
    mGrabBufferSize = bufferSize;
    *createdBuffer = free->mData;
    bufferContext = reinterpret_cast<intptr_t>(free);
}

void ImgBuffers::FreeBuffer(void* createdBuffer, intptr_t bufferContext) {
    std::lock_guard<std::mutex> lock(mPoolMutex);
    auto* buffer = reinterpret_cast<ImgBuffer*>(bufferContext);
    if (buffer == nullptr || buffer->mData != createdBuffer) {
        throw std::runtime_error("ImgBuffers::FreeBuffer pointer mismatch");
    }
    buffer->mInUse = false;
}

void ImgBuffers::DestroyBufferFactory() {
    DriverState& state = GetDriverState();
    if (state.IsLogEnabled(3)) {
        state.Log(3, "ImgBuffers::DestroyBufferFactory");
    }
}

void ImgBuffers::Init() {
    std::lock_guard<std::mutex> lock(mImageMutex);
    DriverState& state = GetDriverState();
    bool color = mCamera->IsColor();
    const CameraParameters& parameters = mCamera->GetWorkingParameters();
    // From the camera's nodes: a size reached only through a selector has no parameter of its
    // plain name.
    const int32_t width = mCamera->GetWidth();
    const int32_t height = mCamera->GetHeight();
    if (state.IsLogEnabled(2)) {
        state.Log(2, "ImgBuffers::Init: width=" + std::to_string(width) +
                         ", height=" + std::to_string(height) + ", iscolor=" + (color ? "1" : "0"));
    }
    uint32_t source = sdk::ImageFormatConverter::kUndefinedPixelType;
    const std::string format = mCamera->PixelFormatName();
    if (!format.empty()) {
        source =
            static_cast<uint32_t>(sdk::PixelTypeMapper::GetPylonPixelTypeByName(format.c_str()));
    }
    mUseBGR = color && GetParameter<bool>(parameters, "UseBGR");
    Prepare(source, width, height, color);
}

void ImgBuffers::Prepare(uint32_t source, int32_t width, int32_t height, bool color) {
    DriverState& state = GetDriverState();
    if (width < 1 || height < 1) {
        if (state.IsLogEnabled(1)) {
            state.Log(1, " ImgBuffers::Init: ERROR: incorrect image width/height");
        }
        throw std::runtime_error("Image buffer initialization error: width/height error");
    }
    // Until the converter and the image agree with the new format, no frame is converted with
    // the old one's settings.
    mSource = sdk::ImageFormatConverter::kUndefinedPixelType;
    mConverter.Initialize(source);
    mConverter.SetBitDepthReduction(sdk::BitDepthReduction::KeepMostSignificantBits);
    mConverter.SetOutputPixelFormat(color ? (mUseBGR ? kBGR8packed : kRGB8packed) : kMono8);

    const int64_t lineSize = color ? 3 * int64_t{width} : int64_t{width};
    const int64_t expected = int64_t{height} * lineSize;
    size_t size = mConverter.GetBufferSizeForConversion(source, static_cast<uint32_t>(width),
                                                        static_cast<uint32_t>(height));
    if (static_cast<int64_t>(size) != expected) {
        if (state.IsLogEnabled(1)) {
            state.Log(1, "ImgBuffers::Init expected bufferSize != requested buffer size: " +
                             std::to_string(expected) + " vs " + std::to_string(size) +
                             ", port=" + std::to_string(mCamera->GetPort()));
        }
        throw std::runtime_error("Image buffer initialization error: size mismatch");
    }
    mImage.Init(boost::numeric_cast<int32_t>(expected));
    mWidth = width;
    mHeight = height;
    mLineSize = static_cast<int32_t>(lineSize);
    mSource = source;
    mCamera->SetPixelSize(color ? 24 : 8);
}

bool ImgBuffers::Convert(const sdk::GrabResultPtr& result) {
    if (!result.IsValid()) {
        return false;
    }
    if (result->GetBufferContext() == 0) {
        DriverState& state = GetDriverState();
        if (state.IsLogEnabled(1)) {
            state.Log(1, "port" + std::to_string(mCamera->GetPort()) +
                             ": ERR: Result has no buffer as context at ImgBuffers::Convert, "
                             "ImgBuffers::Convert");
        }
        return false;
    }
    std::lock_guard<std::mutex> lock(mImageMutex);
    // Every frame is converted at the format and size it carries: the camera's settings may have
    // changed since the output image was last prepared.
    const auto source = static_cast<uint32_t>(result->GetPixelType());
    const auto width = static_cast<int32_t>(result->GetWidth());
    const auto height = static_cast<int32_t>(result->GetHeight());
    if (source != mSource || width != mWidth || height != mHeight) {
        const bool color = !mCamera->IsMonoFormat(
            sdk::PixelTypeMapper::GetNameByPixelType(static_cast<sdk::EPixelType>(source)));
        DriverState& state = GetDriverState();
        if (state.IsLogEnabled(2)) {
            state.Log(2, "port" + std::to_string(mCamera->GetPort()) +
                             ": Info: image format changed: width=" + std::to_string(width) +
                             ", height=" + std::to_string(height) +
                             ", iscolor=" + (color ? "1" : "0") + ", ImgBuffers::Convert");
        }
        Prepare(source, width, height, color);
    }
    mConverter.Convert(mImage.mData, static_cast<size_t>(mImage.mSize), result->GetBuffer(),
                       result->GetPayloadSize(), source, result->GetWidth(), result->GetHeight(),
                       result->GetPaddingX());
    mCamera->SetCurrentFrame(result->GetBlockID());
    return true;
}

const uint8_t* ImgBuffers::GetLine(int32_t row) {
    DriverState& state = GetDriverState();
    int port = mCamera->GetPort();
    if (row >= 0 && row < mHeight) {
        if (row == 0 && state.IsLogEnabled(3)) {
            state.Log(3, "port" + std::to_string(port) +
                             ": trace: Quorvane read: line 0, ImgBuffers::GetLine");
        }
        if (mImage.mData) {
            return mImage.mData + static_cast<size_t>(row) * static_cast<size_t>(mLineSize);
        }
        if (state.IsLogEnabled(1)) {
            state.Log(1, "port" + std::to_string(port) +
                             ": ERR: GetLine: unallocated buffer, ImgBuffers::GetLine");
        }
        return nullptr;
    }
    if (state.IsLogEnabled(1)) {
        state.Log(1, "port" + std::to_string(port) + ": ERR: GetLine: line index " +
                         std::to_string(row) + " out of range, ImgBuffers::GetLine");
    }
    return nullptr;
}
