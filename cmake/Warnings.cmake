# Every Fluvex target gets the same warnings; FLUVEX_WERROR turns them into errors.
add_library(fluvex_warnings INTERFACE)
target_compile_options(fluvex_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
  -Wold-style-cast -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
  $<$<BOOL:${FLUVEX_WERROR}>:-Werror>)
