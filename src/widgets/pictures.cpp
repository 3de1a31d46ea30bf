#include "widgets/pictures.h"

#include <array>
#include <cmath>

namespace tq {
namespace {

// Plain placeholders until the artwork lands: a filled circle in the
// picture's colour on a transparent square.
GdkPixbuf* draw(Picture p)
{
    const int w = 33;
    const int h = 33;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    double r = 0.6, g = 0.6, b = 0.6;
    switch (p) {
    case Picture::CircleRed: r = 0.85; g = 0.1; b = 0.1; break;
    case Picture::CircleGreen:
    case Picture::CircleGreenPlus:
    case Picture::CircleGreenMinus: r = 0.1; g = 0.7; b = 0.2; break;
    default: break;
    }
    cairo_set_source_rgb(cr, r, g, b);
    cairo_arc(cr, w / 2.0, h / 2.0, 12, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);

    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, w, h);
    const unsigned char* src = cairo_image_surface_get_data(surface);
    const int src_stride = cairo_image_surface_get_stride(surface);
    guchar* dst = gdk_pixbuf_get_pixels(pixbuf);
    const int dst_stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const guint32 px = *reinterpret_cast<const guint32*>(src + y * src_stride + x * 4);
            const guint8 a = px >> 24;
            guchar* d = dst + y * dst_stride + x * 4;
            d[0] = a ? guchar(((px >> 16) & 0xFF) * 255 / a) : 0;
            d[1] = a ? guchar(((px >> 8) & 0xFF) * 255 / a) : 0;
            d[2] = a ? guchar((px & 0xFF) * 255 / a) : 0;
            d[3] = a;
        }
    }
    cairo_surface_destroy(surface);
    return pixbuf;
}

} // namespace

GdkPixbuf* picture_pixbuf(Picture p)
{
    static std::array<GdkPixbuf*, kPictureCount> cache{};
    GdkPixbuf*& slot = cache[std::size_t(p)];
    if (!slot)
        slot = draw(p);
    return slot;
}

GtkWidget* new_picture(Picture p)
{
    GtkWidget* image = gtk_image_new_from_pixbuf(picture_pixbuf(p));
    gtk_widget_show(image);
    return image;
}

void set_picture(GtkWidget* image, Picture p)
{
    gtk_image_set_from_pixbuf(GTK_IMAGE(image), picture_pixbuf(p));
}

} // namespace tq
