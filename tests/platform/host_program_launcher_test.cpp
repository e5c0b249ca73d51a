// Starting programs on this machine: what counts as a normal file, and that
// a start which cannot happen is reported.

#include <QTemporaryDir>
#include <QTest>
#include <QFile>

#include "platform/host_program_launcher.h"

using korvath::platform::HostProgramLauncher;

namespace {
std::u16string U(const QString& text) { return text.toStdU16String(); }
}  // namespace

class HostProgramLauncherTest : public QObject {
  Q_OBJECT

 private slots:
  void normalFilesOnly() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("MSINFO32.EXE")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    HostProgramLauncher launcher;
    QVERIFY(launcher.IsNormalFile(U(file.fileName())));
    QVERIFY(!launcher.IsNormalFile(U(dir.path())));
    QVERIFY(!launcher.IsNormalFile(U(dir.filePath(QStringLiteral("missing")))));
  }

#ifndef _WIN32
  void startsProgramsAndReportsFailures() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A file that is there but is no program cannot be started.
    QFile text(dir.filePath(QStringLiteral("notes.txt")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a program\n");
    text.close();
    // A program that leaves a mark, to show it really ran.
    const QString mark = dir.filePath(QStringLiteral("ran"));
    QFile script(dir.filePath(QStringLiteral("tool")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(mark).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    HostProgramLauncher launcher;
    QVERIFY(!launcher.Start(U(dir.filePath(QStringLiteral("missing")))));
    QVERIFY(!launcher.Start(U(text.fileName())));
    QVERIFY(launcher.Start(U(script.fileName())));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(mark), 10000);
  }
#endif
};

QTEST_APPLESS_MAIN(HostProgramLauncherTest)
#include "host_program_launcher_test.moc"
