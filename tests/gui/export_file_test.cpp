// The file a picture export writes: as typed when its suffix names a
// format offered, else with the suffix of the type chosen.

#include <QtTest>

#include "gui/widgets/export_file.h"

namespace korvath::gui {

using session::OutputFormat;

class ExportFileTest : public QObject {
  Q_OBJECT

 private slots:
  void savedFileTakesTheChosenTypesSuffix_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<OutputFormat>("selected");
    QTest::addColumn<QString>("file");
    QTest::addColumn<OutputFormat>("format");
    QTest::newRow("no suffix, svg chosen")
        << "/p/main-graph" << OutputFormat::Svg << "/p/main-graph.svg" << OutputFormat::Svg;
    QTest::newRow("no suffix, png chosen")
        << "/p/main-graph" << OutputFormat::Png << "/p/main-graph.png" << OutputFormat::Png;
    QTest::newRow("the chosen type's suffix")
        << "/p/a.svg" << OutputFormat::Svg << "/p/a.svg" << OutputFormat::Svg;
    QTest::newRow("another offered type's suffix wins")
        << "/p/a.PNG" << OutputFormat::Svg << "/p/a.PNG" << OutputFormat::Png;
    QTest::newRow("a suffix of no type offered")
        << "/p/call.graph" << OutputFormat::Png << "/p/call.graph.png" << OutputFormat::Png;
  }
  void savedFileTakesTheChosenTypesSuffix() {
    QFETCH(QString, typed);
    QFETCH(OutputFormat, selected);
    QFETCH(QString, file);
    QFETCH(OutputFormat, format);
    OutputFormat saved = OutputFormat::Text;
    QCOMPARE(SavedFile(typed, selected, session::PictureExportFormats(), saved), file);
    QCOMPARE(saved, format);
  }
};

}  // namespace korvath::gui

QTEST_MAIN(korvath::gui::ExportFileTest)
#include "export_file_test.moc"
