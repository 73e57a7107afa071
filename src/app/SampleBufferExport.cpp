#include "app/SampleBufferExport.h"

#include "app/Form_Master.h"
#include "pipeline/ExportSteps.h"
#include "pipeline/MediaFiles.h"
#include "platform/Bitmap.h"
#include "platform/MessageSink.h"

#include <QFileDialog>

#include <exception>

namespace {
constexpr TImageSaveFilters kSaveFilters = {"Alle Files (*.*)", "JPEG images (*.jpg)", "image files (*.bmp)"};
} // namespace

void PrepareSampleBufferDialog(QFileDialog& dialog, const QString& folder) {
    PrepareImageSaveDialog(dialog, folder, kSaveFilters);
}

void WriteSampleBuffer(const TBitmap& frame, const std::string& fileName, int jpegQuality) {
    // FinishExport may scale its picture in place; without aspect forcing it does not, but it takes the
    // picture by reference, and the frame belongs to the hand-off.
    TBitmap picture(frame);
    const TOutputFormat format = IsJpegName(fileName) ? TOutputFormat::Jpeg : TOutputFormat::Bmp;
    // A stored quality of 0 is within the settings' range but not the encoder's; the encoder takes it as 1.
    FinishExport(picture, fileName, format, false, TPixelSize{picture.Width(), picture.Height()},
                 jpegQuality);
}

void SaveSampleBuffer(TForm_Master& form, const TRunFileDialog& runDialog) {
    QFileDialog dialog(&form);
    PrepareSampleBufferDialog(dialog, QString::fromStdString(form.Settings.LastPath));
    const QString chosen = runDialog(dialog);
    if (chosen.isEmpty()) return;
    // Copied under the hand-off's lock and written outside it, so that the streaming thread is not held up
    // by the disk.
    const TBitmap frame =
        form.Playback.HandOff.WithFrameBitmap([](const TBitmap& bitmap) { return TBitmap(bitmap); });
    try {
        WriteSampleBuffer(frame, chosen.toStdString(), form.Settings.JpegQuality);
    } catch (const std::exception& e) {
        ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
    }
}

void AttachSampleBufferExport(TForm_Master& form, TRunFileDialog runDialog) {
    form.OnSaveSampleBuffer = [&form, run = std::move(runDialog)] { SaveSampleBuffer(form, run); };
}
