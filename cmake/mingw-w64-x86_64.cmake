# Cross-compiles the Windows programs (64-bit) with Debian's MinGW-w64 GCC,
# posix thread model for std::thread and std::mutex. Use with
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TRX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TRX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TRX_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TRX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and test discovery run the built programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
