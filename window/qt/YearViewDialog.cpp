// YearSheetWidget and YearViewDialog: the year's cells, their colours and marks, the
// legend, the clicks and keys that become frmCal's events, and the window around them.

#include "window/qt/YearViewDialog.hpp"

#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "window/qt/MarkStyle.hpp"
#include "window/qt/QtDate.hpp"

namespace zev::window::qt {
namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

const QColor kToday(0x1F, 0x4E, 0x9A);
const QColor kGrid(0xD0, 0xD0, 0xD0);

// The index of `day` in the year that starts on `first`, or -1 outside it.
int IndexIn(double first, double day, size_t days) {
    const double at = day - first;
    return at >= 0 && at < static_cast<double>(days) ? static_cast<int>(at) : -1;
}

}  // namespace

YearSheetWidget::YearSheetWidget(const YearView& view, FrmCalEvents& events, Forwarder forward,
                                 std::function<void()> editNote, QWidget* parent)
    : QWidget(parent),
      v_(view),
      events_(events),
      forward_(std::move(forward)),
      editNote_(std::move(editNote)) {
    setObjectName(QStringLiteral("yearSheet"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    turnTimer_.setSingleShot(true);
    connect(&turnTimer_, &QTimer::timeout, this,
            [this] { forward_([this] { events_.cmdTurn_Click(); }); });
}

QColor YearSheetWidget::FillOf(DayMark mark) {
    if (mark == DayMark::Outside) return QColor(0xEE, 0xEE, 0xEE);
    const QColor fill = StyleOf(mark).fill;
    return fill == Qt::transparent ? QColor(Qt::white) : fill;
}

YearSheetWidget::Metrics YearSheetWidget::Measure() const {
    const QFontMetrics fm = fontMetrics();
    Metrics m{};
    m.line = fm.height();
    int heads = 0;
    for (const std::string& head : v_.Sheet.Weekdays)
        heads = std::max(heads, fm.horizontalAdvance(Text(head)));
    const int cellW = std::max(fm.horizontalAdvance(QStringLiteral("28")) + 12, heads + 6);
    const int cellH = m.line + 4;
    m.title = m.line + 4;
    m.heads = m.line + 2;
    m.gap = std::max(cellW / 2, 10);
    m.margin = 6;
    m.legend = 3 * (m.line + 4) + m.gap / 2;
    // A grown widget gives its cells the room.
    m.cellW = std::max(cellW, (width() - 2 * m.margin - 3 * m.gap) / 28);
    m.cellH = std::max(
        cellH, (height() - 2 * m.margin - 2 * m.gap - m.legend - 3 * (m.title + m.heads)) / 18);
    return m;
}

QSize YearSheetWidget::minimumSizeHint() const {
    const QFontMetrics fm = fontMetrics();
    const Metrics least = [&] {
        Metrics m = Measure();
        int heads = 0;
        for (const std::string& head : v_.Sheet.Weekdays)
            heads = std::max(heads, fm.horizontalAdvance(Text(head)));
        m.cellW = std::max(fm.horizontalAdvance(QStringLiteral("28")) + 12, heads + 6);
        m.cellH = m.line + 4;
        return m;
    }();
    // The legend's columns hold their longest text beside a sample day.
    const SheetLegend& l = v_.Sheet.Legend;
    int label = 0;
    for (const std::string* text : {&l.Rest, &l.Holiday, &l.WorkedWeekend, &l.Today, &l.Outside})
        label = std::max(label, fm.horizontalAdvance(Text(*text)));
    const int legend = 3 * (least.cellW + 8 + label + least.gap);
    const int width = std::max({2 * least.margin + 3 * least.gap + 28 * least.cellW, legend,
                                fm.horizontalAdvance(Text(l.Range)) + 2 * least.margin});
    const int height = 2 * least.margin + 2 * least.gap + least.legend +
                       3 * (least.title + least.heads) + 18 * least.cellH;
    return {width, height};
}

QPoint YearSheetWidget::MonthOrigin(const Metrics& m, int month) const {
    const int col = month % 4;
    const int row = month / 4;
    return {m.margin + col * (7 * m.cellW + m.gap),
            m.margin + row * (m.title + m.heads + 6 * m.cellH + m.gap)};
}

QRect YearSheetWidget::CellRect(double day) const {
    const QDate date = QDateOfOle(day);
    if (!date.isValid() || date.year() != v_.Year ||
        v_.Sheet.Months.size() < static_cast<size_t>(date.month())) {
        return {};
    }
    const Metrics m = Measure();
    const SheetMonth& month = v_.Sheet.Months[static_cast<size_t>(date.month() - 1)];
    const QPoint origin = MonthOrigin(m, date.month() - 1);
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 7; ++c) {
            const SheetDay& cell = month.Weeks[static_cast<size_t>(r)][static_cast<size_t>(c)];
            if (cell.Mark == DayMark::None || cell.Day != date.day()) continue;
            return {origin.x() + c * m.cellW, origin.y() + m.title + m.heads + r * m.cellH, m.cellW,
                    m.cellH};
        }
    }
    return {};
}

double YearSheetWidget::DayAt(const QPoint& point) const {
    const Metrics m = Measure();
    for (int month = 0; month < static_cast<int>(v_.Sheet.Months.size()); ++month) {
        const QPoint origin = MonthOrigin(m, month) + QPoint(0, m.title + m.heads);
        const int c = (point.x() - origin.x()) / m.cellW;
        const int r = (point.y() - origin.y()) / m.cellH;
        if (point.x() < origin.x() || point.y() < origin.y() || c > 6 || r > 5) continue;
        const SheetDay& cell = v_.Sheet.Months[static_cast<size_t>(month)]
                                   .Weeks[static_cast<size_t>(r)][static_cast<size_t>(c)];
        if (cell.Mark == DayMark::None) return 0.0;
        return OleOfQDate(QDate(v_.Year, month + 1, cell.Day));
    }
    return 0.0;
}

void YearSheetWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const Metrics m = Measure();
    QFont bold = font();
    bold.setBold(true);
    const QColor highlight = palette().color(QPalette::Highlight);
    for (int month = 0; month < static_cast<int>(v_.Sheet.Months.size()); ++month) {
        const SheetMonth& sheetMonth = v_.Sheet.Months[static_cast<size_t>(month)];
        const QPoint origin = MonthOrigin(m, month);
        p.setFont(bold);
        p.setPen(QColor(0x22, 0x22, 0x22));
        p.drawText(QRect(origin.x() + 2, origin.y(), 7 * m.cellW, m.title),
                   Qt::AlignLeft | Qt::AlignVCenter, Text(sheetMonth.Title));
        p.setFont(font());
        p.setPen(QColor(0x55, 0x55, 0x55));
        for (int c = 0; c < 7; ++c) {
            p.drawText(QRect(origin.x() + c * m.cellW, origin.y() + m.title, m.cellW, m.heads),
                       Qt::AlignCenter, Text(v_.Sheet.Weekdays[static_cast<size_t>(c)]));
        }
        for (int r = 0; r < 6; ++r) {
            for (int c = 0; c < 7; ++c) {
                const SheetDay& cell =
                    sheetMonth.Weeks[static_cast<size_t>(r)][static_cast<size_t>(c)];
                const QRect box(origin.x() + c * m.cellW,
                                origin.y() + m.title + m.heads + r * m.cellH, m.cellW, m.cellH);
                if (cell.Mark == DayMark::None) continue;
                const double day = OleOfQDate(QDate(v_.Year, month + 1, cell.Day));
                const MarkStyle style = StyleOf(cell.Mark);
                p.fillRect(box, FillOf(cell.Mark));
                if (std::binary_search(v_.Chosen.begin(), v_.Chosen.end(), day)) {
                    QColor over = highlight;
                    over.setAlpha(110);
                    p.fillRect(box, over);
                }
                p.setPen(kGrid);
                p.drawRect(box.adjusted(0, 0, -1, -1));
                if (cell.Today) {
                    p.setPen(QPen(kToday, 2));
                    p.drawRect(box.adjusted(1, 1, -1, -1));
                }
                if (day == v_.Cursor) {
                    p.setPen(
                        QPen(hasFocus() ? Qt::black : QColor(0x70, 0x70, 0x70), 1, Qt::DashLine));
                    p.drawRect(box.adjusted(3, 3, -4, -4));
                }
                p.setFont(style.bold || cell.Today ? bold : font());
                p.setPen(style.ink);
                p.drawText(box, Qt::AlignCenter, QString::number(cell.Day));
            }
        }
    }
    DrawLegend(p, m);
}

void YearSheetWidget::DrawLegend(QPainter& p, const Metrics& m) const {
    const SheetLegend& l = v_.Sheet.Legend;
    const int top = MonthOrigin(m, 8).y() + m.title + m.heads + 6 * m.cellH + m.gap / 2;
    const int row = m.line + 4;
    const int column = (width() - 2 * m.margin) / 3;
    struct Entry {
        DayMark mark;
        bool today;
        const std::string* text;
    };
    const Entry entries[] = {
        {DayMark::Rest, false, &l.Rest},
        {DayMark::Holiday, false, &l.Holiday},
        {DayMark::WorkedWeekend, false, &l.WorkedWeekend},
        {DayMark::Work, true, &l.Today},
        {DayMark::Outside, false, &l.Outside},
    };
    const int sampleW = std::min(m.cellW, 2 * m.line + 8);
    QFont bold = font();
    bold.setBold(true);
    for (size_t i = 0; i < std::size(entries); ++i) {
        const Entry& e = entries[i];
        const int x = m.margin + static_cast<int>(i % 3) * column;
        const int y = top + static_cast<int>(i / 3) * row;
        const QRect sample(x, y + 2, sampleW, row - 4);
        p.fillRect(sample, FillOf(e.mark));
        p.setPen(kGrid);
        p.drawRect(sample.adjusted(0, 0, -1, -1));
        if (e.today) {
            p.setPen(QPen(kToday, 2));
            p.drawRect(sample.adjusted(1, 1, -1, -1));
        }
        p.setPen(StyleOf(e.mark).ink);
        p.setFont(StyleOf(e.mark).bold || e.today ? bold : font());
        p.drawText(sample, Qt::AlignCenter, QStringLiteral("15"));
        p.setFont(font());
        p.setPen(QColor(0x22, 0x22, 0x22));
        p.drawText(QRect(x + sampleW + 8, y, column - sampleW - 8, row),
                   Qt::AlignLeft | Qt::AlignVCenter, Text(*e.text));
    }
    p.drawText(QRect(m.margin, top + 2 * row, width() - 2 * m.margin, row),
               Qt::AlignLeft | Qt::AlignVCenter, Text(l.Range));
}

bool YearSheetWidget::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const double first = OleOfQDate(QDate(v_.Year, 1, 1));
        const double day = DayAt(help->pos());
        const int at = day == 0.0 ? -1 : IndexIn(first, day, v_.DayLines.size());
        if (at < 0) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), Text(v_.DayLines[static_cast<size_t>(at)]), this);
        }
        return true;
    }
    return QWidget::event(event);
}

void YearSheetWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    const double day = DayAt(event->position().toPoint());
    if (day == 0.0) return;
    const Qt::KeyboardModifiers keys = event->modifiers();
    const YearChoice how = keys & Qt::ShiftModifier     ? YearChoice::Range
                           : keys & Qt::ControlModifier ? YearChoice::Toggle
                                                        : YearChoice::Only;
    forward_([&] { events_.ChooseYearDay(day, how); });
    clicked_ = how == YearChoice::Only;
}

void YearSheetWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    // A click of its own turns the day, unless it becomes a double click.
    if (clicked_ && !doubleClicked_) turnTimer_.start(QApplication::doubleClickInterval());
    clicked_ = false;
    doubleClicked_ = false;
}

void YearSheetWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
    turnTimer_.stop();
    doubleClicked_ = true;
    const double day = DayAt(event->position().toPoint());
    if (day == 0.0) return;
    // The note edited is the day's, under the cursor.
    forward_([&] { events_.ChooseYearDay(day, YearChoice::Only); });
    editNote_();
}

void YearSheetWidget::keyPressEvent(QKeyEvent* event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const auto move = [&](int days) { forward_([&] { events_.MoveYearCursor(days, shift); }); };
    switch (event->key()) {
        case Qt::Key_Left:
            return move(-1);
        case Qt::Key_Right:
            return move(1);
        case Qt::Key_Up:
            return move(-7);
        case Qt::Key_Down:
            return move(7);
        case Qt::Key_Space:
            return forward_([&] { events_.cmdTurn_Click(); });
        case Qt::Key_PageUp:
            return forward_([&] { events_.SelectYear(v_.Year - 1); });
        case Qt::Key_PageDown:
            return forward_([&] { events_.SelectYear(v_.Year + 1); });
        case Qt::Key_F2:
            return editNote_();
        default:
            QWidget::keyPressEvent(event);
    }
}

YearViewDialog::YearViewDialog(const FrmCalControls& controls, FrmCalEvents& events,
                               Forwarder forward, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      c_(controls),
      events_(events),
      forward_(std::move(forward)) {
    setObjectName(QStringLiteral("yearView"));
    setFont(parent->font());
    setLocale(parent->locale());
    const auto button = [this](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    cmdPrevYear_ = button("cmdPrevYear");
    cmdNextYear_ = button("cmdNextYear");
    cmdTurn_ = button("cmdTurn");
    cmdPrint_ = button("cmdPrint");
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("yearTitle"));
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    title_->setFont(titleFont);
    title_->setAlignment(Qt::AlignCenter);
    sheet_ = new YearSheetWidget(
        c_.yearView, events_, forward_, [this] { EditNote(); }, this);
    cursorLine_ = new QLabel(this);
    cursorLine_->setObjectName(QStringLiteral("cursorLine"));
    note_ = new QLineEdit(this);
    note_->setObjectName(QStringLiteral("yearNote"));
    note_->installEventFilter(this);
    readOnly_ = new QLabel(this);
    readOnly_->setObjectName(QStringLiteral("readOnly"));
    unplanned_ = new QLabel(this);
    unplanned_->setObjectName(QStringLiteral("unplanned"));

    auto* top = new QHBoxLayout;
    top->addWidget(cmdPrevYear_);
    top->addWidget(title_, 1);
    top->addWidget(cmdNextYear_);
    top->addSpacing(24);
    top->addWidget(cmdTurn_);
    top->addWidget(cmdPrint_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cursorLine_);
    bottom->addWidget(note_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(sheet_, 1);
    layout->addLayout(bottom);
    layout->addWidget(unplanned_);
    layout->addWidget(readOnly_);

    connect(cmdPrevYear_, &QPushButton::clicked, this,
            [this] { forward_([this] { events_.SelectYear(c_.yearView.Year - 1); }); });
    connect(cmdNextYear_, &QPushButton::clicked, this,
            [this] { forward_([this] { events_.SelectYear(c_.yearView.Year + 1); }); });
    connect(cmdTurn_, &QPushButton::clicked, this,
            [this] { forward_([this] { events_.cmdTurn_Click(); }); });
    connect(cmdPrint_, &QPushButton::clicked, this, [this] { Print(); });
    // An edit of the note is kept when it ends (Enter, or the focus leaving the editor).
    connect(note_, &QLineEdit::editingFinished, this, [this] {
        if (!note_->isModified()) return;
        note_->setModified(false);
        const double day = noteDay_;
        const std::string text = note_->text().toStdString();
        forward_([&] { events_.EditYearNote(day, text); });
    });
    connect(note_, &QLineEdit::returnPressed, this, [this] { sheet_->setFocus(); });
    sheet_->setFocus();
}

void YearViewDialog::Render() {
    const YearView& v = c_.yearView;
    setWindowTitle(Text(v.Caption));
    for (const auto& [widget, record] :
         {std::pair{cmdPrevYear_, &v.cmdPrevYear}, std::pair{cmdNextYear_, &v.cmdNextYear},
          std::pair{cmdTurn_, &v.cmdTurn}, std::pair{cmdPrint_, &v.cmdPrint}}) {
        widget->setText(Text(record->Caption));
        widget->setEnabled(record->Enabled);
    }
    title_->setText(Text(v.Sheet.Title));
    cursorLine_->setText(Text(v.CursorLine));
    readOnly_->setText(Text(v.ReadOnlyText));
    readOnly_->setVisible(!v.ReadOnlyText.empty());
    unplanned_->setText(Text(v.UnplannedText));
    unplanned_->setVisible(!v.UnplannedText.empty());
    const double first = OleOfQDate(QDate(v.Year, 1, 1));
    const int at = IndexIn(first, v.Cursor, v.Notes.size());
    note_->setReadOnly(!v.NotesEditable);
    note_->setEnabled(at >= 0);
    note_->setPlaceholderText(Text(v.NoteHint));
    // The editor keeps what the planner is typing.
    if (!note_->hasFocus() || noteDay_ != v.Cursor) {
        noteDay_ = v.Cursor;
        note_->setText(at >= 0 ? Text(v.Notes[static_cast<size_t>(at)]) : QString());
        note_->setModified(false);
    }
    sheet_->updateGeometry();
    sheet_->update();
}

void YearViewDialog::EditNote() {
    if (!c_.yearView.NotesEditable || !note_->isEnabled()) return;
    note_->setFocus(Qt::OtherFocusReason);
    note_->selectAll();
}

void YearViewDialog::Print() {
    const YearView& v = c_.yearView;
    const QString file = QFileDialog::getSaveFileName(this, Text(v.PrintTitle), Text(v.PrintFile),
                                                      Text(v.PrintFilter));
    if (file.isEmpty()) return;
    const std::string path = file.toStdString();
    forward_([&] { events_.PrintYearTo(path); });
}

void YearViewDialog::reject() {
    forward_([this] { events_.CloseYearView(); });
}

bool YearViewDialog::eventFilter(QObject* watched, QEvent* event) {
    // Escape in the note editor gives up the edit, not the window.
    if (watched == note_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        note_->setModified(false);
        noteDay_ = 0.0;
        sheet_->setFocus();
        Render();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace zev::window::qt
