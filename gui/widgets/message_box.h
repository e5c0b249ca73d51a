#pragma once
// The program's message box and open-file dialog, as every window shows
// them.

#include <QMessageBox>
#include <QString>
#include <optional>

namespace korvath::gui {

// A modal message box with an OK button, titled with the application's name.
void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text);

// An Open dialog; nullopt when the user cancels.
std::optional<QString> ChooseFileToOpen(QWidget* parent, const QString& title,
                                        const QString& filter);

}  // namespace korvath::gui
