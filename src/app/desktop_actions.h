#pragma once

#include <QString>
#include <QStringList>
#include <string>

class QDBusConnection;
class QWidget;

namespace torvane::app {

// mplayer's arguments for a file it shows in a window of its own. mplayer chooses its own video
// and audio outputs; subtitle files found beside the file are read as CP949, the encoding Korean
// subtitles come in.
QStringList playerArguments(const std::string& path);

// Plays a file with a picture in mplayer (program folder first, then PATH) and returns at once:
// the player's own window shows and ends it, and it is never waited for. Files without a
// picture play in AudioPlayerWindow instead. False when mplayer is missing or could not be
// started.
bool playFile(const std::string& programFolder, const std::string& path);

// Opens the folder in the desktop's file manager; the empty text opens the home folder.
// False when the folder does not exist, nothing could be started, or the opener said at once
// that it could not open it.
bool openFolder(const std::string& folder);

// openFolder, and a message naming the folder when it could not be opened.
void openFolderOrSay(QWidget* parent, const std::string& folder);

// Hands a file or a web address to the desktop's handler for it (xdg-open: the browser for an
// address, the package installer for a package) without waiting. False when nothing started.
bool openWithDesktop(const QString& fileOrAddress);

// Opens the file's folder with the file selected (the file manager's D-Bus ShowItems), or just
// the folder when no file manager answers there. False when nothing could be started.
bool showFileInFileManager(const std::string& file);

// Asks org.freedesktop.FileManager1 on that bus to show the file; true when it answered.
bool showItemsOverBus(const QDBusConnection& bus, const std::string& file);

}  // namespace torvane::app
