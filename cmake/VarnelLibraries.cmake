# varnel_add_room_library(NAME FOLDER... LINKS ...): one static library from the
# .cpp files of the given folders (relative to the calling CMakeLists.txt),
# with the project root on the include path.
function(varnel_add_room_library name)
  cmake_parse_arguments(ARG "" "" "FOLDERS;LINKS;PRIVATE_LINKS" ${ARGN})
  set(sources)
  foreach(folder ${ARG_FOLDERS})
    file(GLOB folder_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND sources ${folder_sources})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
endfunction()
