// Command-line options declared once, as a table: each row names an option, says whether it
// takes a value, gives its help and the function that checks and stores that value. From the
// table come the lookup of an option by name or alias, the taking of its value and the option
// lines of the help text. Header only, free of Qt.
//
// An option with a value takes the next argument as it stands, even one that starts with "--";
// "--name=value" is not a form of it (such an argument names no option).
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The extra fields of a row for a program that needs none.
struct TNoOptionExtra {};

// One option. Target is what the readers store into; Extra is what a program adds to each row
// (the commands an option applies to, the section of the help it stands in, ...).
template <typename Target, typename Extra = TNoOptionExtra>
struct TOptionRow {
    // Checks a value and stores it: "" or the error message. A flag's is called with "".
    using TReader = std::string (*)(const std::string& value, Target& target);

    const char* name = nullptr;   // "--delay"
    const char* value = nullptr;  // its placeholder in the help ("MS"); nullptr: a flag, it takes none
    const char* help = nullptr;   // one line, or lines separated by '\n'
    TReader read = nullptr;       // never null in a table
    Extra extra{};                // the program's own fields
    const char* alias = nullptr;  // a short name meaning the same ("-h"); not shown in the help
};

// The row named name, by its name or its alias, or nullptr.
template <typename Row>
const Row* FindOption(const std::vector<Row>& rows, std::string_view name)
{
    for (const Row& row : rows)
        if (name == row.name || (row.alias && name == row.alias))
            return &row;
    return nullptr;
}

enum class TOptionStatus {
    Taken,         // a row and, for an option with a value, that value
    MissingValue,  // an option with a value, last on the line
    Unknown        // no row has that name: an option of no table, or an argument of another kind
};

template <typename Row>
struct TTakenOption {
    TOptionStatus status = TOptionStatus::Unknown;
    const Row* row = nullptr;  // Taken and MissingValue
    std::string value;         // Taken: the option's value ("" for a flag)
};

// The option at arguments[i] and its value. For an option with a value, i then stands on the
// value (the next argument); a flag leaves i where it is.
template <typename Row>
TTakenOption<Row> TakeOption(const std::vector<Row>& rows, const std::vector<std::string>& arguments, std::size_t& i)
{
    TTakenOption<Row> taken;
    taken.row = FindOption(rows, arguments[i]);
    if (!taken.row)
        return taken;
    if (taken.row->value && i + 1 >= arguments.size()) {
        taken.status = TOptionStatus::MissingValue;
        return taken;
    }
    taken.status = TOptionStatus::Taken;
    if (taken.row->value)
        taken.value = arguments[++i];
    return taken;
}

// Reads every argument as an option of the table and hands it to its row's reader at once, in
// order: "" or the first error. Without its value, an option's error is
// missingValue(argument as given, its row); an argument that names no option is refused as
// "unknown option 'ARGUMENT'".
template <typename Row, typename Target, typename MissingValue>
std::string ReadOptions(const std::vector<Row>& rows, const std::vector<std::string>& arguments, Target& target,
                        MissingValue missingValue)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const TTakenOption<Row> taken = TakeOption(rows, arguments, i);
        if (taken.status == TOptionStatus::Unknown)
            return "unknown option '" + arguments[i] + "'";
        if (taken.status == TOptionStatus::MissingValue)
            return missingValue(arguments[i], *taken.row);
        std::string error = taken.row->read(taken.value, target);
        if (!error.empty())
            return error;
    }
    return "";
}

// The rows for which keep(row) holds, in the table's order.
template <typename Row, typename Keep>
std::vector<const Row*> SelectOptions(const std::vector<Row>& rows, Keep keep)
{
    std::vector<const Row*> selected;
    for (const Row& row : rows)
        if (keep(row))
            selected.push_back(&row);
    return selected;
}

// The option lines of a help text, one row after the other: two spaces, the name, a space and
// the placeholder, then the help from column `column` on (two spaces after the name when it
// reaches that far); each further line of a row's help starts at that column.
template <typename Row>
std::string OptionHelpLines(const std::vector<const Row*>& rows, std::size_t column)
{
    std::string text;
    for (const Row* row : rows) {
        std::string head = std::string("  ") + row->name + (row->value ? std::string(" ") + row->value : "");
        head.resize(std::max(column, head.size() + 2), ' ');
        text += head;
        for (const char* c = row->help; *c; ++c) {
            text += *c;
            if (*c == '\n')
                text += std::string(column, ' ');
        }
        text += '\n';
    }
    return text;
}
