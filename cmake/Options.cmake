# One target carries the language level, warnings and Qt's safety defines.
add_library(vantora_options INTERFACE)
target_compile_features(vantora_options INTERFACE cxx_std_17)
target_compile_options(vantora_options INTERFACE -Wall -Wextra)
if(VANTORA_WERROR)
  target_compile_options(vantora_options INTERFACE -Werror)
endif()
target_compile_definitions(vantora_options INTERFACE
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

# ASan (with LeakSanitizer) and UBSan. Undefined behaviour stops the program
# instead of printing and going on, so a test or fuzzer sees it as a failure.
set(_vantora_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)

if(VANTORA_SANITIZE)
  target_compile_options(vantora_options INTERFACE ${_vantora_san})
  target_link_options(vantora_options INTERFACE ${_vantora_san})
endif()
if(VANTORA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VANTORA_FUZZ needs clang: configure with CC=clang CXX=clang++ in a separate build folder")
  endif()
  # Every library gets coverage instrumentation so the fuzzers see into them;
  # only the fuzz programs link libFuzzer's main.
  target_compile_options(vantora_options INTERFACE -fsanitize=fuzzer-no-link ${_vantora_san})
  target_link_options(vantora_options INTERFACE ${_vantora_san})
endif()
