#include "app/SampleBufferExport.h"

#include "app/Form_Master.h"
#include "pipeline/ExportSteps.h"
#include "platform/Bitmap.h"
#include "platform/MessageSink.h"

#include <QFileDialog>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <exception>

namespace {
constexpr TImageSaveFilters kSaveFilters = {"Alle Files (*.*)", "JPEG images (*.jpg)", "image files (*.bmp)"};
constexpr int kJpegFilterIndex = 1; // the second filter, counted from 0
constexpr const char* kDefaultSuffix = "jpg";

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    if (text.size() < tail.size()) return false;
    return std::equal(
        tail.begin(), tail.end(), text.end() - static_cast<std::ptrdiff_t>(tail.size()),
        [](char wanted, char seen) { return std::tolower(static_cast<unsigned char>(seen)) == wanted; });
}
} // namespace

QString ExecSaveDialog(QFileDialog& dialog) {
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().first()
               : QString();
}

void PrepareImageSaveDialog(QFileDialog& dialog, const QString& folder,
                            const TImageSaveFilters& filterTexts) {
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const char* filter : filterTexts)
        filters << QString::fromLatin1(filter);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.at(kJpegFilterIndex));
    dialog.setDefaultSuffix(QString::fromLatin1(kDefaultSuffix));
    if (!folder.isEmpty()) dialog.setDirectory(folder);
}

void PrepareSampleBufferDialog(QFileDialog& dialog, const QString& folder) {
    PrepareImageSaveDialog(dialog, folder, kSaveFilters);
}

bool IsJpegName(const std::string& fileName) {
    return EndsWithNoCase(fileName, ".jpg") || EndsWithNoCase(fileName, ".jpeg");
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

void SaveSampleBuffer(TForm_Master& form, const TRunSaveDialog& runDialog) {
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

void AttachSampleBufferExport(TForm_Master& form, TRunSaveDialog runDialog) {
    form.OnSaveSampleBuffer = [&form, run = std::move(runDialog)] { SaveSampleBuffer(form, run); };
}
