// SampleBufferExport.h: "Save SampleBuffer...": the current unprocessed frame written as BMP or JPEG
// through the main window's save dialog.
#pragma once

#include <QString>

#include <array>
#include <functional>
#include <string>

class QFileDialog;
class QWidget;
class TBitmap;
class TForm_Master;

// Runs the prepared save dialog and answers the chosen file, empty when cancelled.
using TRunSaveDialog = std::function<QString(QFileDialog& dialog)>;
QString ExecSaveDialog(QFileDialog& dialog);

// The three filters of a picture save dialog: all files, JPEG, BMP.
using TImageSaveFilters = std::array<const char*, 3>;
// A picture save dialog: filters, the JPEG one chosen, "jpg" added to a name typed without suffix, opened
// in folder.
void PrepareImageSaveDialog(QFileDialog& dialog, const QString& folder, const TImageSaveFilters& filters);
// The save dialog of "Save SampleBuffer..." with its filters.
void PrepareSampleBufferDialog(QFileDialog& dialog, const QString& folder);

// A name ending in ".jpg" or ".jpeg", in any case, is written as JPEG; any other as BMP.
bool IsJpegName(const std::string& fileName);

// Writes frame to fileName under a scratch name in its folder and renames it at the end, so a failure
// leaves neither half a file nor a stray one. Raises ELumatex naming the file and the reason.
void WriteSampleBuffer(const TBitmap& frame, const std::string& fileName, int jpegQuality);

// The whole action on form: the dialog, then the frame of the moment the name was confirmed; a failure is
// reported in a message box and the program goes on.
void SaveSampleBuffer(TForm_Master& form, const TRunSaveDialog& runDialog);

// Binds the main window's "Save SampleBuffer..." to SaveSampleBuffer with runDialog.
void AttachSampleBufferExport(TForm_Master& form, TRunSaveDialog runDialog = ExecSaveDialog);
