#pragma once
// FrmCalDialog: the maintenance window on Qt Widgets. It builds the controls at the
// positions of frmCal's records (twips, scaled by the screen's logical dpi; a grown window
// grows its tab control and grids, and its buttons follow the right edge), forwards each
// action of the planner to frmCal, and then draws frmCal's state again. No calendar rule
// and no message box lives here.

#include <QDialog>

#include <cstdint>

#include "window/Controls.hpp"
#include "window/FrmCalView.hpp"

class QAbstractButton;
class QCheckBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableView;

namespace zev::window::qt {

class DateGridModel;
class YearViewDialog;

class FrmCalDialog final : public QDialog {
    Q_OBJECT

  public:
    FrmCalDialog(const FrmCalControls& controls, FrmCalEvents& events, QWidget* parent = nullptr);

    // Draws the controls as frmCal holds them; closes the dialog once the program has
    // closed the window.
    void Render();
    // The year view while it is open, else nullptr.
    YearViewDialog* YearView() const;

    // The date a picker's QDate stands for, and back.
    static double OleDateOf(const QDate& date);
    static QDate QDateOf(double day);

  protected:
    // The planner's close request (close box, system menu, Alt+F4, Escape) goes to
    // frmCal, which may refuse it.
    void reject() override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct GridView {
        QTableView* view = nullptr;
        DateGridModel* model = nullptr;
        QAbstractButton* corner = nullptr;
        const Grid* grid = nullptr;
        int32_t shownRow = 0;  // the ShownRow last scrolled to
        QString sizedFor;      // what the columns were last sized for
    };

    QRect Pixels(const Twips& rect) const;
    void BuildGrid(GridView& g, const Grid& grid, GridId id, QWidget* page);
    // Sizes a grid's columns from its character-unit widths and its headings.
    void SizeGrid(GridView& g);
    // How much wider and higher than designed the window now is.
    QSize Growth() const;
    // Places the tab control, grown with the window, and the buttons at its right edge.
    void PlaceWindowControls();
    // Places the controls of the tabs, whose positions count from the tab control's
    // top-left corner, on the tab pages below the tab strip.
    void PlaceTabControls();
    void RenderGrid(GridView& g);
    void SetTabOrder();
    // Opens, draws or closes the year view as frmCal holds it.
    void RenderYear();
    template <class Action>
    void Forward(Action action);

    const FrmCalControls& c_;
    FrmCalEvents& events_;
    QTabWidget* tabCal_ = nullptr;
    QWidget* tabContents_ = nullptr;
    GridView sprWork_;
    GridView sprNotWork_;
    QLabel* lblStartDay_ = nullptr;
    QDateEdit* dtStartDay_ = nullptr;
    QCheckBox* chkSatNotWork_ = nullptr;
    QCheckBox* chkSunNotWork_ = nullptr;
    QPushButton* cmdMove_ = nullptr;
    QPushButton* cmdSave_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    QPushButton* cmdYear_ = nullptr;
    YearViewDialog* year_ = nullptr;
    // While drawing, the widgets' own signals are not the planner's actions.
    bool rendering_ = false;
    bool closing_ = false;
};

}  // namespace zev::window::qt
