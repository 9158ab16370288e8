# ZARVO_SANITIZE: one build of everything, the JUCE modules included, with AddressSanitizer and
# UndefinedBehaviorSanitizer, for the sanitized test run (scripts/test-sanitized.sh), and the libFuzzer
# targets of tests/fuzz. Needs clang with its runtime libraries (Debian: clang, libclang-rt-14-dev):
#
#     CC=clang CXX=clang++ cmake -S . -B build-sanitize -G Ninja -DZARVO_SANITIZE=ON
#
# Every finding is fatal (-fno-sanitize-recover=all): a process that hits one ends with a report and
# a failure status, so the test that ran it fails.
option(ZARVO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz targets" OFF)

if(ZARVO_SANITIZE)
  if(NOT CMAKE_C_COMPILER_ID STREQUAL "Clang" OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ZARVO_SANITIZE needs clang, for its sanitizers and libFuzzer: "
                        "configure a fresh build directory with CC=clang CXX=clang++")
  endif()

  set(ZARVO_SANITIZER_COMPILE_FLAGS
    -fsanitize=address,undefined
    -fno-sanitize-recover=all
    -fno-omit-frame-pointer
    -g)
  # Directory-wide, so every target made after this (zarvo_juce, our libraries, the app, the tools
  # and the tests) is built with them. The embedded-resource assembly takes no sanitizer flags.
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${ZARVO_SANITIZER_COMPILE_FLAGS}>")
  add_link_options(-fsanitize=address,undefined)

  # The code the fuzz targets feed is instrumented for coverage, so that libFuzzer sees which paths
  # an input took (tests/fuzz/CMakeLists.txt applies this to those libraries). Other executables
  # that link the same libraries take the no-op coverage hooks of the sanitizer runtime.
  set(ZARVO_FUZZ_COVERAGE_FLAGS -fsanitize=fuzzer-no-link)
endif()

# For a library that is also loaded into programs built without the sanitizers, such as one preloaded
# (LD_PRELOAD) through a wrapper like stdbuf before it starts the app: instrumented code would need
# the sanitizer runtime, which only our own executables carry.
function(zarvo_without_sanitizers target)
  if(ZARVO_SANITIZE)
    target_compile_options(${target} PRIVATE -fno-sanitize=all)
  endif()
endfunction()
