// ComError (ComError.hpp): the standard descriptions, raising, the current exception as
// an error, marked texts and the thread's pending error.
#include "platform/automation/ComError.hpp"

#include <new>

namespace zev::automation {

const char* StandardDescription(int32_t number) {
    switch (number) {
        case errors::kInvalidProcedureCall:
            return "Invalid procedure call or argument";
        case errors::kOverflow:
            return "Overflow";
        case errors::kOutOfMemory:
            return "Out of memory";
        case errors::kTypeMismatch:
            return "Type mismatch";
        case errors::kInternalError:
            return "Internal error";
        case errors::kObjectNotSet:
            return "Object variable or With block variable not set";
        case errors::kInvalidUseOfNull:
            return "Invalid use of Null";
        case errors::kInvalidPropertyValue:
            return "Invalid property value";
        case errors::kReadOnlyProperty:
            return "Set not supported (read-only property)";
        case errors::kWriteOnlyProperty:
            return "Get not supported (write-only property)";
        case errors::kFormAlreadyShown:
            return "Form already displayed; can't show modally";
        case errors::kCannotCreateObject:
            return "ActiveX component can't create object";
        case errors::kNoSuchInterface:
            return "Class does not support Automation or does not support expected interface";
        case errors::kNoSuchMember:
            return "Object doesn't support this property or method";
        case errors::kWrongArgCount:
            return "Wrong number of arguments or invalid property assignment";
        case errors::kNoCurrentRecord:
            return "Either BOF or EOF is True, or the current record has been deleted. "
                   "Requested operation requires a current record.";
        case errors::kItemNotFound:
            return "Item cannot be found in the collection corresponding to the requested "
                   "name or ordinal.";
        case errors::kObjectClosed:
            return "Operation is not allowed when the object is closed.";
        default:
            return "";
    }
}

ComError RuntimeError(int32_t number, std::string source) {
    return ComError(number, std::move(source), StandardDescription(number));
}

void Raise(int32_t number, std::string source) {
    throw RuntimeError(number, std::move(source));
}

ComError CurrentExceptionAsError() {
    try {
        throw;
    } catch (const ComError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return RuntimeError(errors::kOutOfMemory);
    } catch (const std::exception& e) {
        return ComError(errors::kInternalError, kRuntimeSource,
                        std::string(StandardDescription(errors::kInternalError)) + ": " + e.what());
    } catch (...) {
        return RuntimeError(errors::kInternalError);
    }
}

std::string MarkedText(std::string_view key, std::string_view rest) {
    // Without a rest the whole text is the key, which the lookup takes as it stands.
    if (rest.empty()) return std::string(key);
    std::string text = "~$~";
    text += key;
    if (!rest.empty()) {
        text += "^|^";
        text += rest;
    }
    return text;
}

std::string JoinMarkedTexts(std::string_view first, std::string_view second) {
    // A text without a separator is looked up whole; inside a compound text it becomes
    // one piece, marked so that it is still looked up.
    const auto piece = [](std::string_view text) {
        return text.find("^|^") == std::string_view::npos ? "~$~" + std::string(text)
                                                          : std::string(text);
    };
    return piece(first) + "^|^" + piece(second);
}

ErrorInfo& Err() {
    thread_local ErrorInfo pending;
    return pending;
}

}  // namespace zev::automation
