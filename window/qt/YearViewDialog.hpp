#pragma once
// The year view on Qt Widgets, a window of its own beside the lists: YearSheetWidget draws
// frmCal's sheet of the year shown (twelve months from Monday in the window's font, the
// marks' colours of the PDF year planner, today, the chosen days, the cursor, the legend)
// and turns clicks and keys into frmCal's events; YearViewDialog puts the year's buttons
// above it and the cursor's day with its note below. No calendar rule lives here.

#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "window/Controls.hpp"
#include "window/FrmCalView.hpp"

class QLabel;
class QLineEdit;
class QPushButton;

namespace zev::window::qt {

// Runs an event of frmCal and draws the window again.
using Forwarder = std::function<void(const std::function<void()>&)>;

class YearSheetWidget final : public QWidget {
  public:
    YearSheetWidget(const YearView& view, FrmCalEvents& events, Forwarder forward,
                    std::function<void()> editNote, QWidget* parent = nullptr);

    // The cell of `day` in the year shown; empty when the sheet does not show it.
    QRect CellRect(double day) const;
    // The day of the cell at `point`, or 0 for none.
    double DayAt(const QPoint& point) const;
    // The background a day of `mark` has, where no other mark covers it.
    static QColor FillOf(DayMark mark);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override { return minimumSizeHint(); }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct Metrics {
        int cellW, cellH, title, heads, gap, margin, line, legend;
    };
    Metrics Measure() const;
    // The top-left corner of month m (0 to 11).
    QPoint MonthOrigin(const Metrics& m, int month) const;
    void DrawLegend(QPainter& p, const Metrics& m) const;

    const YearView& v_;
    FrmCalEvents& events_;
    Forwarder forward_;
    std::function<void()> editNote_;
    // A plain click turns its day once it is known to be no double click.
    QTimer turnTimer_;
    // A plain press that may become such a click, and a double click whose release ends it.
    bool clicked_ = false;
    bool doubleClicked_ = false;
};

class YearViewDialog final : public QDialog {
    Q_OBJECT

  public:
    YearViewDialog(const FrmCalControls& controls, FrmCalEvents& events, Forwarder forward,
                   QWidget* parent);

    // Draws the year view as frmCal holds it.
    void Render();
    YearSheetWidget* Sheet() const { return sheet_; }

  protected:
    // The planner's close (close box, Escape) goes to frmCal.
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void EditNote();
    void Print();

    const FrmCalControls& c_;
    FrmCalEvents& events_;
    Forwarder forward_;
    QPushButton* cmdPrevYear_ = nullptr;
    QLabel* title_ = nullptr;
    QPushButton* cmdNextYear_ = nullptr;
    QPushButton* cmdTurn_ = nullptr;
    QPushButton* cmdPrint_ = nullptr;
    YearSheetWidget* sheet_ = nullptr;
    QLabel* cursorLine_ = nullptr;
    QLineEdit* note_ = nullptr;
    QLabel* readOnly_ = nullptr;
    QLabel* unplanned_ = nullptr;
    double noteDay_ = 0.0;  // the day the note editor shows
};

}  // namespace zev::window::qt
