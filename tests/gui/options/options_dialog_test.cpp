// The options dialog: pages, the list of groups, OK and Cancel.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "gui/options/options_dialog.h"
#include "session/discard_list.h"

namespace korvath::gui {

using Flags = QList<bool>;

class OptionsDialogTest : public QObject {
  Q_OBJECT

  // Groups "", "G1", "g1" and "G1 ": case and blanks count.
  const QString kGroupList = QStringLiteral("\nG1\ng1\nG1 \n");
  const QString kPathdef = QStringLiteral("/opt/m/toolbox/local/pathdef.m");
  session::Settings settings_;

  Flags ShowFlags() const {
    Flags flags;
    for (std::size_t d = 1; d < settings_.discards.size(); ++d) flags << settings_.discards[d].show;
    return flags;
  }

 private slots:
  void init() {
    settings_ = session::Settings{};
    settings_.discards = session::ParseDiscardList(
        {u"a", u"%G1", u"b", u"", u"%", u"c", u"%g1", u"d", u"%G1 ", u"e"});
    settings_.pathdefFile = kPathdef.toStdU16String();
  }

  // Exactly the selected page is enabled. The File types page lists each
  // group once whenever it is selected, dropping edits OK did not confirm.
  void ctrlTabWrapsEnablesThePageAndRefillsTheList() {
    OptionsDialog dialog(settings_);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* path = dialog.findChild<QLineEdit*>("txtMatlabDirectory");
    auto* types = dialog.findChild<QPlainTextEdit*>("txtTypes");
    path->setFocus();
    QTest::keyClick(path, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(dialog.tbsOptions->currentIndex(), 1);
    QCOMPARE(types->toPlainText(), kGroupList);
    types->setPlainText(QStringLiteral("edited"));
    for (int page : {2, 0, 1}) {
      QTest::keyClick(&dialog, Qt::Key_Tab, Qt::ControlModifier);
      QCOMPARE(dialog.tbsOptions->currentIndex(), page);
      for (int i = 0; i < 3; ++i) QCOMPARE(dialog.picOptions[i]->isEnabled(), i == page);
    }
    QCOMPARE(types->toPlainText(), kGroupList);
    QTest::keyClick(&dialog, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(dialog.tbsOptions->currentIndex(), 1);
  }

  // OK shows the groups listed on the File types page, whether visited or
  // not; unvisited, the list holds the groups wholly shown when the dialog
  // opened. The path is taken as typed (a run trims it).
  void okAppliesThePathAndTheListedGroups_data() {
    QTest::addColumn<bool>("visitList");
    QTest::addColumn<QString>("typed");  // null: the list as filled
    QTest::addColumn<Flags>("shown");    // entries a, b, "", c, d, e
    QTest::newRow("list as filled") << true << QString() << Flags(6, true);
    QTest::newRow("list never filled: shown groups kept") << false << QString()
                                                          << Flags{false, false, false, false, true, false};
    // "G1" without its line end still counts; the unnamed group is gone.
    QTest::newRow("list edited") << false << QStringLiteral("g1\nG1")
                                 << Flags{false, true, true, false, true, false};
  }
  void okAppliesThePathAndTheListedGroups() {
    QFETCH(bool, visitList);
    QFETCH(QString, typed);
    QFETCH(Flags, shown);
    for (std::size_t d = 1; d < settings_.discards.size(); ++d) settings_.discards[d].show = d % 2;
    auto* dialog = new OptionsDialog(settings_);
    dialog->findChild<QLineEdit*>("txtMatlabDirectory")->setText(QStringLiteral(" /new/p.m "));
    if (visitList) dialog->tbsOptions->setCurrentIndex(1);
    if (!typed.isNull()) dialog->findChild<QPlainTextEdit*>("txtTypes")->setPlainText(typed);
    dialog->findChild<QPushButton*>("cmdOK")->click();
    QCOMPARE(ShowFlags(), shown);
    QVERIFY(settings_.pathdefFile == u" /new/p.m ");
  }

  void cancelAndEscapeChangeNothingAndCloseTheDialog_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel") << false;
    QTest::newRow("Esc") << true;
  }
  void cancelAndEscapeChangeNothingAndCloseTheDialog() {
    QFETCH(bool, escape);
    QPointer<OptionsDialog> dialog = new OptionsDialog(settings_);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    dialog->findChild<QLineEdit*>("txtMatlabDirectory")->setText(QStringLiteral("/elsewhere"));
    dialog->tbsOptions->setCurrentIndex(1);
    if (escape) {
      QTest::keyClick(dialog, Qt::Key_Escape);
    } else {
      dialog->findChild<QPushButton*>("cmdCancel")->click();
    }
    QCOMPARE(QString::fromStdU16String(settings_.pathdefFile), kPathdef);
    QCOMPARE(ShowFlags(), Flags(6, false));
    QTRY_VERIFY(dialog.isNull());
  }

  void locateCancelKeepsTheLastPickOrEmpties() {
    OptionsDialog dialog(settings_);
    std::optional<QString> answer;
    QStringList asked;
    dialog.setFileChooser([&](QWidget*, const QString& title, const QString& filter) {
      asked = {title, filter};
      return answer;
    });
    auto* path = dialog.findChild<QLineEdit*>("txtMatlabDirectory");
    QCOMPARE(path->text(), kPathdef);
    dialog.cmdLocate->click();
    QCOMPARE(asked, (QStringList{"Please locate the pathdef.m file",
                                 "pathdef.m (pathdef.m);;All Files (*.*)"}));
    QCOMPARE(path->text(), QString());
    answer = QStringLiteral("/x/pathdef.m");
    dialog.cmdLocate->click();
    answer.reset();
    path->setText(QStringLiteral("typed"));
    dialog.cmdLocate->click();
    QCOMPARE(path->text(), QStringLiteral("/x/pathdef.m"));
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::OptionsDialogTest)
#include "options_dialog_test.moc"
