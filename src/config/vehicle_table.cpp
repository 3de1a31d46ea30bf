#include "config/vehicle_table.h"

#include <gio/gio.h>
#include <glib.h>

#include <cstdio>
#include <limits>

extern const unsigned char kVehicleTableText[];
extern const unsigned long kVehicleTableText_size;

namespace tq {
namespace {

// One token of a line: a quoted text, the absent marker '-', or a bare word.
struct Token {
    enum Type { Word, Text, Absent } type = Word;
    std::string value;
};

class LineReader {
public:
    explicit LineReader(std::string_view line) : line_(line) {}

    // False at the end of the line; error set on a malformed token.
    bool next(Token& t, std::string& error)
    {
        while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t'))
            ++pos_;
        if (pos_ >= line_.size())
            return false;
        t.value.clear();
        if (line_[pos_] == '"') {
            t.type = Token::Text;
            ++pos_;
            for (;;) {
                if (pos_ >= line_.size()) {
                    error = "unterminated text";
                    return false;
                }
                const char c = line_[pos_++];
                if (c == '"')
                    break;
                if (c != '\\') {
                    t.value += c;
                    continue;
                }
                if (pos_ >= line_.size()) {
                    error = "unterminated text";
                    return false;
                }
                const char e = line_[pos_++];
                switch (e) {
                case '"': t.value += '"'; break;
                case '\\': t.value += '\\'; break;
                case 'n': t.value += '\n'; break;
                case 't': t.value += '\t'; break;
                default:
                    error = std::string("unknown escape \\") + e;
                    return false;
                }
            }
            if (pos_ < line_.size() && line_[pos_] != ' ' && line_[pos_] != '\t') {
                error = "text not followed by a blank";
                return false;
            }
            if (!g_utf8_validate(t.value.data(), gssize(t.value.size()), nullptr)) {
                error = "text is not UTF-8";
                return false;
            }
            return true;
        }
        const std::size_t start = pos_;
        while (pos_ < line_.size() && line_[pos_] != ' ' && line_[pos_] != '\t')
            ++pos_;
        t.value.assign(line_.substr(start, pos_ - start));
        t.type = t.value == "-" ? Token::Absent : Token::Word;
        return true;
    }

private:
    std::string_view line_;
    std::size_t pos_ = 0;
};

bool to_number(const Token& t, std::uint64_t max, std::uint64_t& out)
{
    if (t.type != Token::Word || t.value.empty() || t.value.size() > 10)
        return false;
    std::uint64_t v = 0;
    for (char c : t.value) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + std::uint64_t(c - '0');
    }
    if (v > max)
        return false;
    out = v;
    return true;
}

bool to_text(const Token& t, std::optional<std::string>& out)
{
    if (t.type == Token::Absent) {
        out.reset();
        return true;
    }
    if (t.type != Token::Text)
        return false;
    out = t.value;
    return true;
}

bool parse_model(const std::vector<Token>& tokens, VehicleModel& m, std::string& error)
{
    if (tokens.size() != 13) {
        error = "a model line has 12 fields";
        return false;
    }
    std::uint64_t n[6];
    const std::uint64_t u16 = 0xFFFF;
    const std::uint64_t u32 = 0xFFFFFFFFu;
    if (!to_text(tokens[1], m.name) || !to_text(tokens[2], m.variant) ||
        !to_text(tokens[3], m.years) || !to_text(tokens[8], m.note_pl) ||
        !to_text(tokens[9], m.note_en) || !to_text(tokens[10], m.note_ru)) {
        error = "texts must be quoted or '-'";
        return false;
    }
    if (!to_number(tokens[4], u16, n[0]) || !to_number(tokens[5], u16, n[1]) ||
        !to_number(tokens[6], u16, n[2]) || !to_number(tokens[7], u16, n[3]) ||
        !to_number(tokens[11], u32, n[4]) || !to_number(tokens[12], u32, n[5])) {
        error = "bad number";
        return false;
    }
    m.primary_level = std::uint16_t(n[0]);
    m.secondary_level = std::uint16_t(n[1]);
    m.key = std::uint16_t(n[2]);
    m.reserved16 = std::uint16_t(n[3]);
    m.min_firmware = std::uint32_t(n[4]);
    m.reserved32 = std::uint32_t(n[5]);
    return true;
}

} // namespace

bool parse_vehicle_table(std::string_view text, VehicleTable& table, std::string& error)
{
    table.makes.clear();
    std::size_t expected = 0; // model lines still owed by the current make
    int line_number = 0;
    const auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(line_number) + ": " + what;
        table.makes.clear();
        return false;
    };

    while (!text.empty()) {
        ++line_number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#')
            continue;

        LineReader reader(line);
        std::vector<Token> tokens;
        Token t;
        std::string token_error;
        while (reader.next(t, token_error))
            tokens.push_back(t);
        if (!token_error.empty())
            return fail(token_error);
        if (tokens[0].type != Token::Word)
            return fail("a line starts with 'make' or 'model'");

        if (tokens[0].value == "make") {
            if (expected != 0)
                return fail("the previous make has fewer models than its count");
            std::uint64_t count = 0;
            if (tokens.size() != 3 || tokens[1].type != Token::Text ||
                !to_number(tokens[2], 100000, count))
                return fail("a make line is: make \"NAME\" COUNT");
            table.makes.push_back({tokens[1].value, {}});
            table.makes.back().models.reserve(count);
            expected = count;
        } else if (tokens[0].value == "model") {
            if (table.makes.empty() || expected == 0)
                return fail("a model line beyond its make's count");
            VehicleModel m;
            std::string model_error;
            if (!parse_model(tokens, m, model_error))
                return fail(model_error);
            table.makes.back().models.push_back(std::move(m));
            --expected;
        } else {
            return fail("unknown record '" + tokens[0].value + "'");
        }
    }
    if (expected != 0)
        return fail("the last make has fewer models than its count");
    return true;
}

const VehicleTable& builtin_vehicle_table()
{
    static const VehicleTable table = [] {
        VehicleTable t;
        std::string error;
        if (!parse_vehicle_table(std::string_view(reinterpret_cast<const char*>(kVehicleTableText), kVehicleTableText_size), t,
                                 error))
            std::fprintf(stderr, "vehicle table: %s\n", error.c_str());
        return t;
    }();
    return table;
}

bool read_vehicle_table_file(const std::string& path, VehicleTable& table, std::string& error)
{
    // The product's whole table is some hundred kilobytes.
    constexpr goffset kMostBytes = 8 * 1024 * 1024;
    GFile* file = g_file_new_for_path(path.c_str());
    GError* failure = nullptr;
    GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_SIZE, G_FILE_QUERY_INFO_NONE,
                                        nullptr, &failure);
    bool ok = info != nullptr;
    if (info) {
        if (g_file_info_get_size(info) > kMostBytes) {
            error = "larger than 8 MB";
            ok = false;
        }
        g_object_unref(info);
    }
    char* contents = nullptr;
    gsize length = 0;
    if (ok)
        ok = g_file_load_contents(file, nullptr, &contents, &length, nullptr, &failure);
    g_object_unref(file);
    if (failure) {
        error = failure->message;
        g_error_free(failure);
    }
    if (!ok)
        return false;
    ok = parse_vehicle_table(std::string_view(contents, length), table, error);
    g_free(contents);
    if (ok && table.makes.empty()) {
        error = "no make";
        ok = false;
    }
    return ok;
}

VehicleTableChoice choose_vehicle_table(const std::vector<std::string>& folders)
{
    VehicleTableChoice choice;
    for (const std::string& folder : folders) {
        gchar* path = g_build_filename(folder.c_str(), "tq512", "vehicles.txt", nullptr);
        const std::string file = path;
        g_free(path);
        if (!g_file_test(file.c_str(), G_FILE_TEST_EXISTS))
            continue;
        std::string error;
        if (read_vehicle_table_file(file, choice.table, error)) {
            choice.path = file;
            return choice;
        }
        choice.refused.emplace_back(file, error);
    }
    choice.table = builtin_vehicle_table();
    return choice;
}

std::vector<std::string> vehicle_table_folders()
{
    std::vector<std::string> folders = {g_get_user_data_dir()};
    for (const gchar* const* dir = g_get_system_data_dirs(); *dir; ++dir)
        folders.emplace_back(*dir);
    return folders;
}

int check_vehicle_table(const std::string& path, std::string& report)
{
    VehicleTable table;
    std::string error;
    if (!read_vehicle_table_file(path, table, error)) {
        report = path + ": " + error + "\n";
        return 1;
    }
    std::size_t models = 0;
    for (const VehicleMake& make : table.makes)
        models += make.models.size();
    report = path + ": " + std::to_string(table.makes.size()) + " makes, " +
             std::to_string(models) + " models\n";
    return 0;
}

std::string model_row_text(const VehicleModel& model, std::string_view language_code,
                           std::string_view year_word)
{
    std::string row = model.name.value_or("");
    if (model.variant) {
        row += ' ';
        row += *model.variant;
    }
    if (model.years) {
        row += ' ';
        row += year_word;
        row += ' ';
        row += *model.years;
    }
    const std::optional<std::string>* note = &model.note_en;
    if (language_code == "pl")
        note = &model.note_pl;
    else if (language_code == "ru" && model.note_ru)
        note = &model.note_ru;
    if (*note) {
        row += '\n';
        row += **note;
    }
    return row;
}

} // namespace tq
