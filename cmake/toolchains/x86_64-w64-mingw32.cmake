# Cross-compiling the Windows programs on Debian: mingw-w64 with POSIX threads (its
# win32-thread flavour lacks std::thread and std::mutex), linked statically so that no
# MinGW DLL has to travel beside the executables.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNIX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNIX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNIX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNIX_MINGW_TRIPLE}-windres)

# Libraries and headers come from the mingw sysroot only; build tools (glslang, spirv-val)
# from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TARNIX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
