# One INTERFACE target carries the language level, the warnings and the
# sanitizer switches; every target of the project links it.
add_library(korvane_options INTERFACE)
target_compile_features(korvane_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(korvane_options INTERFACE -Wall -Wextra -Wshadow -Wconversion
                       -Wno-sign-conversion)
if(KORVANE_WERROR)
  target_compile_options(korvane_options INTERFACE -Werror)
endif()
if(KORVANE_SANITIZE)
  target_compile_options(korvane_options INTERFACE -fsanitize=address,undefined
                         -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(korvane_options INTERFACE -fsanitize=address,undefined)
endif()
if(KORVANE_FUZZ)
  # Coverage for libFuzzer and the sanitizers, in every library the fuzz targets link.
  target_compile_options(korvane_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                         -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(korvane_options INTERFACE -fsanitize=address,undefined)
endif()
