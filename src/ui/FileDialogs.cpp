#include "ui/FileDialogs.h"

#include <QFileDialog>

namespace {
constexpr int kJpegFilterIndex = 1; // the second filter, counted from 0
constexpr const char* kImageDefaultSuffix = "jpg";
} // namespace

QString ExecFileDialog(QFileDialog& dialog) {
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().first()
               : QString();
}

QStringList NameFilterList(std::span<const char* const> filters) {
    QStringList list;
    for (const char* filter : filters)
        list << QString::fromLatin1(filter);
    return list;
}

void PrepareOpenDialog(QFileDialog& dialog, std::span<const char* const> filters, const char* defaultSuffix,
                       const QString& folder, const QString& file) {
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList list = NameFilterList(filters);
    dialog.setNameFilters(list);
    if (!list.isEmpty()) dialog.selectNameFilter(list.first());
    dialog.setDefaultSuffix(QString::fromLatin1(defaultSuffix));
    dialog.setDirectory(folder);
    if (!file.isEmpty()) dialog.selectFile(file);
}

void PrepareImageSaveDialog(QFileDialog& dialog, const QString& folder, const TImageSaveFilters& filters) {
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList list = NameFilterList(filters);
    dialog.setNameFilters(list);
    dialog.selectNameFilter(list.at(kJpegFilterIndex));
    dialog.setDefaultSuffix(QString::fromLatin1(kImageDefaultSuffix));
    if (!folder.isEmpty()) dialog.setDirectory(folder);
}
