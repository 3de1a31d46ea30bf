// The program's 44 built-in pictures, drawn in code.
#pragma once

#include <gtk/gtk.h>

namespace tq {

enum class Picture : int {
    // State circles, 33 x 33.
    CircleGrey,
    CircleRed,
    CircleGreen,
    CircleGreenPlus,
    CircleGreenMinus,
    // Device kinds, 46 x 34.
    PhoneAndroid,
    PhoneApple,
    UnknownDevice,      // red question mark
    CardQr,             // fobrix card
    FobEmblem,          // fobrix
    RemoteFourButton,
    SirenBox,
    LuggedDevice,       // circular device with mounting lugs
    OvalDevice,
    // Battery from empty (1) to full (6), and one marked plus and minus,
    // 58 x 34.
    Battery1,
    Battery2,
    Battery3,
    Battery4,
    Battery5,
    Battery6,
    BatteryPlusMinus,
    // Antenna with 0 to 4 waves, 46 x 34.
    Antenna0,
    Antenna1,
    Antenna2,
    Antenna3,
    Antenna4,
    // Button symbols, 33 x 33, each in grey (not pressed), red (pressed)
    // and blue (pressed, event).
    PadlockOpenGrey,
    PadlockOpenRed,
    PadlockOpenBlue,
    PadlockClosedGrey,
    PadlockClosedRed,
    PadlockClosedBlue,
    BellGrey,
    BellRed,
    BellBlue,
    TrunkGrey,
    TrunkRed,
    TrunkBlue,
    EmblemGrey,
    EmblemRed,
    EmblemBlue,
    PowerGrey,
    PowerRed,
    PowerBlue,
    Count
};

inline constexpr int kPictureCount = int(Picture::Count);
static_assert(kPictureCount == 44);

struct PictureSize {
    int width;
    int height;
};
// The picture's size in pixels.
PictureSize picture_size(Picture p);

// The picture as a pixbuf owned by the program (do not unref).
GdkPixbuf* picture_pixbuf(Picture p);
// A new image widget showing the picture (shown).
GtkWidget* new_picture(Picture p);
// Changes what an image made by new_picture shows.
void set_picture(GtkWidget* image, Picture p);

// The same symbol in another colour: base is the grey variant, colour 0
// grey, 1 red, 2 blue.
inline Picture symbol_picture(Picture grey, int colour)
{
    return Picture(int(grey) + colour);
}

} // namespace tq
