# Toolchain for a 32-bit x86 build on a 64-bit Debian host with g++-multilib:
#   cmake -S . -B build-m32 -DCMAKE_TOOLCHAIN_FILE=cmake/i386.cmake \
#     -DSVGFLT_PAINT=OFF -DSVGFLT_TOOLS=OFF
# With 4-byte pointers the host records' layout checks apply. Only the 32-bit
# C/C++ runtime is installed, so painting (cairo) and the command-line host
# (libpng, libjpeg) stay off; GoogleTest is built from its sources in the tree.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# Floating point in SSE2 registers, as 32-bit x86 hosts build today: x87
# keeps excess precision through float variables and casts (GCC's C++ has no
# -fexcess-precision=standard), so steps meant to round to single precision,
# such as rotation factors, would not.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)

# Look for libraries only where 32-bit ones live (the multiarch folder and
# the multilib one), never in the 64-bit multiarch folder.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu
  /usr/lib/x86_64-linux-gnu/cmake)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/i386-linux-gnu/pkgconfig:/usr/lib32/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
