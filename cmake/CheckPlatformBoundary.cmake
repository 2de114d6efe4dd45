# Fails when a source outside a Platform/ folder includes a platform header
# (SDL, FreeType, fontconfig, FFmpeg, sockets or other POSIX-only headers).
file(GLOB_RECURSE sources
  ${SOURCE_DIR}/Classes/*.cpp ${SOURCE_DIR}/Classes/*.h
  ${SOURCE_DIR}/babel/*.cpp ${SOURCE_DIR}/babel/*.h
  ${SOURCE_DIR}/Application/*.cpp ${SOURCE_DIR}/Application/*.h)
set(forbidden "^[ \t]*#[ \t]*include[ \t]*[<\"](SDL[^>\"]*|ft2build\\.h|freetype/[^>\"]*|fontconfig/[^>\"]*|libav[a-z]*/[^>\"]*|libsw[a-z]*/[^>\"]*|unistd\\.h|fcntl\\.h|dirent\\.h|poll\\.h|netdb\\.h|semaphore\\.h|pthread\\.h|dlfcn\\.h|spawn\\.h|sys/[^>\"]*|netinet/[^>\"]*|arpa/[^>\"]*|X11/[^>\"]*|dbus/[^>\"]*|windows\\.h)[>\"]")
set(bad "")
foreach(f ${sources})
  if(f MATCHES "/Platform/")
    continue()
  endif()
  file(STRINGS ${f} lines REGEX "#[ \t]*include")
  foreach(line ${lines})
    if(line MATCHES "${forbidden}")
      string(APPEND bad "\n  ${f}: ${line}")
    endif()
  endforeach()
endforeach()
if(bad)
  message(FATAL_ERROR "platform headers included outside a Platform/ folder:${bad}")
endif()
message(STATUS "platform boundary clean (${CMAKE_CURRENT_LIST_FILE})")
