#include "gui/widgets/MessageBoxPrompts.h"

#include "gui/widgets/GlyphFallback.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

PromptService::Answer MessageBoxPrompts::ask(const Prompt &prompt)
{
    // Over the dialog that asks, else the active window; modal to that window only, so the
    // simulator window stays usable, as it does beside every dialog.
    QWidget *owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    QMessageBox box(owner);
    if (owner)
        box.setWindowModality(Qt::WindowModal);
    box.setWindowTitle(prompt.caption.isEmpty() ? QApplication::applicationName() : prompt.caption);
    box.setText(GlyphFallback::drawable(prompt.text, box.font()));
    switch (prompt.icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Stop: box.setIcon(QMessageBox::Critical); break;
    }
    switch (prompt.buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    if (prompt.defaultAnswer) {
        switch (*prompt.defaultAnswer) {
        case Answer::Ok: box.setDefaultButton(QMessageBox::Ok); break;
        case Answer::Cancel: box.setDefaultButton(QMessageBox::Cancel); break;
        case Answer::Yes: box.setDefaultButton(QMessageBox::Yes); break;
        case Answer::No: box.setDefaultButton(QMessageBox::No); break;
        }
    }
    // Esc takes the answer that changes nothing.
    if (QAbstractButton *safe = box.button(QMessageBox::Cancel) ? box.button(QMessageBox::Cancel)
                                                                   : box.button(QMessageBox::No))
        box.setEscapeButton(safe);
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return Answer::Ok;
    }
}
