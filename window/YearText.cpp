// YearText and DisplayWidth (YearText.hpp): the terminal's month blocks, their colours
// and marks, the legend and the exceptions with their notes.
#include "window/YearText.hpp"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace zev::window {

namespace {

constexpr size_t kCell = 3;           // a number of two columns and its mark
constexpr size_t kBlock = 7 * kCell;  // one month's width
constexpr size_t kAcross = 3;
constexpr const char* kGap = "   ";

// Select Graphic Rendition sequences of each mark.
constexpr const char* kReset = "\033[0m";
const char* ColourOf(DayMark mark) {
    switch (mark) {
        case DayMark::Rest:
            return "\033[31m";  // red
        case DayMark::Holiday:
            return "\033[1;35m";  // bold magenta
        case DayMark::WorkedWeekend:
            return "\033[1;32m";  // bold green
        case DayMark::Outside:
            return "\033[2m";  // dim
        default:
            return "";
    }
}
constexpr const char* kReversed = "\033[7m";

// The code points of UTF-8 text; a malformed byte counts as one.
template <class Each>
void ForEachCodePoint(std::string_view text, Each each) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80       ? 1
                              : lead >> 5 == 6  ? 2
                              : lead >> 4 == 14 ? 3
                              : lead >> 3 == 30 ? 4
                                                : 1;
        uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length && i + k < text.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        each(cp);
        i += length;
    }
}

bool IsWide(uint32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF && cp != 0x303F) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

std::string Padded(std::string text, size_t width) {
    const size_t used = DisplayWidth(text);
    if (used < width) text.append(width - used, ' ');
    return text;
}

std::string Centred(const std::string& text, size_t width) {
    const size_t used = DisplayWidth(text);
    const size_t left = used < width ? (width - used) / 2 : 0;
    return Padded(std::string(left, ' ') + text, width);
}

std::string Cell(const SheetDay& day, bool colour) {
    if (day.Mark == DayMark::None) return std::string(kCell, ' ');
    std::string number = (day.Day < 10 ? " " : "") + std::to_string(day.Day);
    if (!colour) return number + (IsRestMark(day.Mark) ? "*" : " ");
    const std::string style = std::string(ColourOf(day.Mark)) + (day.Today ? kReversed : "");
    if (style.empty()) return number + " ";
    return style + number + kReset + " ";
}

// The lines of one month block: title, heads, six weeks; each kBlock columns wide.
std::vector<std::string> BlockLines(const SheetMonth& month, const YearSheet& sheet, bool colour) {
    std::vector<std::string> lines{Centred(month.Title, kBlock)};
    std::string heads;
    for (const std::string& head : sheet.Weekdays)
        heads += Padded(head, kCell);
    lines.push_back(Padded(heads, kBlock));
    for (const auto& week : month.Weeks) {
        std::string line;
        for (const SheetDay& day : week)
            line += Cell(day, colour);
        lines.push_back(line);
    }
    return lines;
}

std::string Swatch(DayMark mark, bool today, const std::string& label) {
    return std::string(ColourOf(mark)) + (today ? kReversed : "") + "15" + kReset + " " + label;
}

// The legend's entries side by side, in lines no wider than three month blocks.
std::string LegendText(const YearSheet& sheet, bool colour) {
    const SheetLegend& l = sheet.Legend;
    if (!colour) return l.RestStar + "\n" + l.Range + "\n";
    const std::pair<std::string, size_t> entries[] = {
        {Swatch(DayMark::Rest, false, l.Rest), DisplayWidth(l.Rest)},
        {Swatch(DayMark::Holiday, false, l.Holiday), DisplayWidth(l.Holiday)},
        {Swatch(DayMark::WorkedWeekend, false, l.WorkedWeekend), DisplayWidth(l.WorkedWeekend)},
        {Swatch(DayMark::Work, true, l.Today), DisplayWidth(l.Today)},
        {Swatch(DayMark::Outside, false, l.Outside), DisplayWidth(l.Outside)},
    };
    constexpr size_t kWidth = kAcross * kBlock + (kAcross - 1) * 3;
    std::string text;
    size_t used = 0;
    for (const auto& [entry, labelWidth] : entries) {
        const size_t width = 3 + labelWidth;  // the sample "15 " and the label
        if (used > 0 && used + 3 + width > kWidth) {
            text += "\n";
            used = 0;
        }
        text += (used > 0 ? "   " : "") + entry;
        used += (used > 0 ? 3 : 0) + width;
    }
    return text + "\n" + l.Range + "\n";
}

}  // namespace

size_t DisplayWidth(std::string_view utf8) {
    size_t width = 0;
    ForEachCodePoint(utf8, [&](uint32_t cp) { width += IsWide(cp) ? 2 : 1; });
    return width;
}

std::string YearText(const YearSheet& sheet, bool colour) {
    std::string text = sheet.Title + (sheet.Name.empty() ? "" : "  " + sheet.Name) + "\n\n";
    for (size_t row = 0; row < sheet.Months.size(); row += kAcross) {
        std::vector<std::vector<std::string>> blocks;
        for (size_t m = row; m < row + kAcross && m < sheet.Months.size(); ++m)
            blocks.push_back(BlockLines(sheet.Months[m], sheet, colour));
        for (size_t line = 0; line < blocks.front().size(); ++line) {
            std::string joined;
            for (size_t b = 0; b < blocks.size(); ++b)
                joined += (b == 0 ? "" : kGap) + blocks[b][line];
            while (!joined.empty() && joined.back() == ' ')
                joined.pop_back();
            text += joined + "\n";
        }
        text += "\n";
    }
    text += LegendText(sheet, colour);
    if (!sheet.Exceptions.empty()) text += "\n" + sheet.ExceptionsTitle + "\n";
    // The notes line up after the widest kind.
    size_t kindWidth = 0;
    for (const SheetException& e : sheet.Exceptions)
        kindWidth = std::max(kindWidth, DisplayWidth(e.Kind));
    for (const SheetException& e : sheet.Exceptions) {
        text += e.Date + "  " + Padded(e.Weekday, 10) + "  ";
        text += e.Note.empty() ? e.Kind : Padded(e.Kind, kindWidth) + "  " + e.Note;
        text += "\n";
    }
    return text;
}

}  // namespace zev::window
