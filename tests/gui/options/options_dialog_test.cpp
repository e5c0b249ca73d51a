// The options dialog: pages, the list of groups, OK and Cancel.

#include <QtTest>
#include <QtWidgets>

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

 private slots:
  // Entries a, b, "", c, d, e; only g1 is wholly shown.
  void init() {
    settings_.discards = session::ParseDiscardList(
        {u"a", u"%G1", u"b", u"", u"%", u"c", u"%g1", u"d", u"%G1 ", u"e"});
    for (std::size_t d = 1; d < settings_.discards.size(); ++d) settings_.discards[d].show = d % 2;
    settings_.pathdefFile = kPathdef.toStdU16String();
  }

  // Only the selected page is enabled; selecting File types lists every group
  // afresh. A cancelled pick keeps the last file picked, or empties the path.
  void ctrlTabPagesAndLocate() {
    OptionsDialog dialog(settings_);
    std::optional<QString> answer;
    QString filter;
    dialog.setFileChooser([&](QWidget*, const QString&, const QString& asked) {
      filter = asked;
      return answer;
    });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(dialog.txtMatlabDirectory, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(dialog.tbsOptions->currentIndex(), 1);
    QCOMPARE(dialog.txtTypes->toPlainText(), kGroupList);
    dialog.txtTypes->setPlainText(QStringLiteral("edited"));
    for (int page : {2, 0, 1}) {
      QTest::keyClick(&dialog, Qt::Key_Tab, Qt::ControlModifier);
      QCOMPARE(dialog.tbsOptions->currentIndex(), page);
      for (int i = 0; i < 3; ++i) QCOMPARE(dialog.picOptions[i]->isEnabled(), i == page);
    }
    QCOMPARE(dialog.txtTypes->toPlainText(), kGroupList);
    QTest::keyClick(&dialog, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(dialog.tbsOptions->currentIndex(), 1);
    dialog.tbsOptions->setCurrentIndex(0);  // the path box's page, enabled
    QCOMPARE(dialog.txtMatlabDirectory->text(), kPathdef);
    dialog.cmdLocate->click();
    QCOMPARE(filter, QStringLiteral("pathdef.m (pathdef.m);;All Files (*.*)"));
    QCOMPARE(dialog.txtMatlabDirectory->text(), QString());
    answer = QStringLiteral("/x/pathdef.m");
    dialog.cmdLocate->click();
    answer.reset();
    dialog.txtMatlabDirectory->setText(QStringLiteral("typed"));
    dialog.cmdLocate->click();
    QCOMPARE(dialog.txtMatlabDirectory->text(), QStringLiteral("/x/pathdef.m"));
  }

  // OK takes the path as typed (a run trims it) and shows the groups listed,
  // unvisited: those wholly shown at opening. Cancel and Esc change nothing.
  // Every way closes and deletes the dialog.
  void onlyOkAppliesThePathAndTheListedGroups_data() {
    QTest::addColumn<QString>("button");  // or "Esc"
    QTest::addColumn<bool>("visitList");
    QTest::addColumn<QString>("typed");  // null: the list as filled
    QTest::addColumn<Flags>("shown");
    const Flags before{true, false, true, false, true, false};
    QTest::newRow("OK, list as filled") << "cmdOK" << true << QString() << Flags(6, true);
    QTest::newRow("OK, list never filled")
        << "cmdOK" << false << QString() << Flags{false, false, false, false, true, false};
    // "G1" without its line end still counts; the unnamed group is gone.
    QTest::newRow("OK, list edited")
        << "cmdOK" << false << "g1\nG1" << Flags{false, true, true, false, true, false};
    QTest::newRow("Cancel") << "cmdCancel" << true << "edited" << before;
    QTest::newRow("Esc") << "Esc" << true << "edited" << before;
  }
  void onlyOkAppliesThePathAndTheListedGroups() {
    QFETCH(QString, button);
    QFETCH(bool, visitList);
    QFETCH(QString, typed);
    QFETCH(Flags, shown);
    QPointer<OptionsDialog> dialog = new OptionsDialog(settings_);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    dialog->txtMatlabDirectory->setText(QStringLiteral(" /new/p.m "));
    if (visitList) dialog->tbsOptions->setCurrentIndex(1);
    if (!typed.isNull()) dialog->txtTypes->setPlainText(typed);
    if (button == "Esc")
      QTest::keyClick(dialog, Qt::Key_Escape);
    else
      dialog->findChild<QPushButton*>(button)->click();
    Flags flags;
    for (std::size_t d = 1; d < settings_.discards.size(); ++d) flags << settings_.discards[d].show;
    QCOMPARE(flags, shown);
    QCOMPARE(QString::fromStdU16String(settings_.pathdefFile),
             button == "cmdOK" ? QStringLiteral(" /new/p.m ") : kPathdef);
    QTRY_VERIFY(dialog.isNull());
  }

  // The resolution mode: its box on the third page shows the session's mode,
  // the second box is usable only with it, and only OK applies them.
  void resolutionBoxesApplyOnOkOnly_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("matlab");
    QTest::addColumn<bool>("possible");
    QTest::addColumn<bool>("matlabAfter");
    QTest::addColumn<bool>("possibleAfter");
    QTest::newRow("OK, MATLAB on") << "cmdOK" << true << false << true << false;
    QTest::newRow("OK, both on") << "cmdOK" << true << true << true << true;
    QTest::newRow("OK, both off") << "cmdOK" << false << false << false << false;
    QTest::newRow("Cancel keeps the session's") << "cmdCancel" << false << true << true << true;
  }
  void resolutionBoxesApplyOnOkOnly() {
    QFETCH(QString, button);
    QFETCH(bool, matlab);
    QFETCH(bool, possible);
    QFETCH(bool, matlabAfter);
    QFETCH(bool, possibleAfter);
    settings_.resolution = session::ResolutionMode::Matlab;
    settings_.possibleCalls = true;
    QPointer<OptionsDialog> dialog = new OptionsDialog(settings_);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->chkMatlabResolution->text(), QStringLiteral("Resolve names as MATLAB does"));
    QVERIFY(dialog->chkMatlabResolution->isChecked());
    QVERIFY(dialog->chkPossibleCalls->isChecked());
    dialog->tbsOptions->setCurrentIndex(2);
    dialog->chkMatlabResolution->setChecked(matlab);
    QCOMPARE(dialog->chkPossibleCalls->isEnabled(), matlab);
    dialog->chkPossibleCalls->setChecked(possible);
    dialog->findChild<QPushButton*>(button)->click();
    QCOMPARE(settings_.resolution == session::ResolutionMode::Matlab, matlabAfter);
    QCOMPARE(settings_.possibleCalls, possibleAfter);
    QTRY_VERIFY(dialog.isNull());
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::OptionsDialogTest)
#include "options_dialog_test.moc"
