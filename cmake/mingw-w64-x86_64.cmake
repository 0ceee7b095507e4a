# Cross-compiles the Qt-free modules for 64-bit Windows with Debian's
# mingw-w64 (the posix thread model, which std::thread and std::mutex need).
#   cmake -S . -B build-win -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The programs run under Wine; scripts/wine-tests does that.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(corvexa_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${corvexa_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${corvexa_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${corvexa_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${corvexa_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Package files of header-only Linux packages (CLI11, nlohmann-json) are
# found too; cmake/WindowsBuild.cmake keeps /usr/include itself out.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# The programs carry the compiler's run-time libraries inside, so a test
# runs from any folder without DLLs copied next to it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(CORVEXA_WINE NAMES wine64 wine)
if(CORVEXA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CORVEXA_WINE})
endif()
