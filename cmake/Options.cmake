# One target carries the language level, warnings and Qt's safety defines.
add_library(vantora_options INTERFACE)
target_compile_features(vantora_options INTERFACE cxx_std_17)
target_compile_options(vantora_options INTERFACE -Wall -Wextra)
target_compile_definitions(vantora_options INTERFACE
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

if(VANTORA_SANITIZE)
  set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_options(vantora_options INTERFACE ${_san})
  target_link_options(vantora_options INTERFACE ${_san})
endif()
if(VANTORA_FUZZ)
  # Every library gets coverage instrumentation so the fuzzers see into them.
  target_compile_options(vantora_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(vantora_options INTERFACE -fsanitize=address,undefined)
endif()
