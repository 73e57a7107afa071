#include "pipeline/StillImage.h"

#include "imaging/Resample.h"
#include "imaging/glBitmap.h"
#include "platform/ELumatex.h"

TBitmap LoadStillImage(const std::string& path, bool npotSupported) {
    TglBitmap2D image;
    image.OwnsTexture = true;
    image.ReleasePixelsAfterUpload = false;
    image.LoadImageFile(path);
    // Moved, not copied: a picture of gigabytes is held once, also while it changes hands.
    TBitmap frame;
    if (!image.MoveToBitmap(frame) || frame.Empty()) throw ELumatex("the image holds no pixels");
    const int w = image.Width;
    const int h = image.Height;
    const bool powerOfTwo = IsPowerOfTwo(w) && IsPowerOfTwo(h);
    // A failed resample (an image narrower than 4 pixels has no width to trim to) keeps the picture as
    // loaded, as the main window does.
    if (!npotSupported && !powerOfTwo)
        ResampleBitmap(frame, 512, 512);
    else if (w % 4 != 0)
        ResampleBitmap(frame, (w / 4) * 4, h);
    return frame;
}
