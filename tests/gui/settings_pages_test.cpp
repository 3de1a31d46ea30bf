#include "config/config_io.h"
#include "config/record.h"
#include "config/settings_pages.h"
#include "config/vehicle.h"
#include "gui/settings_pages_gui.h"
#include "widgets/kit.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tq {
namespace {

using test::ConfiguredUnit;
using test::Pages;
using test::is_red;
using test::label_of;

TEST(SettingsPages, NumberingFollowsModelAndFirmware)
{
    struct Case {
        int model;
        int version;
        std::vector<std::string> tabs;
        std::vector<std::vector<std::string>> pages;
    } cases[] = {
        {512, 1063, {"Settings 1", "GSM/SMS configuration"},
         {{"  1. Operating mode:", "  2. Vehicle type:", "  3. CAN-bus level selection:",
           "  4. Grey wire active signal (pager sense):", "  5. Minimal time of IN1 signal:",
           "  6. Hazard lights output mode:", "  7. CAN-bus control:", "  8. Audible confirmation:",
           "  9. Power windows:", "  10. Rearming:", "  11. Disarming by Zorvik remotes only:",
           "  12. CAN-bus signal ignore code:", "  13. Anti-hijack and remote stop:",
           "  14. GPS module:", "  15. Auxiliary output (AUX) configuration:", "  16. Immobilizer:",
           "  17. Wired siren type:"}}},
        {512, 1064, {"Settings 1", "Settings 2", "GSM/SMS configuration"},
         {{"  1. Operating mode:", "  2. Vehicle type:", "  3. CAN-bus level selection:",
           "  4. Grey wire active signal (pager sense):", "  5. Minimal time of IN1 signal:",
           "  6. Hazard lights output mode:", "  7. CAN-bus control:", "  8. Audible confirmation:",
           "  9. Lock/Unlock/Power windows pulse length setup:", "  10. Rearming:",
           "  11. Disarming by Zorvik remotes only:", "  12. Anti-hijack and remote stop:",
           "  13. GPS module:", "  14. Auxiliary output (AUX) configuration:", "  15. Immobilizer:",
           "  16. Wired siren type:"},
          {"  17. CAN-bus signal ignore code:", "  18. Inhibit accidental arming:",
           "  19. Hazard blink when armed/disarmed by Zorvik remote or app:",
           "  20. Delayed trunk open check for electric trunk lid vehicles:",
           "  21. 3x Prealarm within 30 seconds triggers alarming:"}}},
        {511, 1105, {"Settings 1", "Settings 2", "GSM/SMS configuration"},
         {{"  1. Operating mode:", "  2. Vehicle type:", "  3. CAN-bus level selection:",
           "  4. Grey wire active signal (pager sense):", "  5. Minimal time of IN1 signal:",
           "  6. Hazard lights output mode:", "  7. CAN-bus control:",
           "  11. Operation of Zorvik remotes:", "  12. Anti-hijack and remote stop:",
           "  13. GPS module:", "  14. Auxiliary output (AUX) configuration:", "  15. Immobilizer:",
           "  16. Wired siren type:"},
          {"  17. CAN-bus signal ignore code:", "  18. Inhibit accidental arming:",
           "  19. Hazard blink when armed/disarmed by Zorvik remote or app:",
           "  20. Delayed trunk open check for electric trunk lid vehicles:",
           "  21. System disarms when trunk opened with OEM remote:",
           "  22. 3x Prealarm within 30 seconds triggers alarming:",
           "  23. Additional input functionality (white-red):", "  24. Authorize with PA button:"}}},
    };
    for (const Case& k : cases) {
        Pages u(k.model, k.version);
        EXPECT_EQ(u.tabs(), k.tabs) << k.version;
        for (std::size_t i = 0; i < k.pages.size(); ++i)
            EXPECT_EQ(u.captions(int(i)), k.pages[i]) << k.model << " " << k.version << " page " << i;
        // The SMS page numbers from 1 again; two phones are shown.
        EXPECT_EQ(u.captions(int(k.tabs.size()) - 1),
                  (std::vector<std::string>{
                      "  1. Status of power supply in SMS:", "  2. TQPIN (5 digits):",
                      "  3. Number of mobile phones:", "- First mobile number (format:+48xxxxxxxxx):",
                      "- Second mobile number (format:+48xxxxxxxxx):",
                      "  4. Number of voice call notification attempts:",
                      "  5. Ignition state in status SMS:", "  6. System state in status SMS:",
                      "  7. Door/trunk/bonnet state in status SMS:",
                      "  8. SMS forwarding to first number:", "  9. Language"}));
    }
}

TEST(SettingsPages, ControlsShowTheLoadedUnit)
{
    Pages u(512, 1105);
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(u.c(Field::OperatingMode).combo)), 3);
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(u.c(Field::Siren).combo)), 2);
    EXPECT_STREQ(gtk_combo_box_get_active_text(GTK_COMBO_BOX(u.p().make_combo)), "Audi");
    EXPECT_STREQ(gtk_combo_box_get_active_text(GTK_COMBO_BOX(u.p().model_combo)),
                 "A4 8E year 2004-2008\nAfter facelift. (FL)");
    EXPECT_EQ(buffer_text(u.c(Field::CanLevel).buffer), "6");
    EXPECT_EQ(buffer_text(u.c(Field::Phone2Number).buffer), "+48698765432");
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(u.c(Field::GpsModule).buttons[1])));
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(u.c(Field::PhoneCount).buttons[2])));
    // Phone 1 may authorise: its SMS box is set and locked.
    EXPECT_FALSE(gtk_widget_get_sensitive(u.c(Field::Phone1Sms).buttons[0]));
    EXPECT_TRUE(gtk_widget_get_sensitive(u.c(Field::Phone2Sms).buttons[0]));
    EXPECT_FALSE(gtk_widget_get_visible(u.p().phone_rows[2]));
    EXPECT_TRUE(gtk_widget_get_visible(u.p().supply_box));
    EXPECT_EQ(buffer_text(u.c(Field::Voltage).buffer), "11.5");
    EXPECT_FALSE(is_red(u.p().save_label));
    EXPECT_EQ(test::button_text(u.p().button(SettingsCommand::RadioOrModules)), "Additional modules");
}

TEST(SettingsPages, MarksAppearAndClear)
{
    Pages u(512, 1105);
    GtkWidget* combo = u.c(Field::Rearming).combo;
    GtkWidget* cell = gtk_bin_get_child(GTK_BIN(combo));
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 4);
    EXPECT_EQ(number_of(u.config, Field::Rearming), 4);
    EXPECT_TRUE(is_red(cell));
    EXPECT_TRUE(is_red(u.p().save_label));
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 2);
    EXPECT_FALSE(is_red(cell));
    EXPECT_TRUE(is_red(u.p().save_label)); // until the next load, save or default load

    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(u.c(Field::DoorSms).buttons[0]), TRUE);
    EXPECT_TRUE(is_red(label_of(u.c(Field::DoorSms).buttons[0])));
    EXPECT_TRUE(is_red(label_of(u.c(Field::DoorSms).buttons[1])));

    // A phone typed with blanks is stored without them: after the save the
    // entry is still red, the Save caption is not.
    set_buffer_text(u.c(Field::Phone1Number).buffer, "+48 601 234 567");
    EXPECT_TRUE(is_red(u.c(Field::Phone1Number).entry));
    u.click(SettingsCommand::Save);
    EXPECT_EQ(u.last_message(), "Configuration saved.");
    EXPECT_EQ(u.peek(950, 13), (test::Bytes{'+', '4', '8', '6', '0', '1', '2', '3', '4', '5', '6', '7', 0}));
    EXPECT_EQ(buffer_text(u.c(Field::Phone1Number).buffer), "+48 601 234 567");
    EXPECT_TRUE(is_red(u.c(Field::Phone1Number).entry));
    EXPECT_FALSE(is_red(u.p().save_label));
    EXPECT_FALSE(is_red(label_of(u.c(Field::DoorSms).buttons[0])));

    // AP locks SMS; unchecking AP leaves SMS checked and editable.
    GtkWidget* ap = u.c(Field::Phone2Ap).buttons[0];
    GtkWidget* sms = u.c(Field::Phone2Sms).buttons[0];
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(u.c(Field::Phone2Sms).buttons[0]), FALSE);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ap), TRUE);
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(sms)));
    EXPECT_FALSE(gtk_widget_get_sensitive(sms));
    EXPECT_TRUE(is_red(label_of(ap)));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ap), FALSE);
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(sms)));
    EXPECT_TRUE(gtk_widget_get_sensitive(sms));

    // Load restores the unit's values and clears every mark.
    u.click(SettingsCommand::Load);
    EXPECT_EQ(u.last_message(), "Configuration loaded successfully.");
    EXPECT_FALSE(is_red(u.p().save_label));
    EXPECT_FALSE(is_red(label_of(ap)));
}

TEST(SettingsPages, VehicleListsAndTheLevelEntry)
{
    Pages u(512, 1105);
    // Choosing a make writes its first model's level.
    gtk_combo_box_set_active(GTK_COMBO_BOX(u.p().make_combo), 29); // Maserati
    EXPECT_EQ(buffer_text(u.c(Field::CanLevel).buffer), "188");
    EXPECT_EQ(selected_vehicle_key(u.config), 1576);
    EXPECT_TRUE(is_red(u.c(Field::CanLevel).entry));
    // Typing a level finds its first model; a level without one empties the list.
    set_buffer_text(u.c(Field::CanLevel).buffer, "104");
    EXPECT_STREQ(gtk_combo_box_get_active_text(GTK_COMBO_BOX(u.p().model_combo)),
                 "A6 4G year 2011->\nKeyless trunk DO NOT unlock all doors");
    set_buffer_text(u.c(Field::CanLevel).buffer, "4321");
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(u.p().make_combo)), -1);
    EXPECT_EQ(gtk_tree_model_iter_n_children(
                  gtk_combo_box_get_model(GTK_COMBO_BOX(u.p().model_combo)), nullptr),
              0);
    EXPECT_EQ(buffer_text(u.c(Field::CanLevel).buffer), "4321");
    u.click(SettingsCommand::Save);
    EXPECT_EQ(u.peek(710, 5), (test::Bytes{2, 0, 0, 0, 1}));
}

TEST(SettingsPages, AVehicleTheTableLacksIsShownAndSavedBack)
{
    Pages u(512, 1105);
    u.poke(712, {0x03, 0xE7}); // vehicle 999 on level 6
    u.click(SettingsCommand::Load);
    const char* kept = "vehicle no. 999 (not in this program's table)";
    EXPECT_STREQ(gtk_combo_box_get_active_text(GTK_COMBO_BOX(u.p().make_combo)), "no. 999");
    EXPECT_STREQ(gtk_combo_box_get_active_text(GTK_COMBO_BOX(u.p().model_combo)), kept);
    EXPECT_EQ(gtk_label_get_text(GTK_LABEL(u.p().level_label)),
              std::string("  3. CAN-bus level selection:"));
    EXPECT_EQ(buffer_text(u.c(Field::CanLevel).buffer), "6");
    EXPECT_FALSE(is_red(u.c(Field::CanLevel).entry));
    EXPECT_FALSE(is_red(u.p().save_label));
    u.show_page(0);
    test::save_screenshot(u.window, "settings_kept_vehicle");

    set_buffer_text(u.c(Field::CanLevel).buffer, "7");
    EXPECT_STREQ(gtk_combo_box_get_active_text(GTK_COMBO_BOX(u.p().model_combo)), kept);
    u.click(SettingsCommand::Save);
    EXPECT_EQ(u.last_message(), "Configuration saved.");
    EXPECT_EQ(u.peek(712, 2), (test::Bytes{0x03, 0xE7}));
    EXPECT_EQ(u.peek(513, 1), test::Bytes{6});
}

TEST(SettingsPages, CtrlIRevealsTheSimPinRow)
{
    Pages u(512, 1105);
    u.show_page(2);
    GtkWidget* sim_row = u.c(Field::SimPin).row;
    EXPECT_FALSE(gtk_widget_get_visible(sim_row));
    GtkWidget* tqpin = u.c(Field::Tqpin).entry;
    gtk_widget_grab_focus(tqpin);
    test::pump_gtk(5);
    // A plain key goes to the entry; Ctrl+I goes up to the page.
    ASSERT_TRUE(gtk_test_widget_send_key(tqpin, GDK_i, GdkModifierType(0)));
    EXPECT_FALSE(gtk_widget_get_visible(sim_row));
    ASSERT_TRUE(gtk_test_widget_send_key(tqpin, GDK_i, GDK_CONTROL_MASK));
    test::pump_gtk(5);
    EXPECT_TRUE(gtk_widget_get_visible(sim_row));
    EXPECT_TRUE(u.config.sim_pin_revealed);
    EXPECT_EQ(u.captions(2).back(), "  10. SIM card PIN (4 digits):");
    // The page stops keys on their way to the notebook, but Tab still moves
    // the focus on to the next field.
    gtk_widget_grab_focus(tqpin);
    test::pump_gtk(5);
    gtk_test_widget_send_key(tqpin, GDK_Tab, GdkModifierType(0));
    test::pump_gtk(5);
    EXPECT_FALSE(gtk_widget_has_focus(tqpin));
    EXPECT_EQ(buffer_text(u.c(Field::SimPin).buffer), "");

    set_buffer_text(u.c(Field::Tqpin).buffer, "52817");
    set_buffer_text(u.c(Field::SimPin).buffer, "12");
    u.click(SettingsCommand::Save);
    EXPECT_EQ(u.last_message(), "PIN code must be 4 digits long.");
    set_buffer_text(u.c(Field::SimPin).buffer, "4321");
    u.click(SettingsCommand::Save);
    EXPECT_EQ(u.last_message(), "Configuration saved.");
    EXPECT_EQ(u.peek(716, 5), (test::Bytes{'4', '3', '2', '1', 0}));
}

TEST(SettingsPages, ScreenshotsOfAllPages)
{
    Pages u(512, 1105);
    for (int page = 0; page < 3; ++page) {
        u.show_page(page);
        const std::string path = test::save_screenshot(u.window, "settings_page_" + std::to_string(page + 1));
        EXPECT_FALSE(path.empty());
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(u.c(Field::Rearming).combo), 4);
    u.show_page(0);
    EXPECT_FALSE(test::save_screenshot(u.window, "settings_page_marked").empty());
}

TEST(SettingsPages, IdentificationBuildsSizesAndLoads)
{
    test::ensure_gtk();
    struct Case {
        int model;
        int version;
        int height;
        bool pin_item;
    } cases[] = {{512, 1100, 705, true}, {511, 1099, 650, false}};
    for (const Case& k : cases) {
        ConfiguredUnit u(k.model, k.version);
        u.poke_text(548, 16, "11223");
        GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
        GtkWidget* box = gtk_vbox_new(FALSE, 0);
        GtkWidget* pin_item = gtk_menu_item_new();
        g_object_ref_sink(scroller);
        g_object_ref_sink(box);
        g_object_ref_sink(pin_item);
        settings_unit_identified(u.config, u.link, UnitKind{k.model, k.version}, box, scroller,
                                 pin_item);
        int w = 0, h = 0;
        gtk_widget_get_size_request(scroller, &w, &h);
        EXPECT_EQ(h, k.height);
        EXPECT_EQ(gtk_widget_get_visible(pin_item), k.pin_item);
        EXPECT_TRUE(u.messages.empty());
        EXPECT_EQ(text_of(u.config, Field::Tqpin), "11223");
        destroy_settings_pages(u.config);
        EXPECT_FALSE(u.config.active);
        EXPECT_EQ(u.config.pages, nullptr);
        g_object_unref(pin_item);
        g_object_unref(box);
        g_object_unref(scroller);
    }
}

} // namespace
} // namespace tq
