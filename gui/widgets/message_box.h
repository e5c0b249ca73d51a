#pragma once
// The program's message box and open-file dialog, as every window shows
// them.

#include <QMessageBox>
#include <QString>
#include <optional>

namespace korvath::gui {

// A modal message box with an OK button, titled with the application's name;
// `informative`, when given, below the text.
void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                    const QString& informative = {});

// What to do when the pathdef file cannot be read: the file looked for
// (`pathdefFile` made absolute; empty when none is set) and where to set it.
QString PathdefHelp(const QString& pathdefFile);

// An Open dialog; nullopt when the user cancels.
std::optional<QString> ChooseFileToOpen(QWidget* parent, const QString& title,
                                        const QString& filter);

}  // namespace korvath::gui
