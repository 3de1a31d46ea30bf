// The program's texts: seven built-in tables of 400 rows, one per UI
// language, row for row alike. Row 399 is empty in every table. A row keeps
// the same printf placeholders in every language.
//
// Rows this program adds to the tables are numbered on from 400 and kept in
// one list (texts_added.cpp), each row with its text in all seven languages
// side by side, so that a new row cannot be forgotten in one language.
#pragma once

#include "text/text_rows.h"

#include <array>
#include <string>

namespace tq {

inline constexpr int kTextCount = 400;
using TextTable = std::array<const char*, kTextCount>;

extern const TextTable kTextsEnglish;
extern const TextTable kTextsPolish;
extern const TextTable kTextsGerman;
extern const TextTable kTextsRussian;
extern const TextTable kTextsBulgarian;
extern const TextTable kTextsCzech;
extern const TextTable kTextsGreek;

// Rows added after the 400 of the tables; each name is its row number.
enum AddedTextRow : int {
    kTextKeptVehicle = kTextCount, // a vehicle key the vehicle table does not hold
    kTextVehicleTableUnusable,     // a vehicle table file that does not parse
    kTextKeptMake,                 // the make list's entry for that vehicle key
    kTextProgrammerNoAccess,       // a programmer plugged in that this user may not open
    kTextProgrammerAccessFix,      // what lets the user open it
    kTextCanPortNoAccess,          // a CAN-analyzer port this user may not open
    kTextCanPortUnopenable,        // a CAN-analyzer port that cannot be opened otherwise
    kTextCanDriverMissing,         // a CAN-analyzer unit without a serial port (Linux)
    kTextSaveInstallerTitle,       // title of the dialog that saves the program installer
    kTextInstallerSaved,           // where the program installer was saved
    kTextFolderUnreadable,         // a chosen folder that does not exist or cannot be read
    kTextCliNoUnit,                // tq512-cli: no unit within the wait
    kTextCliProgrammerBusy,        // tq512-cli: another program holds the programmer
    kTextCliInBootloader,          // tq512-cli: the unit waits in its bootloader
    kTextCliCfgEmpty,              // tq512-cli: a .cfg file without a usable line
    kTextCliReadBackDiffers,       // tq512-cli: configuration read back differs
    kTextCliUnitLost,              // tq512-cli: the unit went away
    kTextCliWaitingForUnit,        // tq512-cli station: waiting for the next unit
    kTextCliUnplugUnit,            // tq512-cli station: unplug the finished unit
    kTextCommandTooLong,           // a console command with more data than a frame carries
    kTextConfigurationHistory,     // Tools menu item and window title
    kTextHistoryDate,              // the history list's columns
    kTextHistoryOperation,
    kTextHistoryFirmware,
    kTextHistoryEmpty,             // no configuration of the unit kept yet
    kTextHistoryNotKept,           // keeping failed (%s: why); write anyway?
    kTextEnd                       // one past the last row
};
inline constexpr int kAddedTextCount = kTextEnd - kTextCount;

struct Language {
    const char* code;        // ISO 639 code
    const TextTable* table;
    const char* name;        // as the Language menu shows it
};

// The registry, in menu order; English first.
extern const std::array<Language, 7> kLanguages;

struct TextState {
    int language_index = 0;
    const TextTable* texts = &kTextsEnglish;
    std::string language_code; // the preferred code as given (pl_PL stays pl_PL)
};

TextState& text_state();

// An added row in every language, in registry order.
using AddedText = std::array<const char*, 7>;
extern const std::array<AddedText, kAddedTextCount> kAddedTexts;

// Row n, 0 <= n < kTextEnd, of the language at registry index language.
const char* text_in(int language, int n);

// Row n of the current language, an added row too ("" for a row out of
// range).
const char* text(int n);

// The registry index of a code: the code is cut at its first underscore and
// compared exactly; -1 when it is not there.
int find_language(const std::string& code);

} // namespace tq

namespace tq {

// printf with row n of the current table as the format.
std::string textf(int n, ...);

} // namespace tq
