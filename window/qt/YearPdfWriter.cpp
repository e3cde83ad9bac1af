// DrawYearSheet and WriteYearPdf (YearPdfWriter.hpp): the page's layout in points, the
// colours of the marks, and the PDF file.
#include "window/qt/YearPdfWriter.hpp"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <vector>

#include "window/qt/MarkStyle.hpp"

namespace zev::window::qt {

namespace {

constexpr double kMargin = 28.0;  // about 10 mm
constexpr double kHeader = 40.0;
constexpr double kSidebar = 250.0;
constexpr double kGap = 12.0;
constexpr int kColumns = 4;
constexpr int kRows = 3;

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Latin letters and digits from DejaVu Sans, Chinese from Noto Sans CJK. The CJK face's
// own digits are substituted by the shaper in runs of text, and those glyphs have no
// character that a reader of the PDF could copy or search.
QFont SheetFont(double points, bool bold = false) {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void Swatch(QPainter& p, const QRectF& box, DayMark mark) {
    const MarkStyle style = StyleOf(mark);
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 0.5));
    p.setBrush(style.fill == Qt::transparent ? QBrush(Qt::white) : QBrush(style.fill));
    p.drawRect(box);
}

void DrawMonth(QPainter& p, const QRectF& box, const SheetMonth& month, const YearSheet& sheet) {
    constexpr double kTitle = 18.0;
    constexpr double kHeads = 13.0;
    const double cellW = box.width() / 7.0;
    const double cellH = (box.height() - kTitle - kHeads) / 6.0;
    p.setPen(QColor(0x22, 0x22, 0x22));
    p.setFont(SheetFont(11.0, true));
    p.drawText(QRectF(box.left(), box.top(), box.width(), kTitle), Qt::AlignLeft | Qt::AlignVCenter,
               Text(month.Title));
    p.setFont(SheetFont(7.0));
    p.setPen(QColor(0x55, 0x55, 0x55));
    for (int c = 0; c < 7; ++c) {
        p.drawText(QRectF(box.left() + c * cellW, box.top() + kTitle, cellW, kHeads),
                   Qt::AlignCenter, Text(sheet.Weekdays[static_cast<size_t>(c)]));
    }
    const double top = box.top() + kTitle + kHeads;
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 7; ++c) {
            const SheetDay& day = month.Weeks[static_cast<size_t>(r)][static_cast<size_t>(c)];
            const QRectF cell(box.left() + c * cellW, top + r * cellH, cellW, cellH);
            p.setPen(QPen(QColor(0xD0, 0xD0, 0xD0), 0.5));
            if (day.Mark == DayMark::None) {
                p.setBrush(Qt::NoBrush);
                p.drawRect(cell);
                continue;
            }
            const MarkStyle style = StyleOf(day.Mark);
            p.setBrush(style.fill == Qt::transparent ? QBrush(Qt::NoBrush) : QBrush(style.fill));
            p.drawRect(cell);
            p.setPen(style.ink);
            p.setFont(SheetFont(8.5, style.bold));
            p.drawText(cell, Qt::AlignCenter, QString::number(day.Day));
        }
    }
}

// The exceptions in a column of `box`, each note on a line of its own below its day, their
// font made smaller until they fit; the exceptions that still do not fit are counted on
// the last line.
void DrawExceptions(QPainter& p, const QRectF& box, const YearSheet& sheet) {
    p.setPen(QColor(0x22, 0x22, 0x22));
    p.setFont(SheetFont(11.0, true));
    p.drawText(QRectF(box.left(), box.top(), box.width(), 16.0), Qt::AlignLeft | Qt::AlignVCenter,
               Text(sheet.ExceptionsTitle));
    struct Line {
        const SheetException* exception;
        bool note;  // the exception's note, else its day
    };
    std::vector<Line> lines;
    for (const SheetException& e : sheet.Exceptions) {
        lines.push_back({&e, false});
        if (!e.Note.empty()) lines.push_back({&e, true});
    }
    const double available = box.height() - 20.0;
    const size_t count = lines.size();
    const double points =
        std::clamp(available / (1.45 * static_cast<double>(std::max<size_t>(count, 1))), 5.0, 7.0);
    const double line = points * 1.45;
    const size_t fits = static_cast<size_t>(available / line);
    const size_t shown = count <= fits ? count : fits - 1;
    const QFont font = SheetFont(points);
    const QFontMetricsF metrics(font);
    p.setFont(font);
    for (size_t i = 0; i < shown; ++i) {
        const SheetException& e = *lines[i].exception;
        const double y = box.top() + 20.0 + static_cast<double>(i) * line;
        if (!lines[i].note) {
            Swatch(p, QRectF(box.left(), y + line * 0.2, line * 0.6, line * 0.6), e.Mark);
        }
        p.setPen(QColor(0x22, 0x22, 0x22));
        const QString text =
            lines[i].note ? Text(e.Note) : Text(e.Date + "  " + e.Weekday + "  " + e.Kind);
        const double x = box.left() + line * (lines[i].note ? 2.0 : 1.0);
        p.drawText(QRectF(x, y, box.right() - x, line), Qt::AlignLeft | Qt::AlignVCenter,
                   metrics.elidedText(text, Qt::ElideRight, box.right() - x));
    }
    size_t left = 0;  // exceptions not shown
    for (size_t i = shown; i < count; ++i)
        left += lines[i].note ? 0 : 1;
    if (left > 0) {
        const double y = box.top() + 20.0 + static_cast<double>(shown) * line;
        p.drawText(QRectF(box.left() + line, y, box.width() - line, line),
                   Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("… +") + QString::number(left));
    }
}

// A sample day "15" as the months show a day of that mark.
void SampleDay(QPainter& p, const QRectF& cell, DayMark mark) {
    const MarkStyle style = StyleOf(mark);
    p.setPen(QPen(QColor(0xB0, 0xB0, 0xB0), 0.5));
    p.setBrush(style.fill == Qt::transparent ? QBrush(Qt::NoBrush) : QBrush(style.fill));
    p.drawRect(cell);
    p.setPen(style.ink);
    p.setFont(SheetFont(7.0, style.bold));
    p.drawText(cell, Qt::AlignCenter, QStringLiteral("15"));
}

void DrawLegend(QPainter& p, const QRectF& box, const YearSheet& sheet) {
    const SheetLegend& l = sheet.Legend;
    const std::pair<DayMark, const std::string*> entries[] = {
        {DayMark::Rest, &l.Rest},
        {DayMark::Holiday, &l.Holiday},
        {DayMark::WorkedWeekend, &l.WorkedWeekend},
        {DayMark::Outside, &l.Outside},
    };
    constexpr double kLine = 13.0;
    double y = box.top();
    for (const auto& [mark, label] : entries) {
        SampleDay(p, QRectF(box.left(), y + 1.0, 18.0, kLine - 2.0), mark);
        p.setPen(QColor(0x22, 0x22, 0x22));
        p.setFont(SheetFont(8.0));
        p.drawText(QRectF(box.left() + 24.0, y, box.width() - 24.0, kLine),
                   Qt::AlignLeft | Qt::AlignVCenter, Text(*label));
        y += kLine;
    }
    p.setPen(QColor(0x22, 0x22, 0x22));
    p.setFont(SheetFont(8.0));
    p.drawText(QRectF(box.left(), y + 4.0, box.width(), box.bottom() - y - 4.0),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, Text(l.Range));
}

}  // namespace

void DrawYearSheet(QPainter& p, const QSizeF& size, const YearSheet& sheet) {
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF content(kMargin, kMargin, size.width() - 2 * kMargin, size.height() - 2 * kMargin);
    p.setPen(QColor(0x11, 0x11, 0x11));
    p.setFont(SheetFont(20.0, true));
    p.drawText(QRectF(content.left(), content.top(), content.width(), kHeader - 10.0),
               Qt::AlignLeft | Qt::AlignTop, Text(sheet.Title));
    p.setFont(SheetFont(11.0));
    p.drawText(QRectF(content.left(), content.top(), content.width(), kHeader - 10.0),
               Qt::AlignRight | Qt::AlignTop, Text(sheet.Name));

    const QRectF body(content.left(), content.top() + kHeader, content.width(),
                      content.height() - kHeader);
    const QRectF months(body.left(), body.top(), body.width() - kSidebar - 2 * kGap, body.height());
    const double monthW = (months.width() - (kColumns - 1) * kGap) / kColumns;
    const double monthH = (months.height() - (kRows - 1) * kGap) / kRows;
    for (size_t m = 0; m < sheet.Months.size() && m < kColumns * kRows; ++m) {
        const double x = months.left() + static_cast<double>(m % kColumns) * (monthW + kGap);
        const double y = months.top() + static_cast<double>(m / kColumns) * (monthH + kGap);
        DrawMonth(p, QRectF(x, y, monthW, monthH), sheet.Months[m], sheet);
    }
    constexpr double kLegend = 80.0;
    const QRectF side(body.right() - kSidebar, body.top(), kSidebar, body.height());
    DrawExceptions(p, QRectF(side.left(), side.top(), side.width(), side.height() - kLegend - kGap),
                   sheet);
    DrawLegend(p, QRectF(side.left(), side.bottom() - kLegend, side.width(), kLegend), sheet);
}

bool WriteYearPdf(const YearSheet& sheet, const QString& file, QString* problem) {
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        *problem = out.errorString();
        return false;
    }
    {
        QPdfWriter pdf(&out);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                      QMarginsF(0, 0, 0, 0), QPageLayout::Point));
        pdf.setResolution(72);
        pdf.setTitle(Text(sheet.Title));
        pdf.setCreator(QStringLiteral("zevworkcal"));
        QPainter painter;
        if (!painter.begin(&pdf)) {
            *problem = QStringLiteral("QPdfWriter");
            out.cancelWriting();
            return false;
        }
        DrawYearSheet(painter, QSizeF(pdf.width(), pdf.height()), sheet);
        painter.end();
    }
    if (!out.commit()) {
        *problem = out.errorString();
        return false;
    }
    return true;
}

}  // namespace zev::window::qt
