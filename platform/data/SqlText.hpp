#pragma once
// Reading the component's T-SQL command texts where an engine needs help: splitting a
// batch into statements, adding the INTO that T-SQL lets an INSERT leave out, and
// recognising transaction statements. String literals, quoted names and comments are
// never looked into.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/Variant.hpp"

namespace zev::data::sql {

// Splits a command text at every CR LF and ";" outside literals and comments. Pieces
// holding only blanks are dropped.
std::vector<std::string_view> SplitStatements(std::string_view text);

// Whether the text could hold more than one statement (a CR LF or a ";").
bool MayHoldSeveral(std::string_view text);

// "insert t select ..." becomes "insert INTO t select ..."; nullopt when the statement
// needs no change.
std::optional<std::string> AddInsertInto(std::string_view statement);

enum class TransactionVerb { None, Begin, Commit, Rollback };
// BEGIN TRAN[SACTION] [name], COMMIT [TRAN[SACTION] | WORK] [name], ROLLBACK likewise.
TransactionVerb ClassifyTransaction(std::string_view statement);

// A statement with its literals taken out as values, so that an engine can prepare its
// template once and run it again with other values.
struct LiteralValue {
    bool IsText;       // a quoted text, else a whole number
    std::string Text;  // the text without its quotes (doubled quotes made single), or the digits
};
struct Parameterized {
    std::string Template;  // the statement with "?" where each literal stood
    std::vector<LiteralValue> Values;
};
// Parameterizes an UPDATE or DELETE whose literals are plain values: quoted texts and
// whole numbers of up to 18 digits. Statements where a literal may mean more than its
// value, or that return rows, are left alone (nullopt): any other statement, and those
// with parentheses, comments, RETURNING, ORDER, LIMIT, other literals (decimals, blobs,
// prefixed texts) or parameters of their own.
std::optional<Parameterized> ParameterizeLiterals(std::string_view statement);

// The day of a date value bound to a statement: dates given apart from a statement are
// days, as the calendar's tables hold them; one with a time of day fails with 5.
double BoundDay(const automation::Variant& value);

// The number of "?" markers outside literals, quoted names and comments.
size_t CountMarkers(std::string_view statement);

// The statement with each "?" marker replaced by the next of `values` written as a
// literal: NULL, a whole number, a quoted text (quotes doubled) or a quoted day
// ("YYYY-MM-DD"). Fails with 5 when the markers and the values differ in number or a
// date has a time of day, 13 for any other value (Empty, a double, an object).
std::string WithLiterals(std::string_view statement, std::span<const automation::Variant> values);

// The statement with blanks (spaces, tabs, line ends) removed at both ends.
std::string_view TrimStatement(std::string_view statement);

// The SQL string literal of a text: in single quotes, each quote in it doubled.
std::string StringLiteral(std::string_view text);

// Whether the statement begins with the keyword (any case), followed by a blank, "(",
// or the end of the text.
bool StartsWithKeyword(std::string_view statement, std::string_view keyword);

}  // namespace zev::data::sql
