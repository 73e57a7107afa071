// BitmapImage.h: the program's bitmaps as QImages for the views that paint them. A bitmap stores its rows
// bottom-up and QImage takes no negative row stride, so the rows are turned upright here one by one; any
// alpha is dropped, the views show pictures opaque as the OpenGL view does. Any thread.
#pragma once

#include <QImage>

class TBitmap;

// A still picture (24 or 32 bits) as a compact RGB image, top row first; a null image for an empty bitmap
// or when there is no memory for the image.
QImage BitmapToImage(const TBitmap& bitmap);

// A 24-bit video frame written into image as RGB32, top row first, reusing image's storage when the size
// matches: the form the video view paints fastest. No frame or another depth gives a null image.
void FrameToImage(const TBitmap& frame, QImage& image);
