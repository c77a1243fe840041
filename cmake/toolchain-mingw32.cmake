# Cross build for 32-bit Windows with Debian's MinGW-w64 (i686, posix thread model).
#   cmake -S . -B /tmp/build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake -DQV_WINDOWS_DEPS=<prefix>
# QV_WINDOWS_DEPS is the prefix that scripts/prepare-windows-deps.sh prints; the environment
# variable of the same name works too. Test programs run through scripts/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(QV_MINGW_TRIPLET i686-w64-mingw32)
# The plain compilers use the win32 thread model, which lacks std::thread and std::mutex.
set(CMAKE_C_COMPILER ${QV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QV_MINGW_TRIPLET}-windres)

if(NOT QV_WINDOWS_DEPS AND DEFINED ENV{QV_WINDOWS_DEPS})
  set(QV_WINDOWS_DEPS $ENV{QV_WINDOWS_DEPS})
endif()
if(NOT QV_WINDOWS_DEPS)
  message(FATAL_ERROR "Set QV_WINDOWS_DEPS to the prefix made by scripts/prepare-windows-deps.sh")
endif()
set(QV_WINDOWS_DEPS ${QV_WINDOWS_DEPS} CACHE PATH "Dependency prefix for the Windows build")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QV_WINDOWS_DEPS)

# Headers and libraries come only from the MinGW sysroot and the prefix, never from /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${QV_MINGW_TRIPLET} ${QV_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One file per program, no MinGW runtime DLLs to ship: libgcc, libstdc++ and winpthread go in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
