// FileDialogs.h: the program's open and save dialogs, prepared the one way every window wants them (the
// filters as the windows list them, the first or the JPEG one chosen, a default suffix, the folder), and
// run modally. GUI thread.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <span>

class QFileDialog;

// Runs a prepared dialog and answers the chosen file, empty when cancelled. Windows hold one so that
// tests can answer instead of the user.
using TRunFileDialog = std::function<QString(QFileDialog& dialog)>;
QString ExecFileDialog(QFileDialog& dialog);

// The filter texts ("JPEG files (*.jpg)") as the dialog takes them, in order.
QStringList NameFilterList(std::span<const char* const> filters);

// The main window's open dialog ("OpenDialog1"): an existing file, filters with the first one chosen,
// defaultSuffix added to a name typed without one, opened in folder with file preselected (either may
// be empty).
void PrepareOpenDialog(QFileDialog& dialog, std::span<const char* const> filters, const char* defaultSuffix,
                       const QString& folder, const QString& file);

// The three filters of a picture save dialog: all files, JPEG, BMP.
using TImageSaveFilters = std::array<const char*, 3>;
// A picture save dialog ("SaveDialog1"): filters, the JPEG one chosen, "jpg" added to a name typed without
// suffix, opened in folder.
void PrepareImageSaveDialog(QFileDialog& dialog, const QString& folder, const TImageSaveFilters& filters);
