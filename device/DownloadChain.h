// The checks a download start makes before its transfer, shared by the window and the console flasher. They
// know no window and no console: each reports its outcome as a value, which each front end puts in its own words.
#pragma once

#include <string>

#include "DownloadLock.h"
#include "Handle.h"
#include "ImageFile.h"

enum class HeaderCheck {
    Usable,
    Unreadable, // cannot be opened or read, or shorter than a header
    NotAnImage, // no image marker
    UartImage,  // an image for the UART port, not for USB
};

// Reads the image's header (exclusively, see ReadImageHeader) and tests its marker, then its port. Unless the
// result is Unreadable, `header` holds the bytes read.
HeaderCheck CheckImageHeader(const std::wstring& path, ImageHeader& header);

// Reads the whole image again and makes sure it still begins with the header that was tested: what is sent must
// be what was tested, and the file may have been replaced in between.
ImageLoad LoadTestedImage(const std::wstring& path, const ImageHeader& header, ImageData& image);

enum class DevicePresence { Present, Absent, DriverNotLoaded };

// One open_dev call through the driver library; a handle it returns is closed at once.
DevicePresence QueryDevicePresence();

enum class PipeOpen {
    Opened,
    AnotherRunWrites, // the machine's download lock is held elsewhere: nothing was opened
    DriverNotLoaded,  // the library cannot be loaded or lacks open_file
    Refused,          // open_file gave no handle: the device went away, or its pipe is taken
};

// Takes the machine's download lock, then open_file("PIPE00") through the driver library. On Opened, `lock` holds
// the lock (for the length of the run, on this thread) and `pipe` owns the write handle; otherwise both are
// untouched. Another run, of this program or another, would interleave its chunks with this one's in the device.
PipeOpen OpenDevicePipe(DownloadLock& lock, FileHandle& pipe);
