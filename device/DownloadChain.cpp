// The checks a download start makes: image header, whole image, device presence and pipe.
#include "DownloadChain.h"

#include <cstring>

#include "DriverLibrary.h"

HeaderCheck CheckImageHeader(const std::wstring& path, ImageHeader& header) {
    if (!ReadImageHeader(path, header))
        return HeaderCheck::Unreadable;
    if (!HasImageMarker(header))
        return HeaderCheck::NotAnImage;
    if (!IsUsbImage(header))
        return HeaderCheck::UartImage;
    return HeaderCheck::Usable;
}

ImageLoad LoadTestedImage(const std::wstring& path, const ImageHeader& header, ImageData& image) {
    ImageData loaded;
    const ImageLoad load = LoadImageFile(path, loaded);
    if (load != ImageLoad::Loaded)
        return load;
    if (std::memcmp(loaded.bytes.get(), header.bytes.data(), kImageHeaderSize) != 0)
        return ImageLoad::Changed;
    image = std::move(loaded);
    return ImageLoad::Loaded;
}

DevicePresence QueryDevicePresence() {
    const DriverCall call = CallOpenDev();
    if (!call.called)
        return DevicePresence::DriverNotLoaded;
    if (call.result == INVALID_HANDLE_VALUE)
        return DevicePresence::Absent;
    CloseHandle(call.result);
    return DevicePresence::Present;
}

PipeOpen OpenDevicePipe(DownloadLock& lock, FileHandle& pipe) {
    DownloadLock taken;
    if (!taken.TryTake())
        return PipeOpen::AnotherRunWrites;
    const DriverCall call = CallOpenFile(kDevicePipeName);
    if (!call.called)
        return PipeOpen::DriverNotLoaded;
    FileHandle opened(call.result);
    if (!opened.IsValid())
        return PipeOpen::Refused;
    lock = std::move(taken);
    pipe = std::move(opened);
    return PipeOpen::Opened;
}
