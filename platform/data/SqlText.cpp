// Reading T-SQL command texts (SqlText.hpp): splitting batches, INSERT INTO, literals as
// parameters, transaction verbs; private: skipping quoted text and comments.
#include "platform/data/SqlText.hpp"

#include <cctype>

#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::data::sql {
namespace {

using automation::EqualsNoCase;
using automation::IsBlank;

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Index just after the literal, quoted name or comment that starts at `i`, or `i` when
// none starts there. An unterminated one runs to the end of the text.
size_t SkipQuoted(std::string_view s, size_t i) {
    const char c = s[i];
    if (c == '\'' || c == '"' || c == '[') {
        const char close = c == '[' ? ']' : c;
        size_t j = i + 1;
        while (j < s.size()) {
            if (s[j] == close) {
                // A doubled quote stands for one quote inside the literal.
                if (j + 1 < s.size() && s[j + 1] == close) {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return s.size();
    }
    if (c == '$' && i + 1 < s.size() && s[i + 1] == '$') {
        // A dollar-quoted body, as function definitions are written for some engines.
        const size_t end = s.find("$$", i + 2);
        return end == std::string_view::npos ? s.size() : end + 2;
    }
    if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
        size_t j = i + 2;
        while (j < s.size() && s[j] != '\n' && s[j] != '\r')
            ++j;
        return j;
    }
    if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
        const size_t end = s.find("*/", i + 2);
        return end == std::string_view::npos ? s.size() : end + 2;
    }
    return i;
}

// Reads the word starting at `i` (after blanks); returns it and moves `i` past it.
std::string_view NextWord(std::string_view s, size_t& i) {
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    const size_t start = i;
    while (i < s.size() && IsWordChar(s[i]))
        ++i;
    return s.substr(start, i - start);
}

}  // namespace

std::string_view TrimStatement(std::string_view s) {
    return automation::Trim(s);
}

std::string StringLiteral(std::string_view text) {
    std::string literal = "'";
    for (char c : text) {
        literal += c;
        if (c == '\'') literal += '\'';
    }
    return literal + "'";
}

bool MayHoldSeveral(std::string_view text) {
    return text.find(';') != std::string_view::npos || text.find("\r\n") != std::string_view::npos;
}

std::vector<std::string_view> SplitStatements(std::string_view text) {
    std::vector<std::string_view> out;
    size_t start = 0;
    size_t i = 0;
    auto emit = [&](size_t end) {
        const std::string_view piece = TrimStatement(text.substr(start, end - start));
        if (!piece.empty()) out.push_back(piece);
    };
    while (i < text.size()) {
        const size_t skipped = SkipQuoted(text, i);
        if (skipped != i) {
            i = skipped;
            continue;
        }
        if (text[i] == ';') {
            emit(i);
            start = ++i;
        } else if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            emit(i);
            i += 2;
            start = i;
        } else {
            ++i;
        }
    }
    emit(text.size());
    return out;
}

bool StartsWithKeyword(std::string_view statement, std::string_view keyword) {
    size_t i = 0;
    return EqualsNoCase(NextWord(statement, i), keyword);
}

std::optional<std::string> AddInsertInto(std::string_view statement) {
    size_t i = 0;
    if (!EqualsNoCase(NextWord(statement, i), "INSERT")) return std::nullopt;
    const size_t afterInsert = i;
    size_t j = i;
    if (EqualsNoCase(NextWord(statement, j), "INTO")) return std::nullopt;
    std::string out;
    out.reserve(statement.size() + 5);
    out.append(statement.substr(0, afterInsert));
    out.append(" INTO");
    out.append(statement.substr(afterInsert));
    return out;
}

std::optional<Parameterized> ParameterizeLiterals(std::string_view statement) {
    size_t i = 0;
    const std::string_view verb = NextWord(statement, i);
    if (!EqualsNoCase(verb, "UPDATE") && !EqualsNoCase(verb, "DELETE")) return std::nullopt;
    Parameterized out;
    out.Template.reserve(statement.size());
    out.Template.append(statement.substr(0, i));
    while (i < statement.size()) {
        const char c = statement[i];
        const bool afterWord = i > 0 && IsWordChar(statement[i - 1]);
        if (c == '\'') {
            // A prefix (N'', X'') makes it another kind of literal.
            if (afterWord) return std::nullopt;
            LiteralValue value{true, {}};
            size_t j = i + 1;
            for (;; ++j) {
                if (j >= statement.size()) return std::nullopt;  // unterminated
                if (statement[j] != '\'') {
                    value.Text += statement[j];
                } else if (j + 1 < statement.size() && statement[j + 1] == '\'') {
                    value.Text += '\'';
                    ++j;
                } else {
                    break;
                }
            }
            out.Values.push_back(std::move(value));
            out.Template += '?';
            i = j + 1;
        } else if (std::isdigit(static_cast<unsigned char>(c)) != 0 && !afterWord) {
            size_t j = i;
            while (j < statement.size() && std::isdigit(static_cast<unsigned char>(statement[j])))
                ++j;
            // Decimals, exponents and hexadecimal numbers stay as they are written.
            if (j < statement.size() && (IsWordChar(statement[j]) || statement[j] == '.'))
                return std::nullopt;
            if (j - i > 18) return std::nullopt;
            out.Values.push_back({false, std::string(statement.substr(i, j - i))});
            out.Template += '?';
            i = j;
        } else if (c == '"' || c == '[') {
            const size_t j = SkipQuoted(statement, i);
            out.Template.append(statement.substr(i, j - i));
            i = j;
        } else if (c == '(' || c == '?' || c == ':' || c == '@' || c == '$' || c == '.' ||
                   SkipQuoted(statement, i) != i) {
            // Subqueries, lists, calls, parameters and comments.
            return std::nullopt;
        } else if (IsWordChar(c)) {
            size_t j = i;
            const std::string_view word = NextWord(statement, j);
            if (EqualsNoCase(word, "RETURNING") || EqualsNoCase(word, "ORDER") ||
                EqualsNoCase(word, "LIMIT")) {
                return std::nullopt;
            }
            out.Template.append(statement.substr(i, j - i));
            i = j;
        } else {
            out.Template += c;
            ++i;
        }
    }
    return out;
}

namespace {

void AppendLiteral(std::string& out, const automation::Variant& value) {
    using automation::VarType;
    switch (value.Type()) {
        case VarType::Null:
            out += "NULL";
            return;
        case VarType::Integer:
        case VarType::Long:
        case VarType::Boolean:
            out += std::to_string(automation::CLng(value));
            return;
        case VarType::Date:
            out += StringLiteral(automation::FormatIsoDate(BoundDay(value)));
            return;
        case VarType::String:
            out += StringLiteral(value.StringRef());
            return;
        case VarType::Empty:
        case VarType::Double:
        case VarType::Object:
            break;
    }
    automation::Raise(automation::errors::kTypeMismatch);
}

}  // namespace

size_t CountMarkers(std::string_view statement) {
    size_t markers = 0;
    for (size_t i = 0; i < statement.size();) {
        const size_t skipped = SkipQuoted(statement, i);
        if (skipped != i) {
            i = skipped;
        } else {
            markers += statement[i++] == '?';
        }
    }
    return markers;
}

double BoundDay(const automation::Variant& value) {
    const double day = automation::CDate(value);
    if (automation::HasTimeOfDay(day)) automation::Raise(automation::errors::kInvalidProcedureCall);
    return day;
}

std::string WithLiterals(std::string_view statement, std::span<const automation::Variant> values) {
    std::string out;
    out.reserve(statement.size() + 16 * values.size());
    size_t next = 0;
    size_t i = 0;
    while (i < statement.size()) {
        const size_t skipped = SkipQuoted(statement, i);
        if (skipped != i) {
            out.append(statement.substr(i, skipped - i));
            i = skipped;
        } else if (statement[i] == '?') {
            if (next == values.size()) automation::Raise(automation::errors::kInvalidProcedureCall);
            AppendLiteral(out, values[next++]);
            ++i;
        } else {
            out += statement[i++];
        }
    }
    if (next != values.size()) automation::Raise(automation::errors::kInvalidProcedureCall);
    return out;
}

TransactionVerb ClassifyTransaction(std::string_view statement) {
    size_t i = 0;
    const std::string_view first = NextWord(statement, i);
    TransactionVerb verb = TransactionVerb::None;
    if (EqualsNoCase(first, "BEGIN"))
        verb = TransactionVerb::Begin;
    else if (EqualsNoCase(first, "COMMIT"))
        verb = TransactionVerb::Commit;
    else if (EqualsNoCase(first, "ROLLBACK"))
        verb = TransactionVerb::Rollback;
    else
        return TransactionVerb::None;

    size_t j = i;
    const std::string_view second = NextWord(statement, j);
    const bool tranWord = EqualsNoCase(second, "TRAN") || EqualsNoCase(second, "TRANSACTION");
    if (verb == TransactionVerb::Begin) {
        // A bare BEGIN opens a block in T-SQL, not a transaction.
        if (!tranWord) return TransactionVerb::None;
    } else if (!second.empty() && !tranWord && !EqualsNoCase(second, "WORK")) {
        return TransactionVerb::None;
    }
    // An optional transaction name may follow; anything beyond that is not ours.
    if (tranWord || EqualsNoCase(second, "WORK")) {
        NextWord(statement, j);
        while (j < statement.size() && IsBlank(statement[j]))
            ++j;
        if (j != statement.size()) return TransactionVerb::None;
    }
    return verb;
}

}  // namespace zev::data::sql
