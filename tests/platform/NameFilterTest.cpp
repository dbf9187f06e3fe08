// File dialog filters: one "description\0pattern" pair as always, and several
// pairs offered together.
#include <QFileDialog>
#include <gtest/gtest.h>

#include "platform/CommDlgs.h"

using namespace std::string_literals;

TEST(QtNameFilter, OnePairAsBeforeAndSeveralPairsAsSeparateFilters) {
    const struct {
        std::string filter;
        QString qt;
    } cases[] = {
        {"Bitmap Files (*.bmp)\0*.bmp"s, "Bitmap Files (*.bmp)"},
        {"Bitmaps\0*.bmp"s, "Bitmaps (*.bmp)"},
        {"*.bmp", "*.bmp"},
        {"Images\0*.bmp;*.png"s, "Images (*.bmp *.png)"},
        {"Any\0"s, "Any (*)"},
        {"Sprites\0*.sip\0\0Ignored\0*.x"s, "Sprites (*.sip)"}, // a doubled terminator ends the list
        {"Sprites\0*.sip\0"s, "Sprites (*.sip)"},
        {"Images (*.bmp *.png)\0*.bmp;*.png\0Bitmap Files (*.bmp)\0*.bmp"s,
         "Images (*.bmp *.png);;Bitmap Files (*.bmp)"},
        {"A\0*.a\0B\0*.b\0C\0*.c\0"s, "A (*.a);;B (*.b);;C (*.c)"},
    };
    for (const auto& c : cases) EXPECT_EQ(QtNameFilter(c.filter), c.qt) << c.qt.toStdString();

    // The dialog offers each as its own choice, the first one selected.
    QFileDialog dlg;
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setNameFilter(QtNameFilter("Images\0*.bmp;*.png\0Bitmap Files\0*.bmp"s));
    EXPECT_EQ(dlg.nameFilters(), QStringList({"Images (*.bmp *.png)", "Bitmap Files (*.bmp)"}));
    EXPECT_EQ(dlg.selectedNameFilter(), "Images (*.bmp *.png)");
}
