# The toolchain Qt for Windows is built with (scripts/qt-mingw.sh): Debian's
# mingw-w64 compilers with the posix thread model. The script copies it into
# the Qt prefix, whose qt.toolchain.cmake then loads it by a relative path.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER  ${_mingw}-windres)
set(CMAKE_AR           /usr/bin/${_mingw}-ar     CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${_mingw}-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP        /usr/bin/${_mingw}-strip  CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
