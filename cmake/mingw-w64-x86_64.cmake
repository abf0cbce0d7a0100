# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads flavour) and runs
# the resulting programs under Wine, so that ctest in the build folder runs the Windows tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QELT_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QELT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QELT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QELT_MINGW_TRIPLET}-windres)

# Libraries, headers and packages come from the mingw sysroot only, never from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QELT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static executables: no libstdc++, libgcc or winpthread DLL needs to travel with them.
# A library found as a file (odbc32, say) makes CMake switch the linker back to dynamic after
# it; ending the link line static keeps the compiler's own libraries static as well.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_LINK_SEARCH_END_STATIC ON)

find_program(QELT_WINE_PROGRAM wine)
if(QELT_WINE_PROGRAM)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QELT_WINE_PROGRAM})
endif()
