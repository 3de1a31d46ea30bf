#include "config/cfg_file.h"
#include "config/cfg_file_dialog.h"
#include "config/vehicle.h"
#include "gui/settings_pages_gui.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tq {
namespace {

using test::Pages;
using test::is_red;

// Every control's state, as a fitter would read it off the pages.
std::vector<std::string> control_states(Pages& u)
{
    std::vector<std::string> out;
    for (int i = 0; i < kFieldCount; ++i) {
        const Field f = Field(i);
        if (f == Field::SimPin)
            continue;
        FieldControl& c = u.c(f);
        std::string state = std::to_string(i) + ":";
        if (c.combo)
            state += std::to_string(gtk_combo_box_get_active(GTK_COMBO_BOX(c.combo)));
        for (GtkWidget* b : c.buttons)
            state += gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(b)) ? "1" : "0";
        if (c.buffer)
            state += buffer_text(c.buffer);
        out.push_back(state);
    }
    out.push_back(std::to_string(gtk_combo_box_get_active(GTK_COMBO_BOX(u.p().make_combo))) + "/" +
                  std::to_string(gtk_combo_box_get_active(GTK_COMBO_BOX(u.p().model_combo))));
    return out;
}

TEST(SettingsPages, ConfigurationFileRoundTripGivesTheSameControls)
{
    test::TempFolder dir;
    const std::string path = dir / "car.cfg";

    Pages a(512, 1105);
    // The Audi A4 on its secondary level 110: the level alone would find the A1.
    a.poke(513, {109});
    a.click(SettingsCommand::Load);
    ASSERT_EQ(selected_vehicle_key(a.config), 73);
    // Edit a little of everything.
    gtk_combo_box_set_active(GTK_COMBO_BOX(a.c(Field::HazardLights).combo), 5);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(a.c(Field::PhoneCount).buttons[3]), TRUE);
    set_buffer_text(a.c(Field::Phone3Number).buffer, "+49 171 2345678");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(a.c(Field::Phone3Tel).buttons[0]), TRUE);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(a.c(Field::VoiceCalls).buttons[2]), TRUE);
    set_buffer_text(a.c(Field::Voltage).buffer, "10.5");
    set_buffer_text(a.c(Field::Tqpin).buffer, "01234");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(a.c(Field::PaAuthorise).buttons[1]), TRUE);
    ASSERT_EQ(save_configuration_file(a.config, path), CfgFileResult::Done);
    EXPECT_FALSE(is_red(a.c(Field::HazardLights).combo)); // the file is now the reference
    EXPECT_TRUE(is_red(a.p().save_label));                // the unit still differs

    Pages b(512, 1105);
    b.poke(512, {0, 0, 0, 0, 0, 0, 0, 0, 0});
    b.click(SettingsCommand::Load);
    ASSERT_EQ(load_configuration_file(b.config, path), CfgFileResult::Done);
    EXPECT_EQ(control_states(b), control_states(a));
    EXPECT_STREQ(gtk_combo_box_get_active_text(GTK_COMBO_BOX(b.p().model_combo)),
                 "A4 8E year 2004-2008\nAfter facelift. (FL)");
    EXPECT_EQ(buffer_text(b.c(Field::CanLevel).buffer), "110");
    for (int i = 0; i < kFieldCount; ++i)
        EXPECT_FALSE(b.config.record.marked[std::size_t(i)]) << i;

    // Saving then stores the file's values in the unit.
    b.click(SettingsCommand::Save);
    EXPECT_EQ(b.last_message(), "Configuration saved.");
    EXPECT_EQ(b.peek(515, 1), test::Bytes{5});
    EXPECT_EQ(b.peek(548, 6), (test::Bytes{'0', '1', '2', '3', '4', 0}));
    EXPECT_EQ(b.peek(512, 2), (test::Bytes{3, 109}));
    EXPECT_EQ(b.peek(712, 2), (test::Bytes{0, 73}));
}

TEST(CfgFileChooser, ShowsCfgFilesInAnyLetterCase)
{
    test::ensure_gtk();
    GtkFileFilter* filter = cfg_file_filter();
    g_object_ref_sink(filter);
    for (const auto& [name, shown] : std::vector<std::pair<const char*, bool>>{
             {"car.cfg", true}, {"CAR.CFG", true}, {"car.Cfg", true},
             {"car.cfg.txt", false}, {"car.bin", false}}) {
        GtkFileFilterInfo info{};
        info.contains = GTK_FILE_FILTER_DISPLAY_NAME;
        info.display_name = name;
        EXPECT_EQ(gtk_file_filter_filter(filter, &info) != FALSE, shown) << name;
    }
    g_object_unref(filter);
}

} // namespace
} // namespace tq
