// Rows the program adds after the 400 of the text tables. Each row gives its
// text in the languages of the registry, in registry order: English, Polish,
// German, Russian, Bulgarian, Czech, Greek.
#include "text/texts.h"

namespace tq {

const std::array<AddedText, kAddedTextCount> kAddedTexts = {{
    /* kTextKeptVehicle */ {
        "vehicle no. %d (not in this program's table)",
        "pojazd nr %d (brak w tabeli tego programu)",
        "Fahrzeug Nr. %d (nicht in der Tabelle dieses Programms)",
        "автомобиль № %d (нет в таблице этой программы)",
        "автомобил № %d (няма го в таблицата на тази програма)",
        "vozidlo č. %d (není v tabulce tohoto programu)",
        "όχημα αρ. %d (δεν υπάρχει στον πίνακα αυτού του προγράμματος)",
    },
    /* kTextVehicleTableUnusable */ {
        "The vehicle table %s cannot be used (%s).\nThe next table found is used instead.",
        "Nie można użyć tabeli pojazdów %s (%s).\nUżyta zostanie następna znaleziona tabela.",
        "Die Fahrzeugtabelle %s kann nicht verwendet werden (%s).\nStattdessen wird die nächste gefundene Tabelle verwendet.",
        "Таблицу автомобилей %s нельзя использовать (%s).\nВместо неё используется следующая найденная таблица.",
        "Таблицата с автомобили %s не може да се използва (%s).\nВместо нея се използва следващата намерена таблица.",
        "Tabulku vozidel %s nelze použít (%s).\nMísto ní se použije další nalezená tabulka.",
        "Ο πίνακας οχημάτων %s δεν μπορεί να χρησιμοποιηθεί (%s).\nΧρησιμοποιείται ο επόμενος πίνακας που βρέθηκε.",
    },
    /* kTextKeptMake */ {
        "no. %d",
        "nr %d",
        "Nr. %d",
        "№ %d",
        "№ %d",
        "č. %d",
        "αρ. %d",
    },
}};

} // namespace tq
