// The dialogs as the windows prepare them: the filters in their order, the one chosen first, the suffix
// added to a bare name, the folder and file it opens with.
#include "ui/FileDialogs.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QTemporaryDir>

namespace {
constexpr const char* kOpenFilters[] = {"All files (*.*)", "AVI-Videos (*.avi)", "Bitmaps (*.bmp)"};
} // namespace

TEST(FileDialogs, TheOpenDialogTakesAnExistingFileWithTheFirstFilterChosen) {
    QTemporaryDir folder;
    QFileDialog dialog;
    PrepareOpenDialog(dialog, kOpenFilters, "avi", folder.path(), QStringLiteral("clip.avi"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("OpenDialog1"));
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog.nameFilters(),
              QStringList({"All files (*.*)", "AVI-Videos (*.avi)", "Bitmaps (*.bmp)"}));
    EXPECT_EQ(dialog.selectedNameFilter(), QStringLiteral("All files (*.*)"));
    EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("avi"));
    EXPECT_EQ(dialog.directory().absolutePath(), QDir(folder.path()).absolutePath());
}

TEST(FileDialogs, APictureSaveDialogChoosesItsJpegFilterAndAddsJpg) {
    QFileDialog dialog;
    PrepareImageSaveDialog(dialog, QString(),
                           {"Alle files (*.*)", "JPEG files (*.jpg)", "image files (*.bmp)"});
    EXPECT_EQ(dialog.objectName(), QStringLiteral("SaveDialog1"));
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(dialog.selectedNameFilter(), QStringLiteral("JPEG files (*.jpg)"));
    EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("jpg"));
    EXPECT_TRUE(NameFilterList({}).isEmpty());
}
