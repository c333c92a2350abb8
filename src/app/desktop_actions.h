#pragma once

#include <QString>
#include <QStringList>
#include <string>

class QDBusConnection;

namespace torvane::app {

// Whether the player gets a terminal: audio-only files open no player window, so the terminal
// is the only place to see and stop the playback.
enum class PlayerConsole { None, Terminal };

// A program and its arguments, started without a shell.
struct ProgramLaunch {
    QString program;
    QStringList arguments;
};

// mplayer's arguments for one file. mplayer chooses its own video and audio outputs; subtitle
// files found beside the file are read as CP949, the encoding Korean subtitles come in.
QStringList playerArguments(const std::string& path, PlayerConsole console);

// How the player at mplayerPath is started for the file: inside the terminal emulator when
// terminalPath is not empty (x-terminal-emulator -e, Debian's convention), else on its own.
ProgramLaunch playerLaunch(const QString& mplayerPath, const std::string& path, const QString& terminalPath);

// Plays the file with mplayer (program folder first, then PATH) and returns at once: the player
// runs on its own and is never waited for. showConsole runs it in a terminal when there is one.
// False when mplayer is missing or could not be started.
bool playFile(const std::string& programFolder, const std::string& path, bool showConsole);

// Opens the folder in the desktop's file manager; the empty text opens the home folder.
// False when the folder does not exist or nothing could be started.
bool openFolder(const std::string& folder);

// Hands a file or a web address to the desktop's handler for it (xdg-open: the browser for an
// address, the package installer for a package) without waiting. False when nothing started.
bool openWithDesktop(const QString& fileOrAddress);

// Opens the file's folder with the file selected (the file manager's D-Bus ShowItems), or just
// the folder when no file manager answers there. False when nothing could be started.
bool showFileInFileManager(const std::string& file);

// Asks org.freedesktop.FileManager1 on that bus to show the file; true when it answered.
bool showItemsOverBus(const QDBusConnection& bus, const std::string& file);

}  // namespace torvane::app
