# The Debian package scripts/package.sh makes with CPack: what `cmake --install` lays out,
# under /usr, with the dependencies dpkg-shlibdeps reads from the binaries plus the programs
# and libraries Torvane starts or loads at run time, which no binary names.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Torvane)
set(CPACK_PACKAGE_CONTACT "${TORVANE_PACKAGE_MAINTAINER}")
# The install scripts run with DESTDIR, so CMAKE_INSTALL_PREFIX is /usr in them as on the
# installed system (the subtitle font's link is computed from it).
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Folders made for the package are 0755 whatever the umask of the one who builds it.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TORVANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://torvane.kr)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Started as programs: the encoders, the player (preview and "재생"). Loaded with dlopen: the
# MediaInfo library, and the libav libraries flashgrab decodes Flash video and PNG/GIF bitmaps with
# (Debian names their packages by major version). Read at run time: the Hangul font the window and
# subtitles are drawn with, Qt's own Korean texts, and the helper process Qt's browser view runs
# the web panels in.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TORVANE_PACKAGE_AV REQUIRED libavcodec libavutil libswscale)
set(av_packages "")
foreach(library libavcodec libavutil libswscale)
  string(REGEX MATCH "^[0-9]+" major "${TORVANE_PACKAGE_AV_${library}_VERSION}")
  string(APPEND av_packages ", ${library}${major}")
endforeach()
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "ffmpeg, mencoder, mplayer, libmediainfo0v5${av_packages}, fonts-nanum, qt6-translations-l10n, libqt6webenginecore6-bin")
# Opening folders and pages in the desktop's programs, and finding the Documents folder; the
# sans-serif font Flash movies' device-font text is measured against (without it the text is drawn
# in the system's own sans-serif, a few pixels off).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, xdg-user-dirs, fonts-noto-core")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video and audio converter with a Korean user interface")
# The long description; CPack puts the summary above it and turns the empty line into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Torvane converts video and audio files with ffmpeg and mencoder, from
presets for file formats, special functions such as sound extraction,
and devices such as phones, TVs and game consoles. For every file of its
list it builds the encoder's command line, follows its progress, checks
the output and publishes it without overwriting anything.

The package holds the window (torvane) and a command-line front end
(torvane-cli) for scripts and batch jobs spread over several machines.")

include(CPack)
