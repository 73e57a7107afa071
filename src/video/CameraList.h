// CameraList.h: the V4L2 capture devices FFmpeg's video4linux2 input sees, by name and device path.
#pragma once

#include <string>
#include <vector>

struct TCameraDevice {
    std::string Name; // what the driver calls it; the path when it names nothing
    std::string Path; // /dev/videoN
};

// Empty when there is no camera (or no V4L2 at all); never raises.
std::vector<TCameraDevice> ListCameras();
