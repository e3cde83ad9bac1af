// FrmCalDialog: building the widgets from frmCal's records, placing them, forwarding the
// planner's actions and drawing frmCal's state.

#include "window/qt/FrmCalDialog.hpp"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateEdit>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "window/qt/DateGridModel.hpp"
#include "window/qt/QtDate.hpp"
#include "window/qt/YearViewDialog.hpp"

namespace zev::window::qt {
namespace {

constexpr double kTwipsPerInch = 1440.0;

// The locale of the window's texts, from the character set of its font, so that the
// date picker's calendar speaks the window's language.
QLocale LocaleOf(int charset) {
    switch (charset) {
        case 134:
            return QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
        case 136:
            return QLocale(QLocale::Chinese, QLocale::TraditionalHanScript, QLocale::Taiwan);
        case 128:
            return QLocale(QLocale::Japanese, QLocale::Japan);
        case 129:
            return QLocale(QLocale::Korean, QLocale::SouthKorea);
        case 161:
            return QLocale(QLocale::Greek, QLocale::Greece);
        case 162:
            return QLocale(QLocale::Turkish, QLocale::Turkey);
        case 204:
            return QLocale(QLocale::Russian, QLocale::Russia);
        default:
            return QLocale(QLocale::English, QLocale::UnitedStates);
    }
}

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// A control whose text needs more room than designed keeps its designed place and grows:
// to the right up to the edge of its container, and in height about its middle.
QRect Fitted(QWidget* w, QRect designed, int containerWidth) {
    const QSize hint = w->sizeHint();
    if (hint.width() > designed.width()) {
        designed.setWidth(std::min(hint.width(), containerWidth - designed.left()));
    }
    if (hint.height() > designed.height()) {
        const int extra = hint.height() - designed.height();
        designed.adjust(0, -extra / 2, 0, extra - extra / 2);
    }
    return designed;
}

}  // namespace

FrmCalDialog::FrmCalDialog(const FrmCalControls& controls, FrmCalEvents& events, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      c_(controls),
      events_(events) {
    setObjectName(QStringLiteral("frmCal"));
    setModal(true);
    QFont font(Text(c_.Me.Font.Name));
    font.setPointSizeF(c_.Me.Font.Size);
    font.setBold(c_.Me.Font.Bold);
    setFont(font);
    setLocale(LocaleOf(c_.Me.Font.Charset));
    // The window opens at its designed size and may grow from it (resized or maximised):
    // the tab control and its grids grow with it, the buttons keep to its right edge.
    setMinimumSize(Pixels(c_.Me.Rect).size());
    resize(Pixels(c_.Me.Rect).size());

    tabCal_ = new QTabWidget(this);
    tabCal_->setObjectName(QStringLiteral("tabCal"));
    tabCal_->setGeometry(Pixels(c_.tabCal.Rect));
    QWidget* pages[3];
    for (QWidget*& page : pages) {
        page = new QWidget;
        tabCal_->addTab(page, QString());
    }
    tabContents_ = pages[0]->parentWidget();
    tabContents_->installEventFilter(this);

    BuildGrid(sprWork_, c_.sprWork, GridId::Work, pages[0]);
    sprWork_.view->setObjectName(QStringLiteral("sprWork"));
    BuildGrid(sprNotWork_, c_.sprNotWork, GridId::NotWork, pages[1]);
    sprNotWork_.view->setObjectName(QStringLiteral("sprNotWork"));

    lblStartDay_ = new QLabel(pages[2]);
    lblStartDay_->setObjectName(QStringLiteral("lblStartDay"));
    dtStartDay_ = new QDateEdit(pages[2]);
    dtStartDay_->setObjectName(QStringLiteral("dtStartDay"));
    dtStartDay_->setCalendarPopup(true);
    dtStartDay_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dtStartDay_->setMaximumDate(QDate(9999, 12, 31));
    chkSatNotWork_ = new QCheckBox(pages[2]);
    chkSatNotWork_->setObjectName(QStringLiteral("chkSatNotWork"));
    chkSunNotWork_ = new QCheckBox(pages[2]);
    chkSunNotWork_->setObjectName(QStringLiteral("chkSunNotWork"));

    const auto button = [this](const char* name, const Button& record) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(name));
        // Enter presses no button of its own accord.
        b->setAutoDefault(false);
        b->setGeometry(Pixels(record.Rect));
        return b;
    };
    cmdMove_ = button("cmdMove", c_.cmdMove);
    cmdSave_ = button("cmdSave", c_.cmdSave);
    cmdExit_ = button("cmdExit", c_.cmdExit);
    cmdYear_ = button("cmdYear", c_.cmdYear);

    connect(tabCal_, &QTabWidget::currentChanged, this,
            [this](int tab) { Forward([&] { events_.SelectTab(tab); }); });
    connect(chkSatNotWork_, &QCheckBox::clicked, this, [this](bool on) {
        Forward([&] { events_.SetCheckBox(CheckBoxId::SatNotWork, on ? 1 : 0); });
    });
    connect(chkSunNotWork_, &QCheckBox::clicked, this, [this](bool on) {
        Forward([&] { events_.SetCheckBox(CheckBoxId::SunNotWork, on ? 1 : 0); });
    });
    connect(dtStartDay_, &QDateEdit::dateChanged, this,
            [this](const QDate& day) { Forward([&] { events_.PickStartDay(OleDateOf(day)); }); });
    connect(cmdMove_, &QPushButton::clicked, this,
            [this] { Forward([&] { events_.cmdMove_Click(); }); });
    connect(cmdSave_, &QPushButton::clicked, this,
            [this] { Forward([&] { events_.cmdSave_Click(); }); });
    connect(cmdExit_, &QPushButton::clicked, this,
            [this] { Forward([&] { events_.cmdExit_Click(); }); });
    connect(cmdYear_, &QPushButton::clicked, this, [this] {
        const bool open = YearView() != nullptr;
        Forward([&] { events_.cmdYear_Click(); });
        // Opened before: brought to the front.
        if (open) {
            year_->raise();
            year_->activateWindow();
        }
    });
    SetTabOrder();
}

double FrmCalDialog::OleDateOf(const QDate& date) {
    return OleOfQDate(date);
}

QDate FrmCalDialog::QDateOf(double day) {
    return QDateOfOle(day);
}

QRect FrmCalDialog::Pixels(const Twips& r) const {
    const double x = logicalDpiX() / kTwipsPerInch;
    const double y = logicalDpiY() / kTwipsPerInch;
    return QRect(qRound(r.Left * x), qRound(r.Top * y), qRound(r.Width * x), qRound(r.Height * y));
}

void FrmCalDialog::BuildGrid(GridView& g, const Grid& grid, GridId id, QWidget* page) {
    g.grid = &grid;
    g.view = new QTableView(page);
    g.model = new DateGridModel(grid, &c_.Marks, g.view, font());
    g.view->setModel(g.model);
    g.view->setSelectionMode(QAbstractItemView::SingleSelection);
    g.view->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The note is edited by a double click or F2; the model says where.
    g.view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    g.model->SetNoteEditor([this, id](int32_t row, const std::string& note) {
        Forward([&] { events_.EditNote(id, row, note); });
    });
    g.view->setWordWrap(false);
    QHeaderView* rows = g.view->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultAlignment(Qt::AlignCenter);
    g.view->horizontalHeader()->setHighlightSections(false);
    // The remark column takes the width a grown window gives the grid.
    g.view->horizontalHeader()->setStretchLastSection(true);
    g.view->verticalHeader()->setHighlightSections(false);
    // The corner shows the heading of the row-number column.
    g.corner = g.view->findChild<QAbstractButton*>();
    if (g.corner != nullptr) g.corner->installEventFilter(this);
    connect(g.view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, id](const QModelIndex& current) {
                if (rendering_ || !current.isValid()) return;
                Forward([&] { events_.SelectGridRow(id, current.row() + 1); });
            });
}

void FrmCalDialog::SizeGrid(GridView& g) {
    // The widths depend on the headings, the digits of the last row number and the
    // weekday names; measuring them again for every row a generation adds would cost more
    // than the rows themselves.
    QString sizing = QString::number(QString::number(g.grid->RowCount()).size());
    for (const std::string& heading : g.grid->Headings)
        sizing += QLatin1Char('|') + Text(heading);
    for (int32_t r = 1; r <= std::min(g.grid->RowCount(), 7); ++r)
        sizing += QLatin1Char('|') + Text(g.grid->Row(r).Weekday);
    if (sizing == g.sizedFor) return;
    g.sizedFor = sizing;

    const QFontMetrics cells = g.view->fontMetrics();
    const QFontMetrics headings = g.view->horizontalHeader()->fontMetrics();
    const int unit = cells.horizontalAdvance(QLatin1Char('0'));
    const int margin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin) + 6;
    const auto designed = [&](size_t column) {
        return static_cast<int>(std::lround(g.grid->ColumnWidths[column] * unit));
    };
    const auto heading = [&](size_t column) {
        return headings.horizontalAdvance(Text(g.grid->Headings[column])) + margin;
    };
    // What the cells need: the largest row number, a date, the longest weekday name.
    int weekday = 0;
    for (int32_t r = 1; r <= std::min(g.grid->RowCount(), 7); ++r)
        weekday = std::max(weekday, cells.horizontalAdvance(Text(g.grid->Row(r).Weekday)));
    const int need0 = std::max(
        heading(0),
        headings.horizontalAdvance(QString::number(std::max(g.grid->RowCount(), 1))) + margin);
    const int need1 =
        std::max(heading(1), cells.horizontalAdvance(QStringLiteral("0000-00-00")) + margin);
    const int need2 = std::max(heading(2), weekday + margin);

    int number = std::max(designed(0), need0);
    int date = std::max(designed(1), need1);
    int remark = std::max(designed(2), need2);
    // Texts wider than designed (English headings) take room from the data columns first,
    // so that the grid needs no horizontal scroll bar.
    const int room = Pixels(g.grid->Rect).width() - 2 * g.view->frameWidth() -
                     style()->pixelMetric(QStyle::PM_ScrollBarExtent) - number;
    if (date + remark > room) {
        date = std::max(need1, room * designed(1) / std::max(designed(1) + designed(2), 1));
        remark = std::max(need2, room - date);
    }
    g.view->verticalHeader()->setMinimumWidth(number);
    g.view->verticalHeader()->setDefaultSectionSize(cells.height() + 6);
    g.view->horizontalHeader()->resizeSection(0, date);
    g.view->horizontalHeader()->resizeSection(1, remark);
}

QSize FrmCalDialog::Growth() const {
    const QSize designed = Pixels(c_.Me.Rect).size();
    return {std::max(width() - designed.width(), 0), std::max(height() - designed.height(), 0)};
}

void FrmCalDialog::PlaceWindowControls() {
    const QSize grown = Growth();
    tabCal_->setGeometry(Pixels(c_.tabCal.Rect).adjusted(0, 0, grown.width(), grown.height()));
    for (const auto& [widget, record] :
         {std::pair{cmdMove_, &c_.cmdMove}, std::pair{cmdSave_, &c_.cmdSave},
          std::pair{cmdExit_, &c_.cmdExit}, std::pair{cmdYear_, &c_.cmdYear}}) {
        widget->setGeometry(Pixels(record->Rect).translated(grown.width(), 0));
    }
}

void FrmCalDialog::PlaceTabControls() {
    const QPoint origin = tabContents_->mapTo(tabCal_, QPoint(0, 0));
    const int width = tabContents_->width();
    const QSize grown = Growth();
    const auto place = [&](QWidget* w, const Twips& rect, bool fit) {
        const QRect designed = Pixels(rect).translated(-origin);
        w->setGeometry(fit ? Fitted(w, designed, width) : designed);
    };
    // The grids take what the window grew by.
    const auto placeGrid = [&](QWidget* w, const Twips& rect) {
        w->setGeometry(
            Pixels(rect).translated(-origin).adjusted(0, 0, grown.width(), grown.height()));
    };
    placeGrid(sprWork_.view, c_.sprWork.Rect);
    placeGrid(sprNotWork_.view, c_.sprNotWork.Rect);
    place(lblStartDay_, c_.lblStartDay.Rect, true);
    place(dtStartDay_, c_.dtStartDay.Rect, true);
    place(chkSatNotWork_, c_.chkSatNotWork.Rect, true);
    place(chkSunNotWork_, c_.chkSunNotWork.Rect, true);
}

void FrmCalDialog::SetTabOrder() {
    std::vector<std::pair<int, QWidget*>> order = {
        {c_.tabCal.TabIndex, tabCal_},
        {c_.sprWork.TabIndex, sprWork_.view},
        {c_.sprNotWork.TabIndex, sprNotWork_.view},
        {c_.dtStartDay.TabIndex, dtStartDay_},
        {c_.chkSatNotWork.TabIndex, chkSatNotWork_},
        {c_.chkSunNotWork.TabIndex, chkSunNotWork_},
        {c_.cmdMove.TabIndex, cmdMove_},
        {c_.cmdSave.TabIndex, cmdSave_},
        {c_.cmdExit.TabIndex, cmdExit_},
        {c_.cmdYear.TabIndex, cmdYear_},
    };
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1].second, order[i].second);
}

template <class Action>
void FrmCalDialog::Forward(Action action) {
    if (closing_ || rendering_) return;
    action();
    Render();
}

void FrmCalDialog::Render() {
    if (closing_) return;
    rendering_ = true;
    setWindowTitle(Text(c_.Me.Caption));

    // A tab that is switched off is not shown: while no calendar exists the planner sees
    // the settings, where the calendar is made, and no empty grids. The current tab is
    // then the first one shown.
    // Only what changed is set: a setter that is called with the same value may still lay
    // out and repaint its widget, which a long operation drawing its state between every
    // step of its work would pay each time.
    int current = -1;
    for (int i = 0; i < tabCal_->count(); ++i) {
        const Tab& tab = c_.tabCal.Tabs[static_cast<size_t>(i)];
        const QString caption = Text(tab.Caption);
        if (tabCal_->tabText(i) != caption) tabCal_->setTabText(i, caption);
        if (tabCal_->isTabEnabled(i) != tab.Enabled) tabCal_->setTabEnabled(i, tab.Enabled);
        if (tabCal_->isTabVisible(i) != tab.Enabled) tabCal_->setTabVisible(i, tab.Enabled);
        if (tab.Enabled && (current < 0 || i == c_.tabCal.Tab)) current = i;
    }
    if (current >= 0 && tabCal_->currentIndex() != current) {
        const QSignalBlocker block(tabCal_);
        tabCal_->setCurrentIndex(current);
    }
    for (const auto& [widget, record] :
         {std::pair{cmdMove_, &c_.cmdMove}, std::pair{cmdSave_, &c_.cmdSave},
          std::pair{cmdExit_, &c_.cmdExit}, std::pair{cmdYear_, &c_.cmdYear}}) {
        widget->setText(Text(record->Caption));
        widget->setEnabled(record->Enabled);
    }
    for (const auto& [widget, record] : {std::pair{chkSatNotWork_, &c_.chkSatNotWork},
                                         std::pair{chkSunNotWork_, &c_.chkSunNotWork}}) {
        widget->setText(Text(record->Caption));
        widget->setEnabled(record->Enabled);
        const QSignalBlocker block(widget);
        widget->setChecked(record->Value != 0);
    }
    lblStartDay_->setText(Text(c_.lblStartDay.Caption));
    dtStartDay_->setEnabled(c_.dtStartDay.Enabled);
    {
        const QSignalBlocker block(dtStartDay_);
        const QDate first = QDateOf(c_.dtStartDay.MinDate);
        const QDate value = QDateOf(c_.dtStartDay.Value);
        if (dtStartDay_->minimumDate() != first) dtStartDay_->setMinimumDate(first);
        if (dtStartDay_->date() != value) dtStartDay_->setDate(value);
    }
    RenderGrid(sprWork_);
    RenderGrid(sprNotWork_);
    PlaceTabControls();
    RenderYear();
    rendering_ = false;

    if (!c_.Me.Open) {
        // Closed by the program: no question is asked.
        closing_ = true;
        done(QDialog::Accepted);
    }
}

YearViewDialog* FrmCalDialog::YearView() const {
    return year_ != nullptr && year_->isVisible() ? year_ : nullptr;
}

void FrmCalDialog::RenderYear() {
    if (!c_.yearView.Open) {
        if (year_ != nullptr) year_->hide();
        return;
    }
    const bool opening = year_ == nullptr || !year_->isVisible();
    if (year_ == nullptr) {
        year_ = new YearViewDialog(
            c_, events_, [this](const std::function<void()>& action) { Forward(action); }, this);
    }
    year_->Render();
    if (!opening) return;
    // Beside the lists, as far as the screen lets it.
    const QSize designed = Pixels(c_.yearView.Rect).size();
    year_->resize(designed.expandedTo(year_->minimumSizeHint()));
    QPoint at = frameGeometry().topRight() + QPoint(8, 0);
    if (const QScreen* screen = this->screen()) {
        const QRect room = screen->availableGeometry();
        at.setX(std::max(room.left(), std::min(at.x(), room.right() - year_->width())));
        at.setY(std::max(room.top(), std::min(at.y(), room.bottom() - year_->height())));
    }
    year_->move(at);
    year_->show();
}

void FrmCalDialog::RenderGrid(GridView& g) {
    g.model->Sync();
    if (g.corner != nullptr) {
        g.corner->setText(Text(g.grid->Headings[0]));
        g.corner->update();
    }
    SizeGrid(g);
    const int32_t active = g.grid->ActiveRow;
    if (active >= 1 && active <= g.model->rowCount()) {
        QItemSelectionModel* selection = g.view->selectionModel();
        const QModelIndex current = g.model->index(active - 1, 0);
        if (selection->currentIndex().row() != current.row()) {
            selection->setCurrentIndex(
                current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
    }
    // The program's go-to: the row comes to the top once the grid can be seen.
    const int32_t shown = g.grid->ShownRow;
    if (shown != g.shownRow && g.view->isVisible() && shown >= 1 && shown <= g.model->rowCount()) {
        // Rows just added are laid out first, so that the scroll bar reaches them.
        g.view->doItemsLayout();
        g.view->scrollTo(g.model->index(shown - 1, 0), QAbstractItemView::PositionAtTop);
        g.shownRow = shown;
    }
}

void FrmCalDialog::reject() {
    if (closing_) {
        QDialog::reject();
        return;
    }
    bool cancel = false;
    events_.Form_QueryUnload(cancel, vbFormControlMenu);
    if (cancel) {
        Render();
        return;
    }
    closing_ = true;
    QDialog::reject();
}

void FrmCalDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceWindowControls();
}

void FrmCalDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Shown, the widgets have their final fonts: the columns are measured again.
    sprWork_.sizedFor.clear();
    sprNotWork_.sizedFor.clear();
    PlaceTabControls();
    // Scrolling waits until the grids have their sizes.
    QTimer::singleShot(0, this, [this] { Render(); });
}

bool FrmCalDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tabContents_ &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        PlaceTabControls();
        return false;
    }
    for (const GridView* g : {&sprWork_, &sprNotWork_}) {
        if (watched != g->corner || event->type() != QEvent::Paint) continue;
        QStylePainter painter(g->corner);
        QStyleOptionHeader option;
        option.initFrom(g->corner);
        option.state |= QStyle::State_Raised | QStyle::State_Horizontal;
        option.rect = g->corner->rect();
        option.position = QStyleOptionHeader::OnlyOneSection;
        option.text = g->corner->text();
        option.textAlignment = Qt::AlignCenter;
        painter.drawControl(QStyle::CE_Header, option);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace zev::window::qt
