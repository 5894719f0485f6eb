# Cross build for 64-bit Windows with Debian's mingw-w64 toolchain (the POSIX
# thread model, which std::thread and std::mutex need with GCC 12).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# Test programs run under Wine when CMake or CTest needs to run them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZINDRA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZINDRA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZINDRA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZINDRA_MINGW_TRIPLET}-windres)

# Libraries and packages come from the mingw sysroot and from prefixes the
# caller adds (GoogleTest built for the target), never from the build host.
set(CMAKE_FIND_ROOT_PATH /usr/${ZINDRA_MINGW_TRIPLET} ${ZINDRA_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained programs: no libstdc++, libgcc or winpthread DLLs to ship
# next to them or to find under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(ZINDRA_WINE NAMES wine64 wine)
if(ZINDRA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZINDRA_WINE})
endif()
