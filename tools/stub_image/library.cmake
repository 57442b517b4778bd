# The image library: reads, lays out and writes PE images. Used by velkorin-stub-image and by the
# builder (also in its Windows build, which includes this file on its own).
add_library(velkorin_stubimage STATIC ${VELKORIN_ROOT}/tools/stub_image/pe_image.cpp
  ${VELKORIN_ROOT}/tools/stub_image/shipped_image.cpp)
target_include_directories(velkorin_stubimage PUBLIC ${VELKORIN_ROOT}/tools/stub_image ${VELKORIN_ROOT}/src)
target_link_libraries(velkorin_stubimage PUBLIC ZLIB::ZLIB)
