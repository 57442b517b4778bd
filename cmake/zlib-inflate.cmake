# The inflate-only zlib linked into the stub, compiled from Debian's zlib source (fetched by
# scripts/setup.sh). Z_SOLO: no C library; the stub supplies the allocator.
set(VELKORIN_ZLIB_DIR "${VELKORIN_ROOT}/third_party/zlib-src" CACHE PATH "zlib source folder")
if(NOT EXISTS "${VELKORIN_ZLIB_DIR}/inflate.c")
  message(FATAL_ERROR "zlib source not found in ${VELKORIN_ZLIB_DIR}: run scripts/setup.sh first")
endif()
add_library(zlib_inflate STATIC
  ${VELKORIN_ZLIB_DIR}/adler32.c ${VELKORIN_ZLIB_DIR}/inflate.c ${VELKORIN_ZLIB_DIR}/inftrees.c
  ${VELKORIN_ZLIB_DIR}/inffast.c ${VELKORIN_ZLIB_DIR}/zutil.c)
target_include_directories(zlib_inflate SYSTEM PUBLIC ${VELKORIN_ZLIB_DIR})
target_compile_definitions(zlib_inflate PUBLIC Z_SOLO NO_GZIP)
# The fixed Huffman tables are built at run time instead of stored: 1.5 KB less in the image.
# (Built once, unguarded: fine, since only one thread of the stub inflates at any time.)
target_compile_definitions(zlib_inflate PRIVATE BUILDFIXED)
target_compile_options(zlib_inflate PRIVATE -Os -w)
# The inflater stays at -Os throughout: its inner loop at -O2 inflates a realistic mixture about
# 12 % faster under Wine (bench/inflate-speed.sh), but costs a 512-byte page of the image, which
# the publisher's icon images need more.
