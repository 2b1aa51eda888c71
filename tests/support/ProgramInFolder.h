#pragma once

// The real quorvane executable, copied into a test's folder (its settings file and its logs go
// beside it there) and started on the offscreen platform with its event lines on standard output.
#include <QFile>
#include <QProcess>
#include <QString>

namespace quorvane::fakes {

// The settings file the copy reads: the folder's "quorvane.INI".
inline QString SettingsFileIn(const QString& folder)
{
    return folder + "/quorvane.INI";
}

// Copies the program into `folder` and starts it there; false when it could not be started.
inline bool StartProgramIn(QProcess& quorvane, const QString& folder, int startLimitMs)
{
    const QString program = folder + "/quorvane";
    if (!QFile::copy(QUORVANE_EXECUTABLE, program))
        return false;
    QFile::setPermissions(program, QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
    quorvane.setWorkingDirectory(folder);
    quorvane.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QUORVANE_ECHO_MEMO", "1");
    quorvane.setProcessEnvironment(environment);
    quorvane.start(program, {});
    return quorvane.waitForStarted(startLimitMs);
}

} // namespace quorvane::fakes
