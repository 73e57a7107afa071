#include "video/CameraList.h"

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
}

#include <mutex>

std::vector<TCameraDevice> ListCameras() {
    static std::once_flag once;
    std::call_once(once, [] { avdevice_register_all(); });
    std::vector<TCameraDevice> cameras;
    const AVInputFormat* v4l2 = av_find_input_format("video4linux2");
    if (!v4l2) return cameras;
    AVDeviceInfoList* list = nullptr;
    if (avdevice_list_input_sources(v4l2, nullptr, nullptr, &list) < 0 || !list) {
        avdevice_free_list_devices(&list);
        return cameras;
    }
    for (int i = 0; i < list->nb_devices; ++i) {
        const AVDeviceInfo* device = list->devices[i];
        if (!device || !device->device_name) continue;
        const char* description = device->device_description;
        cameras.push_back(
            {description && *description ? description : device->device_name, device->device_name});
    }
    avdevice_free_list_devices(&list);
    return cameras;
}
