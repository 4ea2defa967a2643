# Instruments every target of the build for libFuzzer: coverage feedback and the address and
# undefined-behaviour sanitizers reach into the readers, not just the fuzz entry points.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT CMAKE_C_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "TAVRIO_BUILD_FUZZERS needs clang for C and C++ "
                      "(e.g. CC=clang-14 CXX=clang++-14); scripts/fuzz sets it up.")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer -g)
add_link_options(-fsanitize=address,undefined)
