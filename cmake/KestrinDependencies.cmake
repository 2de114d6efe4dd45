# The libraries the engine calls, all from Debian packages (tools/setup.sh installs them).
find_package(PkgConfig REQUIRED)
find_package(SDL2 CONFIG REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(ZLIB REQUIRED)
find_package(Boost REQUIRED)
find_package(Threads REQUIRED)
# The X11 side of SDL windows (the focus when a window is shown).
find_package(X11 REQUIRED)
pkg_check_modules(KDEPS REQUIRED IMPORTED_TARGET
  freetype2 fontconfig dbus-1
  vorbisfile vorbis ogg lua5.1)
# FFmpeg is loaded with dlopen by the first movie (GRAPHICS/Platform/FfmpegLibrary): only its
# headers are used at build time.
pkg_check_modules(FFMPEG REQUIRED
  libavformat libavcodec libswscale libswresample libavutil)

add_library(kestrin_deps INTERFACE)
target_link_libraries(kestrin_deps INTERFACE
  SDL2::SDL2 PNG::PNG JPEG::JPEG ZLIB::ZLIB Boost::headers PkgConfig::KDEPS Threads::Threads X11::X11 rt dl)
target_include_directories(kestrin_deps INTERFACE ${FFMPEG_INCLUDE_DIRS})
