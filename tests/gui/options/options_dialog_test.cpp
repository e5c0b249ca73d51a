// The options dialog: pages, the list of groups, OK and Cancel.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "gui/options/options_dialog.h"

namespace korvath {
namespace {

DiscardTable SampleDiscards() {
  DiscardTable t = EmptyDiscardTable();
  t.push_back({u"a", u"", false});
  t.push_back({u"b", u"G1", false});
  t.push_back({u"", u"G1", false});
  t.push_back({u"c", u"", false});
  t.push_back({u"d", u"g1", false});
  t.push_back({u"e", u"G1 ", false});
  return t;
}

std::vector<bool> ShowFlags(const EngineState& state) {
  std::vector<bool> flags;
  for (std::size_t d = 1; d < state.Discards.size(); ++d) flags.push_back(state.Discards[d].Show);
  return flags;
}

}  // namespace

class OptionsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    state_ = EngineState{};
    state_.Discards = SampleDiscards();
    state_.PathdefFile = u"/opt/m/toolbox/local/pathdef.m";
  }

  void exactlyTheSelectedPageIsEnabled() {
    auto* dialog = new OptionsDialog(state_);
    dialog->show();
    QCOMPARE(dialog->tbsOptions->currentIndex(), 0);
    QVERIFY(dialog->picOptions[0]->isEnabled());
    dialog->tbsOptions->setCurrentIndex(2);
    QVERIFY(!dialog->picOptions[0]->isEnabled());
    QVERIFY(!dialog->picOptions[1]->isEnabled());
    QVERIFY(dialog->picOptions[2]->isEnabled());
    dialog->close();
  }

  void fileTypesTabListsEachGroupOnceInFirstOrder() {
    auto* dialog = new OptionsDialog(state_);
    dialog->tbsOptions->setCurrentIndex(1);
    // The empty group, "G1", "g1" (case counts) and "G1 " (blank counts).
    QCOMPARE(dialog->txtTypes->toPlainText(), QStringLiteral("\nG1\ng1\nG1 \n"));
    // Unconfirmed edits are thrown away when the tab is selected again.
    dialog->txtTypes->setPlainText(QStringLiteral("edited"));
    dialog->tbsOptions->setCurrentIndex(0);
    dialog->tbsOptions->setCurrentIndex(1);
    QCOMPARE(dialog->txtTypes->toPlainText(), QStringLiteral("\nG1\ng1\nG1 \n"));
    dialog->close();
  }

  void ctrlTabWrapsAndCtrlShiftTabDoesNothing() {
    auto* dialog = new OptionsDialog(state_);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    dialog->txtMatlabDirectory->setFocus();
    QTest::keyClick(dialog->txtMatlabDirectory, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(dialog->tbsOptions->currentIndex(), 1);
    QCOMPARE(dialog->txtTypes->toPlainText(), QStringLiteral("\nG1\ng1\nG1 \n"));
    QTest::keyClick(dialog, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(dialog->tbsOptions->currentIndex(), 2);
    QTest::keyClick(dialog, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(dialog->tbsOptions->currentIndex(), 0);
    QTest::keyClick(dialog, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(dialog->tbsOptions->currentIndex(), 0);
    dialog->close();
  }

  void okWithTheListAsFilledShowsEverything() {
    auto* dialog = new OptionsDialog(state_);
    dialog->tbsOptions->setCurrentIndex(1);
    dialog->cmdOK->click();
    QCOMPARE(ShowFlags(state_), (std::vector<bool>{true, true, true, true, true, true}));
  }

  void okAppliesOnlyTheListedGroups() {
    auto* dialog = new OptionsDialog(state_);
    dialog->txtMatlabDirectory->setText(QStringLiteral("  /new/toolbox/pathdef.m "));
    // "G1" without its line end still counts; the empty group is gone.
    dialog->txtTypes->setPlainText(QStringLiteral("g1\nG1"));
    dialog->cmdOK->click();
    QCOMPARE(ShowFlags(state_), (std::vector<bool>{false, true, true, false, true, false}));
    // Taken as typed: the run trims it later.
    QVERIFY(state_.PathdefFile == u"  /new/toolbox/pathdef.m ");
  }

  void okWithoutVisitingTheListHidesEveryGroup() {
    for (std::size_t d = 1; d < state_.Discards.size(); ++d) state_.Discards[d].Show = true;
    auto* dialog = new OptionsDialog(state_);
    dialog->cmdOK->click();
    QCOMPARE(ShowFlags(state_), (std::vector<bool>(6, false)));
  }

  void cancelAndEscapeChangeNothing() {
    auto* dialog = new OptionsDialog(state_);
    dialog->show();
    dialog->txtMatlabDirectory->setText(QStringLiteral("/elsewhere"));
    dialog->tbsOptions->setCurrentIndex(1);
    dialog->cmdCancel->click();
    QVERIFY(state_.PathdefFile == u"/opt/m/toolbox/local/pathdef.m");
    QCOMPARE(ShowFlags(state_), (std::vector<bool>(6, false)));

    QPointer<OptionsDialog> again = new OptionsDialog(state_);
    again->show();
    QVERIFY(QTest::qWaitForWindowExposed(again));
    again->txtMatlabDirectory->setText(QStringLiteral("/elsewhere"));
    QTest::keyClick(again, Qt::Key_Escape);
    QVERIFY(state_.PathdefFile == u"/opt/m/toolbox/local/pathdef.m");
    QTRY_VERIFY(again.isNull());  // closed and discarded
  }

  void locateCancelRestoresTheLastPickOrEmpties() {
    auto* dialog = new OptionsDialog(state_);
    std::optional<QString> answer;
    QString title;
    QString filter;
    dialog->SetFileChooser([&](QWidget*, const QString& t, const QString& f) {
      title = t;
      filter = f;
      return answer;
    });
    QCOMPARE(dialog->txtMatlabDirectory->text(), QStringLiteral("/opt/m/toolbox/local/pathdef.m"));
    dialog->cmdLocate->click();
    QCOMPARE(title, QStringLiteral("Please locate the pathdef.m file"));
    QCOMPARE(filter, QStringLiteral("pathdef.m (pathdef.m);;All Files (*.*)"));
    QCOMPARE(dialog->txtMatlabDirectory->text(), QString());
    answer = QStringLiteral("/x/toolbox/local/pathdef.m");
    dialog->cmdLocate->click();
    answer.reset();
    dialog->txtMatlabDirectory->setText(QStringLiteral("typed"));
    dialog->cmdLocate->click();
    QCOMPARE(dialog->txtMatlabDirectory->text(), QStringLiteral("/x/toolbox/local/pathdef.m"));
    dialog->close();
  }

  void aReopenedDialogShowsTheCurrentLocation() {
    auto* first = new OptionsDialog(state_);
    first->txtMatlabDirectory->setText(QStringLiteral("/chosen/toolbox/local/pathdef.m"));
    first->cmdOK->click();
    auto* second = new OptionsDialog(state_);
    QCOMPARE(second->txtMatlabDirectory->text(), QStringLiteral("/chosen/toolbox/local/pathdef.m"));
    second->cmdOK->click();
    QVERIFY(state_.PathdefFile == u"/chosen/toolbox/local/pathdef.m");
  }

 private:
  EngineState state_;
};

}  // namespace korvath

QTEST_MAIN(korvath::OptionsDialogTest)
#include "options_dialog_test.moc"
