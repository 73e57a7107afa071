// SampleBufferExport.h: "Save SampleBuffer...": the current unprocessed frame written as BMP or JPEG
// through the main window's save dialog.
#pragma once

#include "ui/FileDialogs.h"

#include <QString>

#include <string>

class QFileDialog;
class TBitmap;
class TForm_Master;

// The save dialog of "Save SampleBuffer..." with its filters.
void PrepareSampleBufferDialog(QFileDialog& dialog, const QString& folder);

// Writes frame to fileName, as JPEG for a JPEG name (IsJpegName) and as BMP for any other, under a scratch
// name in its folder renamed at the end, so a failure leaves neither half a file nor a stray one. Raises
// ELumatex naming the file and the reason.
void WriteSampleBuffer(const TBitmap& frame, const std::string& fileName, int jpegQuality);

// The whole action on form: the dialog, then the frame of the moment the name was confirmed; a failure is
// reported in a message box and the program goes on.
void SaveSampleBuffer(TForm_Master& form, const TRunFileDialog& runDialog);

// Binds the main window's "Save SampleBuffer..." to SaveSampleBuffer with runDialog.
void AttachSampleBufferExport(TForm_Master& form, TRunFileDialog runDialog = ExecFileDialog);
