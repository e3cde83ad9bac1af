#pragma once
// ODBC connection strings as users write them: attributes KEY=VALUE separated by ";". A
// value in braces may hold ";" and "=", and writes a "}" of its own as "}}"
// ("Driver={PostgreSQL Unicode};Pwd={a;b}}c}"). Password values never reach a message:
// whatever may echo a connection string is masked or redacted here first.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zev::data {

struct ConnectionAttribute {
    std::string Key;    // as written, spaces at either end removed
    std::string Value;  // as read: without braces, "}}" as "}"
    size_t ValueBegin;  // where the value is written in the string, braces included
    size_t ValueEnd;
};

// The attributes of a connection string in their order; segments without "=" are skipped.
std::vector<ConnectionAttribute> ParseConnectionString(std::string_view text);

// `text` with every attribute named `key` (in any case) left out and `key=value` added at
// the end, the value braced when it holds ';', '{' or '}'.
std::string WithAttribute(std::string_view text, std::string_view key, std::string_view value);

// `text` with the value of every password attribute (PWD, PASSWORD, in any case) written
// as "***", also inside values that are connection strings themselves (a property string
// carrying one).
std::string MaskPasswords(std::string_view text);

// `message` with every occurrence of a password value of `connectionString`, as read and
// as written, replaced by "***": for texts that may quote parts of the connection string
// (a driver's complaint about an attribute).
std::string RedactPasswords(std::string_view message, std::string_view connectionString);

}  // namespace zev::data
