# How the project's targets are made.
#
# Every folder of the source tree is one library target whose name is
# quorbin_FOLDER (quorbin_core for core/, quorbin_audio for audio/, ...).
# Headers are included as "folder/Name.h". A target sees the headers of its
# own folder and of the targets it links, and no others: each folder is
# reached through a directory of the build tree that holds nothing but a link
# named after the folder, so that an undeclared dependency fails to build.

# The top of the source tree, also for the fuzz targets' project (fuzz/).
get_filename_component(QUORBIN_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# The project's warnings, on the target's own sources.
function(quorbin_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# The include directory through which the folder `folder` is seen.
function(quorbin_folder_view folder out)
  set(view ${CMAKE_BINARY_DIR}/include/${folder})
  if(NOT EXISTS ${view}/${folder})
    file(MAKE_DIRECTORY ${view})
    file(CREATE_LINK ${QUORBIN_SOURCE_ROOT}/${folder} ${view}/${folder} SYMBOLIC)
  endif()
  set(${out} ${view} PARENT_SCOPE)
endfunction()

# quorbin_folder_library([SOURCES file...] [PUBLIC target...] [PRIVATE target...])
# The library of the current folder: static with sources, headers only without.
function(quorbin_folder_library)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(name quorbin_${folder})
  quorbin_folder_view(${folder} view)
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${view})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
    quorbin_warnings(${name})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${view})
    target_link_libraries(${name} INTERFACE ${ARG_PUBLIC})
  endif()
endfunction()
