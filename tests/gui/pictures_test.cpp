#include "gui/gui_support.h"
#include "widgets/pictures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace tq {
namespace {

struct Colour {
    double r = 0, g = 0, b = 0;
    int opaque = 0;
};

// Mean colour of the clearly visible pixels.
Colour mean_colour(GdkPixbuf* p)
{
    Colour c;
    const int w = gdk_pixbuf_get_width(p), h = gdk_pixbuf_get_height(p);
    const int stride = gdk_pixbuf_get_rowstride(p);
    const guchar* px = gdk_pixbuf_get_pixels(p);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const guchar* d = px + y * stride + x * 4;
            if (d[3] < 200)
                continue;
            c.r += d[0];
            c.g += d[1];
            c.b += d[2];
            ++c.opaque;
        }
    if (c.opaque) {
        c.r /= c.opaque;
        c.g /= c.opaque;
        c.b /= c.opaque;
    }
    return c;
}

std::string pixels(GdkPixbuf* p)
{
    const int h = gdk_pixbuf_get_height(p);
    const int stride = gdk_pixbuf_get_rowstride(p);
    return std::string(reinterpret_cast<const char*>(gdk_pixbuf_get_pixels(p)),
                       std::size_t(stride * (h - 1) + gdk_pixbuf_get_width(p) * 4));
}

class Pictures : public ::testing::Test {
protected:
    void SetUp() override { test::ensure_gtk(); }
};

TEST_F(Pictures, EveryPictureHasItsSizeAndArtworkOfItsOwn)
{
    std::set<std::string> seen;
    for (int i = 0; i < kPictureCount; ++i) {
        const Picture p = Picture(i);
        GdkPixbuf* pb = picture_pixbuf(p);
        ASSERT_NE(pb, nullptr) << i;
        EXPECT_EQ(picture_pixbuf(p), pb) << "cached";
        EXPECT_EQ(gdk_pixbuf_get_width(pb), picture_size(p).width) << i;
        EXPECT_EQ(gdk_pixbuf_get_height(pb), picture_size(p).height) << i;
        EXPECT_GT(mean_colour(pb).opaque, 40) << "picture " << i << " is (nearly) empty";
        EXPECT_TRUE(seen.insert(pixels(pb)).second) << "picture " << i << " repeats another";
    }
    EXPECT_EQ(picture_size(Picture::CircleGrey).width, 33);
    EXPECT_EQ(picture_size(Picture::PhoneAndroid).width, 46);
    EXPECT_EQ(picture_size(Picture::PowerBlue).height, 33);
}

TEST_F(Pictures, ColoursFollowTheirNames)
{
    const auto grey = [](const Colour& c) {
        return std::abs(c.r - c.g) < 25 && std::abs(c.g - c.b) < 25 && std::abs(c.r - c.b) < 25;
    };
    const Colour red = mean_colour(picture_pixbuf(Picture::CircleRed));
    const Colour green = mean_colour(picture_pixbuf(Picture::CircleGreen));
    EXPECT_TRUE(grey(mean_colour(picture_pixbuf(Picture::CircleGrey))));
    EXPECT_GT(red.r, red.g + 60);
    EXPECT_GT(green.g, green.r + 60);
    for (Picture base : {Picture::PadlockOpenGrey, Picture::PadlockClosedGrey, Picture::BellGrey,
                         Picture::TrunkGrey, Picture::EmblemGrey, Picture::PowerGrey}) {
        const Colour g = mean_colour(picture_pixbuf(symbol_picture(base, 0)));
        const Colour r = mean_colour(picture_pixbuf(symbol_picture(base, 1)));
        const Colour b = mean_colour(picture_pixbuf(symbol_picture(base, 2)));
        EXPECT_TRUE(grey(g)) << int(base);
        EXPECT_GT(r.r, r.b + 60) << int(base);
        EXPECT_GT(b.b, b.r + 60) << int(base);
    }
}

// All pictures on one sheet, as they show on a default window background.
TEST_F(Pictures, ContactSheet)
{
    static const char* const names[kPictureCount] = {
        "grey", "red", "green", "green +", "green -", "android", "apple", "unknown", "QR card",
        "fob", "remote", "siren", "lugged", "oval", "batt 1", "batt 2", "batt 3", "batt 4",
        "batt 5", "batt 6", "batt +/-", "ant 0", "ant 1", "ant 2", "ant 3", "ant 4", "open g",
        "open r", "open b", "closed g", "closed r", "closed b", "bell g", "bell r", "bell b",
        "trunk g", "trunk r", "trunk b", "emblem g", "emblem r", "emblem b", "power g",
        "power r", "power b",
    };
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "pictures");
    const int columns = 11;
    GtkWidget* table = gtk_table_new(4 * 2, columns, FALSE);
    gtk_table_set_col_spacings(GTK_TABLE(table), 6);
    gtk_container_set_border_width(GTK_CONTAINER(table), 8);
    for (int i = 0; i < kPictureCount; ++i) {
        const int col = i % columns, row = (i / columns) * 2;
        gtk_table_attach(GTK_TABLE(table), new_picture(Picture(i)), col, col + 1, row, row + 1,
                         GTK_FILL, GTK_FILL, 0, 2);
        GtkWidget* label = gtk_label_new(names[i]);
        gtk_table_attach(GTK_TABLE(table), label, col, col + 1, row + 1, row + 2, GTK_FILL,
                         GTK_FILL, 0, 4);
    }
    gtk_container_add(GTK_CONTAINER(window), table);
    gtk_widget_show_all(window);
    const std::string path = test::save_screenshot(window, "pictures");
    ASSERT_FALSE(path.empty());
    GError* error = nullptr;
    GdkPixbuf* shot = gdk_pixbuf_new_from_file(path.c_str(), &error);
    ASSERT_NE(shot, nullptr);
    // The sheet holds every picture: wide enough for 11 columns of them.
    EXPECT_GE(gdk_pixbuf_get_width(shot), columns * 33);
    g_object_unref(shot);
    gtk_widget_destroy(window);
}

} // namespace
} // namespace tq
