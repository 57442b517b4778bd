# Builds the stub a second time in a fresh folder and compares the shipped image with the one of
# the build tree: the same sources must give the same bytes.
# -DROOT=source root -DWORK=scratch folder -DTOOL=velkorin-stub-image -DSTUB=shipped image to match
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${ROOT}/src -B ${WORK} -G Ninja
                  -DCMAKE_TOOLCHAIN_FILE=${ROOT}/cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
                OUTPUT_QUIET RESULT_VARIABLE failed)
if(NOT failed)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK} --target velkorin OUTPUT_QUIET RESULT_VARIABLE failed)
endif()
if(NOT failed)
  execute_process(COMMAND ${TOOL} ${WORK}/velkorin-linked.exe ${WORK}/velkorin.exe OUTPUT_QUIET RESULT_VARIABLE failed)
endif()
if(failed)
  message(FATAL_ERROR "the second build failed")
endif()
file(SHA256 "${STUB}" first)
file(SHA256 "${WORK}/velkorin.exe" second)
if(NOT first STREQUAL second)
  message(FATAL_ERROR "two builds gave different images: ${STUB} ${first}, ${WORK}/velkorin.exe ${second}")
endif()
message(STATUS "two builds gave the same image: ${first}")
file(REMOVE_RECURSE "${WORK}")
