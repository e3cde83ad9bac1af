// QtUserInterface: message boxes, the override cursor and pending events on Qt.

#include "window/qt/QtUserInterface.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

namespace zev::window::qt {
namespace {

QMessageBox::Icon IconOf(int flags) {
    switch (flags & 0x70) {
        case ui::vbCritical:
            return QMessageBox::Critical;
        case 32:
            return QMessageBox::Question;
        case ui::vbExclamation:
            return QMessageBox::Warning;
        case ui::vbInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

struct BoxButton {
    QMessageBox::StandardButton button;
    int result;
};

// The buttons of the flags' low three bits, in their order on the box.
std::vector<BoxButton> ButtonsOf(int flags) {
    switch (flags & 7) {
        case 1:
            return {{QMessageBox::Ok, ui::vbOK}, {QMessageBox::Cancel, ui::vbCancel}};
        case 2:
            return {{QMessageBox::Abort, 3}, {QMessageBox::Retry, 4}, {QMessageBox::Ignore, 5}};
        case 3:
            return {{QMessageBox::Yes, ui::vbYes},
                    {QMessageBox::No, ui::vbNo},
                    {QMessageBox::Cancel, ui::vbCancel}};
        case ui::vbYesNo:
            return {{QMessageBox::Yes, ui::vbYes}, {QMessageBox::No, ui::vbNo}};
        case 5:
            return {{QMessageBox::Retry, 4}, {QMessageBox::Cancel, ui::vbCancel}};
        default:
            return {{QMessageBox::Ok, ui::vbOK}};
    }
}

}  // namespace

QtUserInterface::~QtUserInterface() {
    if (overriding_) QApplication::restoreOverrideCursor();
}

int QtUserInterface::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
    QString text = QString::fromStdString(prompt);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(IconOf(buttons), QString::fromStdString(title), text, QMessageBox::NoButton,
                    QApplication::activeModalWidget());
    box.setTextFormat(Qt::PlainText);
    const std::vector<BoxButton> choices = ButtonsOf(buttons);
    // The buttons speak the window's language.
    const std::pair<QMessageBox::StandardButton, const std::string*> captions[] = {
        {QMessageBox::Ok, &texts_.Ok},
        {QMessageBox::Cancel, &texts_.Cancel},
        {QMessageBox::Yes, &texts_.Yes},
        {QMessageBox::No, &texts_.No},
    };
    for (const BoxButton& choice : choices) {
        QPushButton* b = box.addButton(choice.button);
        for (const auto& [button, caption] : captions) {
            if (button == choice.button) b->setText(QString::fromStdString(*caption));
        }
    }
    // The default button: 0, 256, 512 for the first, second, third.
    const size_t preferred = static_cast<size_t>((buttons >> 8) & 3);
    if (preferred < choices.size()) box.setDefaultButton(choices[preferred].button);
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    for (const BoxButton& choice : choices) {
        if (clicked == box.button(choice.button)) return choice.result;
    }
    // Closed without a button: the box's escape answer.
    return choices.size() == 1 ? choices.front().result : ui::vbCancel;
}

void QtUserInterface::SetMousePointer(int pointer) {
    pointer_ = pointer;
    if (pointer == ui::vbDefault) {
        if (overriding_) QApplication::restoreOverrideCursor();
        overriding_ = false;
        return;
    }
    const QCursor cursor(pointer == ui::vbHourglass ? Qt::WaitCursor : Qt::ArrowCursor);
    if (overriding_) {
        QApplication::changeOverrideCursor(cursor);
    } else {
        QApplication::setOverrideCursor(cursor);
        overriding_ = true;
    }
}

void QtUserInterface::DoEvents() {
    if (beforeEvents_) beforeEvents_();
    QApplication::processEvents();
}

}  // namespace zev::window::qt
