// Starting the user's editor for real: VISUAL before EDITOR, and a program
// that cannot start named with the system's reason.

#include <QtTest>

#include "gui/editor_launcher.h"

namespace korvath::gui {

class EditorLauncherTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

 private slots:
  void startsTheEditorOrSaysWhyNot_data() {
    QVERIFY(dir_.isValid());
    // A file that exists but may not be run.
    const QString plain = dir_.filePath("plain");
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QTest::addColumn<QString>("visual");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("failure");  // empty: it starts
    QTest::newRow("VISUAL missing")
        << "/nonexistent"
        << "true"
        << "Cannot start the editor /nonexistent (from VISUAL): No such "
           "file or directory";
    QTest::newRow("EDITOR missing, with arguments")
        << ""
        << "/nonexistent/ed -w"
        << "Cannot start the editor /nonexistent/ed (from EDITOR): No such file or directory";
    QTest::newRow("EDITOR not a program")
        << "" << plain
        << QStringLiteral("Cannot start the editor %1 (from EDITOR): Permission denied").arg(plain);
    QTest::newRow("EDITOR starts") << ""
                                   << "true"
                                   << "";
  }
  void startsTheEditorOrSaysWhyNot() {
    QFETCH(QString, visual);
    QFETCH(QString, editor);
    QFETCH(QString, failure);
    qputenv("VISUAL", visual.toLocal8Bit());
    qputenv("EDITOR", editor.toLocal8Bit());
    const platform::Result opened = OpenInEditor(QStringLiteral("/work/main.m"), 3);
    QCOMPARE(QString::fromStdString(opened.description), failure);
    QCOMPARE(opened.ok(), failure.isEmpty());
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::EditorLauncherTest)
#include "editor_launcher_test.moc"
