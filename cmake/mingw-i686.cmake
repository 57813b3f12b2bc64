# Cross build for 32-bit Windows with Debian's MinGW-w64. The Win32-thread compilers:
# their runtime needs nothing newer than Windows XP (the POSIX-thread one needs
# Vista's GetTickCount64) and is smaller. The program and its tests use the same.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(WIZARD_ARCH x86 CACHE STRING "Target architecture name used for dist/ and the manifest")
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
