# FLUVEX_SANITIZE=address,undefined builds everything with those sanitizers; undefined behaviour
# aborts instead of only printing, so a test run cannot pass over it.
if(FLUVEX_SANITIZE)
  add_compile_options(-fsanitize=${FLUVEX_SANITIZE} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${FLUVEX_SANITIZE})
endif()
