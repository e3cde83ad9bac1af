// zevworkcal_terminal_picture FILE.png: draws the text of a terminal screen, read from
// standard input with its colour sequences (as `tmux capture-pane -e -p` writes it), as
// a PNG: one cell per column, East Asian wide characters over two, the colours of SGR 30
// to 37 and 90 to 97, bold, dim and reversed. Runs on Qt's offscreen platform; for the
// pictures of `zevworkcal cal` (scripts/cal-pictures).

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "window/YearText.hpp"

namespace {

struct Style {
    int ink = -1;  // an ANSI colour 0 to 15; -1 the default
    bool bold = false;
    bool dim = false;
    bool reversed = false;
};

struct Cell {
    QString text;  // empty for the second column of a wide character
    Style style;
};

// The xterm palette.
const QColor kPalette[16] = {
    {0x00, 0x00, 0x00}, {0xCD, 0x00, 0x00}, {0x00, 0xCD, 0x00}, {0xCD, 0xCD, 0x00},
    {0x00, 0x00, 0xEE}, {0xCD, 0x00, 0xCD}, {0x00, 0xCD, 0xCD}, {0xE5, 0xE5, 0xE5},
    {0x7F, 0x7F, 0x7F}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x5C, 0x5C, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};
const QColor kBackground{0x1E, 0x1E, 0x1E};
const QColor kForeground{0xD8, 0xD8, 0xD8};

void Apply(Style& style, const std::string& parameters) {
    const QStringList codes = QString::fromStdString(parameters).split(QLatin1Char(';'));
    for (const QString& text : codes) {
        const int code = text.isEmpty() ? 0 : text.toInt();
        if (code == 0) style = Style{};
        if (code == 1) style.bold = true;
        if (code == 2) style.dim = true;
        if (code == 22) style.bold = style.dim = false;
        if (code == 7) style.reversed = true;
        if (code == 27) style.reversed = false;
        if (code >= 30 && code <= 37) style.ink = code - 30;
        if (code >= 90 && code <= 97) style.ink = code - 90 + 8;
        if (code == 39) style.ink = -1;
    }
}

// The screen's rows of cells.
std::vector<std::vector<Cell>> Cells(const std::string& screen) {
    std::vector<std::vector<Cell>> rows(1);
    Style style;
    for (size_t i = 0; i < screen.size();) {
        const char c = screen[i];
        if (c == '\033' && i + 1 < screen.size() && screen[i + 1] == '[') {
            const size_t end = screen.find_first_of("ABCDEFGHJKSTfmnsu", i + 2);
            if (end == std::string::npos) break;
            if (screen[end] == 'm') Apply(style, screen.substr(i + 2, end - i - 2));
            i = end + 1;
            continue;
        }
        if (c == '\n') {
            rows.emplace_back();
            ++i;
            continue;
        }
        if (c == '\r') {
            ++i;
            continue;
        }
        const auto lead = static_cast<unsigned char>(c);
        const size_t length = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : 4;
        const std::string character = screen.substr(i, length);
        rows.back().push_back({QString::fromStdString(character), style});
        if (zev::window::DisplayWidth(character) == 2) rows.back().push_back({QString(), style});
        i += length;
    }
    while (!rows.empty() && rows.back().empty())
        rows.pop_back();
    return rows;
}

QImage Draw(const std::vector<std::vector<Cell>>& rows) {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Noto Sans Mono CJK SC")});
    font.setPixelSize(16);
    const QFontMetricsF metrics(font);
    const double cellW = metrics.horizontalAdvance(QLatin1Char('M'));
    const double cellH = metrics.height() + 2;
    size_t columns = 0;
    for (const auto& row : rows)
        columns = std::max(columns, row.size());
    constexpr int kPad = 14;
    QImage image(static_cast<int>(columns * cellW) + 2 * kPad,
                 static_cast<int>(static_cast<double>(rows.size()) * cellH) + 2 * kPad,
                 QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const Cell& cell = rows[r][c];
            if (cell.text.isEmpty()) continue;
            const bool wide = c + 1 < rows[r].size() && rows[r][c + 1].text.isEmpty();
            const QRectF box(kPad + static_cast<double>(c) * cellW,
                             kPad + static_cast<double>(r) * cellH, cellW * (wide ? 2 : 1), cellH);
            // Bold brightens the eight plain colours, as terminals draw them.
            const int index =
                cell.style.ink < 8 && cell.style.bold ? cell.style.ink + 8 : cell.style.ink;
            QColor ink = cell.style.ink < 0 ? kForeground : kPalette[index];
            if (cell.style.dim) ink = ink.darker(220);
            QColor paper = kBackground;
            if (cell.style.reversed) std::swap(ink, paper);
            if (paper != kBackground) p.fillRect(box, paper);
            QFont f = font;
            f.setBold(cell.style.bold);
            p.setFont(f);
            p.setPen(ink);
            p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, cell.text);
        }
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zevworkcal_terminal_picture FILE.png < screen\n");
        return 2;
    }
    static char name[] = "zevworkcal_terminal_picture";
    static char option[] = "-platform";
    static char platform[] = "offscreen";
    static char* args[] = {name, option, platform, nullptr};
    int count = 3;
    QGuiApplication application(count, args);
    const std::string screen{std::istreambuf_iterator<char>(std::cin),
                             std::istreambuf_iterator<char>()};
    const QImage image = Draw(Cells(screen));
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG", 0)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
