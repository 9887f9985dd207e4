# Compiles a resource file into a target: fluvex_embed_resource(<target> <file> <function>)
# generates, at build time, a .cpp that defines
#     namespace fluvex::embedded { std::string_view <function>(); }
# returning the file's bytes unchanged. The .cpp is rebuilt whenever the file changes.
#
# The same file runs in script mode (cmake -DINPUT=... -DOUTPUT=... -DFUNCTION=... -P) to write
# the .cpp: every byte becomes a \xNN escape, so any content, quotes and backslashes included,
# survives as it is.

if(CMAKE_SCRIPT_MODE_FILE)
  file(READ "${INPUT}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
  # 32 bytes (128 characters of escapes) to a source line.
  string(REPEAT "." 128 line)
  string(REGEX REPLACE "(${line})" "\\1\"\n    \"" escaped "${escaped}")
  get_filename_component(name "${INPUT}" NAME)
  file(WRITE "${OUTPUT}"
    "// Generated from ${name} by cmake/EmbedResource.cmake; do not edit.\n"
    "#include <string_view>\n\n"
    "namespace fluvex::embedded {\n\n"
    "std::string_view ${FUNCTION}();\n\n"
    "std::string_view ${FUNCTION}() {\n"
    "    static constexpr char kBytes[] =\n"
    "    \"${escaped}\";\n"
    "    return {kBytes, sizeof kBytes - 1};\n"
    "}\n\n"
    "}  // namespace fluvex::embedded\n")
  return()
endif()

set(FLUVEX_EMBED_RESOURCE_SCRIPT "${CMAKE_CURRENT_LIST_FILE}")

function(fluvex_embed_resource target file function)
  get_filename_component(name "${file}" NAME)
  set(output "${CMAKE_CURRENT_BINARY_DIR}/embedded/${name}.cpp")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" -DINPUT=${file} -DOUTPUT=${output} -DFUNCTION=${function}
            -P "${FLUVEX_EMBED_RESOURCE_SCRIPT}"
    DEPENDS "${file}" "${FLUVEX_EMBED_RESOURCE_SCRIPT}"
    COMMENT "Embedding ${name}"
    VERBATIM)
  target_sources(${target} PRIVATE "${output}")
endfunction()
