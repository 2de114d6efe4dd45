# The libraries the engine calls, all from Debian packages (tools/setup.sh installs them).
find_package(PkgConfig REQUIRED)
find_package(SDL2 CONFIG REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(ZLIB REQUIRED)
find_package(Boost REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(KDEPS REQUIRED IMPORTED_TARGET
  freetype2 fontconfig
  libavformat libavcodec libswscale libswresample libavutil
  vorbisfile vorbis ogg lua5.1)

add_library(kestrin_deps INTERFACE)
target_link_libraries(kestrin_deps INTERFACE
  SDL2::SDL2 PNG::PNG JPEG::JPEG ZLIB::ZLIB Boost::headers PkgConfig::KDEPS Threads::Threads rt dl)
