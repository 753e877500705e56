# The program's layers, each a static library that links only the layers below it. A layer's headers are
# reachable only through its include root, which holds one link, named for the layer's folder, to that
# folder in src/: a layer that includes a header of a layer above it finds no such file and fails to
# build, and one that calls into a layer it does not link fails to link.
#
#   vantri_layer(<library> FOLDERS <folder>... [SOURCES <file>...] [EXCLUDE <regex>...]
#                [ROOTS <folder>...] [LINKS <target>...])
#
# FOLDERS are folders of src/ whose sources (recursively, without the platform backends and the front
# ends' Main.cpp) make the library, and whose include roots it publishes; SOURCES are further files,
# EXCLUDE drops sources, ROOTS are further include folders (generated headers) and LINKS the layers and
# libraries below.
function(vantri_layer library)
  cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "FOLDERS;SOURCES;EXCLUDE;LINKS;ROOTS")
  set(sources ${layer_SOURCES})
  set(roots)
  foreach(folder IN LISTS layer_FOLDERS)
    vantri_layer_root(${folder} root)
    list(APPEND roots ${root})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp)
    list(FILTER found EXCLUDE REGEX "/platform/(linux|win32)/")
    list(FILTER found EXCLUDE REGEX "Main\\.cpp$")
    list(APPEND sources ${found})
  endforeach()
  foreach(pattern IN LISTS layer_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${pattern}")
  endforeach()
  add_library(${library} STATIC ${sources})
  target_include_directories(${library} PUBLIC ${roots} ${layer_ROOTS})
  target_link_libraries(${library} PUBLIC ${layer_LINKS})
endfunction()

# The include root of src/<folder>: a folder in the build tree holding only a link to it.
function(vantri_layer_root folder out)
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  set(${out} ${root} PARENT_SCOPE)
endfunction()
