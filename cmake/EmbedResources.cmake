# Builds every file of res/ into the binary as a byte array, found at run time by its resource id: the
# number that starts its file name (res/104-panel.bmp is resource 104).
function(vantri_embed_resources target files)
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(out ${out_dir}/EmbeddedResources.cpp)
  # A list on a command line would split into several shell commands; pass it joined by '|'.
  string(REPLACE ";" "|" files_arg "${files}")
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${out} "-DFILES=${files_arg}" -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/WriteResources.cmake
    DEPENDS ${files} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/WriteResources.cmake
    COMMENT "Embedding resources"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
